#pragma once
// JPEG files as the program reads and decodes them: the whole file is copied
// into memory once, its header is parsed on reading, and the picture is decoded
// with libjpeg on the first request for the bitmap.

#include <QImage>
#include <QString>

#include <cstddef>
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
