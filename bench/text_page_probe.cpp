// One measurement of opening the Help page, for bench/text_page_table.sh:
//
//   text_page_probe tavelo plain|rtf MB   the window's Help button: click until
//                                         the help text is painted
//   text_page_probe bare   plain|rtf MB   a bare QTextEdit with the view's
//                                         settings given the same text (for rtf:
//                                         the text the document shows)
//
// "breaks" instead of plain is a text of nothing but line breaks, the most
// paragraphs a text of its size can hold; "oneline" one paragraph of words.
//
// Prints "ms=<click to painted> idle_kb=<RSS before> peak_kb=<peak RSS after
// the click, background layout finished>"; a text the window refuses prints
// the error and times the click to the error report. The click runs the button's handler
// exactly as a mouse click does; "painted" is the end of the first paint of the
// text view after it. Memory comes from /proc/self (the peak is reset before
// the click), so the text's own cost is peak_kb - idle_kb.

#include "base/error_report.h"
#include "bench/text_corpus.h"
#include "media/plain_text.h"
#include "menu/form1_inside.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextLayout>
#include <QThread>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

long StatusKb(const char* field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray all = f.readAll();
    const qsizetype at = all.indexOf(field);
    if (at < 0)
        return -1;
    return std::atol(all.constData() + at + std::strlen(field));
}

void ResetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

class PaintWatch : public QObject {
public:
    bool painted = false;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

void Settle(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
}

// Runs events until the view's background layout has reached the last
// paragraph (a laid-out paragraph has lines; asking the layout for its size
// would lay out everything at once instead). Returns the milliseconds taken.
qint64 WaitForLayout(const QTextDocument* doc)
{
    QElapsedTimer t;
    t.start();
    while (doc->lastBlock().layout()->lineCount() == 0 && t.elapsed() < 120000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return t.elapsed();
}

struct Silent : tavelo::ErrorReport {
    bool reported = false;
    void Report(const QString& m) override
    {
        reported = true;
        std::printf("error: %s\n", qPrintable(m));
    }
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4)
        return 2;
    QApplication app(argc, argv);
    const bool bare = std::strcmp(argv[1], "bare") == 0;
    const bool rtf = std::strcmp(argv[2], "rtf") == 0;
    const bool breaks = std::strcmp(argv[2], "breaks") == 0;    // nothing but line breaks: one paragraph per byte
    const bool oneLine = std::strcmp(argv[2], "oneline") == 0;  // words and no line break at all
    const qsizetype bytes = static_cast<qsizetype>(std::atof(argv[3]) * 1024 * 1024);

    QTemporaryDir disc;
    QString shownText;
    {
        const QByteArray content = rtf       ? tavelo::bench::RtfHelpText(bytes, &shownText)
                                   : breaks  ? QByteArray(bytes, '\n')
                                   : oneLine ? QByteArray("word ").repeated(bytes / 5)
                                             : tavelo::bench::PlainHelpText(bytes);
        if (!rtf && bare)
            shownText = *tavelo::DecodePlainText(content);
        QDir(disc.path()).mkpath(QStringLiteral("help"));
        QFile f(disc.path() + QStringLiteral("/help/help.txt"));
        if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
            return 1;
    }
    if (::chdir(QFile::encodeName(disc.path()).constData()) != 0)
        return 1;

    PaintWatch watch;
    QElapsedTimer timer;
    const QTextDocument* doc = nullptr;
    qint64 layoutMs = 0;
    long idle = 0;
    qint64 ms = 0;
    if (bare) {
        // What the window gives its large view, on a bare QTextEdit.
        QWidget window;
        window.resize(457, 449);
        auto* edit = new QTextEdit(&window);
        edit->setGeometry(136, 8, 313, 433);
        edit->setLineWrapMode(QTextEdit::NoWrap);
        edit->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        QTextOption option = edit->document()->defaultTextOption();
        option.setAlignment(Qt::AlignHCenter);
        edit->document()->setDefaultTextOption(option);
        QFont font(QStringLiteral("Monotype Corsiva"));
        font.setPointSize(14);
        edit->setFont(font);
        edit->document()->setDefaultFont(font);
        edit->hide();
        window.show();
        Settle(300);
        edit->viewport()->installEventFilter(&watch);
        doc = edit->document();
        idle = StatusKb("VmRSS:");
        ResetPeak();
        timer.start();
        edit->setPlainText(shownText);
        edit->show();
        while (!watch.painted)
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        ms = timer.elapsed();
        if (std::getenv("PROBE_BARE_MEMORY"))  // the floor's time alone, unless asked
            layoutMs = WaitForLayout(doc);
    } else {
        Silent report;
        tavelo::InstallErrorReport(&report);
        tavelo::TForm1::Options options;
        options.runFormCreate = false;  // no pictures or songs: the help text alone
        tavelo::TForm1 window(options);
        tavelo::TForm1::Inside form(window);
        window.show();
        Settle(300);
        form.RichEdit2->viewport()->installEventFilter(&watch);
        doc = form.RichEdit2->document();
        idle = StatusKb("VmRSS:");
        ResetPeak();
        timer.start();
        form.BitBtn6->click();
        while (!watch.painted && !report.reported)
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        ms = timer.elapsed();  // a refused text: click to the error report
        if (!report.reported)
            layoutMs = WaitForLayout(doc);
        if (form.RichEdit2->textCursor().position() != 0 || form.RichEdit2->verticalScrollBar()->value() != 0)
            std::fprintf(stderr, "not at the top\n");
        tavelo::InstallErrorReport(nullptr);
    }
    const long peak = StatusKb("VmHWM:");
    std::printf("ms=%lld idle_kb=%ld peak_kb=%ld background_layout_ms=%lld\n", static_cast<long long>(ms), idle, peak,
                static_cast<long long>(layoutMs));
    return 0;
}
