#include "tests/media/xdg_tree.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QThread>

#include <cstdlib>
#include <stdexcept>

namespace tavelo::test {

namespace {

void WriteFile(const QString& path, const QByteArray& text)
{
    QDir().mkpath(path.section(QLatin1Char('/'), 0, -2));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

}  // namespace

XdgTree::XdgTree() : dir_(QDir::tempPath() + QStringLiteral("/tavelo-xdg-XXXXXX"))
{
    if (!dir_.isValid())
        throw std::runtime_error("cannot make the XDG tree");
    const QString root = dir_.path();
    // The root goes into Exec lines unquoted.
    if (!QRegularExpression(QStringLiteral("^[A-Za-z0-9/._-]+$")).match(root).hasMatch())
        throw std::runtime_error("temporary folder name needs quoting: " + root.toStdString());

    for (const char* sub : {"data/applications", "share", "config", "config-dirs", "cache", "launches"})
        QDir().mkpath(root + QLatin1Char('/') + QLatin1String(sub));
    // Only the system's MIME database is borrowed, so content types are real
    // while no installed application can answer.
    if (!QFile::link(QStringLiteral("/usr/share/mime"), root + QStringLiteral("/share/mime")))
        throw std::runtime_error("cannot link the MIME database");

    const QByteArray r = root.toUtf8();
    // The recorder lives in the source tree; its path is one quoted argument
    // of the Exec lines, so it must not need escaping inside the quotes.
    const QByteArray recorder = TAVELO_RECORDER;
    if (recorder.contains('"') || recorder.contains('`') || recorder.contains('$') || recorder.contains('\\') ||
        recorder.contains('%') || recorder.contains('\n'))
        throw std::runtime_error("recorder path needs escaping: " + recorder.toStdString());
    const QByteArray exec = "Exec=/bin/sh \"" + recorder + "\" " + r + "/launches %F\n";

    WriteFile(root + QStringLiteral("/data/applications/tavelo-recorder.desktop"),
              "[Desktop Entry]\nType=Application\nName=Recorder\n" + exec +
                  "MimeType=audio/mpeg;application/x-ms-dos-executable;\n");
    WriteFile(root + QStringLiteral("/data/applications/tavelo-broken.desktop"),
              "[Desktop Entry]\nType=Application\nName=Broken\n" + exec +
                  // GIO finds out only what fails before the program itself runs:
                  // here, entering its working folder.
                  "Path=" + r +
                  "/no-such-folder\n"
                  "MimeType=audio/x-wav;\n");
    WriteFile(root + QStringLiteral("/config/mimeapps.list"),
              "[Default Applications]\n"
              "audio/mpeg=tavelo-recorder.desktop\n"
              "application/x-ms-dos-executable=tavelo-recorder.desktop\n"
              "audio/x-wav=tavelo-broken.desktop\n");
}

XdgTree& XdgTree::ForThisProcess()
{
    static XdgTree tree;
    static const bool applied = (tree.Apply(), true);
    (void)applied;
    return tree;
}

QString XdgTree::Root() const { return dir_.path(); }

QList<QPair<QByteArray, QByteArray>> XdgTree::Environment() const
{
    const QByteArray r = dir_.path().toUtf8();
    return {
        {"XDG_DATA_HOME", r + "/data"},
        {"XDG_DATA_DIRS", r + "/share"},
        {"XDG_CONFIG_HOME", r + "/config"},
        {"XDG_CONFIG_DIRS", r + "/config-dirs"},
        {"XDG_CACHE_HOME", r + "/cache"},
        {"XDG_CURRENT_DESKTOP", {}},  // no desktop-specific mimeapps lists
        {"DBUS_SESSION_BUS_ADDRESS", "disabled:"},
        {"GIO_USE_VFS", "local"},
        {"GSETTINGS_BACKEND", "memory"},
    };
}

void XdgTree::Apply() const
{
    for (const auto& [name, value] : Environment()) {
        if (value.isEmpty())
            ::unsetenv(name.constData());
        else
            ::setenv(name.constData(), value.constData(), 1);
    }
}

QProcessEnvironment XdgTree::ApplyTo(QProcessEnvironment env) const
{
    for (const auto& [name, value] : Environment()) {
        if (value.isEmpty())
            env.remove(QString::fromLatin1(name));
        else
            env.insert(QString::fromLatin1(name), QString::fromUtf8(value));
    }
    return env;
}

QString XdgTree::LingerFlag() const { return dir_.path() + QStringLiteral("/launches/.linger"); }

void XdgTree::ClearLaunches() const
{
    QDir launches(dir_.path() + QStringLiteral("/launches"));
    for (const QString& name : launches.entryList(QDir::Files | QDir::Hidden))
        launches.remove(name);
}

QList<LaunchRecord> XdgTree::Launches() const
{
    QList<LaunchRecord> out;
    // Names start with the time in nanoseconds, all of one length for years.
    const QDir launches(dir_.path() + QStringLiteral("/launches"));
    for (const QString& name : launches.entryList(QDir::Files, QDir::Name)) {
        QFile f(launches.filePath(name));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        QList<QByteArray> fields = f.readAll().split('\0');
        if (!fields.isEmpty() && fields.back().isEmpty())
            fields.removeLast();
        if (fields.isEmpty())
            continue;
        LaunchRecord rec;
        rec.pid = name.section(QLatin1Char('.'), 1, 1).toLongLong();
        rec.cwd = QFile::decodeName(fields.takeFirst());
        for (const QByteArray& a : fields)
            rec.args << QFile::decodeName(a);
        rec.rawArgs = fields;
        out << rec;
    }
    return out;
}

QList<LaunchRecord> XdgTree::WaitForLaunches(int count, int timeoutMs) const
{
    QElapsedTimer timer;
    timer.start();
    QList<LaunchRecord> got = Launches();
    while (got.size() < count && timer.elapsed() < timeoutMs) {
        QThread::msleep(20);
        got = Launches();
    }
    return got;
}

std::optional<LaunchRecord> XdgTree::WaitForLaunch(int timeoutMs) const
{
    const QList<LaunchRecord> got = WaitForLaunches(1, timeoutMs);
    if (got.isEmpty())
        return std::nullopt;
    return got.front();
}

}  // namespace tavelo::test
