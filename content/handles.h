#pragma once
// Owners of the system's file handles: each closes what it holds when it
// goes, on every path out, and keeps the cause of a failed open.

#include <dirent.h>

#include <utility>

namespace tavelo {

class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor();

    int Get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// A folder read entry by entry.
class DirectoryStream {
public:
    explicit DirectoryStream(const char* path);
    DirectoryStream(const DirectoryStream&) = delete;
    DirectoryStream& operator=(const DirectoryStream&) = delete;
    ~DirectoryStream();

    explicit operator bool() const { return dir_ != nullptr; }
    // The errno of the failed open; 0 when open.
    int Error() const { return error_; }
    // The next entry, or null at the end.
    dirent* Next() { return ::readdir(dir_); }
    // For *at() calls relative to the folder.
    int Fd() const { return ::dirfd(dir_); }

private:
    DIR* dir_;
    int error_ = 0;
};

}  // namespace tavelo
