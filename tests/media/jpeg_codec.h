#pragma once
// Test-side libjpeg helpers: an encoder for fixture files and the bare
// library's own decode, to compare the program's output against.

#include <QByteArray>

#include <cstdint>
#include <vector>

#include <jpeglib.h>

namespace tavelo::test {

struct Pixels {
    int width = 0;
    int height = 0;
    int components = 3;  // 1 grey, 3 RGB, 4 CMYK
    std::vector<std::uint8_t> data;  // packed rows
};

// A deterministic, photo-like picture: gradients plus noise.
Pixels Photo(int w, int h, int components, unsigned seed = 1);
Pixels Solid(int w, int h, std::vector<std::uint8_t> value);

struct EncodeOptions {
    int quality = 90;
    bool progressive = false;
    bool arithmetic = false;
    bool adobe = true;        // Adobe marker (four-component files only)
    bool subsample = true;    // 4:2:0 chroma, else 4:4:4
    int restartRows = 0;
    bool manyScans = false;   // progressive, every coefficient bit in a scan of its own (colour: 1891 scans)
    bool ycck = false;        // four-component files stored as YCCK
};

QByteArray EncodeJpeg(const Pixels& pixels, const EncodeOptions& options = {});

struct Reference {
    int width = 0;
    int height = 0;
    int components = 0;
    std::vector<std::uint8_t> data;    // packed output rows
    std::vector<std::uint32_t> table;  // colour map as 0xRRGGBB when quantized
};

// libjpeg alone: floating-point transform, fancy upsampling, block smoothing,
// and 236-colour Floyd-Steinberg quantization when asked.
Reference ReferenceDecode(const QByteArray& jpeg, bool quantize);

// Overwrites the frame size in the first SOFn marker.
QByteArray WithFrameSize(QByteArray jpeg, int w, int h);

}  // namespace tavelo::test
