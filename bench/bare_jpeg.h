#pragma once
// The bare library's side of the picture benchmarks: read a file and decode it
// with libjpeg alone, with the program's parameters.

#include <QByteArray>
#include <QImage>
#include <QList>

#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace tavelo::bench {

// Reads path and decodes it the way the program does.
inline QImage BareDecode(const QByteArray& path)
{
    std::vector<unsigned char> bytes;
    if (FILE* f = std::fopen(path.constData(), "rb")) {
        std::fseek(f, 0, SEEK_END);
        bytes.resize(static_cast<std::size_t>(std::ftell(f)));
        std::fseek(f, 0, SEEK_SET);
        if (std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size())
            bytes.clear();
        std::fclose(f);
    }
    jpeg_decompress_struct d{};
    jpeg_error_mgr err{};
    d.err = jpeg_std_error(&err);
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&d, TRUE);
    d.dct_method = JDCT_FLOAT;
    d.do_fancy_upsampling = TRUE;
    d.do_block_smoothing = TRUE;
    const bool grey = d.out_color_space == JCS_GRAYSCALE;
    d.quantize_colors = grey ? TRUE : FALSE;
    d.desired_number_of_colors = 236;
    d.dither_mode = JDITHER_FS;
    d.two_pass_quantize = TRUE;
    if (!grey)
        d.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&d);
    QImage image(static_cast<int>(d.output_width), static_cast<int>(d.output_height),
                 grey ? QImage::Format_Indexed8 : QImage::Format_BGR888);
    if (grey) {
        QList<QRgb> table;
        for (int i = 0; i < d.actual_number_of_colors; ++i)
            table << qRgb(d.colormap[0][i], d.colormap[0][i], d.colormap[0][i]);
        image.setColorTable(table);
    }
    while (d.output_scanline < d.output_height) {
        JSAMPROW row = image.scanLine(static_cast<int>(d.output_scanline));
        jpeg_read_scanlines(&d, &row, 1);
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    return image;
}

}  // namespace tavelo::bench
