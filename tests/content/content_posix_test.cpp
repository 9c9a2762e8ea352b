// What only POSIX systems have: names that are bytes (not UTF-8, holding a
// backslash, letter-case twins), FIFOs, sockets and devices, folders closed to
// a user, a current folder that can be removed.
#include "content/dir_outline.h"
#include "content/paths.h"
#include "content/shell_tree_view.h"

#include "base/errors.h"
#include "tests/fixture.h"

#include <QFile>
#include <QStringList>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace tavelo;

namespace {
QStringList Names(const TShellTreeView& v)
{
    QStringList out;
    for (int i = 1; i < v.Items.Count(); ++i)
        out << v.Items[i].Text;
    return out;
}
}  // namespace

TEST(Resolver, ExactCaseWinsAndFirstMatchInByteOrder)
{
    test::Disc disc;
    disc.Write(QStringLiteral("dir/song.txt"), "lower");
    disc.Write(QStringLiteral("dir/SONG.txt"), "upper");
    disc.Write(QStringLiteral("dir/Song.txt"), "mixed");
    disc.Enter();
    EXPECT_TRUE(ResolvePath(QStringLiteral("dir/Song.txt")).native.endsWith("dir/Song.txt"));
    // No exact match: the smallest stored name in byte order wins.
    EXPECT_TRUE(ResolvePath(QStringLiteral("dir/sOng.txt")).native.endsWith("dir/SONG.txt"));
}

TEST(OpenForReading, OnlyRegularFilesAreOpenedAndOthersAreRefusedBeforeAnyOpen)
{
    test::Disc disc;
    disc.MakeDir(QStringLiteral("text"));
    disc.Write(QStringLiteral("text/file.txt"), "x");
    disc.Enter();
    ASSERT_EQ(::mkfifo("text/fifo.txt", 0644), 0);
    ASSERT_EQ(::symlink("fifo.txt", "text/to fifo.txt"), 0);
    ASSERT_EQ(::symlink("/dev/null", "text/device.txt"), 0);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "text/socket.txt");
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    // An open of the FIFO would show here (and a blocking one would hang).
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(::inotify_add_watch(watch, "text/fifo.txt", IN_OPEN), 0);

    const struct {
        const char* name;
        const char* cause;
    } cases[] = {
        {"fifo.txt", "Invalid argument"},
        {"to fifo.txt", "Invalid argument"},
        {"device.txt", "Invalid argument"},
        {"socket.txt", "No such device or address"},
        {"", "Is a directory"},
    };
    for (const auto& c : cases) {
        const QString path = QStringLiteral("text\\%1").arg(QString::fromUtf8(c.name));
        try {
            OpenForReading(path);
            ADD_FAILURE() << c.name << ": opened";
        } catch (const EFOpenError& e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Cannot open file \"%1\". %2")
                                       .arg(AbsoluteForMessage(path), QString::fromUtf8(c.cause)));
        }
    }
    inotify_event event{};
    EXPECT_EQ(::read(watch, &event, sizeof event), -1) << "the FIFO was opened";
    EXPECT_TRUE(OpenForReading(QStringLiteral("TEXT/FILE.TXT")));
    ::close(watch);
    ::close(sock);
}

TEST(CurrentDirectoryLowered, LowerCaseNoFinalSeparator)
{
    test::Disc disc;
    disc.MakeDir(QStringLiteral("Music/ДИСК"));
    const QByteArray old = QFile::encodeName(disc.Root());
    ASSERT_EQ(::chdir(QFile::encodeName(disc.Path(QStringLiteral("Music/ДИСК"))).constData()), 0);
    EXPECT_EQ(CurrentDirectoryLowered(), (disc.Root() + QStringLiteral("/Music/ДИСК")).toLower());
    ASSERT_EQ(::chdir("/"), 0);
    EXPECT_EQ(CurrentDirectoryLowered(), QStringLiteral("/"));
    ASSERT_EQ(::chdir(old.constData()), 0);
}

TEST(CurrentDirectoryLowered, AStartFolderThatIsGoneIsAnErrorNotTheRoot)
{
    test::Disc disc;
    disc.MakeDir(QStringLiteral("gone"));
    ASSERT_EQ(::chdir(QFile::encodeName(disc.Path(QStringLiteral("gone"))).constData()), 0);
    ASSERT_EQ(::rmdir("../gone"), 0);
    EXPECT_THROW(CurrentDirectoryLowered(), EFOpenError);
    const TDirectoryOutline outline;
    EXPECT_THROW(outline.Directory(), EFOpenError);
    EXPECT_EQ(ResolvePath(QStringLiteral("picture")).error, ENOENT);
    ASSERT_EQ(::chdir("/"), 0);
}

TEST(Resolver, NothingClimbsOutOfTheFolderItWasFormedUnder)
{
    test::Disc disc;
    disc.Write(QStringLiteral("secret.txt"), "x");
    disc.Write(QStringLiteral("disc/sound/A/a.mp3"), "x");
    disc.Write(QStringLiteral("disc/sound/A/..\\..\\..\\secret.txt"), "x");
    ASSERT_EQ(::chdir(QFile::encodeName(disc.Path(QStringLiteral("disc"))).constData()), 0);
    // The program's own paths never hold "..".
    EXPECT_EQ(ResolvePath(QStringLiteral("sound\\A\\..\\..\\..\\secret.txt")).error, ENOENT);
    EXPECT_EQ(ResolvePath(QStringLiteral("sound/..")).error, ENOENT);
    // A listed name is one component, whatever it holds.
    const QString listed = DecodeName(QByteArray("..\\..\\..\\secret.txt"));
    EXPECT_EQ(ResolvePath(QStringLiteral("sound\\A\\") + listed).error, ENOENT);
    EXPECT_TRUE(ResolvePath(QStringLiteral("sound\\A\\a.mp3")).ok());
    ASSERT_EQ(::chdir("/"), 0);
}

// A table of start folders whose lower-cased text names another folder, or
// none: paths formed on the start-up directory still lead into it.
TEST(Resolver, StartDirectoryPrefixLeadsToTheFolderStartedIn)
{
    const struct {
        QByteArray start, sibling;
    } cases[] = {
        {"Disc", "disc"},
        {"\xC4\xB0STANBUL", ""},  // "İSTANBUL" lowers to "i̇stanbul"
        {"d\xFF", "d\xFE"},       // not UTF-8; the sibling differs in that byte
    };
    for (const auto& c : cases) {
        test::Disc disc;
        const QByteArray root = QFile::encodeName(disc.Root()) + '/';
        for (const QByteArray& dir : {c.start, c.sibling}) {
            if (dir.isEmpty())
                continue;
            ASSERT_EQ(::mkdir(root + dir, 0755), 0);
            ASSERT_EQ(::mkdir(root + dir + "/picture", 0755), 0);
            QFile f(QFile::decodeName(root) + QStringLiteral("tmp"));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(dir);
            f.close();
            ASSERT_EQ(::rename(root + "tmp", root + dir + "/picture/1.jpg"), 0);
        }
        ASSERT_EQ(::chdir(root + c.start), 0);
        const QString base = RememberStartDirectory();
        const Resolved r = ResolvePath(base + QStringLiteral("\\picture\\1.jpg"));
        ASSERT_TRUE(r.ok()) << c.start.toHex().constData();
        EXPECT_EQ(r.native, root + c.start + "/picture/1.jpg") << c.start.toHex().constData();
        ASSERT_EQ(::chdir("/"), 0);
    }
}
TEST(Lister, DesktopStartAndColonRuleAndQuestionDigit)
{
    test::Disc disc;
    disc.Write(QStringLiteral("q/?7.jpg"), "");
    disc.Write(QStringLiteral("q/?a.jpg"), "");
    disc.Write(QStringLiteral("q/?.jpg"), "");
    TShellTreeView v(otNonFolders);
    EXPECT_EQ(v.Root(), QStringLiteral("rfDesktop"));
    EXPECT_EQ(v.Items.Count(), 1);
    v.SetRoot(disc.Root() + QStringLiteral("/q/"));
    EXPECT_EQ(Names(v), (QStringList{"7", "?", "?a"}));
    try {
        v.SetRoot(QStringLiteral("e:"));
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Error setting path: \"e:\\\""));
    }
}

TEST(Lister, AFolderThatCannotBeReadIsAPathError)
{
    test::Disc disc;
    disc.Write(QStringLiteral("ok/a.jpg"), "");
    disc.Write(QStringLiteral("locked/b.jpg"), "");
    ASSERT_EQ(::chmod(QFile::encodeName(disc.Root()).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(disc.Path(QStringLiteral("locked"))).constData(), 0311), 0);
    // Root reads every folder; the check runs as nobody.
    const uid_t uid = ::geteuid();
    if (uid == 0) {
        ASSERT_EQ(::seteuid(65534), 0);
    }
    TShellTreeView v(otNonFolders);
    v.SetRoot(disc.Root() + QStringLiteral("/ok/"));
    const QString locked = disc.Root() + QStringLiteral("/locked/");
    QString message;
    try {
        v.SetRoot(locked);
    } catch (const Exception& e) {
        message = e.Message();
    }
    if (uid == 0) {
        ASSERT_EQ(::seteuid(0), 0);
    }
    EXPECT_EQ(message, QStringLiteral("Error setting path: \"%1\"").arg(locked));
    EXPECT_EQ(Names(v), QStringList{"a"});
}
