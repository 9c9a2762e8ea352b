#include "media/file_run.h"
#include "media/launcher.h"

#include "base/errors.h"
#include "tests/fixture.h"
#include "tests/media/private_desktop.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace tavelo;

namespace {

// GLib reads the XDG variables at its first use; this runs before main.
const test::PrivateDesktop& gTree = test::PrivateDesktop::ForThisProcess();

// An ID3 tag and one MPEG-1 layer III frame header: enough to sniff as MP3
// even without the extension.
QByteArray Mp3Bytes()
{
    QByteArray b("ID3\x03\x00\x00\x00\x00\x00\x00", 10);
    b += QByteArray("\xFF\xFB\x90\x00", 4);
    b += QByteArray(413, '\0');
    return b;
}

QString Physical(const QString& path) { return QFileInfo(path).canonicalFilePath(); }

struct ProcState {
    bool exists = false;
    long long ppid = 0;
    char state = '?';
};

ProcState ReadProc(long long pid)
{
    ProcState st;
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return st;
    const QByteArray text = f.readAll();
    // The command name may hold blanks; the fields after it do not.
    const QList<QByteArray> rest = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (rest.size() < 2)
        return st;
    st.exists = true;
    st.state = rest[0].isEmpty() ? '?' : rest[0][0];
    st.ppid = rest[1].toLongLong();
    return st;
}

// Children of this process that have ended but were never reaped.
QList<long long> OurZombies()
{
    QList<long long> out;
    for (const QString& name : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool numeric = false;
        const long long pid = name.toLongLong(&numeric);
        if (!numeric)
            continue;
        const ProcState st = ReadProc(pid);
        if (st.exists && st.ppid == ::getpid() && st.state == 'Z')
            out << pid;
    }
    return out;
}

class Launch : public testing::Test {
protected:
    void SetUp() override
    {
        gTree.ClearLaunches();
        QFile::remove(gTree.LingerFlag());
        disc.Enter();
    }
    void TearDown() override { QFile::remove(gTree.LingerFlag()); }

    // After a launch that was expected: no other start may have come with it.
    QList<test::LaunchRecord> SettledLaunches(int expected)
    {
        gTree.WaitForLaunches(expected);
        QThread::msleep(150);
        return gTree.Launches();
    }

    test::Disc disc;
};

TEST_F(Launch, SongOpensByItsStoredNameInItsOwnFolder)
{
    disc.Write(QStringLiteral("sound/Альбом Один/Song One.mp3"), Mp3Bytes());
    TActionList list;
    TFileRun run;
    run.ActionList = &list;
    const QString asFormed = QStringLiteral("sound\\альбом один\\SONG ONE.mp3");
    run.Directory = asFormed;
    run.FileName = asFormed;
    run.Enabled = true;

    EXPECT_TRUE(ExecuteFileRun(run));
    const std::optional<test::LaunchRecord> rec = gTree.WaitForLaunch();
    ASSERT_TRUE(rec);
    EXPECT_EQ(rec->args, QStringList{disc.Path(QStringLiteral("sound/Альбом Один/Song One.mp3"))});
    EXPECT_EQ(rec->cwd, Physical(disc.Path(QStringLiteral("sound/Альбом Один"))));
    // The catalogue compares against the request's own strings afterwards.
    EXPECT_EQ(run.Directory, asFormed);
    EXPECT_EQ(run.FileName, asFormed);
}

TEST_F(Launch, AwkwardNamesArriveWhole)
{
    const QStringList names = {
        QStringLiteral("-rf --help.mp3"),
        QStringLiteral("two  spaces and \"double\" 'single' quotes.mp3"),
        QStringLiteral("$HOME `id` ; & | * ?.mp3"),
        QStringLiteral("Жёлтый Ölüm 東京 %20.mp3"),
        QStringLiteral("percent %f %U.MP3"),
        QStringLiteral("no extension"),  // recognised by its content
    };
    for (const QString& n : names)
        disc.Write(QStringLiteral("sound/A/") + n, Mp3Bytes());
    for (const QString& n : names)
        ShellOpen(QStringLiteral("open"), QStringLiteral("sound\\A\\") + n, QString());

    const QList<test::LaunchRecord> got = SettledLaunches(names.size());
    ASSERT_EQ(got.size(), names.size());
    QStringList received;
    for (const test::LaunchRecord& r : got) {
        ASSERT_EQ(r.args.size(), 1) << r.args.join(QLatin1Char('|')).toStdString();
        received << r.args.front();
        // No directory given: the application starts where the program runs.
        EXPECT_EQ(r.cwd, Physical(disc.Root()));
    }
    QStringList expected;
    for (const QString& n : names)
        expected << disc.Path(QStringLiteral("sound/A/") + n);
    received.sort();
    expected.sort();
    EXPECT_EQ(received, expected);
}

TEST_F(Launch, EachFailureCauseHasItsOwnMessage)
{
    disc.Write(QStringLiteral("sound/A/flac song.flac"), QByteArray("fLaC\0\0\0\x22", 8) + QByteArray(64, '\0'));
    disc.Write(QStringLiteral("sound/A/wave.wav"), QByteArray("RIFF\x24\0\0\0WAVEfmt ", 16) + QByteArray(32, '\0'));
    disc.Write(QStringLiteral("sound/A/1.mp3"), Mp3Bytes());

    const auto messageOf = [](const QString& file, const QString& verb = QStringLiteral("open")) -> QString {
        try {
            ShellOpen(verb, file, file);
        } catch (const EShellError& e) {
            return e.Message();
        }
        return QStringLiteral("<no error>");
    };
    const QString root = disc.Root();

    // Through the request: the error leaves it as the caller set it.
    TFileRun run;
    run.FileName = run.Directory = QStringLiteral("sound\\A\\missing.mp3");
    run.Enabled = true;
    try {
        ExecuteFileRun(run);
        ADD_FAILURE() << "a missing song was reported as opened";
    } catch (const EShellError& e) {
        EXPECT_EQ(e.Message(),
                  QStringLiteral("Cannot open \"%1/sound/A/missing.mp3\". No such file or directory").arg(root));
    }
    EXPECT_EQ(run.Directory, QStringLiteral("sound\\A\\missing.mp3"));
    EXPECT_TRUE(run.Enabled);

    EXPECT_EQ(messageOf(QStringLiteral("sound\\No Album\\1.mp3")),
              QStringLiteral("Cannot open \"%1/sound/No Album/1.mp3\". No such file or directory").arg(root));
    EXPECT_EQ(messageOf(QStringLiteral("sound\\a\\FLAC SONG.flac")),
              QStringLiteral(
                  "Cannot open \"%1/sound/a/FLAC SONG.flac\". No application is registered for the type \"audio/flac\"")
                  .arg(root));

    const QString broken = messageOf(QStringLiteral("sound\\A\\wave.wav"));
    EXPECT_TRUE(
        broken.startsWith(QStringLiteral("Cannot start \"Broken\" to open \"%1/sound/A/wave.wav\". ").arg(root)))
        << broken.toStdString();
    // GIO's own reason follows.
    EXPECT_TRUE(broken.contains(QStringLiteral("/no-such-folder"))) << broken.toStdString();
    EXPECT_FALSE(broken.endsWith(QLatin1Char('.')));

    EXPECT_EQ(messageOf(QStringLiteral("sound\\A\\1.mp3"), QStringLiteral("print")),
              QStringLiteral("Cannot open \"%1/sound/A/1.mp3\". The operation \"print\" is not supported").arg(root));
    EXPECT_EQ(messageOf(QStringLiteral("sound\\A\\1.mp3")), QStringLiteral("<no error>"));
    // Only the good launch reached the desktop.
    EXPECT_EQ(SettledLaunches(1).size(), 1);
}

TEST_F(Launch, PlayerLaunchesReportNothing)
{
    disc.Write(QStringLiteral("player/player.exe"), QByteArray("MZ\x90\0", 4) + QByteArray(60, '\0'));
    disc.Write(QStringLiteral("player/wave.wav"), QByteArray("RIFF\x24\0\0\0WAVEfmt ", 16) + QByteArray(32, '\0'));
    disc.Write(QStringLiteral("player/doc.flac"), QByteArray("fLaC", 4));

    EXPECT_NO_THROW(ShellOpenQuiet(QStringLiteral("player\\playersetup.exe")));  // missing
    EXPECT_NO_THROW(ShellOpenQuiet(QStringLiteral("player\\wave.wav")));         // cannot start
    EXPECT_NO_THROW(ShellOpenQuiet(QStringLiteral("player\\doc.flac")));         // nobody registered
    EXPECT_NO_THROW(ShellOpenQuiet(QString()));
    ShellOpenQuiet(QStringLiteral("PLAYER\\Player.EXE"));

    const QList<test::LaunchRecord> got = SettledLaunches(1);
    ASSERT_EQ(got.size(), 1);
    EXPECT_EQ(got[0].args, QStringList{disc.Path(QStringLiteral("player/player.exe"))});
    EXPECT_EQ(got[0].cwd, Physical(disc.Root()));
}

TEST_F(Launch, RequestRunsOnlyWithAFileAndAnActiveList)
{
    disc.Write(QStringLiteral("sound/A/1.mp3"), Mp3Bytes());
    disc.Write(QStringLiteral("sound/A/2.mp3"), Mp3Bytes());
    TActionList list;

    TFileRun empty;
    empty.ActionList = &list;
    empty.Enabled = true;
    EXPECT_FALSE(ExecuteFileRun(empty));
    EXPECT_FALSE(empty.Enabled);

    TFileRun suspended;
    suspended.ActionList = &list;
    suspended.FileName = QStringLiteral("sound\\A\\1.mp3");
    list.Suspended = true;
    EXPECT_FALSE(ExecuteFileRun(suspended));
    EXPECT_FALSE(suspended.Enabled);  // untouched: the list stopped it first

    // Browsing has no dialog here: it behaves as a dialog closed without a choice.
    list.Suspended = false;
    TFileRun browse;
    browse.Browse = true;
    browse.FileName = QStringLiteral("sound\\A\\1.mp3");
    EXPECT_TRUE(ExecuteFileRun(browse));

    TFileRun off;  // switched off by the caller, but it has a file
    off.ActionList = &list;
    off.FileName = QStringLiteral("sound\\A\\2.mp3");
    EXPECT_TRUE(ExecuteFileRun(off));
    EXPECT_TRUE(off.Enabled);

    const QList<test::LaunchRecord> got = SettledLaunches(1);
    ASSERT_EQ(got.size(), 1);
    EXPECT_EQ(got[0].args, QStringList{disc.Path(QStringLiteral("sound/A/2.mp3"))});
}

TEST_F(Launch, ReturnsAtOnceAndLeavesNoZombie)
{
    disc.Write(QStringLiteral("sound/A/1.mp3"), Mp3Bytes());
    disc.Write(QStringLiteral("sound/A/2.mp3"), Mp3Bytes());
    QFile(gTree.LingerFlag()).open(QIODevice::WriteOnly);

    // The started player lingers for seconds; the launch must not wait for it.
    QElapsedTimer timer;
    timer.start();
    ShellOpen(QStringLiteral("open"), QStringLiteral("sound/A/1.mp3"), QStringLiteral("sound/A/1.mp3"));
    EXPECT_LT(timer.elapsed(), 1500);
    const std::optional<test::LaunchRecord> lingering = gTree.WaitForLaunch();
    ASSERT_TRUE(lingering);
    ASSERT_GT(lingering->pid, 0);
    EXPECT_TRUE(ReadProc(lingering->pid).exists);
    EXPECT_NE(ReadProc(lingering->pid).ppid, ::getpid()) << "the started program is still our child";

    QFile::remove(gTree.LingerFlag());
    ShellOpen(QStringLiteral("open"), QStringLiteral("sound/A/2.mp3"), QString());
    const QList<test::LaunchRecord> both = gTree.WaitForLaunches(2);
    ASSERT_EQ(both.size(), 2);

    // No event loop runs here, so nothing of ours could reap them later: once
    // both have ended they must be gone, not left as zombies of this process.
    QElapsedTimer gone;
    gone.start();
    while ((ReadProc(both[0].pid).exists || ReadProc(both[1].pid).exists) && gone.elapsed() < 8000)
        QThread::msleep(50);
    for (const test::LaunchRecord& r : both) {
        const ProcState st = ReadProc(r.pid);
        EXPECT_FALSE(st.exists && st.ppid == ::getpid()) << "pid " << r.pid << " state " << st.state;
    }
    EXPECT_TRUE(OurZombies().isEmpty());
}

}  // namespace
