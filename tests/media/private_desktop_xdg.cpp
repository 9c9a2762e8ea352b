#include "tests/media/private_desktop.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

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

PrivateDesktop::PrivateDesktop() : dir_(QDir::tempPath() + QStringLiteral("/tavelo-xdg-XXXXXX"))
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

QList<QPair<QByteArray, QByteArray>> PrivateDesktop::Environment() const
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

QByteArray PrivateDesktop::ProgramFile() const { return "#!/bin/sh\n"; }

}  // namespace tavelo::test
