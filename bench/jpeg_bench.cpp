// What a slide change costs: the program's read and decode of one file
// against the bare library decoding the same bytes, with the same decode
// parameters, into a fresh bitmap. Input files are made at start-up.
//
// The limits/... cases are the slowest pictures the program still accepts,
// for their absolute times: the largest colour and grey pictures of the pixel
// budget, the largest ordinary progressive file of the work budget, and a
// hostile progressive file that repeats its heaviest scan up to that budget.
// Setting them up takes a minute (finding the edges decodes trial files).
//
// The hold/... cases are the pictures that held the window too long, and
// ordinary camera photos: read, decode and the box's draw, as one slide change
// does; they are made on first use, one at a time (about a minute and 1.5 GB
// of memory each for the largest), and say in their label whether they were
// shown or what refused them. The unit/... cases isolate one cost each (per
// pixel, per sample, per compressed byte, the four-component conversion, the
// grey quantizer, the draw) for the work weights in media/jpeg_image.h.
// Run them alone with --benchmark_filter=hold/ or =unit/.
#include "base/errors.h"
#include "bench/bare_jpeg.h"
#include "fixtures/jpeg_codec.h"
#include "media/jpeg_image.h"
#include "media/placement.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <random>
#include <vector>

#include <jpeglib.h>

namespace {

using tavelo::bench::BareDecode;
using tavelo::test::EncodeJpeg;
using tavelo::test::EncodeOptions;
using tavelo::test::Photo;

// Splits a JPEG into its scans: each entry is [start of SOS marker, end of its
// entropy-coded data).
std::vector<std::pair<qsizetype, qsizetype>> Scans(const QByteArray& jpeg)
{
    std::vector<std::pair<qsizetype, qsizetype>> scans;
    const auto at = [&](qsizetype i) { return static_cast<unsigned char>(jpeg[i]); };
    qsizetype i = 2;
    while (i + 4 <= jpeg.size() && at(i) == 0xFF) {
        const unsigned char m = at(i + 1);
        if (m == 0xD9)
            break;
        const qsizetype length = (at(i + 2) << 8) | at(i + 3);
        const qsizetype start = i;
        i += 2 + length;
        if (m != 0xDA)
            continue;
        while (i + 1 < jpeg.size() && !(at(i) == 0xFF && at(i + 1) != 0 && (at(i + 1) < 0xD0 || at(i + 1) > 0xD7)))
            ++i;
        scans.emplace_back(start, i);
    }
    return scans;
}

// A valid progressive file whose scan at index (from the end when negative)
// is repeated until the file has scans scans: a decoder takes repeats with a
// warning and makes a pass over the picture for each.
QByteArray WithRepeatedScan(const QByteArray& jpeg, int index, int scans)
{
    const auto list = Scans(jpeg);
    const auto& scan = list[static_cast<std::size_t>(index < 0 ? static_cast<int>(list.size()) + index : index)];
    QByteArray out = jpeg.left(scan.second);
    const QByteArray once = jpeg.mid(scan.first, scan.second - scan.first);
    for (int n = static_cast<int>(list.size()); n < scans; ++n)
        out += once;
    out += jpeg.mid(scan.second);
    return out;
}

void Program(benchmark::State& state, QString path)
{
    std::uint64_t work = 0;
    for (auto _ : state) {
        tavelo::TJPEGImage jpeg;
        jpeg.LoadFromFile(path);
        const tavelo::TBitmap bitmap = jpeg.Bitmap();
        benchmark::DoNotOptimize(bitmap.constBits());
        work = jpeg.Work();
    }
    state.counters["Mwork"] = static_cast<double>(work) / 1e6;
}

void Bare(benchmark::State& state, QString path)
{
    const QByteArray native = QFile::encodeName(path);
    for (auto _ : state) {
        const QImage image = BareDecode(native);
        benchmark::DoNotOptimize(image.constBits());
    }
}

using tavelo::test::Pixels;

// Uniform noise: every coefficient carries data, the most bytes per pixel.
Pixels Noise(int w, int h, int components)
{
    Pixels p{w, h, components, {}};
    p.data.resize(static_cast<std::size_t>(w) * h * components);
    std::mt19937 random(7);
    for (std::size_t i = 0; i < p.data.size(); i += 4) {
        const std::uint32_t r = random();
        for (std::size_t k = 0; k < 4 && i + k < p.data.size(); ++k)
            p.data[i + k] = static_cast<std::uint8_t>(r >> (8 * k));
    }
    return p;
}

// Gradients without noise: the fewest bytes per pixel.
Pixels Smooth(int w, int h, int components)
{
    Pixels p{w, h, components, {}};
    p.data.resize(static_cast<std::size_t>(w) * h * components);
    std::size_t i = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < components; ++c)
                p.data[i++] = static_cast<std::uint8_t>(
                    (x * 255 / std::max(1, w - 1) * (c + 1) + y * 255 / std::max(1, h - 1) * (3 - c)) / 4);
    return p;
}

QTemporaryDir* g_dir = nullptr;

struct Made {
    QString path;
    qint64 bytes = 0;
};

// The file of a case, made on its first use.
Made MakeOnce(const std::string& name, const std::function<QByteArray()>& make, qint64 padTo = 0)
{
    static std::map<std::string, Made> made;
    auto it = made.find(name);
    if (it != made.end())
        return it->second;
    Made m;
    m.path = g_dir->filePath(QString::fromStdString(name).replace('/', '_') + QStringLiteral(".jpg"));
    QFile f(m.path);
    if (!f.open(QIODevice::WriteOnly) || f.write(make()) < 0 || (padTo > 0 && !f.resize(padTo)))
        std::abort();
    m.bytes = f.size();
    return made[name] = m;
}

QByteArray Encoded(const Pixels& pixels, int quality, bool subsample, bool progressive)
{
    EncodeOptions o;
    o.quality = quality;
    o.subsample = subsample;
    o.progressive = progressive;
    return EncodeJpeg(pixels, o);
}

// One slide change: read, decode, and the box's draw of the whole picture
// into its rectangle (Image1 313 x 433, or Image2 313 x 145).
void Hold(benchmark::State& state, std::string name, std::function<QByteArray()> make, qint64 padTo, QSize box)
{
    const Made m = MakeOnce(name, make, padTo);
    QString outcome;
    int width = 0, height = 0;
    std::uint64_t work = 0;
    for (auto _ : state) {
        outcome = QStringLiteral("shown");
        const auto start = std::chrono::steady_clock::now();
        try {
            tavelo::TJPEGImage jpeg;
            jpeg.LoadFromFile(m.path);
            struct Counted {
                tavelo::TJPEGImage& jpeg;
                std::uint64_t& work;
                ~Counted() { work = jpeg.Work(); }
            } counted{jpeg, work};
            const tavelo::TBitmap bitmap = jpeg.Bitmap();
            width = bitmap.width();
            height = bitmap.height();
            QImage screen(box, QImage::Format_RGB32);
            QPainter painter(&screen);
            painter.drawImage(tavelo::PlacePicture(width, height, box.width(), box.height(), true, true, true), bitmap);
        } catch (const tavelo::Exception& e) {
            outcome = e.Message();
        }
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    state.counters["Mwork"] = static_cast<double>(work) / 1e6;
    state.SetLabel(QStringLiteral("%1 x %2, %3 MB: %4")
                       .arg(width)
                       .arg(height)
                       .arg(static_cast<double>(m.bytes) / 1e6, 0, 'f', 1)
                       .arg(outcome)
                       .toStdString());
}

// Decode alone (unit/...): the work count's pieces, one at a time.
void Unit(benchmark::State& state, std::string name, std::function<QByteArray()> make, int screenDepth)
{
    tavelo::SetScreenDepth(screenDepth);
    const Made m = MakeOnce(name, make);
    QFile f(m.path);
    if (!f.open(QIODevice::ReadOnly))
        std::abort();
    const QByteArray bytes = f.readAll();
    std::uint64_t work = 0;
    for (auto _ : state) {
        const tavelo::TBitmap bitmap =
            tavelo::DecodeJpeg(reinterpret_cast<const unsigned char*>(bytes.constData()), bytes.size(), &work);
        benchmark::DoNotOptimize(bitmap.constBits());
    }
    tavelo::SetScreenDepth(24);
    state.counters["MB"] = static_cast<double>(m.bytes) / 1e6;
    state.counters["Mwork"] = static_cast<double>(work) / 1e6;
}

// The box's draw alone, of a decoded picture of the given format.
void Draw(benchmark::State& state, QImage::Format format)
{
    QImage picture(4096, 4096, format);
    if (format == QImage::Format_Indexed8) {
        QList<QRgb> table;
        for (int i = 0; i < 236; ++i)
            table << qRgb(i, i, i);
        picture.setColorTable(table);
    }
    picture.fill(0);
    QImage screen(313, 433, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&screen);
        painter.drawImage(tavelo::PlacePicture(4096, 4096, 313, 433, true, true, true), picture);
    }
}

void RegisterHoldAndUnits()
{
    const auto hold = [](const char* name, std::function<QByteArray()> make, qint64 padTo = 0,
                         QSize box = QSize(313, 433)) {
        benchmark::RegisterBenchmark(name, Hold, std::string(name), make, padTo, box)
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime()
            ->Iterations(1)
            ->Repetitions(3)
            ->ComputeStatistics("min",
                                [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); })
            ->ReportAggregatesOnly(false);
    };
    constexpr int k100Mi = 10240, k64Mi = 8192;
    hold("hold/cmyk_100Mi", [] { return Encoded(Photo(k100Mi, k100Mi, 4), 90, true, false); });
    hold("hold/noise_100Mi_444", [] { return Encoded(Noise(k100Mi, k100Mi, 3), 90, false, false); });
    hold("hold/noise_100Mi_q100", [] { return Encoded(Noise(k100Mi, k100Mi, 3), 100, true, false); });
    hold(
        "hold/group_photo_noise_100Mi", [] { return Encoded(Noise(k100Mi, k100Mi, 3), 90, true, false); }, 0,
        QSize(313, 145));
    hold("hold/grey_noise_64Mi", [] { return Encoded(Noise(k64Mi, k64Mi, 1), 90, true, false); });
    hold(
        "hold/640x480_padded_to_1GiB", [] { return Encoded(Photo(640, 480, 3), 90, true, false); }, qint64{1} << 30);
    // Ordinary camera photos: 50 megapixels 3:2, 4:2:0, quality 90, baseline
    // and libjpeg's usual ten-scan progression; and the README's 28 MP edge.
    hold("hold/camera_50mp_baseline", [] { return Encoded(Photo(8688, 5792, 3), 90, true, false); });
    hold("hold/camera_50mp_progressive", [] { return Encoded(Photo(8688, 5792, 3), 90, true, true); });
    hold("hold/camera_28mp_progressive", [] { return Encoded(Photo(6480, 4320, 3), 90, true, true); });

    const auto unit = [](const char* name, std::function<QByteArray()> make, int screenDepth = 24) {
        benchmark::RegisterBenchmark(name, Unit, std::string(name), make, screenDepth)->Unit(benchmark::kMillisecond);
    };
    constexpr int kSide = 4096;  // 16 Mi pixels
    unit("unit/smooth_420", [] { return Encoded(Smooth(kSide, kSide, 3), 90, true, false); });
    unit("unit/smooth_444", [] { return Encoded(Smooth(kSide, kSide, 3), 90, false, false); });
    unit("unit/smooth_grey", [] { return Encoded(Smooth(kSide, kSide, 1), 90, true, false); });
    unit("unit/smooth_cmyk", [] { return Encoded(Smooth(kSide, kSide, 4), 90, true, false); });
    unit("unit/noise_420_q100", [] { return Encoded(Noise(kSide, kSide, 3), 100, true, false); });
    unit("unit/noise_444_q100", [] { return Encoded(Noise(kSide, kSide, 3), 100, false, false); });
    unit("unit/photo_420_progressive", [] { return Encoded(Photo(kSide, kSide, 3), 90, true, true); });
    unit("unit/photo_420", [] { return Encoded(Photo(kSide, kSide, 3), 90, true, false); });
    unit("unit/photo_grey", [] { return Encoded(Photo(kSide, kSide, 1), 90, true, false); });
    // Colour reduced to a table on an 8-bit screen: libjpeg's two passes.
    unit(
        "unit/photo_420_palette_screen", [] { return Encoded(Photo(kSide, kSide, 3), 90, true, false); }, 8);
    benchmark::RegisterBenchmark("unit/draw_bgr888_16Mi", Draw, QImage::Format_BGR888)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("unit/draw_indexed8_16Mi", Draw, QImage::Format_Indexed8)
        ->Unit(benchmark::kMillisecond);
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    QTemporaryDir dir;
    g_dir = &dir;
    RegisterHoldAndUnits();
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
    // The limits: each file is the last one accepted on its way to the edge.
    const auto accepted = [](const QByteArray& bytes) {
        try {
            tavelo::DecodeJpeg(reinterpret_cast<const unsigned char*>(bytes.constData()),
                               static_cast<std::size_t>(bytes.size()));
            return true;
        } catch (...) {
            return false;
        }
    };
    const auto lastAccepted = [&](int lo, int hi, const std::function<QByteArray(int)>& make) {
        while (lo < hi) {  // lo accepted, hi refused
            const int mid = lo + (hi - lo + 1) / 2;
            if (accepted(make(mid)))
                lo = mid;
            else
                hi = mid - 1;
        }
        return make(lo);
    };
    // Made on first use, so that a filter that leaves them out costs nothing.
    const auto limit = [&](const char* name, std::function<QByteArray()> make) {
        benchmark::RegisterBenchmark(
            name,
            [](benchmark::State& state, std::string n, std::function<QByteArray()> m) {
                const Made made = MakeOnce(n, m);
                Program(state, made.path);
                tavelo::TJPEGImage jpeg;
                jpeg.LoadFromFile(made.path);
                state.SetLabel(QStringLiteral("%1 x %2, %3 bytes")
                                   .arg(jpeg.Width())
                                   .arg(jpeg.Height())
                                   .arg(made.bytes)
                                   .toStdString());
            },
            std::string(name), make)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    };
    // The pixel budgets' edges: 10240 x 10240 colour, 8192 x 8192 grey.
    limit("limits/largest_colour", [] { return EncodeJpeg(Photo(10240, 10240, 3)); });
    limit("limits/largest_grey", [] { return EncodeJpeg(Photo(8192, 8192, 1)); });
    // libjpeg's usual ten-scan progression, 4:3, as wide as the work budget allows.
    limit("limits/largest_progressive", [&] {
        EncodeOptions progressive;
        progressive.progressive = true;
        return lastAccepted(1000, 12000, [&](int w) { return EncodeJpeg(Photo(w, w * 3 / 4, 3), progressive); });
    });
    // Noise at full quality leaves every coefficient non-zero, so the final
    // refinement scan touches all of them; repeated, it is the costliest
    // scan per unit of counted work.
    limit("limits/worst_progressive", [&] {
        EncodeOptions progressive;
        progressive.progressive = true;
        progressive.quality = 100;
        const QByteArray base = EncodeJpeg(Photo(2000, 2000, 3), progressive);
        return lastAccepted(10, 400, [&](int scans) { return WithRepeatedScan(base, -1, scans); });
    });
    // The largest picture of a kind the work budget accepts (square unless
    // made otherwise): the side is foreseen from the work per pixel of a
    // small one, then lowered by steps of 1% until accepted.
    const auto largestSquare = [&](const std::function<QByteArray(int)>& make) {
        const QByteArray small = make(1024);
        std::uint64_t work = 0;
        tavelo::DecodeJpeg(reinterpret_cast<const unsigned char*>(small.constData()),
                           static_cast<std::size_t>(small.size()), &work);
        int side = static_cast<int>(std::sqrt(static_cast<double>(tavelo::kMaxDecodeWork) / work) * 1024);
        for (;;) {
            QByteArray bytes = make(side);
            if (accepted(bytes))
                return bytes;
            side = side * 99 / 100;
        }
    };
    // The kinds whose bytes, components or conversion cost the most.
    limit("limits/largest_noise_444",
          [&] { return largestSquare([](int side) { return Encoded(Noise(side, side, 3), 90, false, false); }); });
    limit("limits/largest_noise_q100",
          [&] { return largestSquare([](int side) { return Encoded(Noise(side, side, 3), 100, true, false); }); });
    limit("limits/largest_grey_noise",
          [&] { return largestSquare([](int side) { return Encoded(Noise(side, side, 1), 90, true, false); }); });
    limit("limits/largest_cmyk",
          [&] { return largestSquare([](int side) { return Encoded(Photo(side, side, 4), 90, true, false); }); });
    // libjpeg's usual ten-scan progression at 4:4:4, 4:3.
    limit("limits/largest_progressive_444", [&] {
        return largestSquare([](int side) { return Encoded(Photo(side, side * 3 / 4, 3), 90, false, true); });
    });
    limit("limits/largest_noise_progressive",
          [&] { return largestSquare([](int side) { return Encoded(Noise(side, side, 3), 90, true, true); }); });
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
