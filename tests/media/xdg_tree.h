#pragma once
// A private desktop for launch tests: a temporary XDG tree whose only
// applications are a recorder (the default for audio/mpeg and for Windows
// programs) and a broken application (the default for audio/x-wav, it cannot
// start: its working folder is missing, so it would be recorded if it ran). GLib reads the XDG variables once, at its first use, so the tree
// must be applied before the first GLib call of the process.

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
// its arguments after the program name, each exactly as received.
struct LaunchRecord {
    QString cwd;
    QStringList args;
    QList<QByteArray> rawArgs;  // the same, as bytes
    long long pid = 0;          // the recorder's process
};

class XdgTree {
public:
    // Builds the tree; the environment is left alone.
    XdgTree();
    XdgTree(const XdgTree&) = delete;
    XdgTree& operator=(const XdgTree&) = delete;

    // The process-wide tree, built and applied on the first call. Call it from
    // a static initializer of the test executable so it runs before main.
    static XdgTree& ForThisProcess();

    QString Root() const;
    // Variables pointing GLib at the tree (an empty value means unset).
    QList<QPair<QByteArray, QByteArray>> Environment() const;
    // Sets them in this process.
    void Apply() const;
    // For a program the test starts: env with the variables applied.
    QProcessEnvironment ApplyTo(QProcessEnvironment env) const;

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
