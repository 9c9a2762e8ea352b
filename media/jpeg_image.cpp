#include "media/jpeg_image.h"

#include "base/errors.h"
#include "content/file_system.h"
#include "content/paths.h"

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

#include <jerror.h>
#include <jpeglib.h>

namespace tavelo {

namespace {

int g_screenDepth = 24;

// libjpeg reports errors by calling error_exit, which must not return. We leave
// through longjmp back into Protected() and turn the code into a C++ exception
// only after that has returned: no C++ object with a destructor may live in any
// frame the jump skips, so everything here is plain data.
struct Session {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    jpeg_source_mgr src;
    jpeg_progress_mgr progress;
    std::jmp_buf jump;
    int failure;  // msg_code of the error exit

    const unsigned char* data;
    std::size_t size;
    std::size_t pos;

    bool multipleScans;
    int lastScan;        // input_scan_number the work was last counted for
    std::uint64_t work;  // counted so far
    std::uint64_t limit;
    bool paletteScreen;
    bool quantize;
    bool cmyk;
    JSAMPARRAY cmykRow;  // one row of four-component output, from libjpeg's pool
    unsigned char* bits;
    std::size_t stride;
};

constexpr std::size_t kPiece = 4096;
constexpr std::size_t kReadPiece = std::size_t{1} << 20;
constexpr int kColors = 236;
constexpr JDIMENSION kRowBatch = 16;

Session& Of(j_common_ptr cinfo) { return *static_cast<Session*>(cinfo->client_data); }
Session& Of(j_decompress_ptr cinfo) { return *static_cast<Session*>(cinfo->client_data); }

[[noreturn]] void ErrorExit(j_common_ptr cinfo)
{
    Session& s = Of(cinfo);
    s.failure = cinfo->err->msg_code;
    std::longjmp(s.jump, 1);
}

// Warnings and traces are silent and never stop a decode.
void EmitMessage(j_common_ptr, int) {}
void OutputMessage(j_common_ptr) {}

void ResetErrorMgr(j_common_ptr cinfo)
{
    cinfo->err->msg_code = 0;
    cinfo->err->num_warnings = 0;
}

void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

// Hands out the in-memory copy in pieces, without copying. Past the end a
// truncated file gets an end-of-image marker, so it decodes as far as its data
// goes and libjpeg fills the rest.
boolean FillInput(j_decompress_ptr cinfo)
{
    Session& s = Of(cinfo);
    if (s.pos >= s.size) {
        if (s.pos == 0)
            ERREXIT(cinfo, JERR_INPUT_EMPTY);
        WARNMS(cinfo, JWRN_JPEG_EOF);
        static const JOCTET kEoi[2] = {0xFF, JPEG_EOI};
        cinfo->src->next_input_byte = kEoi;
        cinfo->src->bytes_in_buffer = sizeof kEoi;
        return TRUE;
    }
    const std::size_t n = std::min(kPiece, s.size - s.pos);
    cinfo->src->next_input_byte = s.data + s.pos;
    cinfo->src->bytes_in_buffer = n;
    s.pos += n;
    return TRUE;
}

void SkipInput(j_decompress_ptr cinfo, long count)
{
    if (count <= 0)
        return;
    jpeg_source_mgr* src = cinfo->src;
    while (count > static_cast<long>(src->bytes_in_buffer)) {
        count -= static_cast<long>(src->bytes_in_buffer);
        FillInput(cinfo);
    }
    src->next_input_byte += count;
    src->bytes_in_buffer -= static_cast<std::size_t>(count);
}

// The work of the scan libjpeg has just reached, in scan units (see kMaxDecodeWork).
std::uint64_t ScanWork(const jpeg_decompress_struct& d)
{
    std::uint64_t blocks = 0;
    for (int i = 0; i < d.comps_in_scan; ++i)
        blocks += std::uint64_t{d.cur_comp_info[i]->width_in_blocks} * d.cur_comp_info[i]->height_in_blocks;
    const auto band = static_cast<std::uint64_t>(std::max(0, d.Se - d.Ss + 1));
    return blocks * (band + kWorkPerScanBlock) + kWorkPerScan;
}

// The work known before decoding starts (see kMaxDecodeWork).
std::uint64_t StaticWork(const jpeg_decompress_struct& d, std::size_t bytes, bool multiScan, bool cmyk, bool quantize)
{
    std::uint64_t samples = 0;
    for (int i = 0; i < d.num_components; ++i)
        samples += std::uint64_t{d.comp_info[i].width_in_blocks} * d.comp_info[i].height_in_blocks * 64;
    const std::uint64_t pixels = std::uint64_t{d.output_width} * d.output_height;
    std::uint64_t perPixel = kWorkPerPixel + (cmyk ? kWorkPerCmykPixel : 0);
    if (quantize)
        perPixel += d.out_color_components == 1 ? kWorkPerQuantizedPixel : kWorkPerTwoPassPixel;
    return perPixel * pixels + kWorkPerSample * samples + (multiScan ? kWorkPerMultiScanByte : kWorkPerByte) * bytes;
}

// Called by libjpeg before each piece of input it consumes; a new scan adds
// its work, and a multi-scan file past the budget is refused.
void ProgressMonitor(j_common_ptr cinfo)
{
    if (!cinfo->is_decompressor)
        return;
    const auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    Session& s = Of(cinfo);
    if (!s.multipleScans || d->input_scan_number == s.lastScan || d->comps_in_scan <= 0)
        return;
    s.lastScan = d->input_scan_number;
    s.work += kWorkPerScanUnit * ScanWork(*d);
    if (s.work > s.limit)
        ERREXIT(cinfo, JERR_BAD_PROGRESSION);
}

using Step = void (*)(Session&);

// Runs one step; false when libjpeg's error exit ended it (code in failure).
bool Protected(Session& s, Step step)
{
    if (setjmp(s.jump) != 0)
        return false;
    step(s);
    return true;
}

void StepCreate(Session& s)
{
    s.cinfo.err = jpeg_std_error(&s.err);
    s.err.error_exit = ErrorExit;
    s.err.emit_message = EmitMessage;
    s.err.output_message = OutputMessage;
    s.err.reset_error_mgr = ResetErrorMgr;
    s.cinfo.client_data = &s;
    jpeg_create_decompress(&s.cinfo);
    // Bounds what a hostile header can make libjpeg allocate (progressive
    // coefficients, quantizer buffers); past it the decode fails instead.
    s.cinfo.mem->max_memory_to_use = static_cast<long>(kMaxDecoderMemory);
    s.progress.progress_monitor = ProgressMonitor;
    s.cinfo.progress = &s.progress;
    s.src.init_source = InitSource;
    s.src.fill_input_buffer = FillInput;
    s.src.skip_input_data = SkipInput;
    s.src.resync_to_restart = jpeg_resync_to_restart;
    s.src.term_source = TermSource;
    s.src.next_input_byte = nullptr;
    s.src.bytes_in_buffer = 0;
    s.cinfo.src = &s.src;
}

void StepReadHeader(Session& s)
{
    jpeg_read_header(&s.cinfo, TRUE);
    s.multipleScans = jpeg_has_multiple_scans(&s.cinfo) != FALSE;
}

void StepSetup(Session& s)
{
    jpeg_decompress_struct& c = s.cinfo;
    jpeg_read_header(&c, TRUE);
    s.multipleScans = jpeg_has_multiple_scans(&c) != FALSE;
    c.scale_num = 1;
    c.scale_denom = 1;
    c.dct_method = JDCT_FLOAT;
    c.do_fancy_upsampling = TRUE;
    c.do_block_smoothing = TRUE;
    c.buffered_image = FALSE;
    c.output_gamma = 1.0;
    c.raw_data_out = FALSE;
    s.cmyk = c.out_color_space == JCS_CMYK;
    if (!s.cmyk && c.out_color_space != JCS_RGB && c.out_color_space != JCS_GRAYSCALE)
        ERREXIT(&c, JERR_CONVERSION_NOTIMPL);
    // Four-component output is turned into 24-bit colour by us; libjpeg can
    // only quantize what it outputs, so it is never quantized.
    s.quantize = !s.cmyk && (c.out_color_space == JCS_GRAYSCALE || s.paletteScreen);
    c.quantize_colors = s.quantize ? TRUE : FALSE;
    c.desired_number_of_colors = kColors;
    c.dither_mode = JDITHER_FS;
    c.two_pass_quantize = TRUE;
    // Same values as red-green-blue output, delivered in the bitmap's order.
    if (!s.quantize && c.out_color_space == JCS_RGB)
        c.out_color_space = JCS_EXT_BGR;
    // The library could decode these; the program refuses them.
    if (c.arith_code)
        ERREXIT(&c, JERR_ARITH_NOTIMPL);
    jpeg_calc_output_dimensions(&c);
}

void StepStart(Session& s)
{
    jpeg_start_decompress(&s.cinfo);
    if (s.cmyk)
        s.cmykRow = (*s.cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&s.cinfo), JPOOL_IMAGE,
                                                 s.cinfo.output_width * 4, 1);
}

// Adobe applications store four-component data inverted (0 = full ink).
void CmykToBgr(const JSAMPLE* in, unsigned char* out, JDIMENSION width, bool inverted)
{
    for (JDIMENSION x = 0; x < width; ++x, in += 4, out += 3) {
        unsigned c = in[0], m = in[1], y = in[2], k = in[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        out[0] = static_cast<unsigned char>((y * k + 127) / 255);
        out[1] = static_cast<unsigned char>((m * k + 127) / 255);
        out[2] = static_cast<unsigned char>((c * k + 127) / 255);
    }
}

void StepScanlines(Session& s)
{
    jpeg_decompress_struct& c = s.cinfo;
    if (s.cmyk) {
        const bool inverted = c.saw_Adobe_marker;
        while (c.output_scanline < c.output_height) {
            const JDIMENSION line = c.output_scanline;
            if (jpeg_read_scanlines(&c, s.cmykRow, 1) == 1)
                CmykToBgr(s.cmykRow[0], s.bits + line * s.stride, c.output_width, inverted);
        }
        return;
    }
    // Rows go straight into the bitmap, as many at a time as libjpeg will give.
    JSAMPROW rows[kRowBatch];
    while (c.output_scanline < c.output_height) {
        const JDIMENSION line = c.output_scanline;
        const JDIMENSION n = std::min(kRowBatch, c.output_height - line);
        for (JDIMENSION i = 0; i < n; ++i)
            rows[i] = s.bits + (line + i) * s.stride;
        jpeg_read_scanlines(&c, rows, n);
    }
}

void StepFinish(Session& s) { jpeg_finish_decompress(&s.cinfo); }

[[noreturn]] void Raise(int code)
{
    // Backing store is only asked for once the working-memory bound is
    // reached, and this build has none: for the user that is no memory.
    if (code == JERR_OUT_OF_MEMORY || code == JERR_NO_BACKING_STORE)
        throw EOutOfMemory(QStringLiteral("Out of memory"));
    throw EJPEG(QStringLiteral("JPEG error #%1").arg(code));
}

[[noreturn]] void RaiseOutOfResources() { throw EOutOfResources(QStringLiteral("Out of system resources")); }

// One decompression object over an in-memory copy; destroyed in every case.
class Decompressor {
public:
    Decompressor(const unsigned char* data, std::size_t size)
    {
        s_.data = data;
        s_.size = size;
        // The destructor does not run for a constructor that throws.
        if (!Protected(s_, StepCreate)) {
            jpeg_destroy_decompress(&s_.cinfo);
            Raise(s_.failure);
        }
    }
    ~Decompressor() { jpeg_destroy_decompress(&s_.cinfo); }
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;

    void Run(Step step)
    {
        if (!Protected(s_, step))
            Raise(s_.failure);
    }
    Session& s() { return s_; }

private:
    Session s_{};
};

}  // namespace

bool WithinPixelBudget(std::uint64_t width, std::uint64_t height, bool quantized)
{
    return width * height <= (quantized ? kMaxQuantizedPixels : kMaxPixels);
}

void SetScreenDepth(int bits) { g_screenDepth = bits; }
int ScreenDepth() { return g_screenDepth; }

JpegHeader ParseJpegHeader(const unsigned char* data, std::size_t size)
{
    Decompressor d(data, size);
    d.Run(StepReadHeader);
    const jpeg_decompress_struct& c = d.s().cinfo;
    JpegHeader h;
    h.width = static_cast<int>(c.image_width);
    h.height = static_cast<int>(c.image_height);
    h.grayscale = c.jpeg_color_space == JCS_GRAYSCALE;
    h.progressive = d.s().multipleScans;
    return h;
}

TBitmap DecodeJpeg(const unsigned char* data, std::size_t size, std::uint64_t* work, std::uint64_t limit)
{
    Decompressor d(data, size);
    Session& s = d.s();
    // Hands the count on however the decode ends.
    struct Tell {
        const std::uint64_t& counted;
        std::uint64_t* to;
        ~Tell()
        {
            if (to)
                *to = counted;
        }
    } tell{s.work, work};
    s.paletteScreen = ScreenDepth() <= 8;
    d.Run(StepSetup);

    const jpeg_decompress_struct& c = s.cinfo;
    const QImage::Format format = s.quantize ? QImage::Format_Indexed8 : QImage::Format_BGR888;
    const std::size_t bitsPerPixel = s.quantize ? 8 : 24;
    const std::size_t stride = (c.output_width * bitsPerPixel + 31) / 32 * 4;
    // A header may announce far more than memory holds; refuse before
    // libjpeg or the bitmap allocates anything of that size.
    if (!WithinPixelBudget(c.output_width, c.output_height, s.quantize) || stride * c.output_height > kMaxBitmapBytes)
        RaiseOutOfResources();
    // What cannot show in time is refused the same way, before any of it is
    // decoded.
    s.limit = limit;
    s.work = StaticWork(c, size, s.multipleScans, s.cmyk, s.quantize);
    if (s.work > limit)
        RaiseOutOfResources();

    d.Run(StepStart);

    TBitmap bitmap(static_cast<int>(c.output_width), static_cast<int>(c.output_height), format);
    if (bitmap.isNull() || static_cast<std::size_t>(bitmap.bytesPerLine()) != stride)
        RaiseOutOfResources();
    if (s.quantize) {
        QList<QRgb> table(c.actual_number_of_colors);
        const bool grey = c.out_color_components == 1;
        for (int i = 0; i < c.actual_number_of_colors; ++i) {
            const int r = c.colormap[0][i];
            table[i] = grey ? qRgb(r, r, r) : qRgb(r, c.colormap[1][i], c.colormap[2][i]);
        }
        bitmap.setColorTable(table);
    }
    s.bits = bitmap.bits();
    s.stride = stride;
    d.Run(StepScanlines);
    d.Run(StepFinish);
    return bitmap;
}

std::size_t JpegEnd::Find(const unsigned char* d, std::size_t n)
{
    if (pos_ == 0) {
        if (n < 2)
            return 0;
        // Not a JPEG: kept whole for the header parse to refuse.
        pos_ = d[0] == 0xFF && d[1] == 0xD8 ? 2 : SIZE_MAX;
    }
    while (pos_ < n) {
        // The next marker: 0xFF, any fill bytes, then a byte other than 0
        // (stuffing) and, inside coded data, other than a restart marker.
        const void* ff = std::memchr(d + pos_, 0xFF, n - pos_);
        if (!ff) {
            pos_ = n;
            return 0;
        }
        pos_ = static_cast<std::size_t>(static_cast<const unsigned char*>(ff) - d);
        if (pos_ + 1 >= n)
            return 0;
        const unsigned char m = d[pos_ + 1];
        if (m == 0xFF) {
            ++pos_;
            continue;
        }
        if (m == 0x00 || (entropy_ && m >= 0xD0 && m <= 0xD7)) {
            pos_ += 2;
            continue;
        }
        if (m == 0xD9)
            return pos_ + 2;
        entropy_ = false;
        if (m == 0xD8 || m == 0x01 || (m >= 0xD0 && m <= 0xD7)) {
            pos_ += 2;
            continue;
        }
        if (pos_ + 3 >= n)
            return 0;
        pos_ += 2 + ((std::size_t{d[pos_ + 2]} << 8) | d[pos_ + 3]);
        entropy_ = m == 0xDA;
    }
    return 0;
}

std::size_t KeptJpegLength(const unsigned char* data, std::size_t size, std::size_t limit)
{
    const std::size_t seen = std::min(size, limit);
    JpegEnd end;
    const std::size_t kept = end.Find(data, seen);
    return kept > 0 ? kept : seen;
}

void TJPEGImage::LoadFromFile(const QString& path)
{
    const FileDescriptor fd = OpenForReading(path);
    Clear();

    const qint64 fileSize = FileSize(fd);
    if (fileSize < 0)
        throw EReadError(QStringLiteral("Stream read error"));
    const auto size = static_cast<std::size_t>(fileSize);
    // The read stops at the end of the picture, or where what follows could
    // only be refused: padding after it is never read.
    const std::size_t wanted = std::min(size, kMaxReadBytes);
    std::unique_ptr<unsigned char[]> copy = NewCopy(size, wanted);
    JpegEnd end;
    std::size_t got = 0, kept = 0;
    while (got < wanted && kept == 0) {
        const qint64 n = ReadSome(fd, copy.get() + got, static_cast<qint64>(std::min(kReadPiece, wanted - got)));
        if (n <= 0)
            throw EReadError(QStringLiteral("Stream read error"));
        got += static_cast<std::size_t>(n);
        kept = end.Find(copy.get(), got);
    }
    Adopt(std::move(copy), kept > 0 ? kept : got);
}

void TJPEGImage::LoadFromMemory(const unsigned char* data, std::size_t size)
{
    Clear();
    const std::size_t kept = size > 0 ? KeptJpegLength(data, size) : 0;
    std::unique_ptr<unsigned char[]> copy = NewCopy(size, kept);
    if (kept > 0)
        std::memcpy(copy.get(), data, kept);
    Adopt(std::move(copy), kept);
}

void TJPEGImage::Clear()
{
    data_.reset();
    size_ = 0;
    bitmap_ = TBitmap();
    width_ = height_ = 0;
    grayscale_ = progressive_ = false;
    work_ = 0;
}

std::unique_ptr<unsigned char[]> TJPEGImage::NewCopy(std::size_t size, std::size_t kept)
{
    std::unique_ptr<unsigned char[]> copy;
    if (size > 0) {
        if (size <= kMaxFileBytes)
            copy.reset(new (std::nothrow) unsigned char[std::max<std::size_t>(kept, 1)]);
        if (!copy)
            throw EStreamError(QStringLiteral("Out of memory while expanding memory stream"));
    }
    return copy;
}

void TJPEGImage::Adopt(std::unique_ptr<unsigned char[]> copy, std::size_t size)
{
    data_ = std::move(copy);
    size_ = size;

    // An empty file is left for the decode to refuse.
    if (size_ > 0) {
        const JpegHeader h = ParseJpegHeader(data_.get(), size_);
        width_ = h.width;
        height_ = h.height;
        grayscale_ = h.grayscale;
        progressive_ = h.progressive;
    }
}

const TBitmap& TJPEGImage::Bitmap()
{
    if (bitmap_.isNull())
        bitmap_ = DecodeJpeg(data_.get(), size_, &work_);
    return bitmap_;
}

}  // namespace tavelo
