// Launching through GIO: the desktop's default application for the file's
// content type, as a file manager's "open" does.

// GIO before Qt: Qt's keyword macros break GLib's headers.
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include "media/launcher_system.h"

#include "base/errors.h"

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

QString GLibCause(const GError* error) { return TrimmedCause(QString::fromUtf8(error ? error->message : "")); }

// Where the applications started here write their errors; -1 leaves them
// ours.
int playersStderr = -1;

// Runs in the started child between fork and exec: only async-signal-safe
// calls belong here.
void EnterFolder(gpointer folder)
{
    if (::chdir(static_cast<const char*>(folder)) != 0) {
        // Staying in the inherited directory is the lesser harm.
    }
}

// The file and the application it opens with, or the reason there is none.
struct Target {
    ShellOpenQuery query;
    QString cause;
    GRef<GFile> file;
    GRef<GAppInfo> app;
};

Target Prepare(const QByteArray& native)
{
    Target t;
    const auto fail = [&](ShellOpenQuery::Status status, const QString& cause) {
        t.query.status = status;
        t.cause = cause;
        return std::move(t);
    };
    t.file.reset(g_file_new_for_path(native.constData()));
    GError* rawError = nullptr;
    GRef<GFileInfo> info(g_file_query_info(t.file.get(), G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE, G_FILE_QUERY_INFO_NONE,
                                           nullptr, &rawError));
    GErrorPtr error(rawError);
    if (!info)
        return fail(ShellOpenQuery::Missing, GLibCause(error.get()));
    const char* contentType = g_file_info_get_content_type(info.get());
    if (!contentType || !*contentType)
        return fail(ShellOpenQuery::UnknownType, UnknownTypeCause());
    GCharPtr mime(g_content_type_get_mime_type(contentType));
    t.query.contentType = QString::fromUtf8(mime ? mime.get() : contentType);

    t.app.reset(g_app_info_get_default_for_type(contentType, FALSE));
    if (!t.app)
        return fail(ShellOpenQuery::NoApplication, NoApplicationCause(t.query.contentType));
    t.query.application = QString::fromUtf8(g_app_info_get_display_name(t.app.get()));
    return t;
}

}  // namespace

QString LookUpOpener(const QByteArray& native, ShellOpenQuery& query)
{
    Target target = Prepare(native);
    query = std::move(target.query);
    return target.cause;
}

void StartOpener(const QString& file, const QByteArray& native, const QByteArray& startFolder)
{
    Target target = Prepare(native);
    if (target.query.status != ShellOpenQuery::Ready)
        FailOpen(file, target.cause);
    GRef<GFile>& gfile = target.file;
    GRef<GAppInfo>& app = target.app;

    GRef<GAppLaunchContext> context(g_app_launch_context_new());
    GList uris{};
    GCharPtr uri(g_file_get_uri(gfile.get()));
    uris.data = uri.get();

    QByteArray folder = startFolder;
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
    if (!launched)
        FailStart(target.query.application, file, GLibCause(error.get()));
}

std::optional<bool> IsFolder(const QByteArray& native)
{
    struct stat st {};
    if (::stat(native.constData(), &st) != 0)
        return std::nullopt;
    return S_ISDIR(st.st_mode);
}

QByteArray FolderOf(const QByteArray& native)
{
    const qsizetype slash = native.lastIndexOf('/');
    return slash <= 0 ? QByteArrayLiteral("/") : native.left(slash);
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

}  // namespace tavelo
