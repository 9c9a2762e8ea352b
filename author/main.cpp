// tavelo-disc: the author's tool. check a disc folder the way the menu will
// meet it, build its image with the program kit, or start a new one.
// Exit status: 0 fine, 1 the disc has errors, 2 the command could not run.

#include "author/disc_check.h"
#include "author/disc_image.h"
#include "author/disc_new.h"
#include "content/file_system.h"
#include "content/paths.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>

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

// A progress bar on a terminal's stderr, once the check has run a second.
class ProgressBar {
public:
    ProgressBar() : tty_(tavelo::StandardErrorIsTerminal()) { clock_.start(); }
    ~ProgressBar() { Clear(); }

    void Show(int done, int total)
    {
        if (!tty_ || clock_.elapsed() < 1000 || total <= 0)
            return;
        constexpr int kWidth = 30;
        const int filled = kWidth * done / total;
        Print(stderr, QStringLiteral("\rDecoding pictures [%1%2] %3/%4")
                          .arg(QString(filled, QLatin1Char('#')), QString(kWidth - filled, QLatin1Char('.')))
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
    if (!ParseOrFail(parser, args, status))
        return status;
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 2)
        return Fail(QStringLiteral("image takes one folder: tavelo-disc image DIR -o FILE.iso"));
    if (!parser.isSet(output))
        return Fail(QStringLiteral("give the image file with -o FILE.iso"));
    if (!IsValidUtf8Path(positional[1]))
        return Fail(QStringLiteral("%1: image needs a folder whose path is UTF-8").arg(positional[1]));
    const QString dir = QtPath(positional[1]);
    if (!QFileInfo(dir).isDir())
        return Fail(QStringLiteral("%1: no such folder").arg(dir));

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
        report = RunCheck(positional[1], KitBytes(kit));
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

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tavelo-disc"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("The author's tool for a Tavelo disc.\n"
                       "  check [DIR]                  report every problem the menu would meet\n"
                       "  image DIR -o FILE.iso        check, then build the disc image with the program kit\n"
                       "  new DIR                      lay out an empty disc"));
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("check, image or new"));
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
    if (command == QLatin1String("image"))
        return Image(parser, args);
    if (command == QLatin1String("new"))
        return New(parser, args);
    return Fail(QStringLiteral("unknown command \"%1\": use check, image or new").arg(command));
}
