// What a slide change costs: the program's read and decode of one file
// against the bare library decoding the same bytes, with the same decode
// parameters, into a fresh bitmap. Input files are made at start-up.
//
// The limits/... cases are the slowest pictures the program still accepts,
// for their absolute times: the largest colour and grey pictures of the pixel
// budget, the largest ordinary progressive file of the work budget, and a
// hostile progressive file that repeats its heaviest scan up to that budget.
// Setting them up takes a minute (finding the edges decodes trial files).
#include "bench/bare_jpeg.h"
#include "fixtures/jpeg_codec.h"
#include "media/jpeg_image.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>
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
    struct Limit {
        const char* name;
        QByteArray bytes;
    };
    std::vector<Limit> limits;
    {
        // The pixel budgets' edges: 10240 x 10240 colour, 8192 x 8192 grey.
        limits.push_back({"limits/largest_colour", EncodeJpeg(Photo(10240, 10240, 3))});
        limits.push_back({"limits/largest_grey", EncodeJpeg(Photo(8192, 8192, 1))});
        EncodeOptions progressive;
        progressive.progressive = true;
        // libjpeg's usual ten-scan progression, 4:3, as wide as the work budget allows.
        limits.push_back({"limits/largest_progressive", lastAccepted(1000, 12000, [&](int w) {
                              return EncodeJpeg(Photo(w, w * 3 / 4, 3), progressive);
                          })});
        // Noise at full quality leaves every coefficient non-zero, so the final
        // refinement scan touches all of them; repeated, it is the costliest
        // scan per unit of counted work.
        progressive.quality = 100;
        const QByteArray base = EncodeJpeg(Photo(2000, 2000, 3), progressive);
        limits.push_back({"limits/worst_progressive",
                          lastAccepted(10, 400, [&](int scans) { return WithRepeatedScan(base, -1, scans); })});
    }
    for (const Limit& l : limits) {
        const QString path = dir.filePath(QString::fromLatin1(l.name).section('/', 1) + QStringLiteral(".jpg"));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(l.bytes) < 0)
            return 1;
        f.close();
        const tavelo::JpegHeader h = tavelo::ParseJpegHeader(
            reinterpret_cast<const unsigned char*>(l.bytes.constData()), static_cast<std::size_t>(l.bytes.size()));
        std::printf("%s: %d x %d, %zu scans, %lld bytes\n", l.name, h.width, h.height, Scans(l.bytes).size(),
                    static_cast<long long>(l.bytes.size()));
        benchmark::RegisterBenchmark(l.name, Program, path)->Unit(benchmark::kMillisecond)->UseRealTime();
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
