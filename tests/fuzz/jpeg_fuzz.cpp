// A picture file from the disc, taken as the program takes it: copied into a
// JPEG object, header parsed, decoded on the first bitmap request, handed to an
// image box and painted there. Bad files may fail only with the program's own
// errors; whatever decodes must be a picture the box can draw safely.
#include "base/errors.h"
#include "media/image_box.h"
#include "media/jpeg_image.h"

#include <QApplication>
#include <QImage>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

// Qt's font database lives until exit, and fontconfig's caches with it.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

tavelo::TImage* g_image1 = nullptr;  // the slide box
tavelo::TImage* g_image2 = nullptr;  // the group-photo box

// Small pictures of one input length in eight are also decoded for a palette
// screen: libjpeg's colour quantizer costs about ten colour decodes, and would
// otherwise take most of the search's time.
constexpr qint64 kPaletteDecodePixels = 64 * 64;
bool PaletteDecodeToo(const tavelo::TBitmap& bitmap, std::size_t size)
{
    return size % 8 == 0 && static_cast<qint64>(bitmap.width()) * bitmap.height() <= kPaletteDecodePixels;
}

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "jpeg_fuzz: %s\n", what);
    std::abort();
}

// Decodes through a fresh object as ShowJpegFile does; false when the file is
// refused with one of the program's errors.
bool Decode(const std::uint8_t* data, std::size_t size, tavelo::TJPEGImage& jpeg, tavelo::TBitmap& bitmap)
{
    try {
        jpeg.LoadFromMemory(data, size);
        bitmap = jpeg.Bitmap();
    } catch (const tavelo::Exception&) {
        return false;
    }
    return true;
}

// The largest colour index in a picture; kept out of the coverage counters,
// which would otherwise cost more than the decode.
__attribute__((no_sanitize("address", "coverage"))) int MaxIndex(const tavelo::TBitmap& bitmap)
{
    uchar most = 0;
    for (int y = 0; y < bitmap.height(); ++y) {
        const uchar* row = bitmap.constScanLine(y);
        for (int x = 0; x < bitmap.width(); ++x)
            most = row[x] > most ? row[x] : most;
    }
    return most;
}

void Check(const tavelo::TJPEGImage& jpeg, const tavelo::TBitmap& bitmap, bool palette)
{
    if (bitmap.isNull())
        Fail("decode succeeded without a picture");
    if (bitmap.width() != jpeg.Width() || bitmap.height() != jpeg.Height())
        Fail("picture size differs from the header");
    const bool indexed = bitmap.format() == QImage::Format_Indexed8;
    if (!indexed && bitmap.format() != QImage::Format_BGR888)
        Fail("unexpected pixel format");
    // Grey files always get a table; colour ones only for a palette screen,
    // and four-component files never (they are converted to 24-bit colour).
    if (jpeg.Grayscale() ? !indexed : indexed && !palette)
        Fail("colour table on the wrong kind of picture");
    if (!indexed)
        return;
    // Every index must name an entry of the table, or drawing reads past it.
    const int colors = bitmap.colorCount();
    if (colors < 1 || colors > 256)
        Fail("colour table size");
    if (jpeg.Grayscale() && colors != 236)
        Fail("grey table is not 236 levels");
    if (MaxIndex(bitmap) >= colors)
        Fail("pixel index outside the colour table");
}

void Draw(tavelo::TImage* box, const tavelo::TBitmap& bitmap)
{
    box->SetPicture(bitmap);
    const QRect target = box->DestRect();
    if (!target.isEmpty() && !box->rect().contains(target))
        Fail("picture placed outside its box");
    QImage screen(box->size(), QImage::Format_RGB32);
    box->render(&screen);  // the box's own paint
    box->SetPicture(tavelo::TBitmap());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QApplication app(*argc, *argv);  // image boxes are widgets
    static tavelo::TImage image1;
    static tavelo::TImage image2;
    image1.resize(313, 433);
    image2.resize(313, 145);
    g_image1 = &image1;
    g_image2 = &image2;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    tavelo::SetScreenDepth(24);
    tavelo::TBitmap bitmap;
    {
        tavelo::TJPEGImage jpeg;
        if (!Decode(data, size, jpeg, bitmap))
            return 0;
        Check(jpeg, bitmap, false);
    }
    Draw(g_image1, bitmap);
    Draw(g_image2, bitmap);

    if (PaletteDecodeToo(bitmap, size)) {
        tavelo::SetScreenDepth(8);
        tavelo::TJPEGImage jpeg;
        tavelo::TBitmap quantized;
        // The same bytes decoded once already; only the output differs now.
        if (!Decode(data, size, jpeg, quantized))
            Fail("palette decode refused a file the colour decode took");
        Check(jpeg, quantized, true);
        Draw(g_image2, quantized);
    }
    return 0;
}
