#include "content/file_system.h"
#include "content/paths.h"

#include "base/errors.h"
#include "tests/fixture.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cerrno>

using namespace tavelo;

TEST(Resolver, SeparatorsRunsAndCaseBlindComponents)
{
    test::Disc disc;
    disc.Write(QStringLiteral("PICTURE/Photo1.JPG"), "x");
    disc.Write(QStringLiteral("about group/about.txt"), "y");
    disc.Write(QStringLiteral("ПЕСНИ/Первая.mp3"), "z");
    disc.Enter();

    const QByteArray photo = NativeOfQtPath(disc.Path(QStringLiteral("PICTURE/Photo1.JPG")));
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
    EXPECT_TRUE(cyr.native.endsWith(NativeOfQtPath(QStringLiteral("ПЕСНИ/Первая.mp3"))));
    // Forward-slash and backslash forms name the same folder.
    EXPECT_EQ(ResolvePath(QStringLiteral("about group/about.txt")).native,
              ResolvePath(disc.Root() + QStringLiteral("\\about group\\about.txt")).native);
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
