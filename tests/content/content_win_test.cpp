// What only Windows has: names that are not valid UTF-16, device names, a
// drive's root as the start folder, files a writer holds.
#include "content/file_system.h"
#include "content/paths.h"
#include "content/shell_tree_view.h"

#include "base/errors.h"
#include "tests/fixture.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include <windows.h>

using namespace tavelo;

namespace {

std::wstring Wide(const QString& s) { return QDir::toNativeSeparators(s).toStdWString(); }

// A file made through the wide call, so that its name may be anything
// Windows stores; the system's error when it cannot be made.
DWORD MakeFile(const std::wstring& path, const QByteArray& bytes)
{
    const HANDLE h = ::CreateFileW((L"\\\\?\\" + path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return ::GetLastError();
    DWORD written = 0;
    ::WriteFile(h, bytes.constData(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(h);
    return 0;
}

QByteArray ReadAll(const QString& path)
{
    const FileDescriptor fd = OpenForReading(path);
    QByteArray out(64, '\0');
    out.resize(ReadSome(fd, out.data(), out.size()));
    return out;
}

QString Cause(const QString& path)
{
    try {
        OpenForReading(path);
    } catch (const EFOpenError& e) {
        return e.Message();
    }
    return QStringLiteral("opened");
}

}  // namespace

// Windows keeps a lone surrogate in a name; it is listed, and the listed name
// opens that very file.
TEST(WindowsNames, NamesThatAreNotValidUtf16ReachTheEntryListed)
{
    test::Disc disc;
    disc.MakeDir(QStringLiteral("text"));
    disc.Enter();
    const std::wstring names[] = {std::wstring(L"high") + wchar_t(0xD800), std::wstring(L"low") + wchar_t(0xDC80),
                                  std::wstring(L"pair") + wchar_t(0xDBFF) + wchar_t(0xD800)};
    for (const std::wstring& name : names) {
        // The names reach the system unchanged whatever it can store.
        const QString text = QString::fromStdWString(name);
        EXPECT_EQ(QtPathOf(NativeOfQtPath(text)), text);
        EXPECT_EQ(EncodeName(DecodeName(NativeOfQtPath(text))), NativeOfQtPath(text));
        const QByteArray bytes(reinterpret_cast<const char*>(name.data()),
                               static_cast<qsizetype>(name.size() * sizeof(wchar_t)));
        if (const DWORD error = MakeFile(Wide(disc.Path(QStringLiteral("text/"))) + name + L".txt", bytes))
            GTEST_SKIP() << "this file system stores no lone surrogates (Wine keeps names as UTF-8): " << error;
    }
    TShellTreeView lister(otNonFolders);
    lister.SetRoot(RememberStartDirectory() + QStringLiteral("\\text\\"));
    ASSERT_EQ(lister.Items.Count(), 4);
    QStringList seen;
    for (int i = 1; i < lister.Items.Count(); ++i) {
        const QString listed = lister.Items[i].Text;
        const QByteArray bytes = ReadAll(QStringLiteral("text\\") + listed + QStringLiteral(".txt"));
        seen << QString::fromStdWString(std::wstring(reinterpret_cast<const wchar_t*>(bytes.constData()),
                                                     static_cast<std::size_t>(bytes.size()) / sizeof(wchar_t)));
        EXPECT_TRUE(DisplayName(listed).contains(QChar(QChar::ReplacementCharacter))) << listed.toStdString();
    }
    seen.sort();
    EXPECT_EQ(seen, (QStringList{QString::fromStdWString(names[0]), QString::fromStdWString(names[1]),
                                 QString::fromStdWString(names[2])}));
}

// Device names, streams and other system syntax inside a component name
// nothing; a file whose name is a device's opens as the file, never the device.
TEST(WindowsNames, DeviceNamesStreamsAndHeldFilesAreRefused)
{
    test::Disc disc;
    disc.Write(QStringLiteral("text/held.txt"), "x");
    disc.Write(QStringLiteral("text/plain.txt"), "plain");
    disc.Enter();
    MakeFile(Wide(disc.Path(QStringLiteral("text/AUX.txt"))), "not the device");
    const HANDLE writer = ::CreateFileW(Wide(disc.Path(QStringLiteral("text/held.txt"))).c_str(), GENERIC_WRITE,
                                        FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    const struct {
        const char* path;
        const char* cause;
    } cases[] = {
        {"text\\CON", "No such file or directory"},     {"text\\nul.txt", "No such file or directory"},
        {"\\\\.\\CON", "No such file or directory"},    {"text\\plain.txt:stream", "No such file or directory"},
        {"text\\pl*.txt", "No such file or directory"}, {"text", "Is a directory"},
        {"text\\held.txt", "Permission denied"},
    };
    for (const auto& c : cases) {
        const QString path = QString::fromUtf8(c.path);
        EXPECT_EQ(
            Cause(path),
            QStringLiteral("Cannot open file \"%1\". %2").arg(AbsoluteForMessage(path), QString::fromUtf8(c.cause)))
            << c.path;
    }
    ::CloseHandle(writer);
    EXPECT_EQ(ReadAll(QStringLiteral("TEXT\\aux.txt")), QByteArray("not the device"));
    EXPECT_EQ(ReadAll(QStringLiteral("text\\held.txt")), QByteArray("x"));
}

// The disc's menu starts at a drive's root: "q:\" is the base, paths formed
// on it (two separators after the colon) and "Q:/" spellings lead into it.
TEST(WindowsDrives, ADriveRootIsTheStartFolder)
{
    // A drive letter mapped to an empty folder by the test's runner (Wine's
    // dosdevices), else one made here for a folder, as subst makes one.
    QString drive = qEnvironmentVariable("TAVELO_TEST_DRIVE").toUpper();
    test::Disc disc;
    if (drive.isEmpty()) {
        ASSERT_TRUE(::DefineDosDeviceW(0, L"Q:", Wide(disc.Root()).c_str())) << ::GetLastError();
        drive = QStringLiteral("Q:");
    }
    ASSERT_TRUE(QDir().mkpath(drive + QStringLiteral("/PICTURE")) && QDir().mkpath(drive + QStringLiteral("/help")));
    for (const auto& [path, bytes] : {std::pair{QStringLiteral("/PICTURE/One.jpg"), QByteArray("slide")},
                                      std::pair{QStringLiteral("/help/help.txt"), QByteArray("help")}}) {
        QFile f(drive + path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    }
    const QString old = QDir::currentPath();
    ASSERT_TRUE(::SetCurrentDirectoryW(Wide(drive + QStringLiteral("\\")).c_str()));

    const QString base = RememberStartDirectory();
    EXPECT_EQ(base, drive.toLower() + QStringLiteral("\\"));
    EXPECT_EQ(CurrentDirectoryLowered(), base);
    TShellTreeView lister(otNonFolders);
    lister.SetRoot(base + QStringLiteral("\\picture\\"));
    ASSERT_EQ(lister.Items.Count(), 2);
    EXPECT_EQ(lister.Items[1].Text, QStringLiteral("One"));
    for (const QString& path : {base + QStringLiteral("\\picture\\One.jpg"), drive + QStringLiteral("/picture/one.JPG"),
                                QStringLiteral("\\PICTURE\\one.jpg"), QStringLiteral("picture\\one.jpg")}) {
        const Resolved r = ResolvePath(path);
        EXPECT_EQ(r.native, drive.toLatin1() + "\\PICTURE\\One.jpg") << path.toStdString();
    }
    EXPECT_EQ(ReadAll(QStringLiteral("help/help.txt")), QByteArray("help"));
    EXPECT_EQ(AbsoluteForMessage(QStringLiteral("text\\A\\1.txt")), drive + QStringLiteral("/text/A/1.txt"));
    // Nothing climbs above a drive's root.
    EXPECT_EQ(ResolvePath(base + QStringLiteral("\\..\\picture")).error, ENOENT);
    lister.SetRoot(drive);
    EXPECT_EQ(lister.Root(), drive + QStringLiteral("\\"));
    EXPECT_EQ(lister.Items.Count(), 1);

    ASSERT_TRUE(QDir::setCurrent(old));
    QDir(drive + QStringLiteral("/PICTURE")).removeRecursively();
    QDir(drive + QStringLiteral("/help")).removeRecursively();
    if (qEnvironmentVariableIsEmpty("TAVELO_TEST_DRIVE"))
        ::DefineDosDeviceW(DDD_REMOVE_DEFINITION, L"Q:", nullptr);
}
