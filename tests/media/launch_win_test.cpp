// Launching through the Windows shell, under Wine: the program registered for
// .mp3 in the user's classes receives the file in the file's folder,
// and every failure arrives as the same message the Linux build gives.

#include "media/launcher.h"
#include "media/launcher_system.h"

#include "base/errors.h"
#include "tests/fixture.h"
#include "tests/media/private_desktop.h"

#include <QDir>
#include <QThread>

#include <gtest/gtest.h>

using namespace tavelo;

namespace {

const test::PrivateDesktop& gDesktop = test::PrivateDesktop::ForThisProcess();

bool SamePath(const QString& native, const QString& path)
{
    return QDir::cleanPath(QDir::fromNativeSeparators(native)).compare(QDir::cleanPath(path), Qt::CaseInsensitive) == 0;
}

class WindowsLaunch : public testing::Test {
protected:
    void SetUp() override
    {
        gDesktop.ClearLaunches();
        disc.Enter();
    }

    QString MessageOf(const QString& file, const QString& verb = QStringLiteral("open"))
    {
        try {
            ShellOpen(verb, file, file);
        } catch (const EShellError& e) {
            return e.Message();
        }
        return QStringLiteral("<no error>");
    }

    test::Disc disc;
};

TEST_F(WindowsLaunch, SongReachesTheRegisteredProgramInItsOwnFolder)
{
    const QString song = QStringLiteral("sound/Альбом Один/Song One.mp3");
    disc.Write(song, QByteArray("ID3", 3));
    const ShellOpenQuery query = QueryShellOpen(QStringLiteral("sound\\Альбом Один\\Song One.mp3"));
    EXPECT_EQ(query.status, ShellOpenQuery::Ready) << query.message.toStdString();
    EXPECT_EQ(query.contentType, QStringLiteral("audio/mpeg"));
    EXPECT_FALSE(query.application.isEmpty());

    ShellOpen(QStringLiteral("open"), QStringLiteral("sound\\Альбом Один\\Song One.mp3"),
              QStringLiteral("sound\\Альбом Один\\Song One.mp3"));
    ShellOpen(QStringLiteral("OPEN"), QStringLiteral("sound/Альбом Один/Song One.mp3"), QString());
    const QList<test::LaunchRecord> got = gDesktop.WaitForLaunches(2, 10000);
    ASSERT_EQ(got.size(), 2);
    for (const test::LaunchRecord& l : got)
        EXPECT_TRUE(SamePath(l.args.last(), disc.Path(song))) << l.args.last().toStdString();
    // The song's own folder, and without a directory the program's (the two
    // programs may note theirs in either order).
    const QString songFolder = disc.Path(QStringLiteral("sound/Альбом Один"));
    const bool inOrder = SamePath(got[0].cwd, songFolder) && SamePath(got[1].cwd, disc.Root());
    const bool swapped = SamePath(got[1].cwd, songFolder) && SamePath(got[0].cwd, disc.Root());
    EXPECT_TRUE(inOrder || swapped) << got[0].cwd.toStdString() << " " << got[1].cwd.toStdString();
}

TEST_F(WindowsLaunch, EachFailureCauseHasItsOwnMessage)
{
    disc.Write(QStringLiteral("sound/A/1.mp3"), QByteArray("ID3", 3));
    disc.Write(QStringLiteral("sound/A/unknown.tvlnone"), QByteArray("x"));
    disc.Write(QStringLiteral("sound/A/no extension"), QByteArray("x"));
    disc.Write(QStringLiteral("sound/A/2.wav"), QByteArray("x"));
    const QString root = QDir::cleanPath(disc.Root());

    EXPECT_EQ(MessageOf(QStringLiteral("sound\\A\\missing.mp3")),
              QStringLiteral("Cannot open \"%1/sound/A/missing.mp3\". No such file or directory").arg(root));
    EXPECT_EQ(MessageOf(QStringLiteral("sound\\A\\unknown.tvlnone")),
              QStringLiteral("Cannot open \"%1/sound/A/unknown.tvlnone\". No application is registered for the "
                             "type \".tvlnone\"")
                  .arg(root));
    EXPECT_EQ(MessageOf(QStringLiteral("sound\\A\\no extension")),
              QStringLiteral("Cannot open \"%1/sound/A/no extension\". Its type cannot be determined").arg(root));
    const QString broken = MessageOf(QStringLiteral("sound\\A\\2.wav"));
    // The program the registration names, and the system's reason.
    EXPECT_TRUE(broken.startsWith(QStringLiteral("Cannot start \"player")) &&
                broken.contains(QStringLiteral("\" to open \"%1/sound/A/2.wav\". ").arg(root)))
        << broken.toStdString();
    EXPECT_FALSE(broken.endsWith(QLatin1Char('.')));
    EXPECT_EQ(
        MessageOf(QStringLiteral("sound\\A\\1.mp3"), QStringLiteral("print")),
        QStringLiteral("Cannot open \"%1/sound/A/1.mp3\". The operation \"print\" is not supported").arg(root));

    // A program starts itself, whatever its type's registration says.
    disc.Write(QStringLiteral("player/Player.EXE"), QByteArray("MZ"));
    const ShellOpenQuery program = QueryShellOpen(QStringLiteral("player\\Player.EXE"));
    EXPECT_EQ(program.status, ShellOpenQuery::Ready) << program.message.toStdString();
    EXPECT_EQ(program.application, QStringLiteral("Player.EXE"));
    EXPECT_EQ(QueryShellOpen(QStringLiteral("sound\\A\\missing.mp3")).status, ShellOpenQuery::Missing);
    EXPECT_EQ(QueryShellOpen(QStringLiteral("sound\\A\\unknown.tvlnone")).status, ShellOpenQuery::NoApplication);
    EXPECT_EQ(QueryShellOpen(QStringLiteral("sound\\A\\no extension")).status, ShellOpenQuery::UnknownType);

    EXPECT_EQ(MessageOf(QStringLiteral("sound\\A\\1.mp3")), QStringLiteral("<no error>"));
    QThread::msleep(300);
    EXPECT_EQ(gDesktop.Launches().size(), 1);  // only the good launch reached the program
}

// A disc's menu starts at a drive's root: a file there starts its program there.
TEST(WindowsStartFolder, DriveRootKeepsItsSeparator)
{
    EXPECT_EQ(FolderOf("D:/player.exe"), QByteArray("D:/"));
    EXPECT_EQ(FolderOf("D:/sound/A/1.mp3"), QByteArray("D:/sound/A"));
    EXPECT_EQ(FolderOf("D:\\sound\\1.mp3"), QByteArray("D:\\sound"));
}

}  // namespace
