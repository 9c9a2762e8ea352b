#include "content/paths.h"

#include "app/errors.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tavelo {

namespace {

QStringList SplitComponents(const QString& path)
{
    QStringList parts;
    QString current;
    for (QChar c : path) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('/')) {
            if (!current.isEmpty())
                parts << current;
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.isEmpty())
        parts << current;
    return parts;
}

bool IsAbsolute(const QString& path)
{
    return !path.isEmpty() && (path[0] == QLatin1Char('/') || path[0] == QLatin1Char('\\'));
}

QByteArray CurrentDirectoryNative()
{
    std::vector<char> buf(4096);
    while (::getcwd(buf.data(), buf.size()) == nullptr) {
        if (errno != ERANGE)
            return QByteArrayLiteral("/");
        buf.resize(buf.size() * 2);
    }
    return QByteArray(buf.data());
}

QByteArray Join(const QByteArray& dir, const QByteArray& name)
{
    if (dir.endsWith('/'))
        return dir + name;
    return dir + '/' + name;
}

// Case-blind lookup of one name inside dir; first match in byte order.
std::optional<QByteArray> FindCaseBlind(const QByteArray& dir, const QString& name)
{
    DIR* d = ::opendir(dir.constData());
    if (!d)
        return std::nullopt;
    const QString folded = name.toCaseFolded();
    std::optional<QByteArray> best;
    while (dirent* e = ::readdir(d)) {
        const QByteArray entry(e->d_name);
        if (entry == "." || entry == "..")
            continue;
        if (QString::fromUtf8(entry).toCaseFolded() != folded)
            continue;
        if (!best || entry < *best)
            best = entry;
    }
    ::closedir(d);
    return best;
}

}  // namespace

Resolved ResolvePath(const QString& path)
{
    Resolved r;
    const QStringList parts = SplitComponents(path);
    if (path.isEmpty()) {
        r.error = ENOENT;
        return r;
    }
    QByteArray current = IsAbsolute(path) ? QByteArrayLiteral("/") : CurrentDirectoryNative();
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QByteArray exact = parts[i].toUtf8();
        struct stat st {};
        QByteArray candidate = Join(current, exact);
        if (::stat(candidate.constData(), &st) != 0) {
            if (errno != ENOENT) {
                r.error = errno;
                return r;
            }
            const std::optional<QByteArray> found = FindCaseBlind(current, parts[i]);
            if (!found) {
                r.error = ENOENT;
                return r;
            }
            candidate = Join(current, *found);
            if (::stat(candidate.constData(), &st) != 0) {
                r.error = errno;
                return r;
            }
        }
        if (i + 1 < parts.size() && !S_ISDIR(st.st_mode)) {
            r.error = ENOTDIR;
            return r;
        }
        current = candidate;
    }
    r.native = current;
    return r;
}

QString AbsoluteForMessage(const QString& path)
{
    if (path.isEmpty())
        return path;
    QString full = IsAbsolute(path) ? path : QFile::decodeName(CurrentDirectoryNative()) + QLatin1Char('/') + path;
    QString out;
    out.reserve(full.size());
    for (QChar c : full) {
        if (c == QLatin1Char('\\'))
            c = QLatin1Char('/');
        if (c == QLatin1Char('/') && out.endsWith(QLatin1Char('/')))
            continue;
        out += c;
    }
    return out;
}

QString SystemDescription(int err)
{
    QString s = QString::fromLocal8Bit(std::strerror(err));
    while (!s.isEmpty() && (s.back() == QLatin1Char('.') || s.back().isSpace() || s.back().unicode() < 0x20))
        s.chop(1);
    return s;
}

int OpenForReading(const QString& path)
{
    const auto fail = [&](int err) -> int {
        throw EFOpenError(QStringLiteral("Cannot open file \"%1\". %2")
                              .arg(AbsoluteForMessage(path), SystemDescription(err)));
    };
    const Resolved r = ResolvePath(path);
    if (!r.ok())
        return fail(r.error);
    const int fd = ::open(r.native.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return fail(errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int err = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        return fail(err);
    }
    // Non-blocking was only for the open itself (a FIFO must not hang us).
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

FileCloser::~FileCloser()
{
    if (fd_ >= 0)
        ::close(fd_);
}

QString CurrentDirectoryLowered()
{
    QString dir = QFile::decodeName(CurrentDirectoryNative()).toLower();
    while (dir.size() > 1 && dir.endsWith(QLatin1Char('/')))
        dir.chop(1);
    return dir;
}

}  // namespace tavelo
