// Launching through the Windows shell: ShellExecuteExW with the "open" verb,
// as a double-click in Explorer does. The shell picks the application by the
// file's extension.

#include "media/launcher_system.h"

#include "content/file_system.h"

#include "base/errors.h"
#include "content/paths.h"

#include <QDir>

#include <windows.h>

#include <objbase.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <algorithm>
#include <cerrno>
#include <string>

namespace tavelo {

namespace {

// The resolver's native paths carry every UTF-16 unit of the name, paired
// or not; the shell gets them as they are, with "\" separators.
std::wstring Wide(const QByteArray& native)
{
    QString path = QtPathOf(native);
    path.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return path.toStdWString();
}

QString SystemMessage(DWORD code)
{
    wchar_t* text = nullptr;
    const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    // English, as the rest of the program speaks; the user's language if the
    // system has no English text.
    DWORD size = FormatMessageW(flags, nullptr, code, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (size == 0)
        size = FormatMessageW(flags, nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (size == 0)
        return QStringLiteral("Error %1").arg(code);
    const QString message = QString::fromWCharArray(text, static_cast<qsizetype>(size));
    LocalFree(text);
    return TrimmedCause(message);
}

qsizetype LastSeparator(const QByteArray& native)
{
    return std::max(native.lastIndexOf('/'), native.lastIndexOf('\\'));
}

QString FileName(const QByteArray& native) { return QtPathOf(native.mid(LastSeparator(native) + 1)); }

// The file's extension with its dot; empty when its name has none.
QString Extension(const QByteArray& native)
{
    const QString name = FileName(native);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.mid(dot) : QString();
}

QString Association(ASSOCSTR what, const QString& extension)
{
    const std::wstring key = extension.toStdWString();
    DWORD size = 0;
    const ASSOCF flags = ASSOCF_INIT_IGNOREUNKNOWN | ASSOCF_NOTRUNCATE;
    HRESULT hr = AssocQueryStringW(flags, what, key.c_str(), L"open", nullptr, &size);
    if ((hr != S_OK && hr != S_FALSE) || size == 0)
        return {};
    std::wstring text(size, L'\0');
    hr = AssocQueryStringW(flags, what, key.c_str(), L"open", text.data(), &size);
    if (hr != S_OK)
        return {};
    return QString::fromStdWString(text.substr(0, size > 0 ? size - 1 : 0));
}

// The program a registered command line starts: its first word, or the
// quoted text it begins with.
QString CommandProgram(const QString& command)
{
    const QString line = command.trimmed();
    if (line.startsWith(QLatin1Char('"')))
        return line.mid(1, line.indexOf(QLatin1Char('"'), 1) - 1);
    return line.section(QLatin1Char(' '), 0, 0);
}

// COM for the shell's handlers, as ShellExecuteEx asks; balanced on the way out.
class ComForShell {
public:
    ComForShell() : ok_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
    ~ComForShell()
    {
        if (ok_)
            CoUninitialize();
    }
    ComForShell(const ComForShell&) = delete;
    ComForShell& operator=(const ComForShell&) = delete;

private:
    bool ok_;
};

}  // namespace

QString LookUpOpener(const QByteArray& native, ShellOpenQuery& query)
{
    const QString extension = Extension(native);
    if (extension.isEmpty()) {
        query.status = ShellOpenQuery::UnknownType;
        return UnknownTypeCause();
    }
    const QString contentType = Association(ASSOCSTR_CONTENTTYPE, extension);
    query.contentType = contentType.isEmpty() ? extension : contentType;
    // The system starts a program itself, whatever the registry says of its
    // type (Wine's says nothing).
    if (extension.compare(QLatin1String(".exe"), Qt::CaseInsensitive) == 0 ||
        extension.compare(QLatin1String(".com"), Qt::CaseInsensitive) == 0) {
        query.application = FileName(native);
        return {};
    }
    // The shell names no executable that is not there; the command still
    // says which program it would start.
    QString executable = Association(ASSOCSTR_EXECUTABLE, extension);
    if (executable.isEmpty())
        executable = CommandProgram(Association(ASSOCSTR_COMMAND, extension));
    if (executable.isEmpty()) {
        query.status = ShellOpenQuery::NoApplication;
        return NoApplicationCause(query.contentType);
    }
    if (executable == QLatin1String("%1")) {
        // Another kind of program (.bat, .cmd, ...): it starts itself.
        query.application = FileName(native);
        return {};
    }
    query.application = Association(ASSOCSTR_FRIENDLYAPPNAME, extension);
    if (query.application.isEmpty())
        query.application = FileName(QDir::fromNativeSeparators(executable).toUtf8());
    return {};
}

void StartOpener(const QString& file, const QByteArray& native, const QByteArray& folder)
{
    const std::wstring path = Wide(native);
    const std::wstring directory = Wide(folder);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    // No error dialog of the shell's own: the program reports the failure. No
    // process handle either: nothing here waits for what it starts.
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = path.c_str();
    info.lpDirectory = directory.empty() ? nullptr : directory.c_str();
    info.nShow = SW_SHOWNORMAL;
    {
        ComForShell com;
        if (ShellExecuteExW(&info))
            return;
    }
    const DWORD error = GetLastError();
    const auto instance = reinterpret_cast<INT_PTR>(info.hInstApp);
    if (error == ERROR_NO_ASSOCIATION || instance == SE_ERR_NOASSOC) {
        ShellOpenQuery query;
        QString cause = LookUpOpener(native, query);
        if (query.status == ShellOpenQuery::Ready)  // registered, but not for "open"
            cause = NoApplicationCause(query.contentType);
        FailOpen(file, cause);
    }
    if (error == ERROR_ACCESS_DENIED || instance == SE_ERR_ACCESSDENIED)
        FailOpen(file, SystemDescription(EACCES));
    // The shell says "not found" for the file and for the program it starts alike.
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        FailOpen(file, SystemDescription(ENOENT));
    ShellOpenQuery query;
    LookUpOpener(native, query);
    FailStart(query.application, file, SystemMessage(error));
}

std::optional<bool> IsFolder(const QByteArray& native)
{
    const DWORD attributes = GetFileAttributesW(Wide(native).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return std::nullopt;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

QByteArray FolderOf(const QByteArray& native)
{
    const qsizetype separator = LastSeparator(native);
    if (separator < 0)
        return native;
    // A drive's root keeps its separator: "D:\", not "D:".
    if (separator == 2 && native.at(1) == ':')
        return native.left(3);
    return native.left(separator == 0 ? 1 : separator);
}

// Windows has no descriptor to hand on: the applications started here get no
// console of ours either way.
void TakePlayersStandardError() noexcept {}

}  // namespace tavelo
