// One measurement of opening the Help page, for bench/text_page_table.sh:
//
//   text_page_probe tavelo KIND MB   the window's Help button: click until the
//                                    help text is painted, then Ctrl+End
//   text_page_probe group  KIND MB   the same text as the group text: loaded
//                                    into the group page's wrapping view,
//                                    then Ctrl+End
//   text_page_probe bare   KIND MB   a bare QTextEdit with the view's settings
//                                    given the same text (for rtf: the text
//                                    the document shows)
//
// KIND is one of the help texts of bench/text_corpus.h (plain, rtf, short,
// long, breaks, oneline, the feature texts and prose); MB "max" is the
// largest of its kind the program takes.
//
// Prints "ms=<click to painted> idle_kb=<RSS before> peak_kb=<peak RSS after
// the text is laid out to its end> kept_kb=<RSS then, the heap left free by
// loading given back>"; a text the window refuses prints the
// error and times the click to the error report. The click runs the button's
// handler exactly as a mouse click does; "painted" is the end of the first
// paint of the text view after it. Memory comes from /proc/self (the peak is
// reset before the click), so the text's own cost is peak_kb - idle_kb.
// For the window, "hold_ms" is the longest the event loop was held from the
// click on, Ctrl+End pressed as soon as the text shows included: the jump
// lays out at once all the text the background layout has not reached yet.

#include "base/error_report.h"
#include "base/errors.h"
#include "bench/text_corpus.h"
#include "media/plain_text.h"
#include "media/rtf_reader.h"
#include "media/text_view.h"
#include "menu/form1_inside.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextLayout>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <malloc.h>
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

// RSS once the heap left free by loading has gone back: what the shown text
// keeps, as against the peak it needed on the way.
long KeptKb()
{
    malloc_trim(0);
    return StatusKb("VmRSS:");
}

// The longest the event loop goes without turning: a timer asks to run every
// millisecond, so a gap between its runs is time the window was held.
class HoldWatch {
public:
    HoldWatch()
    {
        ticks_.setTimerType(Qt::PreciseTimer);
        ticks_.setInterval(1);
        QObject::connect(&ticks_, &QTimer::timeout, [this] { Tick(); });
    }
    void Start()
    {
        clock_.start();
        last_ = 0;
        ticks_.start();
    }
    void Tick()
    {
        const qint64 now = clock_.elapsed();
        longest_ = std::max(longest_, now - last_);
        last_ = now;
    }
    qint64 Longest() const { return longest_; }

private:
    QTimer ticks_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 longest_ = 0;
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4)
        return 2;
    QApplication app(argc, argv);
    const bool bare = std::strcmp(argv[1], "bare") == 0;
    const bool group = std::strcmp(argv[1], "group") == 0;
    const std::string_view kind = argv[2];
    const qsizetype bytes = std::strcmp(argv[3], "max") == 0 ? tavelo::bench::LargestTaken(kind)
                                                             : static_cast<qsizetype>(std::atof(argv[3]) * 1024 * 1024);

    QTemporaryDir disc;
    QString shownText;
    {
        const std::optional<QByteArray> content = tavelo::bench::HelpText(kind, bytes, &shownText);
        if (!content)
            return 2;
        if (kind != "rtf" && bare)
            shownText = *tavelo::DecodePlainText(*content);
        QDir(disc.path()).mkpath(QStringLiteral("help"));
        QFile f(disc.path() + QStringLiteral("/help/help.txt"));
        if (!f.open(QIODevice::WriteOnly) || f.write(*content) != content->size())
            return 1;
    }
    if (::chdir(QFile::encodeName(disc.path()).constData()) != 0)
        return 1;

    PaintWatch watch;
    QElapsedTimer timer;
    long idle = 0;
    long kept = 0;
    qint64 ms = 0;
    qint64 holdMs = -1;
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
        malloc_trim(0);  // heap left free by making the text goes back; reused unseen, it would hide a cost
        idle = StatusKb("VmRSS:");
        ResetPeak();
        timer.start();
        edit->setPlainText(shownText);
        edit->show();
        while (!watch.painted)
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        ms = timer.elapsed();
        if (std::getenv("PROBE_BARE_MEMORY")) {  // the floor's time alone, unless asked
            WaitForLayout(edit->document());
            kept = KeptKb();
        }
    } else {
        Silent report;
        tavelo::InstallErrorReport(&report);
        tavelo::TForm1::Options options;
        options.runFormCreate = false;  // no pictures or songs: the help text alone
        tavelo::TForm1 window(options);
        tavelo::TForm1::Inside form(window);
        window.show();
        Settle(300);
        tavelo::TRichEdit* const view = group ? form.RichEdit1 : form.RichEdit2;
        view->viewport()->installEventFilter(&watch);
        malloc_trim(0);  // heap left free by making the text goes back; reused unseen, it would hide a cost
        idle = StatusKb("VmRSS:");
        ResetPeak();
        HoldWatch hold;
        hold.Start();
        timer.start();
        if (group) {
            // The group text as the window loads it at start, on the group page.
            try {
                tavelo::LoadTextFile(view, QStringLiteral("help/help.txt"));
                view->setVisible(true);
            } catch (const tavelo::Exception& e) {
                report.Report(e.Message());
            }
        } else {
            form.BitBtn6->click();
        }
        hold.Tick();  // the handler held the loop since the last tick
        while (!watch.painted && !report.reported)
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        ms = timer.elapsed();  // a refused text: click to the error report
        if (!report.reported) {
            if (view->textCursor().position() != 0 || view->verticalScrollBar()->value() != 0)
                std::fprintf(stderr, "not at the top\n");
            QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
            QCoreApplication::sendEvent(view, &end);
            hold.Tick();
            WaitForLayout(view->document());
            kept = KeptKb();
        }
        holdMs = hold.Longest();
        tavelo::InstallErrorReport(nullptr);
    }
    const long peak = StatusKb("VmHWM:");
    char counts[256] = "";
    if (!bare) {
        // What the limits count in the text, whether or not they take it.
        QFile f(disc.path() + QStringLiteral("/help/help.txt"));
        f.open(QIODevice::ReadOnly);
        const QByteArray content = f.readAll();
        const tavelo::ParagraphStats s =
            tavelo::LooksLikeRtf(content)
                ? tavelo::ParseRtf(content, [](const tavelo::ParagraphStats&) { return true; })->Stats()
                : tavelo::Paragraphs(*tavelo::DecodePlainText(content));
        std::snprintf(counts, sizeof counts,
                      " work=%lld chars=%lld paragraphs=%lld formats=%lld scripts=%lld directions=%lld fallbacks=%lld "
                      "rtl=%lld tabs=%lld marks=%lld",
                      static_cast<long long>(tavelo::LayoutWork(s)), static_cast<long long>(s.chars),
                      static_cast<long long>(s.count), static_cast<long long>(s.runs),
                      static_cast<long long>(s.shaping.scriptRuns), static_cast<long long>(s.shaping.directionChanges),
                      static_cast<long long>(s.shaping.fallbackChars),
                      static_cast<long long>(s.shaping.rightToLeftChars), static_cast<long long>(s.shaping.tabs),
                      static_cast<long long>(s.shaping.marks));
    }
    std::printf("ms=%lld idle_kb=%ld peak_kb=%ld kept_kb=%ld bytes=%lld", static_cast<long long>(ms), idle, peak, kept,
                static_cast<long long>(bytes));
    if (holdMs >= 0)
        std::printf(" hold_ms=%lld", static_cast<long long>(holdMs));
    std::printf("%s\n", counts);
    return 0;
}
