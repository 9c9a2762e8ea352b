#pragma once
// What each system's launcher gives the shared one. launcher.cpp checks the
// verb, resolves the file and the start folder and words the errors;
// launcher_gio.cpp and launcher_win.cpp find the application and start it.
// The build picks one of them.

#include "media/launcher.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace tavelo {

// The error messages, the same on every system. Causes are the system's own
// words without a final full stop (the error report adds it).
QString CannotOpenMessage(const QString& file, const QString& cause);
[[noreturn]] void FailOpen(const QString& file, const QString& cause);
[[noreturn]] void FailStart(const QString& application, const QString& file, const QString& cause);
QString NoApplicationCause(const QString& contentType);
QString UnknownTypeCause();
QString TrimmedCause(QString text);

// Fills in query's content type and application for the resolved file
// native; when the launch could not go ahead, sets its status and returns
// the cause.
QString LookUpOpener(const QByteArray& native, ShellOpenQuery& query);

// Starts the application registered for native with it, in folder (a native
// path; empty for the current directory). file is the path as asked, for
// messages. Throws EShellError; never waits for what it started.
void StartOpener(const QString& file, const QByteArray& native, const QByteArray& folder);

// Whether native is a folder; nothing when it cannot be examined.
std::optional<bool> IsFolder(const QByteArray& native);
// The folder holding native.
QByteArray FolderOf(const QByteArray& native);

}  // namespace tavelo
