// The tavelo-disc program: exit codes, JSON output, new, preview and image,
// and that nothing inside the disc folder is ever written.
#include "tests/author/author_fixture.h"
#include "tests/fixture.h"
#include "tests/media/private_desktop.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <ostream>
#include <sys/stat.h>
#include <unistd.h>

namespace tavelo::test {
namespace {

struct Result {
    int exit = -1;
    QString out;
    QString err;
};

// program is tavelo-disc unless given (then args are the whole command's).
Result Tool(const QStringList& args, const QString& cwd = QString(), const QString& program = QString())
{
    QProcess p;
    p.setProcessEnvironment(PrivateDesktop::ForThisProcess().ApplyTo(QProcessEnvironment::systemEnvironment()));
    if (!cwd.isEmpty())
        p.setWorkingDirectory(cwd);
    p.start(program.isEmpty() ? QStringLiteral(TAVELO_DISC_EXE) : program, args);
    p.waitForFinished(120000);
    Result r;
    r.exit = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// Every entry under root with its size, time and permissions.
QStringList Snapshot(const QString& root)
{
    QStringList all;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo& f = it.fileInfo();
        all << QStringLiteral("%1 %2 %3 %4")
                   .arg(f.filePath())
                   .arg(f.size())
                   .arg(f.lastModified().toMSecsSinceEpoch())
                   .arg(static_cast<int>(f.permissions()));
    }
    all.sort();
    return all;
}

TEST(DiscTool, CheckExitCodesAndJson)
{
    Disc disc;
    WriteGoodDisc(disc);
    EXPECT_EQ(Tool({QStringLiteral("check")}, disc.Root()).exit, 0);  // DIR defaults to the current folder

    disc.Write(QStringLiteral("picture/03 c.jpg"), "not a picture");
    const QStringList before = Snapshot(disc.Root());
    const Result r = Tool({QStringLiteral("check"), disc.Root(), QStringLiteral("--json")});
    EXPECT_EQ(r.exit, 1) << r.err.toStdString();
    EXPECT_EQ(r.err, QString());  // no progress bar without a terminal
    EXPECT_EQ(Snapshot(disc.Root()), before);

    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(r.out.toUtf8(), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << r.out.toStdString();
    const QJsonArray findings = doc.object().value(QStringLiteral("findings")).toArray();
    ASSERT_FALSE(findings.isEmpty());
    bool broken = false;
    for (const QJsonValue& v : findings) {
        const QJsonObject f = v.toObject();
        for (const char* key : {"severity", "code", "path", "message"})
            EXPECT_TRUE(f.value(QLatin1String(key)).isString()) << key;
        broken = broken || (f.value(QStringLiteral("code")).toString() == QLatin1String("picture-unreadable") &&
                            f.value(QStringLiteral("severity")).toString() == QLatin1String("error") &&
                            f.value(QStringLiteral("path")).toString() == QLatin1String("picture/03 c.jpg"));
    }
    EXPECT_TRUE(broken) << r.out.toStdString();

    const Result missing = Tool({QStringLiteral("check"), disc.Path(QStringLiteral("nothing here"))});
    EXPECT_EQ(missing.exit, 2);
    EXPECT_TRUE(missing.err.contains(QStringLiteral("no such folder"))) << missing.err.toStdString();
    EXPECT_EQ(Tool({QStringLiteral("frobnicate")}).exit, 2);
}

const QJsonObject* FindingOf(const QJsonArray& findings, const QString& code, QJsonObject& out)
{
    for (const QJsonValue& v : findings) {
        if (v.toObject().value(QStringLiteral("code")).toString() == code) {
            out = v.toObject();
            return &out;
        }
    }
    return nullptr;
}

// Folders the disc lies under, named as the system allows but Qt cannot
// always say: the disc's path keeps its bytes.
struct OddFolder {
    const char* label;
    QByteArray bytes;
    const char* printf;  // the same bytes as a printf format
};

void PrintTo(const OddFolder& c, std::ostream* os) { *os << c.label; }

class DiscsUnder : public ::testing::TestWithParam<OddFolder> {};

TEST_P(DiscsUnder, CheckAsAnywhereElse)
{
    const OddFolder& c = GetParam();
    QTemporaryDir outer;
    Disc disc;
    WriteGoodDisc(disc);
    const QByteArray parent = QFile::encodeName(outer.path()) + '/' + c.bytes;
    const QByteArray moved = parent + "/disc";
    ASSERT_EQ(::mkdir(parent.constData(), 0755), 0);
    ASSERT_EQ(::rename(QFile::encodeName(disc.Root()).constData(), moved.constData()), 0);
    const Result r =
        Tool({QStringLiteral("-c"), QStringLiteral("exec \"$1\" check \"$2/$(printf \"$3\")/disc\" --json"),
              QStringLiteral("sh"), QStringLiteral(TAVELO_DISC_EXE), outer.path(), QString::fromLatin1(c.printf)},
             QString(), QStringLiteral("/bin/sh"));
    ASSERT_EQ(::rename(moved.constData(), QFile::encodeName(disc.Root()).constData()), 0);

    EXPECT_EQ(r.exit, 0) << r.err.toStdString() << r.out.toStdString();
    const QJsonObject root = QJsonDocument::fromJson(r.out.toUtf8()).object();
    EXPECT_EQ(root.value(QStringLiteral("counts")).toObject().value(QStringLiteral("errors")).toInt(-1), 0);
    EXPECT_EQ(root.value(QStringLiteral("slides")).toArray().size(), 2);
    const QByteArray real = QFile::encodeName(QFileInfo(outer.path()).canonicalFilePath()) + '/' + c.bytes + "/disc";
    const QJsonValue bytes = root.value(QStringLiteral("disc_bytes"));
    if (bytes.isUndefined())
        EXPECT_EQ(root.value(QStringLiteral("disc")).toString().toUtf8(), real);
    else
        EXPECT_EQ(QByteArray::fromPercentEncoding(bytes.toString().toLatin1()), real);
}

INSTANTIATE_TEST_SUITE_P(, DiscsUnder,
                         ::testing::Values(OddFolder{"Backslash", "a\\b", "a\\\\b"},
                                           OddFolder{"Latin1", "caf\xe9", "caf\\351"}),
                         [](const ::testing::TestParamInfo<OddFolder>& info) { return std::string(info.param.label); });

// Folders the check may not enter, as someone who is not their owner (root
// reads everything, so the tool runs as nobody then).
struct ClosedFolder {
    const char* label;
    const char* folder;  // made mode 0444: listed, not entered
    int exit;
    const char* code;  // the finding, or nullptr
};

void PrintTo(const ClosedFolder& c, std::ostream* os) { *os << c.label; }

class ClosedFolders : public ::testing::TestWithParam<ClosedFolder> {};

TEST_P(ClosedFolders, AreToldApart)
{
    const ClosedFolder& c = GetParam();
    Disc disc;
    WriteGoodDisc(disc);
    disc.Write(QStringLiteral("sound/B/01 t.mp3"), Mp3Bytes());
    const QByteArray root = QFile::encodeName(disc.Root());
    const QByteArray closed = QFile::encodeName(disc.Path(QString::fromUtf8(c.folder)));
    ASSERT_EQ(::chmod(root.constData(), 0755), 0);
    ASSERT_EQ(::chmod(closed.constData(), 0444), 0);
    QStringList command{QStringLiteral(TAVELO_DISC_EXE), QStringLiteral("check"), disc.Root(),
                        QStringLiteral("--json")};
    if (::geteuid() == 0)
        command = QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                              QStringLiteral("--clear-groups")} +
                  command;
    const Result r = ::geteuid() == 0 ? Tool(command, QString(), QStringLiteral("setpriv"))
                                      : Tool(command.mid(1), QString(), command.first());
    ::chmod(closed.constData(), 0755);

    EXPECT_EQ(r.exit, c.exit) << r.err.toStdString() << r.out.toStdString();
    if (c.code) {
        const QJsonArray findings =
            QJsonDocument::fromJson(r.out.toUtf8()).object().value(QStringLiteral("findings")).toArray();
        QJsonObject f;
        ASSERT_TRUE(FindingOf(findings, QString::fromUtf8(c.code), f)) << r.out.toStdString();
        EXPECT_EQ(f.value(QStringLiteral("path")).toString(), QString::fromUtf8(c.folder));
        EXPECT_FALSE(FindingOf(findings, QStringLiteral("sound-stray-file"), f)) << r.out.toStdString();
    } else {
        EXPECT_TRUE(r.err.contains(QStringLiteral("cannot be read"))) << r.err.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(, ClosedFolders,
                         ::testing::Values(ClosedFolder{"Album", "sound/B", 1, "folder-unreadable"},
                                           ClosedFolder{"Disc", "", 2, nullptr}),
                         [](const ::testing::TestParamInfo<ClosedFolder>& info) {
                             return std::string(info.param.label);
                         });

TEST(DiscTool, NewLaysOutASkeletonOnlyInAnEmptyFolder)
{
    QTemporaryDir dir;
    const QString fresh = dir.filePath(QStringLiteral("My Disc"));
    const Result made = Tool({QStringLiteral("new"), fresh});
    ASSERT_EQ(made.exit, 0) << made.err.toStdString();
    for (const char* folder : {"picture", "sound", "text", "about group", "about disk", "help", "player"})
        EXPECT_TRUE(QFileInfo(QDir(fresh).filePath(QLatin1String(folder))).isDir()) << folder;
    EXPECT_GT(QFileInfo(QDir(fresh).filePath(QStringLiteral("help/help.txt"))).size(), 0);

    const QStringList before = Snapshot(fresh);
    EXPECT_EQ(Tool({QStringLiteral("new"), fresh}).exit, 2);
    EXPECT_EQ(Snapshot(fresh), before);
}

TEST(DiscTool, PreviewWritesOnlyOutsideTheDisc)
{
    Disc disc;
    WriteGoodDisc(disc);
    disc.Write(QStringLiteral("picture/03 c.jpg"), "not a picture");
    QTemporaryDir outs;
    const QString foreign = outs.filePath(QStringLiteral("foreign"));
    QDir().mkpath(foreign);
    QFile(foreign + QStringLiteral("/keep.txt")).open(QIODevice::WriteOnly);
    const QString aFile = outs.filePath(QStringLiteral("a file"));
    QFile(aFile).open(QIODevice::WriteOnly);
    const QStringList before = Snapshot(disc.Root());

    // Output folders that are refused, with what the refusal says.
    const struct {
        QStringList args;
        const char* says;
    } refused[] = {
        {{disc.Root(), QStringLiteral("-o"), disc.Path(QStringLiteral("preview"))}, "outside the disc"},
        {{disc.Root(), QStringLiteral("-o"), disc.Path(QStringLiteral("picture/../new/deeper"))}, "outside the disc"},
        {{disc.Root(), QStringLiteral("-o"), foreign}, "holds no earlier preview"},
        {{disc.Root(), QStringLiteral("-o"), aFile}, "is not a folder"},
        {{disc.Root()}, "-o FOLDER"},
        {{disc.Path(QStringLiteral("none")), QStringLiteral("-o"), outs.filePath(QStringLiteral("p"))},
         "no such folder"},
    };
    for (const auto& r : refused) {
        const Result result = Tool(QStringList{QStringLiteral("preview")} + r.args);
        EXPECT_EQ(result.exit, 2) << r.says;
        EXPECT_TRUE(result.err.contains(QLatin1String(r.says))) << result.err.toStdString();
    }
    EXPECT_EQ(Snapshot(disc.Root()), before);
    EXPECT_TRUE(QFileInfo::exists(foreign + QStringLiteral("/keep.txt")));
    EXPECT_FALSE(QFileInfo::exists(outs.filePath(QStringLiteral("p"))));

    // A made preview, then a second one over it: no picture of the first
    // outlives it. The disc has an error, so the exit says so.
    const QString out = outs.filePath(QStringLiteral("new/preview"));
    const Result made = Tool({QStringLiteral("preview"), disc.Root(), QStringLiteral("-o"), out});
    EXPECT_EQ(made.exit, 1) << made.err.toStdString();
    EXPECT_TRUE(made.out.contains(QStringLiteral("Preview written: %1/index.html").arg(out))) << made.out.toStdString();
    QFile(out + QStringLiteral("/slide-999.png")).open(QIODevice::WriteOnly);
    QFile::remove(disc.Path(QStringLiteral("picture/03 c.jpg")));
    const QStringList second = Snapshot(disc.Root());
    EXPECT_EQ(Tool({QStringLiteral("preview"), disc.Root(), QStringLiteral("-o"), out}).exit, 0);
    EXPECT_EQ(Snapshot(disc.Root()), second);
    EXPECT_FALSE(QFileInfo::exists(out + QStringLiteral("/slide-999.png")));
    EXPECT_FALSE(QFileInfo::exists(out + QStringLiteral("/slide-003.png")));
    EXPECT_TRUE(QFileInfo::exists(out + QStringLiteral("/slide-002.png")));
}

class ImageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable(QStringLiteral("xorriso")).isEmpty())
            GTEST_SKIP() << "xorriso is not installed";
        WriteGoodDisc(disc);
        const QDir kit(kitDir.path());
        kit.mkpath(QStringLiteral("tavelo"));
        for (const char* f : {"autorun.sh", "tavelo.desktop", "tavelo.png", "tavelo/tavelo", "autorun.inf"}) {
            QFile file(kit.filePath(QLatin1String(f)));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("#!/bin/sh\n");
        }
        QFile::setPermissions(kit.filePath(QStringLiteral("autorun.sh")), QFile::ReadOwner | QFile::WriteOwner |
                                                                              QFile::ExeOwner | QFile::ReadOther |
                                                                              QFile::ExeOther);
    }

    QString Listing(const QString& iso, const QString& what)
    {
        QProcess p;
        p.start(QStringLiteral("xorriso"), {QStringLiteral("-indev"), iso, QStringLiteral("-lsl"), what});
        p.waitForFinished(60000);
        return QString::fromUtf8(p.readAllStandardOutput());
    }

    Disc disc;
    QTemporaryDir kitDir;
    QTemporaryDir outDir;
};

TEST_F(ImageTest, MergesDiscAndKitAndKeepsExecBits)
{
    const QString iso = outDir.filePath(QStringLiteral("disc.iso"));
    const QStringList before = Snapshot(disc.Root());
    const Result r = Tool({QStringLiteral("image"), disc.Root(), QStringLiteral("-o"), iso, QStringLiteral("--kit"),
                           kitDir.path(), QStringLiteral("--label"), QStringLiteral("TEST_DISC")});
    ASSERT_EQ(r.exit, 0) << r.err.toStdString() << r.out.toStdString();
    EXPECT_EQ(Snapshot(disc.Root()), before);
    const QString top = Listing(iso, QStringLiteral("/"));
    for (const char* entry : {"autorun.sh", "tavelo.desktop", "tavelo", "picture", "about group", "player"})
        EXPECT_TRUE(top.contains(QLatin1String(entry))) << entry << "\n" << top.toStdString();
    EXPECT_TRUE(Listing(iso, QStringLiteral("/autorun.sh")).startsWith(QStringLiteral("-rwx")));
    EXPECT_TRUE(Listing(iso, QStringLiteral("/player/player.exe")).startsWith(QStringLiteral("-rwx")));
    // Explorer names the drive after autorun.inf's label.
    QTemporaryDir extracted;
    QProcess x;
    x.start(QStringLiteral("xorriso"), {QStringLiteral("-osirrox"), QStringLiteral("on"), QStringLiteral("-indev"), iso,
                                        QStringLiteral("-extract"), QStringLiteral("/autorun.inf"),
                                        extracted.filePath(QStringLiteral("autorun.inf"))});
    x.waitForFinished(60000);
    QFile inf(extracted.filePath(QStringLiteral("autorun.inf")));
    ASSERT_TRUE(inf.open(QIODevice::ReadOnly));
    EXPECT_EQ(inf.readAll(), QByteArray("#!/bin/sh\r\nlabel=TEST_DISC\r\n"));
}

TEST_F(ImageTest, RefusesADiscWithErrorsUnlessForced)
{
    disc.Write(QStringLiteral("picture/03 c.jpg"), "not a picture");
    const QString iso = outDir.filePath(QStringLiteral("disc.iso"));
    const QStringList args{QStringLiteral("image"), disc.Root(),  QStringLiteral("-o"), iso,
                           QStringLiteral("--kit"), kitDir.path()};
    EXPECT_EQ(Tool(args).exit, 1);
    EXPECT_FALSE(QFileInfo::exists(iso));
    EXPECT_EQ(Tool(args + QStringList{QStringLiteral("--force")}).exit, 0);
    EXPECT_TRUE(QFileInfo(iso).size() > 0);

    // Neither a missing kit nor an image inside the disc is built.
    EXPECT_EQ(Tool({QStringLiteral("image"), disc.Root(), QStringLiteral("-o"), iso, QStringLiteral("--kit"),
                    disc.Path(QStringLiteral("no kit"))})
                  .exit,
              2);
    EXPECT_EQ(Tool({QStringLiteral("image"), disc.Root(), QStringLiteral("-o"), disc.Path(QStringLiteral("in.iso")),
                    QStringLiteral("--kit"), kitDir.path(), QStringLiteral("--force")})
                  .exit,
              2);
    EXPECT_FALSE(QFileInfo::exists(disc.Path(QStringLiteral("in.iso"))));

    // Nor one whose names the kit's would hide, whatever their letter case.
    disc.Write(QStringLiteral("Autorun.SH"), "x");
    EXPECT_EQ(Tool(args + QStringList{QStringLiteral("--force")}).exit, 2);
}

}  // namespace
}  // namespace tavelo::test
