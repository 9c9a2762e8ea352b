// Launching through the Windows shell, under Wine: a program registered for
// an extension in the user's classes receives the file in the file's folder,
// and every failure arrives as the same message the Linux build gives.

#include "media/launcher.h"
#include "media/launcher_system.h"

#include "base/errors.h"
#include "tests/fixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <windows.h>

#include <gtest/gtest.h>

using namespace tavelo;

namespace {

QString Beside(const QString& name) { return QCoreApplication::applicationDirPath() + QLatin1Char('/') + name; }

// A user's own registrations live in their classes; Wine 8 reads only the
// machine's, which a Wine prefix lets us write (Windows may not: no matter).
void SetValue(const QString& key, const wchar_t* name, const QString& value)
{
    const std::wstring k = (QStringLiteral("Software\\Classes\\") + key).toStdWString();
    const std::wstring v = value.toStdWString();
    const auto size = static_cast<DWORD>((v.size() + 1) * sizeof(wchar_t));
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, k.c_str(), name, REG_SZ, v.c_str(), size), ERROR_SUCCESS);
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, k.c_str(), name, REG_SZ, v.c_str(), size);
}

void DeleteKey(const QString& key)
{
    const std::wstring k = (QStringLiteral("Software\\Classes\\") + key).toStdWString();
    RegDeleteTreeW(HKEY_CURRENT_USER, k.c_str());
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, k.c_str());
}

struct Launch {
    QString file, folder;
};

// What the recorder noted, once count launches arrived (or 10 s passed).
QList<Launch> Launches(int count)
{
    QElapsedTimer timer;
    timer.start();
    QList<Launch> got;
    do {
        got.clear();
        QFile log(Beside(QStringLiteral("launches.txt")));
        if (log.open(QIODevice::ReadOnly))
            for (const QByteArray& line : log.readAll().split('\n'))
                if (const qsizetype bar = line.indexOf('|'); bar >= 0)
                    got.append({QString::fromUtf8(line.left(bar)), QString::fromUtf8(line.mid(bar + 1))});
        if (got.size() >= count)
            break;
        QThread::msleep(100);
    } while (timer.elapsed() < 10000);
    return got;
}

bool SamePath(const QString& native, const QString& path)
{
    return QDir::cleanPath(QDir::fromNativeSeparators(native)).compare(QDir::cleanPath(path), Qt::CaseInsensitive) == 0;
}

class WindowsLaunch : public testing::Test {
protected:
    void SetUp() override
    {
        QFile::remove(Beside(QStringLiteral("launches.txt")));
        const QString recorder = QDir::toNativeSeparators(Beside(QStringLiteral(TAVELO_RECORDER)));
        SetValue(QStringLiteral(".tvlsong"), nullptr, QStringLiteral("Tavelo.TestSong"));
        SetValue(QStringLiteral(".tvlsong"), L"Content Type", QStringLiteral("audio/x-tavelo-song"));
        SetValue(QStringLiteral("Tavelo.TestSong\\shell\\open\\command"), nullptr,
                 QStringLiteral("\"%1\" \"%2\"").arg(recorder, QStringLiteral("%1")));
        SetValue(QStringLiteral(".tvlbroken"), nullptr, QStringLiteral("Tavelo.TestBroken"));
        SetValue(QStringLiteral("Tavelo.TestBroken\\shell\\open\\command"), nullptr,
                 QStringLiteral("\"C:\\no-such-folder\\player.exe\" \"%1\""));
        disc.Enter();
    }
    void TearDown() override
    {
        for (const char* key : {".tvlsong", "Tavelo.TestSong", ".tvlbroken", "Tavelo.TestBroken"})
            DeleteKey(QString::fromLatin1(key));
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
    const QString song = QStringLiteral("sound/Альбом Один/Song One.tvlsong");
    disc.Write(song, QByteArray("ID3", 3));
    const ShellOpenQuery query = QueryShellOpen(QStringLiteral("sound\\Альбом Один\\Song One.tvlsong"));
    EXPECT_EQ(query.status, ShellOpenQuery::Ready) << query.message.toStdString();
    EXPECT_EQ(query.contentType, QStringLiteral("audio/x-tavelo-song"));
    EXPECT_FALSE(query.application.isEmpty());

    ShellOpen(QStringLiteral("open"), QStringLiteral("sound\\Альбом Один\\Song One.tvlsong"),
              QStringLiteral("sound\\Альбом Один\\Song One.tvlsong"));
    ShellOpen(QStringLiteral("OPEN"), QStringLiteral("sound/Альбом Один/Song One.tvlsong"), QString());
    const QList<Launch> got = Launches(2);
    ASSERT_EQ(got.size(), 2);
    for (const Launch& l : got)
        EXPECT_TRUE(SamePath(l.file, disc.Path(song))) << l.file.toStdString();
    // The song's own folder, and without a directory the program's (the two
    // programs may note theirs in either order).
    const QString songFolder = disc.Path(QStringLiteral("sound/Альбом Один"));
    const bool inOrder = SamePath(got[0].folder, songFolder) && SamePath(got[1].folder, disc.Root());
    const bool swapped = SamePath(got[1].folder, songFolder) && SamePath(got[0].folder, disc.Root());
    EXPECT_TRUE(inOrder || swapped) << got[0].folder.toStdString() << " " << got[1].folder.toStdString();
}

TEST_F(WindowsLaunch, EachFailureCauseHasItsOwnMessage)
{
    disc.Write(QStringLiteral("sound/A/1.tvlsong"), QByteArray("ID3", 3));
    disc.Write(QStringLiteral("sound/A/unknown.tvlnone"), QByteArray("x"));
    disc.Write(QStringLiteral("sound/A/no extension"), QByteArray("x"));
    disc.Write(QStringLiteral("sound/A/2.tvlbroken"), QByteArray("x"));
    const QString root = QDir::cleanPath(disc.Root());

    EXPECT_EQ(MessageOf(QStringLiteral("sound\\A\\missing.tvlsong")),
              QStringLiteral("Cannot open \"%1/sound/A/missing.tvlsong\". No such file or directory").arg(root));
    EXPECT_EQ(MessageOf(QStringLiteral("sound\\A\\unknown.tvlnone")),
              QStringLiteral("Cannot open \"%1/sound/A/unknown.tvlnone\". No application is registered for the "
                             "type \".tvlnone\"")
                  .arg(root));
    EXPECT_EQ(MessageOf(QStringLiteral("sound\\A\\no extension")),
              QStringLiteral("Cannot open \"%1/sound/A/no extension\". Its type cannot be determined").arg(root));
    const QString broken = MessageOf(QStringLiteral("sound\\A\\2.tvlbroken"));
    // The program the registration names, and the system's reason.
    EXPECT_TRUE(broken.startsWith(QStringLiteral("Cannot start \"player")) &&
                broken.contains(QStringLiteral("\" to open \"%1/sound/A/2.tvlbroken\". ").arg(root)))
        << broken.toStdString();
    EXPECT_FALSE(broken.endsWith(QLatin1Char('.')));
    EXPECT_EQ(
        MessageOf(QStringLiteral("sound\\A\\1.tvlsong"), QStringLiteral("print")),
        QStringLiteral("Cannot open \"%1/sound/A/1.tvlsong\". The operation \"print\" is not supported").arg(root));

    EXPECT_EQ(QueryShellOpen(QStringLiteral("sound\\A\\missing.tvlsong")).status, ShellOpenQuery::Missing);
    EXPECT_EQ(QueryShellOpen(QStringLiteral("sound\\A\\unknown.tvlnone")).status, ShellOpenQuery::NoApplication);
    EXPECT_EQ(QueryShellOpen(QStringLiteral("sound\\A\\no extension")).status, ShellOpenQuery::UnknownType);

    EXPECT_EQ(MessageOf(QStringLiteral("sound\\A\\1.tvlsong")), QStringLiteral("<no error>"));
    QThread::msleep(300);
    EXPECT_EQ(Launches(1).size(), 1);  // only the good launch reached the program
}

// A disc's menu starts at a drive's root: a file there starts its program there.
TEST(WindowsStartFolder, DriveRootKeepsItsSeparator)
{
    EXPECT_EQ(FolderOf("D:/player.exe"), QByteArray("D:/"));
    EXPECT_EQ(FolderOf("D:/sound/A/1.mp3"), QByteArray("D:/sound/A"));
    EXPECT_EQ(FolderOf("D:\\sound\\1.mp3"), QByteArray("D:\\sound"));
}

}  // namespace
