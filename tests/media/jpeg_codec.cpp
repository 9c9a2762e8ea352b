#include "tests/media/jpeg_codec.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace tavelo::test {

Pixels Photo(int w, int h, int components, unsigned seed)
{
    Pixels p{w, h, components, {}};
    p.data.resize(static_cast<std::size_t>(w) * h * components);
    unsigned state = seed * 2654435761u + 1;
    std::size_t i = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < components; ++c) {
                state = state * 1103515245u + 12345u;
                const int noise = static_cast<int>((state >> 16) & 31) - 16;
                const int base = (x * 255 / std::max(1, w - 1) * (c + 1) + y * 255 / std::max(1, h - 1) * (3 - c)) / 4;
                p.data[i++] = static_cast<std::uint8_t>(std::clamp(base + noise, 0, 255));
            }
    return p;
}

Pixels Solid(int w, int h, std::vector<std::uint8_t> value)
{
    Pixels p{w, h, static_cast<int>(value.size()), {}};
    for (int i = 0; i < w * h; ++i)
        p.data.insert(p.data.end(), value.begin(), value.end());
    return p;
}

QByteArray EncodeJpeg(const Pixels& pixels, const EncodeOptions& options)
{
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&c, &out, &outSize);
    c.image_width = static_cast<JDIMENSION>(pixels.width);
    c.image_height = static_cast<JDIMENSION>(pixels.height);
    c.input_components = pixels.components;
    c.in_color_space = pixels.components == 1 ? JCS_GRAYSCALE : pixels.components == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, options.quality, TRUE);
    if (pixels.components == 4)
        c.write_Adobe_marker = options.adobe ? TRUE : FALSE;
    if (pixels.components == 4 && options.ycck)
        jpeg_set_colorspace(&c, JCS_YCCK);
    if (pixels.components == 3 && !options.subsample)
        c.comp_info[0].h_samp_factor = c.comp_info[0].v_samp_factor = 1;
    if (options.progressive)
        jpeg_simple_progression(&c);
    std::vector<jpeg_scan_info> scans;
    if (options.manyScans) {
        jpeg_scan_info dc{};
        dc.comps_in_scan = c.num_components;
        for (int i = 0; i < c.num_components; ++i)
            dc.component_index[i] = i;
        scans.push_back(dc);
        for (int comp = 0; comp < c.num_components; ++comp) {
            for (int k = 1; k < 64; ++k) {
                for (int al = 9; al >= 0; --al) {
                    jpeg_scan_info ac{};
                    ac.comps_in_scan = 1;
                    ac.component_index[0] = comp;
                    ac.Ss = ac.Se = k;
                    ac.Ah = al == 9 ? 0 : al + 1;
                    ac.Al = al;
                    scans.push_back(ac);
                }
            }
        }
        c.scan_info = scans.data();
        c.num_scans = static_cast<int>(scans.size());
    }
    c.arith_code = options.arithmetic ? TRUE : FALSE;
    c.restart_in_rows = options.restartRows;
    jpeg_start_compress(&c, TRUE);
    const std::size_t stride = static_cast<std::size_t>(pixels.width) * pixels.components;
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels.data.data() + c.next_scanline * stride);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    QByteArray bytes(reinterpret_cast<const char*>(out), static_cast<qsizetype>(outSize));
    std::free(out);
    return bytes;
}

Reference ReferenceDecode(const QByteArray& jpeg, bool quantize)
{
    jpeg_decompress_struct d{};
    jpeg_error_mgr err{};
    d.err = jpeg_std_error(&err);
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, reinterpret_cast<const unsigned char*>(jpeg.constData()), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&d, TRUE);
    d.dct_method = JDCT_FLOAT;
    d.do_fancy_upsampling = TRUE;
    d.do_block_smoothing = TRUE;
    d.quantize_colors = quantize ? TRUE : FALSE;
    d.desired_number_of_colors = 236;
    d.dither_mode = JDITHER_FS;
    d.two_pass_quantize = TRUE;
    jpeg_start_decompress(&d);
    Reference r;
    r.width = static_cast<int>(d.output_width);
    r.height = static_cast<int>(d.output_height);
    r.components = d.output_components;
    const std::size_t stride = static_cast<std::size_t>(r.width) * r.components;
    r.data.resize(stride * r.height);
    while (d.output_scanline < d.output_height) {
        JSAMPROW row = r.data.data() + d.output_scanline * stride;
        jpeg_read_scanlines(&d, &row, 1);
    }
    if (quantize) {
        for (int i = 0; i < d.actual_number_of_colors; ++i) {
            const unsigned red = d.colormap[0][i];
            const unsigned green = d.out_color_components == 1 ? red : d.colormap[1][i];
            const unsigned blue = d.out_color_components == 1 ? red : d.colormap[2][i];
            r.table.push_back(red << 16 | green << 8 | blue);
        }
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    return r;
}

QByteArray WithFrameSize(QByteArray jpeg, int w, int h)
{
    const auto at = [&](qsizetype i) { return static_cast<unsigned char>(jpeg[i]); };
    // Walk the marker segments after SOI up to the frame header.
    qsizetype i = 2;
    while (i + 8 < jpeg.size() && at(i) == 0xFF) {
        const unsigned m = at(i + 1);
        if (m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC) {
            jpeg[i + 5] = static_cast<char>(h >> 8);
            jpeg[i + 6] = static_cast<char>(h & 0xFF);
            jpeg[i + 7] = static_cast<char>(w >> 8);
            jpeg[i + 8] = static_cast<char>(w & 0xFF);
            return jpeg;
        }
        i += 2 + (at(i + 2) << 8 | at(i + 3));
    }
    throw std::runtime_error("no frame marker");
}

}  // namespace tavelo::test
