// The author's check of a disc of 300 twelve-megapixel slides against bare
// libjpeg decoding the same 300 files one after another: the check decodes
// on all cores, so its target is the bare time divided by the core count.
// Printed at the end: check / (bare / cores), to stay at or under 1.2.
//
// Then the check on discs whose names make look-ups work: songs named .MP3,
// songs that are .ogg (so none is found), slides named .JPG, and one album
// of many songs, each at two sizes. Printed at the end: the time of the
// larger over the smaller, which stays near 2 when the check is linear.
//
// The disc is made once into a cache folder of the build tree. Encoding 300
// such pictures takes minutes and gigabytes, so the slides are 10 distinct
// photo-like pictures, each hard-linked under 30 names: decoding costs the
// same whatever the file's name, and every slide is still opened, read and
// decoded on its own.
#include "author/disc_check.h"
#include "bench/bare_jpeg.h"
#include "fixtures/jpeg_codec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <jpeglib.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr int kSlides = 300;
constexpr int kDistinct = 10;

QString CacheDisc() { return QStringLiteral(TAVELO_BENCH_CACHE) + QStringLiteral("/disc300"); }

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QString SlidePath(int i) { return CacheDisc() + QStringLiteral("/picture/%1.jpg").arg(i + 1, 3, 10, QLatin1Char('0')); }

// Makes the disc unless a complete one is cached.
bool PrepareDisc()
{
    const QString done = CacheDisc() + QStringLiteral("/.complete");
    if (QFileInfo::exists(done))
        return true;
    QDir(CacheDisc()).removeRecursively();
    const QString sources = CacheDisc() + QStringLiteral("/.sources");
    for (int k = 0; k < kDistinct; ++k) {
        std::printf("encoding 12-megapixel picture %d of %d\n", k + 1, kDistinct);
        std::fflush(stdout);
        const QString src = sources + QStringLiteral("/%1.jpg").arg(k);
        if (!WriteFile(src, tavelo::test::EncodeJpeg(tavelo::test::Photo(4000, 3000, 3, 100 + k))))
            return false;
    }
    QDir().mkpath(CacheDisc() + QStringLiteral("/picture"));
    for (int i = 0; i < kSlides; ++i) {
        const QByteArray from = QFile::encodeName(sources + QStringLiteral("/%1.jpg").arg(i % kDistinct));
        if (::link(from.constData(), QFile::encodeName(SlidePath(i)).constData()) != 0)
            return false;
    }
    const QByteArray page = tavelo::test::EncodeJpeg(tavelo::test::Photo(640, 480, 3));
    const QByteArray mp3("ID3\x03\x00\x00\x00\x00\x00\x00\xFF\xFB\x90\x00", 14);
    const bool ok = WriteFile(CacheDisc() + QStringLiteral("/about group/00 group.jpg"), page) &&
                    WriteFile(CacheDisc() + QStringLiteral("/about group/about.txt"), "The group.\n") &&
                    WriteFile(CacheDisc() + QStringLiteral("/about disk/about.txt"), "The disc.\n") &&
                    WriteFile(CacheDisc() + QStringLiteral("/help/help.txt"), "Help.\n") &&
                    WriteFile(CacheDisc() + QStringLiteral("/player/00 player.jpg"), page) &&
                    WriteFile(CacheDisc() + QStringLiteral("/player/player.exe"), "MZ") &&
                    WriteFile(CacheDisc() + QStringLiteral("/player/playersetup.exe"), "MZ") &&
                    WriteFile(CacheDisc() + QStringLiteral("/sound/A/01 s.mp3"), mp3) &&
                    WriteFile(CacheDisc() + QStringLiteral("/text/A/01 s.txt"), "la\n");
    return ok && WriteFile(done, "");
}

// CPU seconds of the whole process (every thread), to tell work from waiting
// for a core on a busy machine.
double ProcessCpuSeconds()
{
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    const auto s = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return s(u.ru_utime) + s(u.ru_stime);
}

void Check(benchmark::State& state)
{
    if (!PrepareDisc()) {
        state.SkipWithError("cannot make the benchmark disc");
        return;
    }
    const double cpu0 = ProcessCpuSeconds();
    for (auto _ : state) {
        const tavelo::author::CheckReport report = tavelo::author::CheckDisc(CacheDisc());
        if (report.slides.size() != kSlides || report.Count(tavelo::author::Severity::Error) != 0)
            state.SkipWithError("the benchmark disc does not check clean");
        benchmark::DoNotOptimize(report.findings.data());
    }
    state.counters["process_cpu_s"] = ProcessCpuSeconds() - cpu0;
}

void Bare(benchmark::State& state)
{
    if (!PrepareDisc()) {
        state.SkipWithError("cannot make the benchmark disc");
        return;
    }
    std::vector<QByteArray> paths;
    for (int i = 0; i < kSlides; ++i)
        paths.push_back(QFile::encodeName(SlidePath(i)));
    const double cpu0 = ProcessCpuSeconds();
    for (auto _ : state) {
        for (const QByteArray& p : paths)
            benchmark::DoNotOptimize(tavelo::bench::BareDecode(p).constBits());
    }
    state.counters["process_cpu_s"] = ProcessCpuSeconds() - cpu0;
}

// The discs of the look-up cases: a complete disc whose picture folder or
// album holds n entries of one kind.
struct LookupCase {
    const char* name;
    int small;
    int large;
    // Fills the disc's slides and its album "A" with n entries.
    std::function<bool(const QString& disc, int n)> fill;
};

const QByteArray& TinyJpeg()
{
    static const QByteArray bytes = tavelo::test::EncodeJpeg(tavelo::test::Photo(16, 16, 3));
    return bytes;
}

const QByteArray kMp3("ID3\x03\x00\x00\x00\x00\x00\x00\xFF\xFB\x90\x00", 14);

bool Songs(const QString& disc, int n, const char* extension)
{
    for (int i = 0; i < n; ++i) {
        const QString name = QStringLiteral("%1 Song title").arg(i + 1, 5, 10, QLatin1Char('0'));
        if (!WriteFile(disc + QStringLiteral("/sound/A/") + name + QLatin1String(extension), kMp3) ||
            !WriteFile(disc + QStringLiteral("/text/A/") + name + QStringLiteral(".txt"), "la la\n"))
            return false;
    }
    return WriteFile(disc + QStringLiteral("/picture/01.jpg"), TinyJpeg());
}

bool Slides(const QString& disc, int n)
{
    for (int i = 0; i < n; ++i) {
        if (!WriteFile(disc + QStringLiteral("/picture/%1 slide.JPG").arg(i + 1, 5, 10, QLatin1Char('0')), TinyJpeg()))
            return false;
    }
    return WriteFile(disc + QStringLiteral("/sound/A/01 s.mp3"), kMp3) &&
           WriteFile(disc + QStringLiteral("/text/A/01 s.txt"), "la\n");
}

const LookupCase kLookupCases[] = {
    {"mp3_upper", 2000, 4000, [](const QString& d, int n) { return Songs(d, n, ".MP3"); }},
    {"ogg", 2000, 4000, [](const QString& d, int n) { return Songs(d, n, ".ogg"); }},
    {"jpg_upper", 2000, 4000, Slides},
    {"one_album", 10000, 20000, [](const QString& d, int n) { return Songs(d, n, ".mp3"); }},
};

QString LookupDisc(const LookupCase& c, int n)
{
    return QStringLiteral(TAVELO_BENCH_CACHE) + QStringLiteral("/%1_%2").arg(QLatin1String(c.name)).arg(n);
}

bool PrepareLookupDisc(const LookupCase& c, int n)
{
    const QString disc = LookupDisc(c, n);
    const QString done = disc + QStringLiteral("/.complete");
    if (QFileInfo::exists(done))
        return true;
    QDir(disc).removeRecursively();
    const QByteArray page = TinyJpeg();
    const bool ok = c.fill(disc, n) && WriteFile(disc + QStringLiteral("/about group/00 group.jpg"), page) &&
                    WriteFile(disc + QStringLiteral("/about group/about.txt"), "The group.\n") &&
                    WriteFile(disc + QStringLiteral("/about disk/about.txt"), "The disc.\n") &&
                    WriteFile(disc + QStringLiteral("/help/help.txt"), "Help.\n") &&
                    WriteFile(disc + QStringLiteral("/player/00 player.jpg"), page) &&
                    WriteFile(disc + QStringLiteral("/player/player.exe"), "MZ") &&
                    WriteFile(disc + QStringLiteral("/player/playersetup.exe"), "MZ");
    return ok && WriteFile(done, "");
}

void CheckLookups(benchmark::State& state, const LookupCase& c, int n)
{
    if (!PrepareLookupDisc(c, n)) {
        state.SkipWithError("cannot make the benchmark disc");
        return;
    }
    tavelo::author::CheckOptions options;
    for (auto _ : state) {
        const tavelo::author::CheckReport report = tavelo::author::CheckDisc(LookupDisc(c, n), options);
        benchmark::DoNotOptimize(report.findings.data());
        state.counters["findings"] = static_cast<double>(report.findings.size());
    }
}

std::string LookupName(const LookupCase& c, int n) { return std::string("check/") + c.name + "/" + std::to_string(n); }

// Keeps each benchmark's mean real time for the ratio.
class Reporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& r : runs) {
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name != "mean")
                continue;
            seconds[r.run_name.function_name] = r.GetAdjustedRealTime();  // in the benchmark's unit (s)
            const auto cpu = r.counters.find("process_cpu_s");
            if (cpu != r.counters.end())
                cpuSeconds[r.run_name.function_name] = cpu->second.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> seconds;
    std::map<std::string, double> cpuSeconds;
};

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RegisterBenchmark("check/300_slides_12mp", Check)
        ->Unit(benchmark::kSecond)
        ->UseRealTime()
        ->Iterations(1);
    benchmark::RegisterBenchmark("bare/300_slides_12mp", Bare)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);
    for (const LookupCase& c : kLookupCases) {
        for (int n : {c.small, c.large})
            benchmark::RegisterBenchmark(LookupName(c, n).c_str(), CheckLookups, c, n)
                ->Unit(benchmark::kSecond)
                ->UseRealTime()
                ->Iterations(1);
    }
    Reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const auto check = reporter.seconds.find("check/300_slides_12mp");
    const auto bare = reporter.seconds.find("bare/300_slides_12mp");
    if (check != reporter.seconds.end() && bare != reporter.seconds.end() && bare->second > 0) {
        const double target = bare->second / cores;
        std::printf("cores %u: check %.2f s, bare %.2f s / %u = %.2f s, ratio %.3f (target <= 1.2)\n", cores,
                    check->second, bare->second, cores, target, check->second / target);
        // On a shared machine the wall ratio also measures how long the
        // threads waited for a core; the CPU ratio is the work added.
        const double checkCpu = reporter.cpuSeconds["check/300_slides_12mp"];
        const double bareCpu = reporter.cpuSeconds["bare/300_slides_12mp"];
        if (bareCpu > 0)
            std::printf("process CPU: check %.2f s, bare %.2f s, ratio %.3f\n", checkCpu, bareCpu, checkCpu / bareCpu);
    }
    for (const LookupCase& c : kLookupCases) {
        const auto small = reporter.seconds.find(LookupName(c, c.small));
        const auto large = reporter.seconds.find(LookupName(c, c.large));
        if (small != reporter.seconds.end() && large != reporter.seconds.end() && small->second > 0)
            std::printf("%s: %d entries %.2f s, %d entries %.2f s: %.2f times the time for %.1f times the entries "
                        "(linear: about %.1f)\n",
                        c.name, c.small, small->second, c.large, large->second, large->second / small->second,
                        static_cast<double>(c.large) / c.small, static_cast<double>(c.large) / c.small);
    }
    return 0;
}
