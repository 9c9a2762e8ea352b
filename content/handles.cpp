#include "content/handles.h"

#include <unistd.h>

#include <cerrno>

namespace tavelo {

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

FileDescriptor::~FileDescriptor()
{
    if (fd_ >= 0)
        ::close(fd_);
}

DirectoryStream::DirectoryStream(const char* path) : dir_(::opendir(path))
{
    if (!dir_)
        error_ = errno;
}

DirectoryStream::~DirectoryStream()
{
    if (dir_)
        ::closedir(dir_);
}

}  // namespace tavelo
