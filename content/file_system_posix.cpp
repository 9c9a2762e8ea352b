// The file system on POSIX systems: names are the bytes stored, "/" the only
// separator.

#include "content/file_system.h"

#include "content/paths.h"

#include <QFile>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tavelo {

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept
{
    if (this != &other) {
        if (handle_ >= 0)
            ::close(static_cast<int>(handle_));
        handle_ = std::exchange(other.handle_, -1);
    }
    return *this;
}

FileDescriptor::~FileDescriptor()
{
    if (handle_ >= 0)
        ::close(static_cast<int>(handle_));
}

struct DirectoryStream::State {
    DIR* dir;
    ~State() { ::closedir(dir); }
};

DirectoryStream::DirectoryStream(const QByteArray& path)
{
    if (DIR* dir = ::opendir(path.constData()))
        state_.reset(new State{dir});
    else
        error_ = errno;
}

DirectoryStream::~DirectoryStream() = default;

bool DirectoryStream::Next(QByteArray& name, EntryType& type)
{
    if (!state_)
        return false;
    while (dirent* e = ::readdir(state_->dir)) {
        const char* n = e->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)))
            continue;
        name = QByteArray(n);
        switch (e->d_type) {
        case DT_REG: type = EntryType::File; break;
        case DT_DIR: type = EntryType::Folder; break;
        case DT_LNK: type = EntryType::Link; break;
        case DT_UNKNOWN: type = EntryType::Unknown; break;
        default: type = EntryType::Other; break;
        }
        return true;
    }
    return false;
}

bool DirectoryStream::IsFolder(const QByteArray& name) const
{
    struct stat st {};
    return state_ && ::fstatat(::dirfd(state_->dir), name.constData(), &st, 0) == 0 && S_ISDIR(st.st_mode);
}

QByteArray JoinNative(const QByteArray& dir, const QByteArray& name)
{
    return dir.endsWith('/') ? dir + name : dir + '/' + name;
}

QString NativePathText(const QByteArray& native) { return DecodeName(native); }

QByteArray LastNativeName(const QByteArray& native)
{
    const qsizetype slash = native.lastIndexOf('/');
    return slash >= 0 ? native.mid(slash + 1) : native;
}

// Either separator at the start makes a path absolute: the program's own
// literals begin with "\".
std::optional<PathRoot> RootOfPath(const QString& path)
{
    if (path.isEmpty() || (path[0] != QLatin1Char('/') && path[0] != QLatin1Char('\\')))
        return std::nullopt;
    return PathRoot{QByteArrayLiteral("/"), 1, 0};
}

qsizetype RootTextLength(const QString& text) { return text.startsWith(QLatin1Char('/')) ? 1 : 0; }

qsizetype SystemPathLimit() { return PATH_MAX; }

CurrentDirectory CurrentDirectoryNative()
{
    std::vector<char> buf(4096);
    while (::getcwd(buf.data(), buf.size()) == nullptr) {
        if (errno != ERANGE)
            return {QByteArray(), errno};
        buf.resize(buf.size() * 2);
    }
    return {QByteArray(buf.data()), 0};
}

namespace {

EntryStatus StatusFrom(int result, const struct stat& st)
{
    EntryStatus s;
    if (result != 0) {
        s.error = errno;
        return s;
    }
    s.type = S_ISREG(st.st_mode)   ? EntryType::File
             : S_ISDIR(st.st_mode) ? EntryType::Folder
             : S_ISLNK(st.st_mode) ? EntryType::Link
                                   : EntryType::Other;
    s.special = S_ISFIFO(st.st_mode)   ? SpecialKind::Fifo
                : S_ISSOCK(st.st_mode) ? SpecialKind::Socket
                : S_ISCHR(st.st_mode)  ? SpecialKind::CharacterDevice
                : S_ISBLK(st.st_mode)  ? SpecialKind::BlockDevice
                                       : SpecialKind::None;
    s.size = st.st_size;
    return s;
}

}  // namespace

EntryStatus StatusOf(const QByteArray& native)
{
    struct stat st {};
    return StatusFrom(::stat(native.constData(), &st), st);
}

EntryStatus LinkStatusOf(const QByteArray& native)
{
    struct stat st {};
    return StatusFrom(::lstat(native.constData(), &st), st);
}

Found LookUp(const QByteArray& dir, const QByteArray& name)
{
    struct stat st {};
    if (::stat(JoinNative(dir, name).constData(), &st) != 0)
        return {errno, QByteArray(), false};
    return {0, name, S_ISDIR(st.st_mode)};
}

std::optional<QByteArray> RealPath(const QByteArray& native)
{
    if (native.size() >= PATH_MAX)
        return std::nullopt;
    char* real = ::realpath(native.constData(), nullptr);
    if (!real)
        return std::nullopt;
    QByteArray out(real);
    std::free(real);
    return out;
}

int FolderAccess(const QByteArray& native) { return ::access(native.constData(), R_OK | X_OK) == 0 ? 0 : errno; }

FileDescriptor OpenRegularFile(const QByteArray& native, int* error)
{
    // Only a regular file is opened: opening a device (a serial line, a tape)
    // or a FIFO has effects of its own, so the kind is known before the open.
    // The causes are those the open and its check gave before: a folder
    // "is a directory", a socket cannot be opened ("no such device or
    // address"), anything else is "invalid argument".
    const auto notFile = [](const struct stat& st) {
        return S_ISREG(st.st_mode) ? 0 : S_ISDIR(st.st_mode) ? EISDIR : S_ISSOCK(st.st_mode) ? ENXIO : EINVAL;
    };
    const auto fail = [&](int err) {
        *error = err;
        return FileDescriptor();
    };
    struct stat before {};
    if (::stat(native.constData(), &before) != 0)
        return fail(errno);
    if (const int err = notFile(before))
        return fail(err);
    // Something swapped in between the two looks still opens without
    // blocking, and is refused all the same.
    FileDescriptor fd(::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd)
        return fail(errno);
    const int raw = static_cast<int>(fd.Get());
    struct stat st {};
    if (::fstat(raw, &st) != 0)
        return fail(errno);
    if (const int err = notFile(st))
        return fail(err);
    // Non-blocking was only for the open itself.
    ::fcntl(raw, F_SETFL, ::fcntl(raw, F_GETFL) & ~O_NONBLOCK);
    *error = 0;
    return fd;
}

qint64 FileSize(const FileDescriptor& file)
{
    struct stat st {};
    if (::fstat(static_cast<int>(file.Get()), &st) != 0 || st.st_size < 0)
        return -1;
    return st.st_size;
}

qint64 ReadSome(const FileDescriptor& file, void* into, qint64 size)
{
    for (;;) {
        const ssize_t n = ::read(static_cast<int>(file.Get()), into, static_cast<size_t>(size));
        if (n < 0 && errno == EINTR)
            continue;
        return n;
    }
}

qint64 ReadAt(const FileDescriptor& file, void* into, qint64 size, qint64 offset)
{
    for (;;) {
        const ssize_t n = ::pread(static_cast<int>(file.Get()), into, static_cast<size_t>(size), offset);
        if (n < 0 && errno == EINTR)
            continue;
        return n;
    }
}

struct WalkFolder::State {
    DIR* dir;
    ~State() { ::closedir(dir); }
};

namespace {

// Takes fd (or the errno of its failed open) into a walk folder.
void Adopt(int fd, std::unique_ptr<WalkFolder::State>& state, int& error)
{
    if (fd < 0) {
        error = errno;
        return;
    }
    if (DIR* dir = ::fdopendir(fd)) {
        state.reset(new WalkFolder::State{dir});
        return;
    }
    error = errno;
    ::close(fd);
}

}  // namespace

WalkFolder::WalkFolder(const QByteArray& native)
{
    Adopt(::open(native.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC), state_, error_);
}

WalkFolder::WalkFolder(WalkFolder&&) noexcept = default;
WalkFolder::~WalkFolder() = default;

std::vector<QByteArray> WalkFolder::Names()
{
    std::vector<QByteArray> names;
    if (!state_)
        return names;
    while (dirent* e = ::readdir(state_->dir)) {
        const char* n = e->d_name;
        if (!(n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0))))
            names.emplace_back(n);
    }
    return names;
}

EntryStatus WalkFolder::Status(const QByteArray& name) const
{
    struct stat st {};
    if (!state_)
        return {error_, EntryType::Unknown, SpecialKind::None, 0};
    return StatusFrom(::fstatat(::dirfd(state_->dir), name.constData(), &st, AT_SYMLINK_NOFOLLOW), st);
}

WalkFolder WalkFolder::Child(const QByteArray& name) const
{
    WalkFolder child;
    if (!state_) {
        child.error_ = error_;
        return child;
    }
    Adopt(::openat(::dirfd(state_->dir), name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC),
          child.state_, child.error_);
    return child;
}

QString QtPathOf(const QByteArray& native) { return QFile::decodeName(native); }

QByteArray NativeOfQtPath(const QString& path) { return QFile::encodeName(path); }

std::vector<QByteArray> ProgramArguments(int argc, char** argv)
{
    std::vector<QByteArray> args;
    for (int i = 0; i < argc; ++i)
        args.emplace_back(argv[i]);
    return args;
}

bool StandardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

QString ProgramFilePath() { return QFile::symLinkTarget(QStringLiteral("/proc/self/exe")); }

}  // namespace tavelo
