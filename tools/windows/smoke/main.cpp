// Starts a window with a label and round-trips a small image through libjpeg;
// prints what it saw and exits 0 only if both worked.
#include <QApplication>
#include <QLabel>
#include <QStyle>
#include <QTimer>

#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace {

// Encodes a 16x8 grey ramp and decodes it again; true if the size and the
// ramp's ends survive.
bool jpegRoundTrip()
{
    const int w = 16, h = 8;
    std::vector<unsigned char> pixels(w * h);
    for (int i = 0; i < w * h; ++i)
        pixels[i] = static_cast<unsigned char>((i % w) * 16);

    jpeg_error_mgr err;
    jpeg_compress_struct c;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* data = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &data, &size);
    c.image_width = w;
    c.image_height = h;
    c.input_components = 1;
    c.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 95, TRUE);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = &pixels[c.next_scanline * w];
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);

    jpeg_decompress_struct d;
    d.err = jpeg_std_error(&err);
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, data, size);
    jpeg_read_header(&d, TRUE);
    jpeg_start_decompress(&d);
    std::vector<unsigned char> out(d.output_width * d.output_height * d.output_components);
    while (d.output_scanline < d.output_height) {
        JSAMPROW row = &out[d.output_scanline * d.output_width * d.output_components];
        jpeg_read_scanlines(&d, &row, 1);
    }
    const bool ok = d.output_width == w && d.output_height == h && out[0] < 16 && out[w - 1] > 224;
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    free(data);
    std::printf("smoke: jpeg %dx%d %s\n", w, h, ok ? "ok" : "WRONG");
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    const bool jpegOk = jpegRoundTrip();
    QApplication app(argc, argv);
    QLabel label(QStringLiteral("Tavelo"));
    label.resize(200, 60);
    label.show();
    bool shown = false;
    QTimer::singleShot(0, &app, [&] {
        shown = label.isVisible() && label.windowHandle() != nullptr;
        app.quit();
    });
    app.exec();
    std::printf("smoke: platform %s, style %s, window %s\n", qPrintable(QApplication::platformName()),
                qPrintable(app.style()->name()), shown ? "shown" : "NOT SHOWN");
    std::fflush(stdout);
    return jpegOk && shown ? 0 : 1;
}
