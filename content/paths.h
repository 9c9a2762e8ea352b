#pragma once
// Path forming and resolving. Paths are formed by plain concatenation of the
// program's literals ("\picture\", "about group/about.txt" ...); this resolver
// is the one place that turns such a text into a file on the disc. Both "\" and
// "/" separate, runs of separators count as one, and each component is matched
// exact-case first, then case-blind (Unicode case folding), first match in
// byte order of the stored names.

#include <QByteArray>
#include <QString>

#include <optional>

namespace tavelo {

struct Resolved {
    QByteArray native;  // the path as stored on the disc (absolute)
    int error = 0;      // errno-style cause when native is empty
    bool ok() const { return error == 0; }
};

// Resolves path against the current directory (relative paths) or the root.
// An empty path fails with ENOENT.
Resolved ResolvePath(const QString& path);

// The path as the system would make it absolute, for messages: relative paths
// are joined to the current directory, "\" becomes "/", runs collapse to one.
// An empty path stays empty.
QString AbsoluteForMessage(const QString& path);

// strerror(err) with trailing blanks, control characters and full stops removed.
QString SystemDescription(int err);

// Opens path for reading (an existing regular file only). Throws EFOpenError
// "Cannot open file "%s". %s" on failure; a folder counts as cannot open.
// Returns a file descriptor the caller must close.
int OpenForReading(const QString& path);

// Closes a descriptor on scope exit.
class FileCloser {
public:
    explicit FileCloser(int fd) : fd_(fd) {}
    ~FileCloser();
    FileCloser(const FileCloser&) = delete;
    FileCloser& operator=(const FileCloser&) = delete;

private:
    int fd_;
};

// The start-up directory as the program keeps it: the current directory,
// lower-cased, ending in "/" only at the root.
QString CurrentDirectoryLowered();

}  // namespace tavelo
