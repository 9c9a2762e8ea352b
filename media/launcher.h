#pragma once
// Handing files to the desktop, the way the shell's "open" does: the file goes
// to the application the desktop has registered for its content type (on
// Windows, for its extension). The program never waits for, watches or stops
// what it started.

#include <QString>

namespace tavelo {

// Opens file (resolved against the current directory, case-blind) with the
// default application for its content type. The application starts in
// directory: a folder, or a file whose folder is used; empty means the current
// directory. Only the verb "open" (or none) is known.
// Throws EShellError with one message per cause: the file does not exist (or
// cannot be reached), no application is registered for its type, the
// application could not be started.
void ShellOpen(const QString& operation, const QString& file, const QString& directory);

// What ShellOpen would meet for file, without starting anything: whether it
// exists, and which application the desktop would open it with. message is
// the cause ShellOpen would report (empty when the launch would go ahead).
struct ShellOpenQuery {
    enum Status { Ready, Missing, UnknownType, NoApplication } status = Ready;
    QString message;      // the whole error message ShellOpen would raise
    QString contentType;  // the file's MIME type, when known
    QString application;  // the application's display name, when Ready
};
ShellOpenQuery QueryShellOpen(const QString& file);

// A starter that keeps the program's standard error for itself (the disc
// kit's start script reads it for its failure dialog) names, in this
// variable, a descriptor holding the listener's own standard error; the
// applications started here get that one instead. Read once at start-up,
// before anything is launched, and removed from the environment so that
// nothing started later sees it. Windows has no such descriptor: there it
// does nothing.
inline constexpr char kPlayersStderrVariable[] = "TAVELO_PLAYERS_STDERR";
void TakePlayersStandardError() noexcept;

// The same launch with the verb "open" and no directory, for the player
// buttons: whatever happens, nothing is reported.
void ShellOpenQuiet(const QString& file) noexcept;

}  // namespace tavelo
