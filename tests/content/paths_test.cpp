#include "content/dir_outline.h"
#include "content/paths.h"

#include "base/errors.h"
#include "tests/fixture.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace tavelo;

TEST(Resolver, SeparatorsRunsAndCaseBlindComponents)
{
    test::Disc disc;
    disc.Write(QStringLiteral("PICTURE/Photo1.JPG"), "x");
    disc.Write(QStringLiteral("about group/about.txt"), "y");
    disc.Write(QStringLiteral("ПЕСНИ/Первая.mp3"), "z");
    disc.Enter();

    const QByteArray photo = QFile::encodeName(disc.Path(QStringLiteral("PICTURE/Photo1.JPG")));
    for (const char* p :
         {"picture\\photo1.jpg", "picture//PHOTO1.jpg", "\\\\picture\\\\Photo1.JPG", "PICTURE/Photo1.JPG"}) {
        const Resolved r = ResolvePath(QString::fromUtf8(p).startsWith(QLatin1Char('\\')) ? QString::fromUtf8(p).mid(2)
                                                                                          : QString::fromUtf8(p));
        ASSERT_TRUE(r.ok()) << p;
        EXPECT_EQ(r.native, photo) << p;
    }
    // Absolute with a lower-cased base, the way start-up forms paths.
    const Resolved abs = ResolvePath(disc.Root() + QStringLiteral("\\picture\\photo1") + QStringLiteral(".jpg"));
    EXPECT_EQ(abs.native, photo);
    // Cyrillic capitals match their lower-case forms.
    const Resolved cyr = ResolvePath(QStringLiteral("песни\\первая.mp3"));
    ASSERT_TRUE(cyr.ok());
    EXPECT_TRUE(cyr.native.endsWith(QStringLiteral("ПЕСНИ/Первая.mp3").toUtf8()));
    // Forward-slash and backslash forms name the same folder.
    EXPECT_EQ(ResolvePath(QStringLiteral("about group/about.txt")).native,
              ResolvePath(disc.Root() + QStringLiteral("\\about group\\about.txt")).native);
}

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

TEST(Resolver, FailuresCarryTheCause)
{
    test::Disc disc;
    disc.Write(QStringLiteral("file.txt"), "x");
    disc.Enter();
    EXPECT_EQ(ResolvePath(QString()).error, ENOENT);
    EXPECT_EQ(ResolvePath(QStringLiteral("missing/a.txt")).error, ENOENT);
    EXPECT_EQ(ResolvePath(QStringLiteral("file.txt/a.txt")).error, ENOTDIR);
}

TEST(OpenForReading, MessagesNameTheAbsolutePathAndCause)
{
    test::Disc disc;
    disc.MakeDir(QStringLiteral("help"));
    disc.Enter();
    try {
        OpenForReading(QStringLiteral("text\\A\\1.txt"));
        FAIL() << "no error";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message(),
                  QStringLiteral("Cannot open file \"%1/text/A/1.txt\". No such file or directory").arg(disc.Root()));
    }
    // A folder cannot be opened as a file.
    EXPECT_THROW(OpenForReading(QStringLiteral("help")), EFOpenError);
    EXPECT_EQ(AbsoluteForMessage(QStringLiteral("/a\\\\b//c.jpg")), QStringLiteral("/a/b/c.jpg"));
    EXPECT_EQ(AbsoluteForMessage(QString()), QString());
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

TEST(Names, BytesSurviveDecodingAndBackslashesStayInTheName)
{
    for (const QByteArray& bytes : {QByteArray("\xFE"), QByteArray("\xFF"), QByteArray("a\\b"), QByteArray("Песня"),
                                    QByteArray("x\xC3("), QByteArray("\xED\xA0\x80"), QByteArray("\xF0\x9F\x8E\xB5")}) {
        EXPECT_EQ(EncodeName(DecodeName(bytes)), bytes) << bytes.toHex().constData();
    }
    EXPECT_NE(DecodeName(QByteArray("\xFE")), DecodeName(QByteArray("\xFF")));
    EXPECT_EQ(DecodeName(QByteArray("Песня")), QStringLiteral("Песня"));
    EXPECT_FALSE(DecodeName(QByteArray("a\\b")).contains(QLatin1Char('\\')));
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
