#include "tests/media/private_desktop.h"

#include <QDir>
#include <QFile>

#include <windows.h>

#include <stdexcept>
#include <string>

namespace tavelo::test {

namespace {

// A user's own registrations live in their classes; Wine 8 reads only the
// machine's, which a Wine prefix lets us write (Windows may not: no matter).
void SetValue(const QString& key, const wchar_t* name, const QString& value)
{
    const std::wstring k = (QStringLiteral("Software\\Classes\\") + key).toStdWString();
    const std::wstring v = value.toStdWString();
    const auto size = static_cast<DWORD>((v.size() + 1) * sizeof(wchar_t));
    if (RegSetKeyValueW(HKEY_CURRENT_USER, k.c_str(), name, REG_SZ, v.c_str(), size) != ERROR_SUCCESS)
        throw std::runtime_error("cannot register " + key.toStdString());
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, k.c_str(), name, REG_SZ, v.c_str(), size);
}

// The recorder is built beside every test program.
QString Recorder()
{
    wchar_t self[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    QString path = QString::fromWCharArray(self, static_cast<int>(length));
    return path.left(path.lastIndexOf(QLatin1Char('\\')) + 1) + QStringLiteral("launch_recorder.exe");
}

}  // namespace

PrivateDesktop::PrivateDesktop() : dir_(QDir::tempPath() + QStringLiteral("/tavelo-desktop-XXXXXX"))
{
    if (!dir_.isValid() || !QDir().mkpath(dir_.path() + QStringLiteral("/launches")))
        throw std::runtime_error("cannot make the desktop's folder");
    const QString recorder = Recorder();
    if (!QFile::exists(recorder))
        throw std::runtime_error("no recorder beside the test program");
    SetValue(QStringLiteral(".mp3"), nullptr, QStringLiteral("Tavelo.TestRecorder"));
    SetValue(QStringLiteral(".mp3"), L"Content Type", QStringLiteral("audio/mpeg"));
    SetValue(QStringLiteral("Tavelo.TestRecorder\\shell\\open\\command"), nullptr,
             QStringLiteral("\"%1\" \"%2\"").arg(recorder, QStringLiteral("%1")));
    SetValue(QStringLiteral(".wav"), nullptr, QStringLiteral("Tavelo.TestBroken"));
    SetValue(QStringLiteral(".wav"), L"Content Type", QStringLiteral("audio/x-wav"));
    SetValue(QStringLiteral("Tavelo.TestBroken\\shell\\open\\command"), nullptr,
             QStringLiteral("\"C:\\no-such-folder\\player.exe\" \"%1\""));
}

QList<QPair<QByteArray, QByteArray>> PrivateDesktop::Environment() const
{
    // The recorder, however it was started, records into the desktop.
    return {{"TAVELO_LAUNCHES", QDir::toNativeSeparators(dir_.path() + QStringLiteral("/launches")).toUtf8()}};
}

QByteArray PrivateDesktop::ProgramFile() const
{
    QFile recorder(Recorder());
    if (!recorder.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read the recorder");
    return recorder.readAll();
}

}  // namespace tavelo::test
