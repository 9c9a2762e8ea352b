// What a slide change costs: the program's read and decode of one file
// against the bare library decoding the same bytes, with the same decode
// parameters, into a fresh bitmap. Input files are made at start-up.
#include "media/jpeg_image.h"
#include "tests/media/jpeg_codec.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace {

using tavelo::test::EncodeJpeg;
using tavelo::test::EncodeOptions;
using tavelo::test::Photo;

// The bare library: read the file, decode it the way the program does.
QImage BareDecode(const QByteArray& path)
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

void Program(benchmark::State& state, QString path)
{
    for (auto _ : state) {
        tavelo::TJPEGImage jpeg;
        jpeg.LoadFromFile(path);
        const tavelo::TBitmap bitmap = jpeg.Bitmap();
        benchmark::DoNotOptimize(bitmap.constBits());
    }
}

void Bare(benchmark::State& state, QString path)
{
    const QByteArray native = QFile::encodeName(path);
    for (auto _ : state) {
        const QImage image = BareDecode(native);
        benchmark::DoNotOptimize(image.constBits());
    }
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    QTemporaryDir dir;
    struct Input {
        const char* name;
        int w, h, components;
        bool progressive;
    };
    const Input inputs[] = {
        {"baseline_12mp", 4000, 3000, 3, false},
        {"baseline_1080p", 1920, 1080, 3, false},
        {"progressive_12mp", 4000, 3000, 3, true},
        {"grey_12mp", 4000, 3000, 1, false},
    };
    for (const Input& in : inputs) {
        const QString path = dir.filePath(QString::fromLatin1(in.name) + QStringLiteral(".jpg"));
        EncodeOptions o;
        o.progressive = in.progressive;
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(EncodeJpeg(Photo(in.w, in.h, in.components), o)) < 0)
            return 1;
        f.close();
        std::printf("%s: %lld bytes\n", in.name, static_cast<long long>(f.size()));
        benchmark::RegisterBenchmark((std::string("program/") + in.name).c_str(), Program, path)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("bare/") + in.name).c_str(), Bare, path)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
