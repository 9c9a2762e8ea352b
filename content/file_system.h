#pragma once
// What the content layer asks of the operating system. Native paths are
// bytes: as stored on POSIX systems; on Windows UTF-8 that may also carry lone
// surrogates (WTF-8), turned into UTF-16 only at the system call, so that a
// name which is not valid UTF-16 still reaches the very entry listed. Causes
// are errno codes on every system, so messages read alike. One source file
// per system defines all of this (file_system_posix.cpp, file_system_win.cpp);
// the build picks the file.

#include "content/handles.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace tavelo {

// --- Path syntax ---------------------------------------------------------

// name appended to the folder dir with the system's separator.
QByteArray JoinNative(const QByteArray& dir, const QByteArray& name);

// The text of a native path: each name as DecodeName gives it, the system's
// separators kept as separators.
QString NativePathText(const QByteArray& native);

// The last name of a native path; empty for a root.
QByteArray LastNativeName(const QByteArray& native);

// Where an absolute path text starts: the native root folder ("/", "D:\",
// "\\server\share\") and how many characters of the text name it. Nothing
// for a relative path. error is set when the root cannot be named (a path
// from the current drive's root while the current folder is gone).
struct PathRoot {
    QByteArray native;
    qsizetype length = 0;
    int error = 0;
};
std::optional<PathRoot> RootOfPath(const QString& path);

// Length of the root part of a path text ("/" 1, "d:\" 3), 0 for a relative one.
qsizetype RootTextLength(const QString& text);

// The system's path limit: paths of this many bytes or more cannot be opened.
qsizetype SystemPathLimit();

// --- The current folder --------------------------------------------------

struct CurrentDirectory {
    QByteArray native;
    int error = 0;  // why it cannot be named (removed, or a folder above is closed)
};
CurrentDirectory CurrentDirectoryNative();

// --- Entries -------------------------------------------------------------

// What an entry of type Other is.
enum class SpecialKind : unsigned char { None, Fifo, Socket, CharacterDevice, BlockDevice };

struct EntryStatus {
    int error = 0;  // errno of a failed look
    EntryType type = EntryType::Unknown;
    SpecialKind special = SpecialKind::None;
    qint64 size = 0;  // of a file
    bool ok() const { return error == 0; }
};

// The kind of the entry at native, links followed.
EntryStatus StatusOf(const QByteArray& native);
// The same for the entry itself: a link is a Link.
EntryStatus LinkStatusOf(const QByteArray& native);

// The entry name names inside the folder dir, taken exactly as given (or as
// the system matches names; the stored name is given back). ENOENT when there
// is none, and for a name no entry of the system can bear.
struct Found {
    int error = 0;
    QByteArray stored;    // the entry's name as stored
    bool folder = false;  // links followed
};
Found LookUp(const QByteArray& dir, const QByteArray& name);

// The absolute path of an existing entry with every link resolved; nothing
// when it cannot be followed.
std::optional<QByteArray> RealPath(const QByteArray& native);

// 0 when the folder at native can be listed and entered, else the errno.
int FolderAccess(const QByteArray& native);

// A folder opened for a walk that may go deeper than the system's path
// limit: its entries are looked at and entered relative to it, never
// through a link.
class WalkFolder {
public:
    explicit WalkFolder(const QByteArray& native);
    WalkFolder(WalkFolder&&) noexcept;
    ~WalkFolder();

    // The errno of a folder that cannot be opened or read; 0 when open.
    int Error() const { return error_; }
    // Its entries' names, "." and ".." left out.
    std::vector<QByteArray> Names();
    // The entry name itself: a link is a Link.
    EntryStatus Status(const QByteArray& name) const;
    // The subfolder name, never reached through a link.
    WalkFolder Child(const QByteArray& name) const;

    struct State;  // the system's side

private:
    WalkFolder() = default;
    std::unique_ptr<State> state_;
    int error_ = 0;
};

// --- Reading files -------------------------------------------------------

// Opens the regular file at native for reading (writers refused where the
// system can), without opening anything else first: a folder fails with
// EISDIR, a device, FIFO or socket with EINVAL or ENXIO. error gets the cause
// of a failure.
FileDescriptor OpenRegularFile(const QByteArray& native, int* error);

// The size of an open file; -1 when the system cannot say.
qint64 FileSize(const FileDescriptor& file);
// Up to size bytes at the file's position: how many were read, 0 at the end,
// -1 on an error (an interrupted read is tried again).
qint64 ReadSome(const FileDescriptor& file, void* into, qint64 size);
// Up to size bytes at offset; where the file's position is afterwards is
// not to be relied on.
qint64 ReadAt(const FileDescriptor& file, void* into, qint64 size, qint64 offset);

// --- Paths between Qt and the system -----------------------------------

// A native path as Qt's file classes take it, and back.
QString QtPathOf(const QByteArray& native);
QByteArray NativeOfQtPath(const QString& path);

// --- The program ---------------------------------------------------------

// The program's arguments (its name first) as native bytes, each exactly as
// given: on Windows from the wide command line, so no name is lost to the
// 8-bit code page.
std::vector<QByteArray> ProgramArguments(int argc, char** argv);

// Whether standard error shows on a terminal (for a progress bar).
bool StandardErrorIsTerminal();

// The program's own file, links resolved; empty when the system cannot say.
QString ProgramFilePath();

}  // namespace tavelo
