#pragma once
// JPEG files as the program reads and decodes them: the whole file is copied
// into memory once, its header is parsed on reading, and the picture is decoded
// with libjpeg on the first request for the bitmap.

#include <QImage>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace tavelo {

// A decoded picture. Copies share the pixels (QImage implicit sharing); the
// pixels are never written after decoding, so nothing ever detaches.
using TBitmap = QImage;

// The screen's bits per pixel, read once at program start. Decodes quantize to
// an 8-bit colour table on screens of 8 bits or less. Default 24.
void SetScreenDepth(int bits);
int ScreenDepth();

// Limits that keep a hostile file from exhausting the machine. A file copy,
// a bitmap or libjpeg's working storage beyond these fails cleanly.
inline constexpr std::size_t kMaxFileBytes = std::size_t{1} << 30;
inline constexpr std::size_t kMaxBitmapBytes = std::size_t{1} << 30;
inline constexpr std::size_t kMaxDecoderMemory = std::size_t{1} << 30;

// Work budgets that keep one picture from holding the window for more than
// about a second (measured on a small two-core machine; see README).
//
// Pixels: every camera picture up to 100 megapixels fits; a header claiming
// more is refused before anything of its size is allocated. Pictures reduced
// to a colour table (grey files, palette screens) take twice as long per
// pixel, so they get a smaller budget.
inline constexpr std::uint64_t kMaxPixels = std::uint64_t{100} << 20;          // 104,857,600
inline constexpr std::uint64_t kMaxQuantizedPixels = std::uint64_t{64} << 20;  // 67,108,864
bool WithinPixelBudget(std::uint64_t width, std::uint64_t height, bool quantized);

// Progressive (multi-scan) files: each scan is a pass over the blocks of its
// components, costing about one unit per block and coefficient of the scan's
// band plus a fixed part per block and per scan; the final output pass costs
// one unit per sample. Past the budget the decode is refused as a bad
// progression. Ordinary progressive files need about 5 (4:2:0) to 10 (4:4:4)
// units per pixel, so they fit up to about 28 and 14 megapixels.
inline constexpr std::uint64_t kMaxProgressiveWork = 180'000'000;
inline constexpr std::uint64_t kWorkPerScanBlock = 8;
inline constexpr std::uint64_t kWorkPerScan = 1000;

class TJPEGImage {
public:
    TJPEGImage() = default;
    TJPEGImage(const TJPEGImage&) = delete;
    TJPEGImage& operator=(const TJPEGImage&) = delete;

    // Copies the whole file into memory and parses its header (an empty file
    // is not parsed; it fails when decoded). The file is closed in every case.
    // Throws EFOpenError, EReadError, EStreamError, EJPEG or EOutOfMemory.
    // A failed open leaves the object as it was; any later failure leaves it
    // holding the new copy without a decoded bitmap.
    void LoadFromFile(const QString& path);

    // The same for bytes already in memory (they are copied, as a file is):
    // what the file read hands on, open for fuzzing and tests.
    void LoadFromMemory(const unsigned char* data, std::size_t size);

    // Header facts of the file read last (0 / false before any).
    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Grayscale() const { return grayscale_; }
    bool ProgressiveEncoding() const { return progressive_; }

    // The decoded picture: decoded on the first request, the same picture after.
    // 24-bit blue-green-red rows (Format_BGR888), or 8-bit indices with libjpeg's
    // colour map (Format_Indexed8) for grey files and 8-bit screens.
    // Throws EJPEG, EOutOfMemory or EOutOfResources; nothing is kept on failure.
    const TBitmap& Bitmap();

private:
    void Clear();
    static std::unique_ptr<unsigned char[]> NewCopy(std::size_t size);
    void Adopt(std::unique_ptr<unsigned char[]> copy, std::size_t size);

    std::unique_ptr<unsigned char[]> data_;
    std::size_t size_ = 0;
    int width_ = 0;
    int height_ = 0;
    bool grayscale_ = false;
    bool progressive_ = false;
    TBitmap bitmap_;
};

// Header facts of an in-memory JPEG and its decode, as TJPEGImage does them.
// Exposed for tests, fuzzing and benchmarks.
struct JpegHeader {
    int width = 0;
    int height = 0;
    bool grayscale = false;
    bool progressive = false;
};
JpegHeader ParseJpegHeader(const unsigned char* data, std::size_t size);
TBitmap DecodeJpeg(const unsigned char* data, std::size_t size);

}  // namespace tavelo
