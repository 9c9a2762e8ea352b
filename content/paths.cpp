#include "content/paths.h"

#include "base/errors.h"
#include "content/file_system.h"

#include <QStringList>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>
#include <vector>

namespace tavelo {

namespace {

// Length of the valid UTF-8 sequence at p (1..4), or 0 when the bytes there
// are not one (overlong forms, surrogates and values past U+10FFFF are not).
int ValidSequence(const unsigned char* p, const unsigned char* end, char32_t* cp)
{
    const unsigned char b = p[0];
    int n = 0;
    char32_t c = 0, min = 0;
    if (b < 0x80) {
        *cp = b;
        return 1;
    } else if (b >= 0xC2 && b <= 0xDF) {
        n = 2, c = b & 0x1F, min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        n = 3, c = b & 0x0F, min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        n = 4, c = b & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (end - p < n)
        return 0;
    for (int i = 1; i < n; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (p[i] & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return 0;
    *cp = c;
    return n;
}

}  // namespace

QString DecodeName(const char* bytes, qsizetype size)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    const auto* end = p + size;
    bool plain = true;
    for (const auto* q = p; q < end; ++q) {
        if (*q >= 0x80 || *q == '\\') {
            plain = false;
            break;
        }
    }
    if (plain)
        return QString::fromLatin1(bytes, size);
    QString out;
    out.reserve(size);
    while (p < end) {
        char32_t cp = 0;
        const int n = ValidSequence(p, end, &cp);
        if (n == 0 || cp == U'\\') {
            out += QChar(static_cast<char16_t>(0xDC00 + *p));
            ++p;
            continue;
        }
        if (cp >= 0x10000) {
            out += QChar(QChar::highSurrogate(cp));
            out += QChar(QChar::lowSurrogate(cp));
        } else {
            out += QChar(static_cast<char16_t>(cp));
        }
        p += n;
    }
    return out;
}

QByteArray EncodeName(const QString& name)
{
    bool escaped = false;
    for (QChar c : name) {
        if (c.isSurrogate()) {
            escaped = true;
            break;
        }
    }
    if (!escaped)
        return name.toUtf8();
    QByteArray out;
    out.reserve(name.size() * 3);
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = name[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < name.size() && QChar::isLowSurrogate(name[i + 1].unicode())) {
            out += QString(name.constData() + i, 2).toUtf8();
            ++i;
        } else if (c >= 0xDC80 && c <= 0xDCFF) {
            out += static_cast<char>(c - 0xDC00);
        } else if (c == kEscapedBackslash) {
            out += '\\';
        } else {
            out += QString(QChar(c)).toUtf8();
        }
    }
    return out;
}

QString DisplayName(QString name)
{
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = name[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < name.size() && QChar::isLowSurrogate(name[i + 1].unicode()))
            ++i;  // a character outside the basic plane, not an escape
        else if (c == kEscapedBackslash)
            name[i] = QLatin1Char('\\');
        else if (c >= 0xDC80 && c <= 0xDCFF)
            name[i] = QChar(QChar::ReplacementCharacter);
    }
    return name;
}

namespace {

QStringList SplitComponents(const QString& path)
{
    QStringList parts;
    QString current;
    for (QChar c : path) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('/')) {
            if (!current.isEmpty())
                parts << current;
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.isEmpty())
        parts << current;
    return parts;
}

// Start-up directory texts and the folders they stand for.
std::map<QString, QByteArray>& StartDirectories()
{
    static std::map<QString, QByteArray> dirs;
    return dirs;
}

// The listings installed by FolderListings::Scope, if any.
std::atomic<FolderListings*> g_listings{nullptr};

// Case-blind lookup of one name inside dir; first match in byte order.
std::optional<QByteArray> FindCaseBlind(const QByteArray& dir, const QString& name)
{
    if (FolderListings* listings = g_listings.load())
        return listings->FindCaseBlind(dir, name);
    DirectoryStream d(dir);
    const QString folded = name.toCaseFolded();
    std::optional<QByteArray> best;
    QByteArray entry;
    EntryType type;
    while (d.Next(entry, type)) {
        if (DecodeName(entry).toCaseFolded() != folded)
            continue;
        if (!best || entry < *best)
            best = entry;
    }
    return best;
}

// The start-up directory whose text begins path (the longest one), if any:
// its folder and the length of the text.
std::optional<std::pair<QByteArray, qsizetype>> StartDirectoryPrefix(const QString& path)
{
    std::optional<std::pair<QByteArray, qsizetype>> best;
    for (const auto& [text, native] : StartDirectories()) {
        if (!path.startsWith(text))
            continue;
        const qsizetype n = text.size();
        const bool boundary = n == path.size() || text.endsWith(QLatin1Char('/')) || text.endsWith(QLatin1Char('\\')) ||
                              path[n] == QLatin1Char('/') || path[n] == QLatin1Char('\\');
        if (boundary && (!best || n > best->second))
            best = std::make_pair(native, n);
    }
    return best;
}

}  // namespace

Resolved ResolvePath(const QString& path)
{
    Resolved r;
    if (path.isEmpty()) {
        r.error = ENOENT;
        return r;
    }
    QByteArray current;
    QStringList parts;
    if (const auto start = StartDirectoryPrefix(path)) {
        current = start->first;
        parts = SplitComponents(path.mid(start->second));
    } else if (const std::optional<PathRoot> root = RootOfPath(path)) {
        if (root->error != 0) {
            r.error = root->error;
            return r;
        }
        current = root->native;
        parts = SplitComponents(path.mid(root->length));
    } else {
        const CurrentDirectory cwd = CurrentDirectoryNative();
        if (cwd.error != 0) {
            r.error = cwd.error;
            return r;
        }
        current = cwd.native;
        parts = SplitComponents(path);
    }
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (parts[i] == QLatin1String("..") || parts[i].contains(QChar(kEscapedBackslash))) {
            r.error = ENOENT;
            return r;
        }
        const bool last = i + 1 == parts.size();
        if (parts[i] == QLatin1String("."))
            continue;  // the folder itself
        Found found = LookUp(current, EncodeName(parts[i]));
        if (found.error == ENOENT) {
            const std::optional<QByteArray> stored = FindCaseBlind(current, parts[i]);
            if (!stored) {
                r.error = ENOENT;
                return r;
            }
            found = LookUp(current, *stored);
        }
        if (found.error != 0) {
            r.error = found.error;
            return r;
        }
        if (!last && !found.folder) {
            r.error = ENOTDIR;
            return r;
        }
        current = JoinNative(current, found.stored);
    }
    r.native = current;
    return r;
}

QString AbsoluteForMessage(const QString& path)
{
    if (path.isEmpty())
        return path;
    if (!RootOfPath(path)) {
        const CurrentDirectory cwd = CurrentDirectoryNative();
        if (cwd.error == 0)
            return NormalizedForDisplay(NativePathText(cwd.native) + QLatin1Char('/') + path);
    }
    return NormalizedForDisplay(path);  // a current directory that cannot be named adds nothing
}

QString CollapsedSeparators(const QString& path)
{
    QString out;
    out.reserve(path.size());
    for (QChar c : path) {
        if (c == QLatin1Char('\\'))
            c = QLatin1Char('/');
        if (c == QLatin1Char('/') && out.endsWith(QLatin1Char('/')))
            continue;
        out += c;
    }
    return out;
}

QString NormalizedForDisplay(const QString& path)
{
    return DisplayName(CollapsedSeparators(path));
}

QString SystemDescription(int err)
{
    QString s = QString::fromLocal8Bit(std::strerror(err));
    while (!s.isEmpty() && (s.back() == QLatin1Char('.') || s.back().isSpace() || s.back().unicode() < 0x20))
        s.chop(1);
    return s;
}

FileDescriptor OpenForReading(const QString& path)
{
    const auto fail = [&](int err) -> FileDescriptor {
        throw EFOpenError(
            QStringLiteral("Cannot open file \"%1\". %2").arg(AbsoluteForMessage(path), SystemDescription(err)));
    };
    const Resolved r = ResolvePath(path);
    if (!r.ok())
        return fail(r.error);
    int err = 0;
    FileDescriptor fd = OpenRegularFile(r.native, &err);
    if (!fd)
        return fail(err);
    return fd;
}

namespace {

QByteArray CurrentDirectoryOrThrow()
{
    const CurrentDirectory cwd = CurrentDirectoryNative();
    if (cwd.error != 0)
        throw EFOpenError(QStringLiteral("Cannot open the start-up folder. %1").arg(SystemDescription(cwd.error)));
    return cwd.native;
}

QString Lowered(const QByteArray& native)
{
    QString dir = NativePathText(native).toLower();
    while (dir.size() > qMax<qsizetype>(RootTextLength(dir), 1) &&
           (dir.endsWith(QLatin1Char('/')) || dir.endsWith(QLatin1Char('\\'))))
        dir.chop(1);
    return dir;
}

}  // namespace

QString CurrentDirectoryLowered() { return Lowered(CurrentDirectoryOrThrow()); }

QString RememberFolder(const QByteArray& native)
{
    const QString text = NativePathText(native);
    StartDirectories()[text] = native;
    return text;
}

FolderListings::Folder& FolderListings::Read(const QByteArray& dir)
{
    const auto found = folders_.find(dir);
    if (found != folders_.end())
        return found->second;
    Folder& folder = folders_[dir];
    DirectoryStream d(dir);
    if (!d) {
        folder.listing.error = d.Error();
        return folder;
    }
    QByteArray name;
    EntryType type;
    while (d.Next(name, type)) {
        folder.listing.names.push_back(name);
        folder.listing.types.push_back(type);
    }
    return folder;
}

const FolderListings::Listing& FolderListings::Of(const QByteArray& dir)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return Read(dir).listing;
}

std::optional<QByteArray> FolderListings::FindCaseBlind(const QByteArray& dir, const QString& name)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    Folder& folder = Read(dir);
    if (!folder.indexed) {
        for (const QByteArray& entry : folder.listing.names) {
            const QString key = DecodeName(entry).toCaseFolded();
            const auto it = folder.folded.find(key);
            if (it == folder.folded.end())
                folder.folded.insert(key, entry);
            else if (entry < it.value())
                it.value() = entry;
        }
        folder.indexed = true;
    }
    const auto it = folder.folded.constFind(name.toCaseFolded());
    if (it == folder.folded.cend())
        return std::nullopt;
    return it.value();
}

FolderListings::Scope::Scope(FolderListings& listings) : previous_(g_listings.exchange(&listings)) {}

FolderListings::Scope::~Scope() { g_listings.store(previous_); }

QString RememberStartDirectory()
{
    const QByteArray native = CurrentDirectoryOrThrow();
    const QString dir = Lowered(native);
    StartDirectories()[dir] = native;
    return dir;
}

}  // namespace tavelo
