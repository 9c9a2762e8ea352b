// The file system on Windows, through the wide-character calls. Native paths
// are WTF-8 with "\" separators, absolute ones given to the system with the
// "\\?\" prefix: no name is then changed on the way (a trailing dot, a
// device name such as CON, a path past MAX_PATH), so every path reaches
// exactly the entry it names.

#include "content/file_system.h"

#include "content/paths.h"

#include <QDir>

#include <cerrno>
#include <cwchar>
#include <string>
#include <vector>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <shellapi.h>

namespace tavelo {

namespace {

// --- WTF-8: UTF-8 in which lone surrogates are encoded like characters -----

QByteArray Wtf8Of(const wchar_t* s, std::size_t n)
{
    QByteArray out;
    out.reserve(static_cast<qsizetype>(n));
    for (std::size_t i = 0; i < n; ++i) {
        char32_t c = static_cast<char16_t>(s[i]);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF)
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char16_t>(s[++i]) - 0xDC00);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

QByteArray Wtf8Of(const std::wstring& s) { return Wtf8Of(s.data(), s.size()); }

// Nothing when bytes are not WTF-8 (such a name exists on no Windows file
// system, so it names nothing).
// A path in its long form ("\\\\?\\C:\\...", "\\\\?\\UNC\\server\\...") in the usual one.
std::wstring WithoutLongPrefix(const std::wstring& path)
{
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0)
        return L"\\\\" + path.substr(8);
    if (path.rfind(L"\\\\?\\", 0) == 0)
        return path.substr(4);
    return path;
}

std::optional<std::wstring> WideOf(const QByteArray& bytes)
{
    std::wstring out;
    out.reserve(static_cast<std::size_t>(bytes.size()));
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const auto* end = p + bytes.size();
    bool lastWasHigh = false;
    while (p < end) {
        const unsigned char b = *p;
        int n = 0;
        char32_t c = 0, min = 0;
        if (b == 0) {
            return std::nullopt;
        } else if (b < 0x80) {
            n = 1, c = b;
        } else if (b >= 0xC2 && b <= 0xDF) {
            n = 2, c = b & 0x1F, min = 0x80;
        } else if (b >= 0xE0 && b <= 0xEF) {
            n = 3, c = b & 0x0F, min = 0x800;
        } else if (b >= 0xF0 && b <= 0xF4) {
            n = 4, c = b & 0x07, min = 0x10000;
        } else {
            return std::nullopt;
        }
        if (end - p < n)
            return std::nullopt;
        for (int i = 1; i < n; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return std::nullopt;
            c = (c << 6) | (p[i] & 0x3F);
        }
        if (c < min || c > 0x10FFFF)
            return std::nullopt;
        // A pair written as two surrogates is the 4-byte form's double.
        const bool high = c >= 0xD800 && c <= 0xDBFF;
        if (lastWasHigh && c >= 0xDC00 && c <= 0xDFFF)
            return std::nullopt;
        lastWasHigh = high;
        if (c >= 0x10000) {
            out += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<wchar_t>(c);
        }
        p += n;
    }
    return out;
}

// --- Paths ----------------------------------------------------------------

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// The path as the system is given it: "\" separators, and absolute paths
// prefixed with "\\?\" ("\\?\UNC\" for a share) so that no name is parsed.
std::optional<std::wstring> WidePath(const QByteArray& native)
{
    std::optional<std::wstring> wide = WideOf(native);
    if (!wide)
        return std::nullopt;
    for (wchar_t& c : *wide) {
        if (c == L'/')
            c = L'\\';
    }
    const std::wstring& w = *wide;
    if (w.size() >= 3 && w[1] == L':' && w[2] == L'\\')
        return L"\\\\?\\" + w;
    if (w.size() >= 2 && w[0] == L'\\' && w[1] == L'\\')
        return L"\\\\?\\UNC\\" + w.substr(2);
    return wide;
}

int ErrnoOf(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_NO_MORE_FILES: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_PRIVILEGE_NOT_HELD:
    case ERROR_CANT_ACCESS_FILE: return EACCES;
    case ERROR_DIRECTORY: return ENOTDIR;
    case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
    case ERROR_TOO_MANY_OPEN_FILES: return EMFILE;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return ENOMEM;
    case ERROR_NOT_READY:  // a drive without its disc
    case ERROR_DEV_NOT_EXIST: return ENODEV;
    case ERROR_CANT_RESOLVE_FILENAME: return ELOOP;
    default: return EIO;
    }
}

int LastErrno() { return ErrnoOf(::GetLastError()); }

class Handle {
public:
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle()
    {
        if (h_ != INVALID_HANDLE_VALUE)
            ::CloseHandle(h_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE Get() const { return h_; }
    explicit operator bool() const { return h_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE h_;
};

// Links, in the sense that matters here: what leads elsewhere.
bool IsLinkTag(DWORD tag) { return tag == IO_REPARSE_TAG_SYMLINK || tag == IO_REPARSE_TAG_MOUNT_POINT; }

EntryType TypeOf(DWORD attributes, DWORD tag)
{
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsLinkTag(tag))
        return EntryType::Link;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? EntryType::Folder : EntryType::File;
}

qint64 SizeOf(DWORD high, DWORD low) { return static_cast<qint64>((static_cast<quint64>(high) << 32) | low); }

// The entry itself, links not followed.
EntryStatus LookAt(const std::wstring& wide)
{
    EntryStatus s;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) {
        s.error = LastErrno();
        return s;
    }
    DWORD tag = 0;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        WIN32_FIND_DATAW found{};
        const HANDLE find =
            ::FindFirstFileExW(wide.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
        if (find != INVALID_HANDLE_VALUE) {
            tag = found.dwReserved0;
            ::FindClose(find);
        }
    }
    s.type = TypeOf(data.dwFileAttributes, tag);
    s.size = SizeOf(data.nFileSizeHigh, data.nFileSizeLow);
    return s;
}

// What a link leads to, from a handle opened through it.
EntryStatus Followed(const std::wstring& wide)
{
    EntryStatus s;
    const Handle h(::CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!h || !::GetFileInformationByHandle(h.Get(), &info)) {
        s.error = LastErrno();
        return s;
    }
    s.type = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? EntryType::Folder : EntryType::File;
    s.size = SizeOf(info.nFileSizeHigh, info.nFileSizeLow);
    return s;
}

// A name no Windows entry can bear: such a component names nothing (and
// never a stream, a drive or a device).
bool IsValidName(const std::wstring& name)
{
    if (name.empty())
        return false;
    for (wchar_t c : name) {
        if (c < 0x20 || std::wcschr(L"<>:\"/\\|?*", c) != nullptr)
            return false;
    }
    return true;
}

// A listing of the folder at wide: the first entry, or why there is none.
struct Listing {
    HANDLE find = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW data{};
    bool pending = false;  // data holds an entry not yet handed out
    int error = 0;

    explicit Listing(const QByteArray& native)
    {
        std::optional<std::wstring> wide = WidePath(native);
        if (!wide) {
            error = ENOENT;
            return;
        }
        if (!wide->empty() && !IsSeparator(wide->back()))
            *wide += L'\\';
        *wide += L'*';
        find = ::FindFirstFileExW(wide->c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                  FIND_FIRST_EX_LARGE_FETCH);
        if (find != INVALID_HANDLE_VALUE)
            pending = true;
        else if (::GetLastError() != ERROR_FILE_NOT_FOUND)  // an empty drive's root has no "." to list
            error = LastErrno();
    }
    ~Listing()
    {
        if (find != INVALID_HANDLE_VALUE)
            ::FindClose(find);
    }
    Listing(const Listing&) = delete;
    Listing& operator=(const Listing&) = delete;

    bool Next(QByteArray& name, EntryType& type)
    {
        while (pending || (find != INVALID_HANDLE_VALUE && ::FindNextFileW(find, &data))) {
            pending = false;
            const wchar_t* n = data.cFileName;
            if (n[0] == L'.' && (n[1] == 0 || (n[1] == L'.' && n[2] == 0)))
                continue;
            name = Wtf8Of(n, std::wcslen(n));
            type = TypeOf(data.dwFileAttributes, data.dwReserved0);
            return true;
        }
        return false;
    }
};

}  // namespace

// --- Handles ----------------------------------------------------------------

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept
{
    if (this != &other) {
        if (handle_ != -1)
            ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
        handle_ = std::exchange(other.handle_, -1);
    }
    return *this;
}

FileDescriptor::~FileDescriptor()
{
    if (handle_ != -1)
        ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

struct DirectoryStream::State {
    QByteArray path;
    Listing listing;
    explicit State(const QByteArray& native) : path(native), listing(native) {}
};

DirectoryStream::DirectoryStream(const QByteArray& path)
{
    auto state = std::make_unique<State>(path);
    if (state->listing.error != 0)
        error_ = state->listing.error;
    else
        state_ = std::move(state);
}

DirectoryStream::~DirectoryStream() = default;

bool DirectoryStream::Next(QByteArray& name, EntryType& type) { return state_ && state_->listing.Next(name, type); }

bool DirectoryStream::IsFolder(const QByteArray& name) const
{
    return state_ && StatusOf(JoinNative(state_->path, name)).type == EntryType::Folder;
}

// --- Path syntax -------------------------------------------------------------

QByteArray JoinNative(const QByteArray& dir, const QByteArray& name)
{
    return dir.endsWith('\\') || dir.endsWith('/') ? dir + name : dir + '\\' + name;
}

QString NativePathText(const QByteArray& native)
{
    QString out;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= native.size(); ++i) {
        if (i == native.size() || native[i] == '\\' || native[i] == '/') {
            out += DecodeName(native.constData() + start, i - start);
            if (i < native.size())
                out += QLatin1Char('\\');
            start = i + 1;
        }
    }
    return out;
}

QByteArray LastNativeName(const QByteArray& native)
{
    const qsizetype at = qMax(native.lastIndexOf('\\'), native.lastIndexOf('/'));
    const QByteArray last = at >= 0 ? native.mid(at + 1) : native;
    return last.endsWith(':') ? QByteArray() : last;
}

namespace {

bool IsSeparatorChar(QChar c) { return c == QLatin1Char('\\') || c == QLatin1Char('/'); }

bool IsDriveLetter(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
}

// "\\server\share": the end of the share's name, or 0 when a part is missing.
qsizetype ShareEnd(const QString& text)
{
    qsizetype i = 2;
    const qsizetype server = i;
    while (i < text.size() && !IsSeparatorChar(text[i]))
        ++i;
    if (i == server || i == text.size())
        return 0;
    const qsizetype share = ++i;
    while (i < text.size() && !IsSeparatorChar(text[i]))
        ++i;
    return i == share ? 0 : i;
}

// The root of a native absolute path ("D:\", "\\server\share\").
QByteArray NativeRootOf(const QByteArray& native)
{
    if (native.size() >= 2 && native[1] == ':')
        return native.left(2) + '\\';
    const QString text = NativePathText(native);
    if (text.size() > 2 && IsSeparatorChar(text[0]) && IsSeparatorChar(text[1])) {
        if (const qsizetype end = ShareEnd(text))
            return EncodeName(text.left(end)) + '\\';
    }
    return QByteArray();
}

}  // namespace

// A drive letter with its colon is the drive's root, whatever follows
// ("d:", "D:\", "d:/"); a path from "\" starts at the current drive's root.
std::optional<PathRoot> RootOfPath(const QString& path)
{
    if (path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == QLatin1Char(':')) {
        QByteArray root = path.left(2).toUpper().toLatin1() + '\\';
        return PathRoot{root, 2, 0};
    }
    if (path.size() >= 2 && IsSeparatorChar(path[0]) && IsSeparatorChar(path[1])) {
        const qsizetype end = ShareEnd(path);
        // "\\.\" and "\\?\" lead to devices and raw paths, never to a share.
        const QString server = path.mid(2).section(QLatin1Char('\\'), 0, 0).section(QLatin1Char('/'), 0, 0);
        if (end == 0 || server == QLatin1String(".") || server == QLatin1String("?"))
            return PathRoot{QByteArray(), 0, ENOENT};
        QString share = path.left(end);
        share[0] = share[1] = QLatin1Char('\\');
        return PathRoot{EncodeName(share) + '\\', end, 0};
    }
    if (!path.isEmpty() && IsSeparatorChar(path[0])) {
        const CurrentDirectory cwd = CurrentDirectoryNative();
        if (cwd.error != 0)
            return PathRoot{QByteArray(), 0, cwd.error};
        const QByteArray root = NativeRootOf(cwd.native);
        if (root.isEmpty())
            return PathRoot{QByteArray(), 0, ENOENT};
        return PathRoot{root, 0, 0};
    }
    return std::nullopt;
}

qsizetype RootTextLength(const QString& text)
{
    if (text.size() >= 2 && IsDriveLetter(text[0]) && text[1] == QLatin1Char(':'))
        return text.size() >= 3 && IsSeparatorChar(text[2]) ? 3 : 2;
    if (text.size() >= 2 && IsSeparatorChar(text[0]) && IsSeparatorChar(text[1])) {
        const qsizetype end = ShareEnd(text);
        return end == 0 ? 0 : end < text.size() ? end + 1 : end;
    }
    return !text.isEmpty() && IsSeparatorChar(text[0]) ? 1 : 0;
}

// What the "\\?\" form allows.
qsizetype SystemPathLimit() { return 32767; }

// --- The current folder --------------------------------------------------------

CurrentDirectory CurrentDirectoryNative()
{
    std::wstring buf(MAX_PATH + 1, L'\0');
    for (;;) {
        const DWORD n = ::GetCurrentDirectoryW(static_cast<DWORD>(buf.size()), buf.data());
        if (n == 0)
            return {QByteArray(), LastErrno()};
        if (n < buf.size()) {
            buf.resize(n);
            break;
        }
        buf.resize(n + 1);
    }
    // A folder set through its long form is named by the usual one.
    return {Wtf8Of(WithoutLongPrefix(buf)), 0};
}

// --- Entries ---------------------------------------------------------------------

EntryStatus StatusOf(const QByteArray& native)
{
    const std::optional<std::wstring> wide = WidePath(native);
    if (!wide)
        return {ENOENT, EntryType::Unknown, SpecialKind::None, 0};
    EntryStatus s = LookAt(*wide);
    if (s.ok() && s.type == EntryType::Link)
        s = Followed(*wide);
    return s;
}

EntryStatus LinkStatusOf(const QByteArray& native)
{
    const std::optional<std::wstring> wide = WidePath(native);
    if (!wide)
        return {ENOENT, EntryType::Unknown, SpecialKind::None, 0};
    return LookAt(*wide);
}

Found LookUp(const QByteArray& dir, const QByteArray& name)
{
    const std::optional<std::wstring> wideName = WideOf(name);
    const std::optional<std::wstring> wide = WidePath(JoinNative(dir, name));
    if (!wideName || !IsValidName(*wideName) || !wide)
        return {ENOENT, QByteArray(), false};
    // The entry as stored: the system matches names without regard to case.
    WIN32_FIND_DATAW data{};
    const HANDLE find = ::FindFirstFileExW(wide->c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE)
        return {LastErrno(), QByteArray(), false};
    ::FindClose(find);
    bool folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (TypeOf(data.dwFileAttributes, data.dwReserved0) == EntryType::Link)
        folder = Followed(*wide).type == EntryType::Folder;
    return {0, Wtf8Of(data.cFileName, std::wcslen(data.cFileName)), folder};
}

std::optional<QByteArray> RealPath(const QByteArray& native)
{
    const std::optional<std::wstring> wide = WidePath(native);
    if (!wide) {
        errno = ENOENT;
        return std::nullopt;
    }
    const Handle h(::CreateFileW(wide->c_str(), FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!h) {
        errno = LastErrno();
        return std::nullopt;
    }
    std::wstring buf(MAX_PATH + 1, L'\0');
    for (;;) {
        const DWORD n = ::GetFinalPathNameByHandleW(h.Get(), buf.data(), static_cast<DWORD>(buf.size()),
                                                    FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (n == 0) {
            errno = LastErrno();
            return std::nullopt;
        }
        if (n < buf.size()) {
            buf.resize(n);
            break;
        }
        buf.resize(n + 1);
    }
    return Wtf8Of(WithoutLongPrefix(buf));
}

int FolderAccess(const QByteArray& native)
{
    const EntryStatus s = StatusOf(native);
    if (!s.ok())
        return s.error;
    if (s.type != EntryType::Folder)
        return ENOTDIR;
    return Listing(native).error;
}

// --- Walking -------------------------------------------------------------------------

// By path: the "\\?\" form reaches past MAX_PATH, so nothing needs holding open.
struct WalkFolder::State {
    QByteArray path;
};

WalkFolder::WalkFolder(const QByteArray& native)
{
    if (const int err = FolderAccess(native))
        error_ = err;
    else
        state_.reset(new State{native});
}

WalkFolder::WalkFolder(WalkFolder&&) noexcept = default;
WalkFolder::~WalkFolder() = default;

std::vector<QByteArray> WalkFolder::Names()
{
    std::vector<QByteArray> names;
    if (!state_)
        return names;
    Listing listing(state_->path);
    if (listing.error != 0)
        error_ = listing.error;
    QByteArray name;
    EntryType type;
    while (listing.Next(name, type))
        names.push_back(name);
    return names;
}

EntryStatus WalkFolder::Status(const QByteArray& name) const
{
    if (!state_)
        return {error_, EntryType::Unknown, SpecialKind::None, 0};
    return LinkStatusOf(JoinNative(state_->path, name));
}

WalkFolder WalkFolder::Child(const QByteArray& name) const
{
    if (!state_) {
        WalkFolder child;
        child.error_ = error_;
        return child;
    }
    const QByteArray path = JoinNative(state_->path, name);
    if (LinkStatusOf(path).type == EntryType::Link) {
        WalkFolder child;
        child.error_ = ELOOP;  // as an open that refuses to follow a link says
        return child;
    }
    return WalkFolder(path);
}

// --- Reading files ----------------------------------------------------------------

FileDescriptor OpenRegularFile(const QByteArray& native, int* error)
{
    const auto fail = [&](int err) {
        *error = err;
        return FileDescriptor();
    };
    const std::optional<std::wstring> wide = WidePath(native);
    if (!wide)
        return fail(ENOENT);
    // A folder is known before anything is opened.
    const EntryStatus before = StatusOf(native);
    if (!before.ok())
        return fail(before.error);
    if (before.type == EntryType::Folder)
        return fail(EISDIR);
    // Writers refused, as the files are read whole.
    const HANDLE h = ::CreateFileW(wide->c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return fail(LastErrno());
    FileDescriptor fd(reinterpret_cast<FileDescriptor::Native>(h));
    // Only a file on a disc: never a console, a printer or a pipe.
    if (::GetFileType(h) != FILE_TYPE_DISK)
        return fail(EINVAL);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(h, &info))
        return fail(LastErrno());
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return fail(EISDIR);
    *error = 0;
    return fd;
}

qint64 FileSize(const FileDescriptor& file)
{
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(reinterpret_cast<HANDLE>(file.Get()), &size))
        return -1;
    return size.QuadPart;
}

namespace {

qint64 Read(const FileDescriptor& file, void* into, qint64 size, OVERLAPPED* at)
{
    const DWORD ask = static_cast<DWORD>(qMin<qint64>(size, 1 << 30));
    DWORD got = 0;
    if (!::ReadFile(reinterpret_cast<HANDLE>(file.Get()), into, ask, &got, at))
        return ::GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
    return got;
}

}  // namespace

qint64 ReadSome(const FileDescriptor& file, void* into, qint64 size) { return Read(file, into, size, nullptr); }

qint64 ReadAt(const FileDescriptor& file, void* into, qint64 size, qint64 offset)
{
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(static_cast<quint64>(offset) >> 32);
    return Read(file, into, size, &at);
}

// --- Paths between Qt and the system ----------------------------------------------------

QString QtPathOf(const QByteArray& native)
{
    const std::optional<std::wstring> wide = WideOf(native);
    if (!wide)
        return QString();
    return QDir::fromNativeSeparators(QString::fromWCharArray(wide->data(), static_cast<qsizetype>(wide->size())));
}

QByteArray NativeOfQtPath(const QString& path)
{
    const QString native = QDir::toNativeSeparators(path);
    return Wtf8Of(reinterpret_cast<const wchar_t*>(native.utf16()), static_cast<std::size_t>(native.size()));
}

// --- The program ------------------------------------------------------------------------------

std::vector<QByteArray> ProgramArguments(int argc, char** argv)
{
    std::vector<QByteArray> args;
    int n = 0;
    if (LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &n)) {
        for (int i = 0; i < n; ++i)
            args.push_back(Wtf8Of(wide[i], std::wcslen(wide[i])));
        ::LocalFree(wide);
        return args;
    }
    for (int i = 0; i < argc; ++i)
        args.emplace_back(argv[i]);
    return args;
}

bool StandardErrorIsTerminal()
{
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

QString ProgramFilePath()
{
    std::wstring buf(MAX_PATH + 1, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0)
            return QString();
        if (n < buf.size()) {
            buf.resize(n);
            break;
        }
        buf.resize(buf.size() * 2);
    }
    return QDir::fromNativeSeparators(QString::fromWCharArray(buf.data(), static_cast<qsizetype>(buf.size())));
}

}  // namespace tavelo
