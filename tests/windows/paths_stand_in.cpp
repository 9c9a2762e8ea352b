// TEMPORARY (see CMakeLists.txt): the few resolver calls the launcher makes,
// until content/'s resolver has its Windows files. Exact-case look-ups only,
// relative to the current folder; "\" and "/" both separate; ".." never
// resolves. Native paths are UTF-8 with "/" separators, as the resolver's.

#include "content/paths.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

namespace tavelo {

Resolved ResolvePath(const QString& path)
{
    QString normal = path;
    normal.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (normal.isEmpty() || normal.split(QLatin1Char('/')).contains(QStringLiteral("..")))
        return {{}, ENOENT};
    const QFileInfo info(QDir::current(), normal);
    if (!info.exists())
        return {{}, ENOENT};
    return {info.absoluteFilePath().toUtf8(), 0};
}

QString AbsoluteForMessage(const QString& path)
{
    QString normal = path;
    normal.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return QDir::cleanPath(QDir::current().absoluteFilePath(normal));
}

QString SystemDescription(int err)
{
    QString text = QString::fromLocal8Bit(std::strerror(err));
    while (!text.isEmpty() && (text.back() == QLatin1Char('.') || text.back().isSpace()))
        text.chop(1);
    return text;
}

}  // namespace tavelo
