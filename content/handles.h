#pragma once
// Owners of the system's file handles: each closes what it holds when it
// goes, on every path out, and keeps the cause of a failed open. The system's
// side lives with the rest of it (content/file_system.h).

#include <QByteArray>

#include <cstdint>
#include <memory>
#include <utility>

namespace tavelo {

// A file descriptor, or on Windows a file HANDLE; -1 holds nothing on both.
class FileDescriptor {
public:
    using Native = std::intptr_t;

    FileDescriptor() = default;
    explicit FileDescriptor(Native handle) : handle_(handle) {}
    FileDescriptor(FileDescriptor&& other) noexcept : handle_(std::exchange(other.handle_, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor();

    Native Get() const { return handle_; }
    explicit operator bool() const { return handle_ != -1; }

private:
    Native handle_ = -1;
};

// What a folder listing says an entry is. Unknown when the system does not
// say without a further look; Link for a symbolic link (or on Windows any
// reparse point), whatever it leads to.
enum class EntryType : unsigned char { Unknown, File, Folder, Link, Other };

// A folder read entry by entry, "." and ".." left out.
class DirectoryStream {
public:
    explicit DirectoryStream(const QByteArray& path);
    DirectoryStream(const DirectoryStream&) = delete;
    DirectoryStream& operator=(const DirectoryStream&) = delete;
    ~DirectoryStream();

    explicit operator bool() const { return state_ != nullptr; }
    // The errno of the failed open; 0 when open.
    int Error() const { return error_; }
    // The next entry's name and type; false at the end.
    bool Next(QByteArray& name, EntryType& type);
    // Whether the entry name of this folder is a folder, links followed.
    bool IsFolder(const QByteArray& name) const;

private:
    struct State;
    std::unique_ptr<State> state_;
    int error_ = 0;
};

}  // namespace tavelo
