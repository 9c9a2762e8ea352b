// GIO before Qt: Qt's keyword macros break GLib's headers.
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include "media/launcher.h"

#include "base/errors.h"
#include "content/paths.h"

#include <QByteArray>
#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace tavelo {

namespace {

struct GObjectDeleter {
    void operator()(gpointer p) const { g_object_unref(p); }
};
template<typename T> using GRef = std::unique_ptr<T, GObjectDeleter>;

struct GErrorDeleter {
    void operator()(GError* e) const { g_error_free(e); }
};
using GErrorPtr = std::unique_ptr<GError, GErrorDeleter>;

struct GFreeDeleter {
    void operator()(gpointer p) const { g_free(p); }
};
using GCharPtr = std::unique_ptr<gchar, GFreeDeleter>;

// GLib's messages follow their own punctuation; the error report adds the
// final full stop itself.
QString Trimmed(const char* text)
{
    QString s = QString::fromUtf8(text ? text : "");
    while (!s.isEmpty() && (s.back() == QLatin1Char('.') || s.back().isSpace()))
        s.chop(1);
    return s;
}

[[noreturn]] void Fail(const QString& file, const QString& cause)
{
    throw EShellError(QStringLiteral("Cannot open \"%1\". %2").arg(AbsoluteForMessage(file), cause));
}

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
    struct stat st {};
    if (::stat(r.native.constData(), &st) != 0)
        return {};
    if (S_ISDIR(st.st_mode))
        return r.native;
    const qsizetype slash = r.native.lastIndexOf('/');
    return slash <= 0 ? QByteArrayLiteral("/") : r.native.left(slash);
}

// Runs in the started child between fork and exec: only async-signal-safe
// calls belong here.
// Where the applications started here write their errors; -1 leaves them
// ours.
int playersStderr = -1;

void EnterFolder(gpointer folder)
{
    if (::chdir(static_cast<const char*>(folder)) != 0) {
        // Staying in the inherited directory is the lesser harm.
    }
}

// The file and the application it opens with, or the reason there is none.
struct Target {
    ShellOpenQuery query;
    GRef<GFile> file;
    GRef<GAppInfo> app;
};

Target Prepare(const QString& file)
{
    Target t;
    const auto fail = [&](ShellOpenQuery::Status status, const QString& cause) {
        t.query.status = status;
        t.query.message = QStringLiteral("Cannot open \"%1\". %2").arg(AbsoluteForMessage(file), cause);
        return std::move(t);
    };
    const Resolved target = ResolvePath(file);
    if (!target.ok())
        return fail(ShellOpenQuery::Missing, SystemDescription(target.error));

    t.file.reset(g_file_new_for_path(target.native.constData()));
    GError* rawError = nullptr;
    GRef<GFileInfo> info(g_file_query_info(t.file.get(), G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE, G_FILE_QUERY_INFO_NONE,
                                           nullptr, &rawError));
    GErrorPtr error(rawError);
    if (!info)
        return fail(ShellOpenQuery::Missing, Trimmed(error ? error->message : nullptr));
    const char* contentType = g_file_info_get_content_type(info.get());
    if (!contentType || !*contentType)
        return fail(ShellOpenQuery::UnknownType, QStringLiteral("Its type cannot be determined"));
    GCharPtr mime(g_content_type_get_mime_type(contentType));
    t.query.contentType = QString::fromUtf8(mime ? mime.get() : contentType);

    t.app.reset(g_app_info_get_default_for_type(contentType, FALSE));
    if (!t.app)
        return fail(ShellOpenQuery::NoApplication,
                    QStringLiteral("No application is registered for the type \"%1\"").arg(t.query.contentType));
    t.query.application = QString::fromUtf8(g_app_info_get_display_name(t.app.get()));
    return t;
}

}  // namespace

ShellOpenQuery QueryShellOpen(const QString& file) { return Prepare(file).query; }

void ShellOpen(const QString& operation, const QString& file, const QString& directory)
{
    if (!operation.isEmpty() && operation.compare(QLatin1String("open"), Qt::CaseInsensitive) != 0)
        Fail(file, QStringLiteral("The operation \"%1\" is not supported").arg(operation));

    Target target = Prepare(file);
    if (target.query.status != ShellOpenQuery::Ready)
        throw EShellError(target.query.message);
    GRef<GFile>& gfile = target.file;
    GRef<GAppInfo>& app = target.app;

    GRef<GAppLaunchContext> context(g_app_launch_context_new());
    GList uris{};
    GCharPtr uri(g_file_get_uri(gfile.get()));
    uris.data = uri.get();

    QByteArray folder = StartFolder(directory);
    gboolean launched = FALSE;
    GError* rawError = nullptr;
    if (G_IS_DESKTOP_APP_INFO(app.get())) {
        GDesktopAppInfo* desktop = G_DESKTOP_APP_INFO(app.get());
        // An application that names its own working folder keeps it.
        GCharPtr ownPath(g_desktop_app_info_get_string(desktop, G_KEY_FILE_DESKTOP_KEY_PATH));
        if (ownPath && *ownPath)
            folder.clear();
        if (!folder.isEmpty())
            g_app_launch_context_setenv(context.get(), "PWD", folder.constData());
        // GIO has no working-folder setting of its own, so the child enters
        // the folder itself just before exec. The spawn reaps its intermediate
        // child, so nothing is left to wait for.
        launched = g_desktop_app_info_launch_uris_as_manager_with_fds(
            desktop, &uris, context.get(), G_SPAWN_SEARCH_PATH, folder.isEmpty() ? nullptr : EnterFolder,
            folder.isEmpty() ? nullptr : folder.data(), nullptr, nullptr, -1, -1, playersStderr, &rawError);
    } else {
        launched = g_app_info_launch_uris(app.get(), &uris, context.get(), &rawError);
    }
    GErrorPtr error(rawError);
    if (!launched) {
        const QString name = QString::fromUtf8(g_app_info_get_display_name(app.get()));
        throw EShellError(QStringLiteral("Cannot start \"%1\" to open \"%2\". %3")
                              .arg(name, AbsoluteForMessage(file), Trimmed(error ? error->message : nullptr)));
    }
}

void TakePlayersStandardError() noexcept
{
    const char* value = std::getenv(kPlayersStderrVariable);
    if (!value)
        return;
    char* end = nullptr;
    errno = 0;
    const long fd = std::strtol(value, &end, 10);
    const bool number = *value && !*end && errno == 0 && fd > 2 && fd < 1 << 20;
    ::unsetenv(kPlayersStderrVariable);
    // Not ours to pass on further than the launch itself.
    if (number && ::fcntl(static_cast<int>(fd), F_SETFD, FD_CLOEXEC) == 0)
        playersStderr = static_cast<int>(fd);
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
