// The launcher's rules, the same on every system: which verbs are known,
// where the application starts, and how failures read.

#include "media/launcher.h"

#include "base/errors.h"
#include "content/paths.h"
#include "media/launcher_system.h"

namespace tavelo {

QString CannotOpenMessage(const QString& file, const QString& cause)
{
    return QStringLiteral("Cannot open \"%1\". %2").arg(AbsoluteForMessage(file), cause);
}

void FailOpen(const QString& file, const QString& cause) { throw EShellError(CannotOpenMessage(file, cause)); }

void FailStart(const QString& application, const QString& file, const QString& cause)
{
    throw EShellError(
        QStringLiteral("Cannot start \"%1\" to open \"%2\". %3").arg(application, AbsoluteForMessage(file), cause));
}

QString NoApplicationCause(const QString& contentType)
{
    return QStringLiteral("No application is registered for the type \"%1\"").arg(contentType);
}

QString UnknownTypeCause() { return QStringLiteral("Its type cannot be determined"); }

// The systems' messages follow their own punctuation; the error report adds
// the final full stop itself.
QString TrimmedCause(QString text)
{
    while (!text.isEmpty() && (text.back() == QLatin1Char('.') || text.back().isSpace()))
        text.chop(1);
    return text;
}

namespace {

// The folder the application starts in, as a native path; empty for the
// current directory. A directory that names a file means that file's folder.
// One that cannot be resolved falls back to the current directory rather than
// stopping the launch.
QByteArray StartFolder(const QString& directory)
{
    if (directory.isEmpty())
        return {};
    const Resolved r = ResolvePath(directory);
    if (!r.ok())
        return {};
    const std::optional<bool> folder = IsFolder(r.native);
    if (!folder)
        return {};
    return *folder ? r.native : FolderOf(r.native);
}

}  // namespace

ShellOpenQuery QueryShellOpen(const QString& file)
{
    ShellOpenQuery query;
    const Resolved target = ResolvePath(file);
    if (!target.ok()) {
        query.status = ShellOpenQuery::Missing;
        query.message = CannotOpenMessage(file, SystemDescription(target.error));
        return query;
    }
    const QString cause = LookUpOpener(target.native, query);
    if (query.status != ShellOpenQuery::Ready)
        query.message = CannotOpenMessage(file, cause);
    return query;
}

void ShellOpen(const QString& operation, const QString& file, const QString& directory)
{
    if (!operation.isEmpty() && operation.compare(QLatin1String("open"), Qt::CaseInsensitive) != 0)
        FailOpen(file, QStringLiteral("The operation \"%1\" is not supported").arg(operation));
    const Resolved target = ResolvePath(file);
    if (!target.ok())
        FailOpen(file, SystemDescription(target.error));
    StartOpener(file, target.native, StartFolder(directory));
}

void ShellOpenQuiet(const QString& file) noexcept
{
    try {
        ShellOpen(QStringLiteral("open"), file, QString());
    } catch (...) {
        // The player buttons report nothing; what the desktop shows is its affair.
    }
}

}  // namespace tavelo
