#pragma once
// A private desktop for launch tests, whose only applications are a recorder
// and a broken application.
//
// Linux: a temporary XDG tree; the recorder is the default for audio/mpeg and
// for Windows programs, the broken application (its working folder is
// missing, so it would be recorded if it ran) for audio/x-wav. GLib reads the
// XDG variables once, at its first use, so the tree must be applied before
// the first GLib call of the process.
//
// Windows: the user's classes register the recorder for .mp3 and the broken
// program (a path that does not exist) for .wav. The shell starts a .exe
// itself, so a disc's programs must be copies of the recorder: ProgramFile().

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>

namespace tavelo::test {

// One start of the recorder: the folder it started in (physical path) and
// its arguments after the program name, each exactly as received. On Windows
// the paths are given with "/" separators.
struct LaunchRecord {
    QString cwd;
    QStringList args;
    QList<QByteArray> rawArgs;  // the same, as bytes (UTF-8 on Windows)
    long long pid = 0;          // the recorder's process
};

class PrivateDesktop {
public:
    // Builds the desktop; the environment is left alone.
    PrivateDesktop();
    PrivateDesktop(const PrivateDesktop&) = delete;
    PrivateDesktop& operator=(const PrivateDesktop&) = delete;

    // The process-wide desktop, built and applied on the first call. Call it
    // from a static initializer of the test executable so it runs before main.
    static PrivateDesktop& ForThisProcess();

    QString Root() const;
    // Variables pointing the system's launcher and the recorder at the
    // desktop (an empty value means unset).
    QList<QPair<QByteArray, QByteArray>> Environment() const;
    // Sets them in this process.
    void Apply() const;
    // For a program the test starts: env with the variables applied.
    QProcessEnvironment ApplyTo(QProcessEnvironment env) const;

    // The contents of a file on a disc that, opened, starts the recorder as a
    // program would start.
    QByteArray ProgramFile() const;

    // While this file exists, the recorder stays alive for 3 s after recording.
    QString LingerFlag() const;

    void ClearLaunches() const;
    // Launches recorded so far, in the order they happened.
    QList<LaunchRecord> Launches() const;
    // Waits until at least count launches are recorded or timeoutMs passes;
    // returns what was recorded. Only sleeps: no event loop is run.
    QList<LaunchRecord> WaitForLaunches(int count, int timeoutMs = 5000) const;
    std::optional<LaunchRecord> WaitForLaunch(int timeoutMs = 5000) const;

private:
    QTemporaryDir dir_;
};

}  // namespace tavelo::test
