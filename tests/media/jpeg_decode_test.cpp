// Reading and decoding: the error table, pixel formats and the pixels
// themselves against libjpeg's own decode.
#include "base/errors.h"
#include "content/paths.h"
#include "fixtures/jpeg_codec.h"
#include "media/jpeg_image.h"
#include "tests/fixture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <gtest/gtest.h>

#include <jerror.h>

#include <cstring>
#include <map>
#include <string>
#include <typeinfo>

namespace tavelo {
namespace {

using test::Disc;
using test::EncodeJpeg;
using test::EncodeOptions;
using test::Photo;
using test::ReferenceDecode;

struct Failure {
    std::string cls;
    QString message;
};

template<class F> Failure FailureOf(F&& fn)
{
    try {
        fn();
    } catch (const Exception& e) {
        return {typeid(e).name(), e.Message()};
    }
    return {"none", {}};
}

template<class E> std::string Class() { return typeid(E).name(); }

QString JpegError(int code) { return QStringLiteral("JPEG error #%1").arg(code); }

// Restores the default screen depth after tests that change it.
struct ScreenDepthScope {
    explicit ScreenDepthScope(int bits) { SetScreenDepth(bits); }
    ~ScreenDepthScope() { SetScreenDepth(24); }
};

class Decode : public ::testing::Test {
protected:
    QString Put(const QByteArray& bytes, const QString& name = QStringLiteral("a.jpg"))
    {
        disc.Write(name, bytes);
        return disc.Path(name);
    }
    TBitmap DecodeBytes(const QByteArray& bytes)
    {
        TJPEGImage jpeg;
        jpeg.LoadFromFile(Put(bytes));
        return jpeg.Bitmap();
    }
    Disc disc;
};

// The messages carry libjpeg's codes; the ones the program names must be
// the release 6b numbering in the library we build against.
TEST(JpegCodes, InstalledLibraryUsesTheExpectedNumbering)
{
    EXPECT_EQ(JERR_ARITH_NOTIMPL, 1);
    EXPECT_EQ(JERR_INPUT_EMPTY, 42);
    EXPECT_EQ(JERR_NO_IMAGE, 51);
    EXPECT_EQ(JERR_NO_SOI, 53);
    EXPECT_EQ(JERR_OUT_OF_MEMORY, 54);
    EXPECT_EQ(JERR_SOF_UNSUPPORTED, 60);
}

TEST_F(Decode, OpenFailuresNameTheAbsolutePathAndTheCause)
{
    disc.Enter();
    TJPEGImage jpeg;
    Failure f = FailureOf([&] { jpeg.LoadFromFile(QStringLiteral("picture\\\\missing.jpg")); });
    EXPECT_EQ(f.cls, Class<EFOpenError>());
    EXPECT_EQ(f.message, QStringLiteral("Cannot open file \"%1/picture/missing.jpg\". No such file or directory")
                             .arg(QDir::currentPath()));

    f = FailureOf([&] { jpeg.LoadFromFile(QString()); });
    EXPECT_EQ(f.cls, Class<EFOpenError>());
    EXPECT_EQ(f.message, QStringLiteral("Cannot open file \"\". No such file or directory"));

    disc.MakeDir(QStringLiteral("folder.jpg"));
    f = FailureOf([&] { jpeg.LoadFromFile(disc.Path(QStringLiteral("folder.jpg"))); });
    EXPECT_EQ(f.cls, Class<EFOpenError>());
}

TEST_F(Decode, FailedOpenKeepsWhatTheObjectHeld)
{
    TJPEGImage jpeg;
    jpeg.LoadFromFile(Put(EncodeJpeg(Photo(20, 10, 3))));
    const qint64 key = jpeg.Bitmap().cacheKey();
    EXPECT_THROW(jpeg.LoadFromFile(disc.Path(QStringLiteral("none.jpg"))), EFOpenError);
    EXPECT_EQ(jpeg.Width(), 20);
    EXPECT_EQ(jpeg.Bitmap().cacheKey(), key);
}

TEST_F(Decode, HeaderErrorsFailOnReadingWithLibjpegCodes)
{
    TJPEGImage jpeg;
    const auto load = [&](const QByteArray& bytes) { return FailureOf([&] { jpeg.LoadFromFile(Put(bytes)); }); };

    Failure f = load(QByteArrayLiteral("GIF89a not a picture"));
    EXPECT_EQ(f.cls, Class<EJPEG>());
    EXPECT_EQ(f.message, JpegError(JERR_NO_SOI));

    f = load(QByteArray::fromHex("FFD8FFD9"));
    EXPECT_EQ(f.cls, Class<EJPEG>());
    EXPECT_EQ(f.message, JpegError(JERR_NO_IMAGE));

    // Lossless frame (SOF3).
    f = load(QByteArray::fromHex("FFD8FFC3000B08001000100101110000FFD9"));
    EXPECT_EQ(f.cls, Class<EJPEG>());
    EXPECT_EQ(f.message, JpegError(JERR_SOF_UNSUPPORTED));

    // Any other error by its own code: a marker length below its own size.
    f = load(QByteArray::fromHex("FFD8FFDB0001"));
    EXPECT_EQ(f.cls, Class<EJPEG>());
    EXPECT_EQ(f.message, JpegError(JERR_BAD_LENGTH));

    // A 12-bit file is beyond this library build.
    QByteArray twelve = EncodeJpeg(Photo(16, 16, 1));
    const qsizetype sof = twelve.indexOf(QByteArray::fromHex("FFC0"));
    ASSERT_GT(sof, 0);
    twelve[sof + 4] = 12;
    f = load(twelve);
    EXPECT_EQ(f.message, JpegError(JERR_BAD_PRECISION));
}

TEST_F(Decode, EmptyFileFailsOnlyWhenDecoded)
{
    TJPEGImage jpeg;
    ASSERT_NO_THROW(jpeg.LoadFromFile(Put(QByteArray())));
    const Failure f = FailureOf([&] { jpeg.Bitmap(); });
    EXPECT_EQ(f.cls, Class<EJPEG>());
    EXPECT_EQ(f.message, JpegError(JERR_INPUT_EMPTY));
}

TEST_F(Decode, ArithmeticCodingIsReadButRefusedAtDecoding)
{
    for (const bool progressive : {false, true}) {
        EncodeOptions o;
        o.arithmetic = true;
        o.progressive = progressive;
        TJPEGImage jpeg;
        ASSERT_NO_THROW(jpeg.LoadFromFile(Put(EncodeJpeg(Photo(40, 30, 3), o))));
        EXPECT_EQ(jpeg.Width(), 40);
        const Failure f = FailureOf([&] { jpeg.Bitmap(); });
        EXPECT_EQ(f.cls, Class<EJPEG>());
        EXPECT_EQ(f.message, JpegError(JERR_ARITH_NOTIMPL));
    }
}

TEST_F(Decode, ShortReadIsAStreamReadError)
{
    // Kernel attribute files claim a page of size and deliver a few bytes.
    const QString path = QStringLiteral("/sys/kernel/mm/transparent_hugepage/enabled");
    QFile probe(path);
    if (!ResolvePath(path).ok() || !probe.open(QIODevice::ReadOnly) || probe.size() <= probe.readAll().size())
        GTEST_SKIP() << "no file here that reads shorter than its size";
    TJPEGImage jpeg;
    const Failure f = FailureOf([&] { jpeg.LoadFromFile(path); });
    EXPECT_EQ(f.cls, Class<EReadError>());
    EXPECT_EQ(f.message, QStringLiteral("Stream read error"));
}

TEST_F(Decode, FileTooLargeToCopyIsRefusedWithoutReading)
{
    const QString path = disc.Path(QStringLiteral("huge.jpg"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(file.resize(static_cast<qint64>(kMaxFileBytes) + 1));  // sparse
    file.close();
    TJPEGImage jpeg;
    const Failure f = FailureOf([&] { jpeg.LoadFromFile(path); });
    EXPECT_EQ(f.cls, Class<EStreamError>());
    EXPECT_EQ(f.message, QStringLiteral("Out of memory while expanding memory stream"));
}

// A header announcing a huge picture must fail at once and cleanly, without
// allocating or decoding anything of that size.
TEST_F(Decode, HostileHeadersFailCleanly)
{
    QElapsedTimer clock;
    clock.start();
    // 32000 x 32000 grey would fit in memory (1 GB) but takes seconds.
    for (const int side : {32000, 60000}) {
        for (const int components : {1, 3}) {
            for (const bool progressive : {false, true}) {
                EncodeOptions o;
                o.progressive = progressive;
                const QByteArray bytes = test::WithFrameSize(EncodeJpeg(Photo(16, 16, components), o), side, side);
                TJPEGImage jpeg;
                ASSERT_NO_THROW(jpeg.LoadFromFile(Put(bytes)));
                EXPECT_EQ(jpeg.Width(), side);
                const Failure f = FailureOf([&] { jpeg.Bitmap(); });
                EXPECT_EQ(f.cls, Class<EOutOfResources>()) << side << components << progressive;
                EXPECT_EQ(f.message, QStringLiteral("Out of system resources"));
            }
        }
    }
    EXPECT_LT(clock.elapsed(), 5000);
}

TEST_F(Decode, ProgressiveFileOverTheWorkBudgetIsRefused)
{
    // Every scan is a pass over the picture: a header claiming 4000 x 4000
    // over a file of 1891 scans would take many seconds, and is refused.
    EncodeOptions o;
    o.manyScans = true;
    const QByteArray many = EncodeJpeg(Photo(16, 16, 3), o);
    TJPEGImage jpeg;
    jpeg.LoadFromFile(Put(test::WithFrameSize(many, 4000, 4000)));
    EXPECT_TRUE(jpeg.ProgressiveEncoding());
    const Failure f = FailureOf([&] { jpeg.Bitmap(); });
    EXPECT_EQ(f.cls, Class<EJPEG>());
    EXPECT_EQ(f.message, QStringLiteral("JPEG error #%1").arg(JERR_BAD_PROGRESSION));
    // The same scans over a small picture are little work and decode, and so
    // does an ordinary progressive file.
    jpeg.LoadFromFile(Put(many));
    EXPECT_EQ(jpeg.Bitmap().width(), 16);
    o.manyScans = false;
    o.progressive = true;
    jpeg.LoadFromFile(Put(EncodeJpeg(Photo(640, 480, 3), o)));
    EXPECT_EQ(jpeg.Bitmap().width(), 640);
}

TEST_F(Decode, GreyPicturesHaveTheSmallerPixelBudget)
{
    const QByteArray bytes = test::WithFrameSize(EncodeJpeg(Photo(16, 16, 1)), 9000, 9000);
    TJPEGImage jpeg;
    jpeg.LoadFromFile(Put(bytes));
    const Failure f = FailureOf([&] { jpeg.Bitmap(); });
    EXPECT_EQ(f.cls, Class<EOutOfResources>());
    EXPECT_EQ(f.message, QStringLiteral("Out of system resources"));
}

// The work budget at its edge, one kind of cost per row: accepted with a
// limit of exactly its count, refused one unit below, with the message of the
// step that refuses (before decoding for what the header and size tell, while
// reading scans for a progressive file).
TEST(WorkBudget, EachKindIsAcceptedAtItsCountAndRefusedJustUnder)
{
    struct Kind {
        const char* name;
        test::Pixels pixels;
        EncodeOptions o;
        QString refusal;
        int screenDepth = 24;
    };
    EncodeOptions full, q100, progressive;
    full.subsample = false;
    q100.quality = 100;
    progressive.progressive = true;
    const QString resources = QStringLiteral("Out of system resources");
    std::vector<std::uint8_t> noise(96 * 64 * 3);
    for (std::size_t i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<std::uint8_t>((i * 2654435761u) >> 13);
    const Kind kinds[] = {
        {"colour 4:2:0", Photo(96, 64, 3), {}, resources},
        {"colour 4:4:4", Photo(96, 64, 3), full, resources},
        {"grey", Photo(96, 64, 1), {}, resources},
        {"CMYK", Photo(96, 64, 4), {}, resources},
        {"noise, quality 100", test::Pixels{96, 64, 3, noise}, q100, resources},
        {"progressive", Photo(96, 64, 3), progressive, JpegError(JERR_BAD_PROGRESSION)},
        {"colour on a palette screen", Photo(96, 64, 3), {}, resources, 8},
    };
    std::map<std::string, std::uint64_t> counted;
    for (const Kind& k : kinds) {
        const ScreenDepthScope depth(k.screenDepth);
        const QByteArray bytes = EncodeJpeg(k.pixels, k.o);
        const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
        const auto size = static_cast<std::size_t>(bytes.size());
        std::uint64_t work = 0;
        ASSERT_NO_THROW(DecodeJpeg(data, size, &work)) << k.name;
        EXPECT_EQ(DecodeJpeg(data, size, nullptr, work).width(), 96) << k.name;
        std::uint64_t refusedAt = 0;
        const Failure f = FailureOf([&] { DecodeJpeg(data, size, &refusedAt, work - 1); });
        EXPECT_EQ(f.message, k.refusal) << k.name;
        EXPECT_GT(refusedAt, work - 1) << k.name;
        counted[k.name] = work;
    }
    // Components, the conversion and compressed bytes all count.
    EXPECT_GT(counted["colour 4:4:4"], counted["colour 4:2:0"]);
    EXPECT_GT(counted["CMYK"], counted["colour 4:4:4"]);
    EXPECT_GT(counted["noise, quality 100"], counted["colour 4:2:0"] + 96 * 64 * kWorkPerByte);
    EXPECT_GT(counted["progressive"], counted["colour 4:2:0"]);
    EXPECT_GT(counted["colour on a palette screen"], counted["grey"] + 96 * 64 * kWorkPerQuantizedPixel);
}

// Where the kept copy of a file ends: at the end-of-image marker that closes
// the picture's structure, whatever follows and whatever lookalikes lie inside.
TEST(JpegEnd, TheCopyEndsAtThePicturesOwnEndMarker)
{
    const QByteArray picture = EncodeJpeg(Photo(40, 30, 3));
    EncodeOptions p;
    p.progressive = true;
    p.restartRows = 1;
    const QByteArray progressive = EncodeJpeg(Photo(40, 30, 3), p);
    const QByteArray junk = QByteArray("\xFF\xD9\xFF\xD8junk", 8).repeated(100);
    // An APP1 segment that carries a whole thumbnail, end marker and all.
    const QByteArray thumb = EncodeJpeg(Photo(8, 8, 3));
    QByteArray app1("\xFF\xE1", 2);
    app1 += static_cast<char>((thumb.size() + 2) >> 8);
    app1 += static_cast<char>((thumb.size() + 2) & 0xFF);
    const QByteArray withThumb = picture.left(2) + app1 + thumb + picture.mid(2);
    struct Case {
        const char* name;
        QByteArray bytes;
        std::size_t limit;
        std::size_t kept;
    };
    const Case cases[] = {
        {"padding after the end", picture + junk, kMaxReadBytes, static_cast<std::size_t>(picture.size())},
        {"progressive, restarts", progressive + junk, kMaxReadBytes, static_cast<std::size_t>(progressive.size())},
        {"thumbnail inside", withThumb + junk, kMaxReadBytes, static_cast<std::size_t>(withThumb.size())},
        {"cut short", picture.left(picture.size() / 2), kMaxReadBytes, static_cast<std::size_t>(picture.size() / 2)},
        {"not a JPEG", QByteArray("GIF89a") + junk, kMaxReadBytes, static_cast<std::size_t>(junk.size() + 6)},
        {"past the limit", picture + junk, 100, 100},
    };
    for (const Case& c : cases) {
        const auto* data = reinterpret_cast<const unsigned char*>(c.bytes.constData());
        EXPECT_EQ(KeptJpegLength(data, static_cast<std::size_t>(c.bytes.size()), c.limit), c.kept) << c.name;
        // Fed as a read delivers it, a few bytes at a time.
        JpegEnd end;
        std::size_t found = 0;
        for (std::size_t n = 3; n <= std::min<std::size_t>(c.bytes.size(), c.limit) && !found; n += 3)
            found = end.Find(data, n);
        if (c.kept < static_cast<std::size_t>(c.bytes.size()) && c.kept != c.limit)
            EXPECT_EQ(found, c.kept) << c.name;
    }
}

TEST(PixelBudget, TakesEveryCameraPicture)
{
    EXPECT_TRUE(WithinPixelBudget(11648, 8736, false));  // the largest camera pictures
    EXPECT_TRUE(WithinPixelBudget(10240, 10240, false));
    EXPECT_FALSE(WithinPixelBudget(10240, 10241, false));
    EXPECT_FALSE(WithinPixelBudget(65535, 65535, false));
    // Grey: the largest monochrome camera pictures (about 60 megapixels).
    EXPECT_TRUE(WithinPixelBudget(9528, 6328, true));
    EXPECT_TRUE(WithinPixelBudget(8192, 8192, true));
    EXPECT_FALSE(WithinPixelBudget(8192, 8193, true));
}

TEST_F(Decode, HeaderFactsComeFromTheFile)
{
    TJPEGImage jpeg;
    jpeg.LoadFromFile(Put(EncodeJpeg(Photo(33, 17, 3))));
    EXPECT_EQ(jpeg.Width(), 33);
    EXPECT_EQ(jpeg.Height(), 17);
    EXPECT_FALSE(jpeg.Grayscale());
    EXPECT_FALSE(jpeg.ProgressiveEncoding());

    EncodeOptions o;
    o.progressive = true;
    jpeg.LoadFromFile(Put(EncodeJpeg(Photo(8, 9, 1), o)));
    EXPECT_EQ(jpeg.Width(), 8);
    EXPECT_EQ(jpeg.Height(), 9);
    EXPECT_TRUE(jpeg.Grayscale());
    EXPECT_TRUE(jpeg.ProgressiveEncoding());
}

TEST_F(Decode, DecodesOnceAndAgainOnlyAfterANewRead)
{
    const QString path = Put(EncodeJpeg(Photo(24, 24, 3)));
    TJPEGImage jpeg;
    jpeg.LoadFromFile(path);
    const TBitmap first = jpeg.Bitmap();
    EXPECT_EQ(jpeg.Bitmap().constBits(), first.constBits());
    jpeg.LoadFromFile(path);
    EXPECT_NE(jpeg.Bitmap().cacheKey(), first.cacheKey());
    EXPECT_EQ(jpeg.Bitmap(), first);  // same pixels, decoded afresh
}

// Colour output must be exactly libjpeg's floating-point decode, stored blue first.
void ExpectSameAsLibjpeg(const TBitmap& image, const test::Reference& ref)
{
    ASSERT_EQ(image.format(), QImage::Format_BGR888);
    ASSERT_EQ(image.width(), ref.width);
    ASSERT_EQ(image.height(), ref.height);
    ASSERT_EQ(ref.components, 3);
    int mismatches = 0;
    for (int y = 0; y < ref.height; ++y) {
        const uchar* row = image.constScanLine(y);
        const std::uint8_t* want = ref.data.data() + static_cast<std::size_t>(y) * ref.width * 3;
        for (int x = 0; x < ref.width; ++x)
            mismatches +=
                row[3 * x] != want[3 * x + 2] || row[3 * x + 1] != want[3 * x + 1] || row[3 * x + 2] != want[3 * x];
    }
    EXPECT_EQ(mismatches, 0);
}

TEST_F(Decode, ColourPixelsEqualLibjpegsFloatDecode)
{
    struct Case {
        int w, h;
        EncodeOptions o;
    };
    EncodeOptions progressive;
    progressive.progressive = true;
    EncodeOptions full;
    full.subsample = false;
    full.restartRows = 2;
    EncodeOptions low;
    low.quality = 20;
    low.progressive = true;
    for (const Case& c : {Case{101, 67, {}}, Case{64, 48, progressive}, Case{37, 53, full}, Case{250, 3, low}}) {
        const QByteArray bytes = EncodeJpeg(Photo(c.w, c.h, 3, static_cast<unsigned>(c.w)), c.o);
        ExpectSameAsLibjpeg(DecodeBytes(bytes), ReferenceDecode(bytes, false));
    }
}

void ExpectSameIndexed(const TBitmap& image, const test::Reference& ref)
{
    ASSERT_EQ(image.format(), QImage::Format_Indexed8);
    ASSERT_EQ(image.width(), ref.width);
    ASSERT_EQ(image.height(), ref.height);
    ASSERT_EQ(ref.components, 1);  // indices
    ASSERT_EQ(image.colorCount(), static_cast<int>(ref.table.size()));
    for (int i = 0; i < image.colorCount(); ++i)
        EXPECT_EQ(image.color(i) & 0xFFFFFF, ref.table[static_cast<std::size_t>(i)]) << i;
    int mismatches = 0;
    for (int y = 0; y < ref.height; ++y)
        mismatches += std::memcmp(image.constScanLine(y), ref.data.data() + static_cast<std::size_t>(y) * ref.width,
                                  static_cast<std::size_t>(ref.width)) != 0;
    EXPECT_EQ(mismatches, 0);
}

TEST_F(Decode, GreyFilesBecomeIndexedWith236GreyLevelsOnEveryScreen)
{
    const QByteArray bytes = EncodeJpeg(Photo(70, 45, 1));
    for (const int depth : {32, 24, 8}) {
        ScreenDepthScope scope(depth);
        const TBitmap image = DecodeBytes(bytes);
        ASSERT_EQ(image.format(), QImage::Format_Indexed8) << depth;
        ASSERT_EQ(image.colorCount(), 236);
        EXPECT_EQ(image.color(0), qRgb(0, 0, 0));
        EXPECT_EQ(image.color(235), qRgb(255, 255, 255));
        for (int i = 1; i < 236; ++i) {
            const QRgb c = image.color(i);
            EXPECT_TRUE(qRed(c) == qGreen(c) && qGreen(c) == qBlue(c)) << i;
            EXPECT_GT(qRed(c), qRed(image.color(i - 1))) << i;
        }
        ExpectSameIndexed(image, ReferenceDecode(bytes, true));
    }
}

TEST_F(Decode, PaletteScreensGetIndexedColourFromLibjpegsQuantizer)
{
    ScreenDepthScope scope(8);
    const QByteArray bytes = EncodeJpeg(Photo(60, 40, 3));
    const TBitmap image = DecodeBytes(bytes);
    EXPECT_LE(image.colorCount(), 236);
    ExpectSameIndexed(image, ReferenceDecode(bytes, true));
}

TEST_F(Decode, TruncatedFilesDecodeAsFarAsTheirDataGoes)
{
    const QByteArray whole = EncodeJpeg(Photo(64, 64, 3));
    const TBitmap full = DecodeBytes(whole);

    const TBitmap half = DecodeBytes(whole.left(whole.size() / 2));
    ASSERT_EQ(half.size(), full.size());
    EXPECT_EQ(std::memcmp(half.constScanLine(0), full.constScanLine(0), 64 * 3), 0);
    const uchar* last = half.constScanLine(63);
    for (int i = 0; i < 64 * 3; ++i)
        ASSERT_EQ(last[i], 128) << i;

    // Cut right after the scan header: past the first block row, where the
    // end-of-data marker is met, the picture is flat mid-grey.
    const qsizetype sos = whole.indexOf(QByteArray::fromHex("FFDA"));
    ASSERT_GT(sos, 0);
    const qsizetype scanStart =
        sos + 2 + ((static_cast<uchar>(whole[sos + 2]) << 8) | static_cast<uchar>(whole[sos + 3]));
    const TBitmap empty = DecodeBytes(whole.left(scanStart));
    ASSERT_EQ(empty.size(), full.size());
    for (int y = 24; y < 64; ++y)
        for (int i = 0; i < 64 * 3; ++i)
            ASSERT_EQ(empty.constScanLine(y)[i], 128) << y;
}

TEST_F(Decode, CorruptScanDataIsNoFailure)
{
    QByteArray bytes = EncodeJpeg(Photo(48, 48, 3));
    const qsizetype sos = bytes.indexOf(QByteArray::fromHex("FFDA"));
    for (qsizetype i = sos + 20; i < bytes.size() - 2; i += 7)
        bytes[i] = static_cast<char>(bytes[i] ^ 0x5A);
    TBitmap image;
    ASSERT_NO_THROW(image = DecodeBytes(bytes));
    EXPECT_EQ(image.size(), QSize(48, 48));
}

TEST_F(Decode, FourComponentFilesAreShownAsColour)
{
    // Stored inverted (with the Adobe marker) and plain; both must give the
    // same colours: pure red, then a dark blue-green.
    struct Case {
        std::vector<std::uint8_t> plain;  // C, M, Y, K (255 = full ink)
        QRgb want;
    };
    for (const Case& c : {Case{{0, 255, 255, 0}, qRgb(255, 0, 0)}, Case{{200, 50, 0, 128}, qRgb(27, 102, 127)}}) {
        for (const bool adobe : {true, false}) {
            std::vector<std::uint8_t> stored = c.plain;
            if (adobe)
                for (auto& v : stored)
                    v = static_cast<std::uint8_t>(255 - v);
            EncodeOptions o;
            o.adobe = adobe;
            o.quality = 100;
            const TBitmap image = DecodeBytes(EncodeJpeg(test::Solid(16, 16, stored), o));
            ASSERT_EQ(image.format(), QImage::Format_BGR888);
            const QRgb got = image.pixel(8, 8);
            EXPECT_NEAR(qRed(got), qRed(c.want), 3) << adobe;
            EXPECT_NEAR(qGreen(got), qGreen(c.want), 3) << adobe;
            EXPECT_NEAR(qBlue(got), qBlue(c.want), 3) << adobe;
        }
    }
}

// A picture padded far beyond its end shows, and the padding is never read.
TEST_F(Decode, PaddingAfterThePictureIsNotRead)
{
    const QByteArray bytes = EncodeJpeg(Photo(640, 480, 3));
    const QString path = Put(bytes);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.resize(static_cast<qint64>(kMaxFileBytes)));  // sparse
    file.close();
    const auto readSoFar = [] {
        QFile io(QStringLiteral("/proc/self/io"));
        if (!io.open(QIODevice::ReadOnly))
            return qint64{-1};
        for (const QByteArray& line : io.readAll().split('\n'))
            if (line.startsWith("rchar:"))
                return line.mid(6).trimmed().toLongLong();
        return qint64{-1};
    };
    const qint64 before = readSoFar();
    if (before < 0)
        GTEST_SKIP() << "no read counter here";
    TJPEGImage jpeg;
    jpeg.LoadFromFile(path);
    const qint64 read = readSoFar() - before;
    EXPECT_LT(read, qint64{4} << 20);
    ExpectSameAsLibjpeg(jpeg.Bitmap(), ReferenceDecode(bytes, false));
}

}  // namespace
}  // namespace tavelo
