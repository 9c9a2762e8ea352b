// tavelo-disc: the author's tool. check a disc folder the way the menu will
// meet it, preview what the menu will show, build its image with the program
// kit, or start a new one.
// Exit status: 0 fine, 1 the disc has errors, 2 the command could not run.

#include "author/disc_check.h"
#include "author/disc_image.h"
#include "author/disc_new.h"
#include "author/disc_preview.h"
#include "content/file_system.h"
#include "content/paths.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

using namespace tavelo::author;

constexpr int kOk = 0;
constexpr int kDiscErrors = 1;
constexpr int kCannotRun = 2;

void Print(FILE* to, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), to);
    std::fflush(to);
}

// A name in why may hold control characters: they are shown escaped.
int Fail(const QString& why)
{
    Print(stderr, QStringLiteral("tavelo-disc: %1\n").arg(Visible(why)));
    return kCannotRun;
}

// A progress bar on a terminal's stderr, once the work has run a second.
class ProgressBar {
public:
    explicit ProgressBar(QString label = QStringLiteral("Decoding pictures"))
        : tty_(tavelo::StandardErrorIsTerminal()), label_(std::move(label))
    {
        clock_.start();
    }
    ~ProgressBar() { Clear(); }

    void Show(int done, int total)
    {
        if (!tty_ || clock_.elapsed() < 1000 || total <= 0)
            return;
        constexpr int kWidth = 30;
        const int filled = kWidth * done / total;
        Print(stderr, QStringLiteral("\r%1 [%2%3] %4/%5")
                          .arg(label_, QString(filled, QLatin1Char('#')), QString(kWidth - filled, QLatin1Char('.')))
                          .arg(done)
                          .arg(total));
        shown_ = true;
    }

    void Clear()
    {
        if (shown_)
            Print(stderr, QStringLiteral("\r%1\r").arg(QString(60, QLatin1Char(' '))));
        shown_ = false;
    }

private:
    bool tty_;
    QString label_;
    bool shown_ = false;
    QElapsedTimer clock_;
};

bool ParseOrFail(QCommandLineParser& parser, const QStringList& args, int& status)
{
    if (!parser.parse(args)) {
        status = Fail(parser.errorText());
        return false;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        Print(stdout, parser.helpText());
        status = kOk;
        return false;
    }
    return true;
}

// Arguments are decoded losslessly (DecodeName): a folder's path keeps its
// bytes, a "\\" or bytes that are not UTF-8 included. Qt's file classes take
// them back through QtPath.
QString QtPath(const QString& argument) { return tavelo::QtPathOf(tavelo::EncodeName(argument)); }

// True when the argument's bytes are UTF-8, which is all Qt's file classes and
// the programs they start can be given.
bool IsValidUtf8Path(const QString& argument)
{
    return std::none_of(argument.begin(), argument.end(),
                        [](QChar c) { return c.unicode() >= 0xDC80 && c.unicode() <= 0xDCFF; });
}

CheckReport RunCheck(const QString& dir, qint64 extraBytes)
{
    ProgressBar bar;
    CheckOptions options;
    options.extraBytes = extraBytes;
    options.progress = [&bar](int done, int total) { bar.Show(done, total); };
    CheckReport report = CheckDisc(tavelo::EncodeName(dir), options);
    bar.Clear();
    return report;
}

int Check(QCommandLineParser& parser, const QStringList& args)
{
    parser.addPositionalArgument(QStringLiteral("DIR"),
                                 QStringLiteral("The disc's top folder (default: the current folder)."),
                                 QStringLiteral("[DIR]"));
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("Print the findings as one JSON document."));
    parser.addOption(json);
    int status = kOk;
    if (!ParseOrFail(parser, args, status))
        return status;
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 2)
        return Fail(QStringLiteral("check takes one folder"));
    const QString dir = positional.size() == 2 ? positional[1] : QStringLiteral(".");
    try {
        const CheckReport report = RunCheck(dir, 0);
        Print(stdout, parser.isSet(json) ? QString::fromUtf8(ReportJson(report)) : ReportText(report));
        return report.Count(Severity::Error) > 0 ? kDiscErrors : kOk;
    } catch (const CheckFailure& e) {
        return Fail(QString::fromUtf8(e.what()));
    }
}

bool Inside(const QString& path, const QString& folder)
{
    const QString f = QFileInfo(folder).canonicalFilePath();
    return !f.isEmpty() && (path == f || path.startsWith(f + QLatin1Char('/')));
}

// Parses "command DIR -o OUTPUT": false (with status set) unless DIR is one
// folder whose path is UTF-8 and the output is given.
bool DiscAndOutput(QCommandLineParser& parser, const QStringList& args, const QCommandLineOption& output,
                   const QString& command, const QString& outputName, QString& dir, int& status)
{
    if (!ParseOrFail(parser, args, status))
        return false;
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 2)
        status = Fail(QStringLiteral("%1 takes one folder: tavelo-disc %1 DIR -o %2").arg(command, outputName));
    else if (!parser.isSet(output))
        status = Fail(QStringLiteral("give the %1's output with -o %2").arg(command, outputName));
    else if (!IsValidUtf8Path(positional[1]))
        status = Fail(QStringLiteral("%1: %2 needs a folder whose path is UTF-8").arg(positional[1], command));
    else if (!QFileInfo(QtPath(positional[1])).isDir())
        status = Fail(QStringLiteral("%1: no such folder").arg(QtPath(positional[1])));
    else {
        dir = positional[1];
        return true;
    }
    return false;
}

int Image(QCommandLineParser& parser, const QStringList& args)
{
    parser.addPositionalArgument(QStringLiteral("DIR"), QStringLiteral("The disc's top folder."));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("The image file to write."), QStringLiteral("FILE.iso"));
    const QCommandLineOption label(QStringLiteral("label"),
                                   QStringLiteral("The volume label (default: from the folder's name)."),
                                   QStringLiteral("NAME"));
    const QCommandLineOption force(QStringLiteral("force"), QStringLiteral("Build even when the check finds errors."));
    const QCommandLineOption kitOption(
        QStringLiteral("kit"),
        QStringLiteral("The program kit to put beside the disc (default: kit/ beside tavelo-disc)."),
        QStringLiteral("KITDIR"));
    parser.addOptions({output, label, force, kitOption});
    int status = kOk;
    QString given;
    if (!DiscAndOutput(parser, args, output, QStringLiteral("image"), QStringLiteral("FILE.iso"), given, status))
        return status;
    const QString dir = QtPath(given);

    const QString kit = parser.isSet(kitOption) ? QtPath(parser.value(kitOption)) : DefaultKitFolder();
    if (kit.isEmpty())
        return Fail(QStringLiteral("no program kit found beside tavelo-disc: run tools/make-kit.sh and pass "
                                   "--kit build/kit (or the folder it made)"));
    if (const QString problem = KitProblem(kit); !problem.isEmpty())
        return Fail(problem);
    if (const QStringList clashes = KitConflicts(dir, kit); !clashes.isEmpty())
        return Fail(
            QStringLiteral(
                "the disc already holds %1, which the kit puts at the top of the image; remove it from the disc")
                .arg(clashes.join(QStringLiteral(", "))));

    const QFileInfo out(QtPath(parser.value(output)));
    const QString outFolder = out.absoluteDir().canonicalPath();
    if (outFolder.isEmpty())
        return Fail(QStringLiteral("%1: the folder for the image does not exist").arg(out.filePath()));
    const QString outPath = outFolder + QLatin1Char('/') + out.fileName();
    if (Inside(outPath, dir) || Inside(outPath, kit))
        return Fail(QStringLiteral("write the image outside the disc and the kit folders"));
    if (out.isDir())
        return Fail(QStringLiteral("%1 is a folder").arg(out.filePath()));

    const QString volume = parser.isSet(label) ? parser.value(label) : DefaultLabel(dir);
    if (volume.isEmpty() || volume.toUtf8().size() > 32)
        return Fail(QStringLiteral("the label must be 1 to 32 bytes long"));
    // Windows reads the label from the Joliet names, which hold 16 characters.
    if (volume.size() > 16)
        Print(stderr, QStringLiteral("tavelo-disc: Windows shows only the first 16 characters of the label: \"%1\"\n")
                          .arg(volume.left(16)));

    CheckReport report;
    try {
        report = RunCheck(given, KitBytes(kit));
    } catch (const CheckFailure& e) {
        return Fail(QString::fromUtf8(e.what()));
    }
    Print(stdout, ReportText(report));
    const int errors = report.Count(Severity::Error);
    if (errors > 0 && !parser.isSet(force)) {
        Print(stderr, QStringLiteral("tavelo-disc: not building the image: the check found %1 error(s) "
                                     "(fix them, or pass --force to build anyway)\n")
                          .arg(errors));
        return kDiscErrors;
    }
    if (const QString problem = BuildImage(dir, kit, outPath, volume); !problem.isEmpty())
        return Fail(problem);
    Print(stdout, QStringLiteral("\nImage written: %1 (label %2, %3 MB)\n")
                      .arg(outPath, volume)
                      .arg(static_cast<double>(QFileInfo(outPath).size()) / 1e6, 0, 'f', 1));
    return kOk;
}

// Where path will be once made: its nearest existing folder, canonical, with
// the rest of path after it.
QString ToBeMade(const QString& path)
{
    QString at = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    QStringList rest;
    while (!QFileInfo::exists(at)) {
        const QString up = QFileInfo(at).path();
        if (up == at)
            break;
        rest.prepend(QFileInfo(at).fileName());
        at = up;
    }
    const QString real = QFileInfo(at).canonicalFilePath();
    if (real.isEmpty())
        return at;
    return rest.isEmpty() ? real : QDir::cleanPath(real + QLatin1Char('/') + rest.join(QLatin1Char('/')));
}

// An output folder is new, empty, or holds an earlier preview, whose pictures
// and page are removed so that none of them outlives its view. Returns what
// is wrong, or empty.
QString ClearEarlierPreview(const QString& folder)
{
    const QDir dir(folder);
    if (!dir.exists() || dir.isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        return QString();
    QFile index(dir.filePath(QStringLiteral("index.html")));
    if (!index.open(QIODevice::ReadOnly) || !index.read(4096).contains("content=\"tavelo-disc preview\""))
        return QStringLiteral("%1 is not empty and holds no earlier preview: give a new or an empty folder")
            .arg(folder);
    index.close();
    QStringList ours = dir.entryList({QStringLiteral("*.png")}, QDir::Files);
    ours << QStringLiteral("index.html");
    for (const QString& name : ours)
        if (!QFile::remove(dir.filePath(name)))
            return QStringLiteral("%1: cannot remove the earlier preview's %2").arg(folder, name);
    return QString();
}

int PreviewCommand(QCommandLineParser& parser, const QStringList& args)
{
    parser.addPositionalArgument(QStringLiteral("DIR"), QStringLiteral("The disc's top folder."));
    const QCommandLineOption output(
        {QStringLiteral("o"), QStringLiteral("output")},
        QStringLiteral("The folder for the pictures and index.html: new, empty, or an earlier preview's."),
        QStringLiteral("FOLDER"));
    parser.addOption(output);
    int status = kOk;
    QString given;
    if (!DiscAndOutput(parser, args, output, QStringLiteral("preview"), QStringLiteral("FOLDER"), given, status))
        return status;
    if (!IsValidUtf8Path(parser.value(output)))
        return Fail(QStringLiteral("%1: preview needs an output folder whose path is UTF-8").arg(parser.value(output)));
    const QString dir = QtPath(given);
    const QString out = ToBeMade(QtPath(parser.value(output)));
    if (Inside(out, dir))
        return Fail(QStringLiteral("write the preview outside the disc folder"));
    if (QFileInfo::exists(out) && !QFileInfo(out).isDir())
        return Fail(QStringLiteral("%1 is not a folder").arg(out));
    if (const QString problem = ClearEarlierPreview(out); !problem.isEmpty())
        return Fail(problem);
    if (!QDir().mkpath(out))
        return Fail(QStringLiteral("%1: cannot make the folder").arg(out));

    // From beside a kit the faces the kit carries are the menu's too.
    if (const QString kit = DefaultKitFolder(); !kit.isEmpty()) {
        const QDir fonts(kit + QStringLiteral("/tavelo/fonts"));
        for (const QString& name : fonts.entryList(QDir::Files))
            QFontDatabase::addApplicationFont(fonts.filePath(name));
    }

    QElapsedTimer clock;
    clock.start();
    ProgressBar decoding;
    ProgressBar drawing(QStringLiteral("Drawing views"));
    PreviewOptions options;
    options.check.progress = [&decoding](int done, int total) { decoding.Show(done, total); };
    options.progress = [&](int done, int total) {
        decoding.Clear();
        drawing.Show(done, total);
    };
    Preview preview;
    try {
        preview = MakePreview(tavelo::EncodeName(given), out, options);
    } catch (const CheckFailure& e) {
        return Fail(QString::fromUtf8(e.what()));
    } catch (const PreviewFailure& e) {
        return Fail(QString::fromUtf8(e.what()));
    }
    const QString page = out + QStringLiteral("/index.html");
    QFile file(page);
    const QByteArray html = PreviewHtml(preview);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(html) != html.size() || !file.flush())
        return Fail(QStringLiteral("%1: %2").arg(page, file.errorString()));
    file.close();
    decoding.Clear();
    drawing.Clear();

    for (const PreviewView& v : preview.views)
        for (const QString& box : v.unconfirmed)
            Print(stderr, QStringLiteral("tavelo-disc: %1: the menu shows \"%2\", which the check does not report\n")
                              .arg(v.caption, Visible(box)));
    const CheckReport& check = preview.check;
    Print(stdout,
          QStringLiteral("%1 error(s), %2 warning(s), %3 note(s); %4 views drawn in %5 s.\nPreview written: %6\n")
              .arg(check.Count(Severity::Error))
              .arg(check.Count(Severity::Warning))
              .arg(check.Count(Severity::Note))
              .arg(preview.views.size())
              .arg(static_cast<double>(clock.elapsed()) / 1000.0, 0, 'f', 1)
              .arg(page));
    return check.Count(Severity::Error) > 0 ? kDiscErrors : kOk;
}

int New(QCommandLineParser& parser, const QStringList& args)
{
    parser.addPositionalArgument(QStringLiteral("DIR"),
                                 QStringLiteral("The folder to lay the disc out in (new or empty)."));
    int status = kOk;
    if (!ParseOrFail(parser, args, status))
        return status;
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 2)
        return Fail(QStringLiteral("new takes one folder: tavelo-disc new DIR"));
    if (const QString problem = NewDisc(QtPath(positional[1])); !problem.isEmpty())
        return Fail(problem);
    Print(stdout, QStringLiteral(
                      "Made %1 with the seven folders and a template help/help.txt.\n"
                      "Next: put the slides (*.jpg) in picture/, one folder per album of *.mp3 songs in sound/,\n"
                      "their lyrics in text/<album>/<song>.txt, the group photo and about.txt in \"about group\"/,\n"
                      "about.txt in \"about disk\"/, the player picture, player.exe and playersetup.exe in player/;\n"
                      "then run: tavelo-disc check %1\n")
                      .arg(Visible(positional[1])));
    return kOk;
}

// The first argument that is not an option names the command.
bool IsPreview(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (argv[i][0] != '-')
            return std::strcmp(argv[i], "preview") == 0;
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    // Only the preview draws: it builds the window offscreen, so it needs no
    // display and draws the same whatever the desktop.
    std::unique_ptr<QCoreApplication> app;
    if (IsPreview(argc, argv)) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("tavelo-disc"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("The author's tool for a Tavelo disc.\n"
                       "  check [DIR]                  report every problem the menu would meet\n"
                       "  preview DIR -o FOLDER        draw what the menu will show, as PNG files and index.html\n"
                       "  image DIR -o FILE.iso        check, then build the disc image with the program kit\n"
                       "  new DIR                      lay out an empty disc"));
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("check, preview, image or new"));
    parser.addHelpOption();

    QStringList args;
    for (const QByteArray& arg : tavelo::ProgramArguments(argc, argv))
        args << tavelo::DecodeName(arg);
    // The first pass only finds the command; its own options come next.
    parser.parse(args);
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty()) {
        if (parser.isSet(QStringLiteral("help"))) {
            Print(stdout, parser.helpText());
            return kOk;
        }
        Print(stderr, parser.helpText());
        return kCannotRun;
    }
    const QString command = positional.first();
    parser.clearPositionalArguments();
    parser.addPositionalArgument(command, QStringLiteral("The command."), command);
    if (command == QLatin1String("check"))
        return Check(parser, args);
    if (command == QLatin1String("preview"))
        return PreviewCommand(parser, args);
    if (command == QLatin1String("image"))
        return Image(parser, args);
    if (command == QLatin1String("new"))
        return New(parser, args);
    return Fail(QStringLiteral("unknown command \"%1\": use check, preview, image or new").arg(command));
}
