// Building the song catalogue of a large disc (200 albums x 30 songs), both
// phases, against two floors of plain readdir + sort: each folder once, and
// the same sequence of reads the catalogue makes (the sound folder is read
// again before every album after the first).

#include "base/error_report.h"
#include "menu/form1_inside.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kAlbums = 200;
constexpr int kSongs = 30;

QTemporaryDir* g_disc = nullptr;

void MakeDisc()
{
    g_disc = new QTemporaryDir;
    const QString root = g_disc->path();
    for (int a = 0; a < kAlbums; ++a) {
        const QString album = root + QStringLiteral("/sound/%1 Album number %1").arg(a);
        QDir().mkpath(album);
        for (int s = 0; s < kSongs; ++s) {
            QFile f(album + QStringLiteral("/%1 Song title %1.mp3").arg(s));
            f.open(QIODevice::WriteOnly);
        }
    }
    QDir().mkpath(root + QStringLiteral("/picture"));
    QDir().mkpath(root + QStringLiteral("/about group"));
    QFile(root + QStringLiteral("/about group/about.txt")).open(QIODevice::WriteOnly);
    if (::chdir(QFile::encodeName(root).constData()) != 0)
        std::abort();
}

struct Silent : tavelo::ErrorReport {
    void Report(const QString&) override {}
};

void BM_Catalogue(benchmark::State& state)
{
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

// The same folder reads the catalogue makes: the sound folder, then for each
// album the sound folder again (except before the first) and the album.
void BM_ReaddirSameReads(benchmark::State& state)
{
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

BENCHMARK(BM_Catalogue)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReaddirFloor)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReaddirSameReads)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    MakeDisc();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete g_disc;
    return 0;
}
