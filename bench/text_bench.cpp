// What opening a text page costs: LoadTextFile into the large view (read,
// decode, fill, caret, first paint) against the floor of a bare QTextEdit with
// the same view settings given the same text (setPlainText, first paint), for
// help texts of 1 and 2 MB and the largest the program takes, in Windows-1251,
// and a 2 MB RTF document (its floor: the plain text it shows). Texts of 5 MB
// (too much to lay out in time) and 20 MB (past the size limit) are refused;
// the refusals are timed on their own.
//
// Each iteration times both, one after the other, so a busy machine slows
// both alike; the reported time is the program's, "floor_ms" the bare view's
// and "ratio" program / floor over all iterations. Needs a QApplication; the
// offscreen platform is used unless QT_QPA_PLATFORM says otherwise.

#include "base/errors.h"
#include "bench/text_corpus.h"
#include "media/plain_text.h"
#include "media/text_view.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextEdit>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

QTemporaryDir* g_dir = nullptr;

tavelo::TRichEditSettings LargeViewSettings()
{
    tavelo::TRichEditSettings s;
    s.Alignment = tavelo::TAlignment::taCenter;
    s.WordWrap = false;
    s.ScrollBars = tavelo::TScrollStyle::ssBoth;
    s.WantReturns = false;
    s.Color = tavelo::clInfoBk;
    s.FontName = QStringLiteral("Monotype Corsiva");
    s.FontHeightPx = 19;
    s.FontColor = tavelo::clBackground;
    return s;
}

void PrepareBare(QTextEdit& edit, const tavelo::TRichEdit& like)
{
    edit.setLineWrapMode(QTextEdit::NoWrap);
    edit.setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    QTextOption option = edit.document()->defaultTextOption();
    option.setAlignment(Qt::AlignHCenter);
    edit.document()->setDefaultTextOption(option);
    edit.setFont(like.font());
    edit.document()->setDefaultFont(like.document()->defaultFont());
    edit.setPalette(like.palette());
    edit.resize(like.size());
}

void BM_TextPage(benchmark::State& state, QString file, QString floorText)
{
    QWidget window;
    window.resize(700, 460);
    tavelo::TRichEdit view(&window);
    view.Configure(LargeViewSettings());
    view.setGeometry(0, 8, 313, 433);
    QTextEdit bare(&window);
    PrepareBare(bare, view);
    bare.move(330, 8);
    window.show();
    QCoreApplication::processEvents();

    double programTotal = 0;
    double floorTotal = 0;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        tavelo::LoadTextFile(&view, file);
        view.viewport()->repaint();
        const double program = t.nsecsElapsed() / 1e9;

        t.restart();
        bare.setPlainText(floorText);
        bare.viewport()->repaint();
        const double floor = t.nsecsElapsed() / 1e9;

        state.SetIterationTime(program);
        programTotal += program;
        floorTotal += floor;
        QCoreApplication::processEvents();  // deferred deletes; the background layout is left alone
    }
    state.counters["floor_ms"] = benchmark::Counter(floorTotal * 1e3, benchmark::Counter::kAvgIterations);
    state.counters["ratio"] = floorTotal > 0 ? programTotal / floorTotal : 0;
    if (view.document()->isEmpty())
        state.SkipWithError("nothing loaded");
}

QString Write(const QString& name, const QByteArray& bytes)
{
    const QString path = g_dir->filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        std::abort();
    return path;
}

}  // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    g_dir = new QTemporaryDir;
    for (const qsizetype bytes : {qsizetype(1) << 20, qsizetype(2) << 20, tavelo::bench::LargestTaken("plain")}) {
        const QByteArray text = tavelo::bench::PlainHelpText(bytes);
        const std::string name = bytes == qsizetype(1) << 20   ? "1MB"
                                 : bytes == qsizetype(2) << 20 ? "2MB"
                                                               : "largest_" + std::to_string(bytes >> 10) + "KiB";
        const QString path = Write(QString::fromStdString(name) + ".txt", text);
        benchmark::RegisterBenchmark(("text_page/plain_" + name).c_str(), BM_TextPage, path,
                                     *tavelo::DecodePlainText(text))
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime();
    }
    {
        QString shown;
        const QByteArray rtf = tavelo::bench::RtfHelpText(qsizetype(2) << 20, &shown);
        const QString path = Write(QStringLiteral("help.rtf"), rtf);
        benchmark::RegisterBenchmark("text_page/rtf_2MB", BM_TextPage, path, shown)
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime();
    }
    for (const int mb : {5, 20}) {
        const QString path =
            Write(QStringLiteral("plain%1.txt").arg(mb), tavelo::bench::PlainHelpText(qsizetype(mb) << 20));
        benchmark::RegisterBenchmark(("text_page/refused_" + std::to_string(mb) + "MB").c_str(),
                                     [path](benchmark::State& state) {
                                         tavelo::TRichEdit view;
                                         view.Configure(LargeViewSettings());
                                         for (auto _ : state) {
                                             try {
                                                 tavelo::LoadTextFile(&view, path);
                                                 state.SkipWithError("a text over the limits was taken");
                                             } catch (const tavelo::EOutOfResources&) {
                                             }
                                         }
                                     })
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete g_dir;
    return 0;
}
