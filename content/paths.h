#pragma once
// Path forming and resolving. Paths are formed by plain concatenation of the
// program's literals ("\picture\", "about group/about.txt" ...); this resolver
// is the one place that turns such a text into a file on the disc. Both "\" and
// "/" separate, runs of separators count as one, and each component is matched
// exact-case first, then case-blind (Unicode case folding), first match in
// byte order of the stored names.

#include "content/handles.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <map>
#include <mutex>
#include <optional>
#include <vector>

namespace tavelo {

// Names on the disc are bytes and need not be UTF-8. A name is decoded
// losslessly: valid UTF-8 as its characters, every other byte as the lone
// surrogate U+DC00+byte, so that encoding the text gives back the very bytes.
// A backslash inside a name is escaped the same way (U+DC5C): it is part of
// the name, never a separator, and such a name cannot be opened.
QString DecodeName(const char* bytes, qsizetype size);
inline QString DecodeName(const QByteArray& bytes) { return DecodeName(bytes.constData(), bytes.size()); }
QByteArray EncodeName(const QString& name);
inline constexpr char16_t kEscapedBackslash = 0xDC5C;
// A decoded name or path as messages show it: an escaped backslash as "\",
// any other escaped byte as the replacement character.
QString DisplayName(QString name);

struct Resolved {
    QByteArray native;  // the path as stored on the disc (absolute)
    int error = 0;      // errno-style cause when native is empty
    bool ok() const { return error == 0; }
};

// Resolves path against the current directory (relative paths) or the root.
// A path that begins with the start-up directory's text (see
// RememberStartDirectory) begins in the folder the program started in, however
// lower-casing spelled it. An empty path, a ".." component and a component
// holding an escaped backslash fail with ENOENT: no formed path climbs out of
// the folder it was formed under.
Resolved ResolvePath(const QString& path);

// path with "/" separators only and runs collapsed to one, names kept as
// decoded.
QString CollapsedSeparators(const QString& path);

// path with "/" separators only, runs collapsed to one, names shown as
// DisplayName shows them.
QString NormalizedForDisplay(const QString& path);

// The path as the system would make it absolute, for messages: relative paths
// are joined to the current directory, "\" becomes "/", runs collapse to one,
// names are shown as DisplayName shows them.
// An empty path stays empty.
QString AbsoluteForMessage(const QString& path);

// strerror(err) with trailing blanks, control characters and full stops removed.
QString SystemDescription(int err);

// Opens path for reading (an existing regular file only). Throws EFOpenError
// "Cannot open file "%s". %s" on failure; a folder counts as cannot open.
FileDescriptor OpenForReading(const QString& path);

// The start-up directory as the program keeps it: the current directory,
// lower-cased, ending in a separator only at the root ("/", "d:\"). Throws EFOpenError when the
// current directory cannot be named (it was removed, or cannot be read).
QString CurrentDirectoryLowered();

// Takes the start-up directory (CurrentDirectoryLowered) and remembers which
// folder its text stands for, so paths formed from it resolve there.
QString RememberStartDirectory();

// Remembers native (an absolute folder) under its own text, DecodeName(native),
// which it returns: paths formed under that text begin in that very folder,
// even when its path holds a "\" or bytes that are not UTF-8.
QString RememberFolder(const QByteArray& native);

// Each folder read once: while an instance is installed, every case-blind
// look-up of the resolver finds its name in one listing of the folder taken
// at the first look-up there, instead of reading the folder again. For a
// caller that resolves many names in folders that do not change meanwhile
// (the author's check); the menu installs none. Safe to use from several
// threads.
class FolderListings {
public:
    struct Listing {
        int error = 0;                  // errno of a folder that cannot be read
        std::vector<QByteArray> names;  // without "." and ".."
        std::vector<EntryType> types;   // of each name, as the listing says
    };

    // The listing of dir (an absolute folder path), read on first use.
    const Listing& Of(const QByteArray& dir);
    // The entry of dir whose name equals name case-blind (Unicode folding),
    // first in byte order.
    std::optional<QByteArray> FindCaseBlind(const QByteArray& dir, const QString& name);

    // Installs listings for the process until the scope ends.
    class Scope {
    public:
        explicit Scope(FolderListings& listings);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        FolderListings* previous_;
    };

private:
    struct Folder {
        Listing listing;
        bool indexed = false;
        QHash<QString, QByteArray> folded;  // case-folded name -> first entry in byte order
    };
    Folder& Read(const QByteArray& dir);  // with mutex_ held

    std::mutex mutex_;
    std::map<QByteArray, Folder> folders_;  // node-based: a listing handed out stays where it is
};

}  // namespace tavelo
