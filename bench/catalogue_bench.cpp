// Building the song catalogue: a large disc (200 albums x 30 songs), both
// phases, against two floors of plain readdir + sort: each folder once, and
// the sequence of reads the catalogue used to make (the sound folder read
// again before every album after the first). Then discs of many albums
// (1,000 and 3,000 albums of 10 songs): the first tick alone, the hold the
// window sees right after it appears.

#include "base/error_report.h"
#include "menu/form1_inside.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <dirent.h>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kAlbums = 200;
constexpr int kSongs = 30;
constexpr int kManySongs = 10;

// One disc per album count, made on first use and kept for the run.
std::map<int, QTemporaryDir*> g_discs;

void EnterDisc(int albums, int songs)
{
    QTemporaryDir*& disc = g_discs[albums];
    if (!disc) {
        disc = new QTemporaryDir;
        const QString root = disc->path();
        for (int a = 0; a < albums; ++a) {
            const QString album = root + QStringLiteral("/sound/%1 Album number %1").arg(a);
            QDir().mkpath(album);
            for (int s = 0; s < songs; ++s) {
                QFile f(album + QStringLiteral("/%1 Song title %1.mp3").arg(s));
                f.open(QIODevice::WriteOnly);
            }
        }
        QDir().mkpath(root + QStringLiteral("/picture"));
        QDir().mkpath(root + QStringLiteral("/about group"));
        QFile(root + QStringLiteral("/about group/about.txt")).open(QIODevice::WriteOnly);
    }
    if (::chdir(QFile::encodeName(disc->path()).constData()) != 0)
        std::abort();
}

struct Silent : tavelo::ErrorReport {
    void Report(const QString&) override {}
};

void BM_Catalogue(benchmark::State& state)
{
    EnterDisc(kAlbums, kSongs);
    Silent silent;
    tavelo::InstallErrorReport(&silent);  // the empty picture folder is reported
    int songs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        tavelo::TForm1::Options options;
        options.runFormCreate = false;
        auto* form = new tavelo::TForm1(options);
        tavelo::TForm1::Inside inside(*form);
        state.ResumeTiming();
        inside.FormCreate();
        inside.Timer2Timer();
        state.PauseTiming();
        songs = inside.TreeView1->topLevelItem(kAlbums - 1)->childCount();
        delete form;
        state.ResumeTiming();
    }
    tavelo::InstallErrorReport(nullptr);
    if (songs != kSongs)
        state.SkipWithError("catalogue incomplete");
}

std::vector<std::string> ListSorted(const std::string& dir)
{
    std::vector<std::string> names;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (dirent* e = ::readdir(d)) {
            if (e->d_name[0] != '.')
                names.emplace_back(e->d_name);
        }
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

void BM_ReaddirFloor(benchmark::State& state)
{
    EnterDisc(kAlbums, kSongs);
    size_t total = 0;
    for (auto _ : state) {
        total = 0;
        const std::vector<std::string> albums = ListSorted("sound");
        for (const std::string& a : albums)
            total += ListSorted("sound/" + a).size();
        benchmark::DoNotOptimize(total);
    }
    if (total != static_cast<size_t>(kAlbums * kSongs))
        state.SkipWithError("listing incomplete");
}

// The folder reads the catalogue used to make: the sound folder, then for each
// album the sound folder again (except before the first) and the album.
void BM_ReaddirSameReads(benchmark::State& state)
{
    EnterDisc(kAlbums, kSongs);
    size_t total = 0;
    for (auto _ : state) {
        total = 0;
        std::vector<std::string> albums = ListSorted("sound");
        for (size_t i = 0; i < albums.size(); ++i) {
            if (i > 0)
                albums = ListSorted("sound");
            total += ListSorted("sound/" + albums[i]).size();
        }
        benchmark::DoNotOptimize(total);
    }
    if (total != static_cast<size_t>(kAlbums * kSongs))
        state.SkipWithError("listing incomplete");
}

// The first tick of a disc of many albums, timed alone (the album list is
// built untimed before it).
void BM_FirstTickManyAlbums(benchmark::State& state)
{
    const int albums = static_cast<int>(state.range(0));
    EnterDisc(albums, kManySongs);
    Silent silent;
    tavelo::InstallErrorReport(&silent);
    int songs = 0;
    for (auto _ : state) {
        tavelo::TForm1::Options options;
        options.runFormCreate = false;
        auto* form = new tavelo::TForm1(options);
        tavelo::TForm1::Inside inside(*form);
        inside.FormCreate();
        const auto start = std::chrono::steady_clock::now();
        inside.Timer2Timer();
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        songs = inside.TreeView1->topLevelItem(albums - 1)->childCount();
        delete form;
    }
    tavelo::InstallErrorReport(nullptr);
    if (songs != kManySongs)
        state.SkipWithError("catalogue incomplete");
}

BENCHMARK(BM_Catalogue)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReaddirFloor)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReaddirSameReads)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FirstTickManyAlbums)->Arg(1000)->Arg(3000)->Unit(benchmark::kMillisecond)->UseManualTime();

}  // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (::chdir("/") != 0)
        std::abort();
    for (auto& [albums, disc] : g_discs)
        delete disc;
    return 0;
}
