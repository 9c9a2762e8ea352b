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
// to a colour table (grey files, palette screens) get a smaller bound.
inline constexpr std::uint64_t kMaxPixels = std::uint64_t{100} << 20;          // 104,857,600
inline constexpr std::uint64_t kMaxQuantizedPixels = std::uint64_t{64} << 20;  // 67,108,864
bool WithinPixelBudget(std::uint64_t width, std::uint64_t height, bool quantized);

// Decode work, in units of about a nanosecond of the measuring machine: what
// a picture costs before it shows. Known before decoding starts: each output
// pixel, each sample of each component (the inverse transforms), each byte of
// the file up to its end-of-image marker (entropy decoding; the read stops
// there; a byte of a multi-scan file costs several times more, as its bits
// are spread over scans that each revisit the coefficients), the
// four-component conversion and the colour-table reduction per pixel. Past the
// budget the picture is refused as too large. A multi-scan (progressive) file
// adds each scan as it arrives: its blocks times (the coefficients of its band
// + a fixed part), plus a fixed cost per scan; past the budget it is refused
// as a bad progression. The weights and the limit come from jpeg_bench's
// unit/ and hold/ cases (see README).
inline constexpr std::uint64_t kWorkPerPixel = 2;
inline constexpr std::uint64_t kWorkPerSample = 1;
inline constexpr std::uint64_t kWorkPerByte = 6;
inline constexpr std::uint64_t kWorkPerMultiScanByte = 22;
inline constexpr std::uint64_t kWorkPerCmykPixel = 3;
inline constexpr std::uint64_t kWorkPerQuantizedPixel = 4;  // grey: one pass
inline constexpr std::uint64_t kWorkPerTwoPassPixel = 12;   // colour on a palette screen: two passes
inline constexpr std::uint64_t kWorkPerScanUnit = 1;
inline constexpr std::uint64_t kWorkPerScanBlock = 8;  // scan units per block, besides its band
inline constexpr std::uint64_t kWorkPerScan = 1000;    // scan units per scan
inline constexpr std::uint64_t kMaxDecodeWork = 800'000'000;
// Bytes past these can only be refused, so the file read stops there.
inline constexpr std::size_t kMaxReadBytes = kMaxDecodeWork / kWorkPerByte + 1;

class TJPEGImage {
public:
    TJPEGImage() = default;
    TJPEGImage(const TJPEGImage&) = delete;
    TJPEGImage& operator=(const TJPEGImage&) = delete;

    // Copies the file into memory up to its end-of-image marker (at most
    // kMaxReadBytes: a longer file is refused when decoded) and parses its
    // header (an empty file is not parsed; it fails when decoded). The file is
    // closed in every case.
    // Throws EFOpenError, EReadError, EStreamError, EJPEG or EOutOfMemory.
    // A failed open leaves the object as it was; any later failure leaves it
    // holding the new copy without a decoded bitmap.
    void LoadFromFile(const QString& path);

    // The same for bytes already in memory (they are copied and cut, as a
    // file is): what the file read hands on, open for fuzzing and tests.
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
    // The decode work the last decode counted (also a refused one; 0 before).
    std::uint64_t Work() const { return work_; }

private:
    void Clear();
    // Room for kept bytes of a file of size bytes (refused past kMaxFileBytes).
    static std::unique_ptr<unsigned char[]> NewCopy(std::size_t size, std::size_t kept);
    void Adopt(std::unique_ptr<unsigned char[]> copy, std::size_t size);

    std::unique_ptr<unsigned char[]> data_;
    std::size_t size_ = 0;
    int width_ = 0;
    int height_ = 0;
    bool grayscale_ = false;
    bool progressive_ = false;
    std::uint64_t work_ = 0;
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
// work, when given, receives the decode work counted (also when refused);
// limit is the work budget (lowered by tests).
TBitmap DecodeJpeg(const unsigned char* data, std::size_t size, std::uint64_t* work = nullptr,
                   std::uint64_t limit = kMaxDecodeWork);

// How much of a JPEG's bytes the program keeps: up to and including the first
// end-of-image marker that follows the file's structure (marker segments by
// their lengths, entropy-coded data up to its next marker), at most limit.
// Anything that does not begin as a JPEG is kept whole, up to limit.
class JpegEnd {
public:
    // Feeds the bytes seen so far (the same buffer, grown); returns the
    // length to keep once the end is known, else 0.
    std::size_t Find(const unsigned char* data, std::size_t size);

private:
    std::size_t pos_ = 0;
    bool entropy_ = false;  // inside a scan's coded data
};
std::size_t KeptJpegLength(const unsigned char* data, std::size_t size, std::size_t limit = kMaxReadBytes);

}  // namespace tavelo
