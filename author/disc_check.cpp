#include "author/disc_check.h"

#include "author/other_systems.h"

#include "base/error_report.h"
#include "base/errors.h"
#include "content/file_system.h"
#include "content/folders.h"
#include "content/handles.h"
#include "content/paths.h"
#include "content/shell_tree_view.h"
#include "media/jpeg_image.h"
#include "media/launcher.h"
#include "media/placement.h"
#include "media/plain_text.h"
#include "media/text_view.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <new>
#include <set>
#include <thread>

#include <cstdint>

namespace tavelo::author {

namespace {

// What each top folder is for, to say what breaks without it.
struct TopFolder {
    const char* name;
    const char* without;
};
constexpr TopFolder kTopFolders[] = {
    {"picture", "there are no slides and the window opens without a picture"},
    {"sound", "the catalogue stays empty"},
    {"text", "no song shows its lyrics"},
    {"about group", "the group page and its text fail"},
    {"about disk", "the disc page fails"},
    {"help", "the help page fails"},
    {"player", "the player page fails and its buttons do nothing"},
};

struct PictureJob {
    QString formed;  // the path as the menu forms it
    QString folder;  // the folder listed, and the name it gave
    QString listed;
    QString role;   // "slide 3", "the group photo" ...
    int slide = 0;  // its position in the slide show, from 1; 0 for a page's picture
    BoxSize box;
    // Results, written by one worker.
    bool ok = false;
    int width = 0;
    int height = 0;
    QString message;
};

std::uint16_t BigEndian16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] << 8 | p[1]); }

// What decoding the file at native will hold at its peak, from its size and
// its frame header: the file's copy, the bitmap, and for a progressive
// picture the decoder's coefficients. Each part is capped at the decoder's
// own limit. Reads only the markers before the frame header.
qint64 DecodingCost(const QByteArray& native)
{
    const EntryStatus st = StatusOf(native);
    if (st.type != EntryType::File)
        return 0;  // refused before anything is read
    const auto capped = [](qint64 bytes, std::size_t limit) { return std::min(bytes, static_cast<qint64>(limit)); };
    const qint64 file = capped(st.size, kMaxFileBytes);
    int error = 0;
    const FileDescriptor fd = OpenRegularFile(native, &error);
    if (!fd)
        return file;
    unsigned char head[10];
    qint64 at = 2;  // after SOI
    for (int segment = 0; segment < 256; ++segment) {
        if (ReadAt(fd, head, 4, at) != 4 || head[0] != 0xFF)
            return file;
        const unsigned char marker = head[1];
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (ReadAt(fd, head, 8, at + 2) != 8)
                return file;
            const qint64 height = BigEndian16(head + 3);
            const qint64 width = BigEndian16(head + 5);
            const qint64 components = head[7];
            const bool progressive = (marker & 0x03) == 0x02;  // SOF2, SOF6, SOF10, SOF14
            const qint64 bitmap = capped(width * height * (components == 1 ? 1 : 3), kMaxBitmapBytes);
            const qint64 coefficients = progressive ? capped(width * height * components * 2, kMaxDecoderMemory) : 0;
            return file + bitmap + coefficients;
        }
        if (marker == 0xDA || marker == 0xD9)
            return file;
        at += 2 + BigEndian16(head + 2);
    }
    return file;
}

// Bytes in flight shared by the decoding workers. Pictures are let in in job
// order, each when its cost fits beside those in flight; one that needs more
// than the whole budget waits until it is alone.
class MemoryBudget {
public:
    explicit MemoryBudget(qint64 limit) : limit_(std::max<qint64>(limit, 1)) {}

    void Acquire(int ticket, qint64 cost)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return serving_ == ticket && (inFlight_ == 0 || inFlight_ + cost <= limit_); });
        inFlight_ += cost;
        ++serving_;
        changed_.notify_all();
    }

    void Release(qint64 cost)
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            inFlight_ -= cost;
        }
        changed_.notify_all();
    }

private:
    const qint64 limit_;
    qint64 inFlight_ = 0;
    int serving_ = 0;
    std::mutex mutex_;
    std::condition_variable changed_;
};

void Decode(PictureJob& job, const CheckOptions& options)
{
    try {
        TJPEGImage jpeg;
        jpeg.LoadFromFile(job.formed);
        const TBitmap& bitmap = jpeg.Bitmap();
        job.width = bitmap.width();
        job.height = bitmap.height();
        job.ok = true;
        if (job.slide > 0 && options.slideDecoded)
            options.slideDecoded(job.slide, bitmap);
    } catch (const Exception& e) {
        job.message = FinalMessage(e.Message());
    } catch (const std::bad_alloc&) {
        job.message = FinalMessage(QStringLiteral("Out of memory"));
    }
}

// Decodes every job on all cores within the memory budget; progress is
// reported from this thread.
void DecodeAll(std::vector<PictureJob>& jobs, const CheckOptions& options)
{
    const int total = static_cast<int>(jobs.size());
    if (total == 0)
        return;
    int threads = options.threads > 0 ? options.threads : static_cast<int>(std::thread::hardware_concurrency());
    threads = std::clamp(threads, 1, total);

    MemoryBudget budget(options.memoryBudget);
    std::atomic<int> next{0};
    std::atomic<int> done{0};
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::thread> workers;
    workers.reserve(static_cast<size_t>(threads));
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&] {
            for (int i = next++; i < total; i = next++) {
                PictureJob& job = jobs[static_cast<size_t>(i)];
                const Resolved r = ResolvePath(job.formed);
                const qint64 cost = r.ok() ? DecodingCost(r.native) : 0;
                budget.Acquire(i, cost);
                Decode(job, options);
                budget.Release(cost);
                {
                    std::lock_guard<std::mutex> lock(mutex);
                    ++done;
                }
                changed.notify_one();
            }
        });
    }
    {
        std::unique_lock<std::mutex> lock(mutex);
        while (done < total) {
            changed.wait_for(lock, std::chrono::milliseconds(100));
            if (options.progress) {
                const int now = done;
                lock.unlock();
                options.progress(now, total);
                lock.lock();
            }
        }
    }
    for (std::thread& w : workers)
        w.join();
}

bool IsDotted(const QByteArray& name) { return name.startsWith('.'); }

QString Quoted(const QString& s) { return QLatin1Char('"') + s + QLatin1Char('"'); }

QString EncodingName(QByteArrayView bytes)
{
    if (ReadsAsRtf(TRichEditSettings{}, bytes))
        return QStringLiteral("RTF");
    switch (DetectPlainEncoding(bytes)) {
    case PlainEncoding::Ascii: return QStringLiteral("plain ASCII");
    case PlainEncoding::Utf8: return QStringLiteral("UTF-8");
    case PlainEncoding::Utf8Bom: return QStringLiteral("UTF-8 (with byte-order mark)");
    case PlainEncoding::Utf16LE: return QStringLiteral("UTF-16 little-endian");
    case PlainEncoding::Utf16BE: return QStringLiteral("UTF-16 big-endian");
    case PlainEncoding::Windows1251: return QStringLiteral("Windows-1251 (it is not valid UTF-8)");
    }
    return QString();
}


QByteArray Joined(const QByteArray& folder, const QByteArray& name) { return JoinNative(folder, name); }

QString KindName(SpecialKind kind)
{
    switch (kind) {
    case SpecialKind::Fifo: return QStringLiteral("a FIFO (named pipe)");
    case SpecialKind::Socket: return QStringLiteral("a socket");
    case SpecialKind::CharacterDevice: return QStringLiteral("a character device");
    case SpecialKind::BlockDevice: return QStringLiteral("a block device");
    case SpecialKind::None: break;
    }
    return QStringLiteral("not a file");
}

bool IsFolder(const QByteArray& native) { return StatusOf(native).type == EntryType::Folder; }

class Checker {
public:
    Checker(const QByteArray& native, const CheckOptions& options)
        : base_(RememberFolder(native)), baseNative_(native), options_(options)
    {
        report_.disc = base_;
    }

    CheckReport Run()
    {
        // Every look-up below (the decoders' and launcher's too) reads a
        // folder once.
        const FolderListings::Scope scope(listings_);
        CheckTopFolders();
        std::vector<PictureJob> jobs;
        CollectSlides(jobs);
        const int groupJob = CollectPagePicture(jobs, kGroupFolder, QStringLiteral("the group photo"), kImage2Box);
        const int playerJob = CollectPagePicture(jobs, kPlayerFolder, QStringLiteral("the player picture"), kImage1Box);
        DecodeAll(jobs, options_);
        ReportPictures(jobs, groupJob, playerJob);
        CheckText(kGroupTextPath, QStringLiteral("the group text"), QStringLiteral("missing-file"));
        CheckText(kDiscTextPath, QStringLiteral("the disc text"), QStringLiteral("missing-file"));
        CheckText(kHelpTextPath, QStringLiteral("the help text"), QStringLiteral("missing-file"));
        CheckCatalogue();
        CheckPlayer(kPlayerSetupPath, QStringLiteral("the \"Установить\" (install) button"));
        CheckPlayer(kPlayerPath, QStringLiteral("the \"Запустить\" (run) button"));
        Survey();
        ReportSize();
        std::stable_sort(report_.findings.begin(), report_.findings.end(),
                         [](const Finding& a, const Finding& b) { return a.severity < b.severity; });
        return std::move(report_);
    }

private:
    // path is inside the disc as decoded (lossless); path and message are
    // shown with DisplayName, the path's bytes kept beside.
    void Add(Severity severity, const QString& code, const QString& path, const QString& message)
    {
        reported_.insert(path);
        report_.findings.push_back({severity, code, DisplayName(path), DisplayName(message), EncodeName(path)});
    }

    bool Reported(const QString& path) const { return reported_.count(path) > 0; }

    // A formed path (absolute, either separator) as a path inside the disc.
    QString DiscPath(const QString& formed) const
    {
        QString out = CollapsedSeparators(formed);
        const QString prefix = CollapsedSeparators(base_ + QLatin1Char('/'));
        if (out.startsWith(prefix))
            out = out.mid(prefix.size());
        while (out.endsWith(QLatin1Char('/')))
            out.chop(1);
        return out;
    }

    QString DiscPathOf(const QByteArray& native) const
    {
        QByteArray rel = native;
        const QByteArray prefix = JoinNative(baseNative_, QByteArray());
        if (rel.startsWith(prefix))
            rel = rel.mid(prefix.size());
        // Paths inside the disc read with "/" on every system.
        return NativePathText(rel).replace(QLatin1Char('\\'), QLatin1Char('/'));
    }

    // The path of a file the menu opens, inside the disc: its stored name when
    // it resolves, else the name as formed.
    QString Where(const QString& formed) const
    {
        const Resolved r = ResolvePath(formed);
        return r.ok() ? DiscPathOf(r.native) : DiscPath(formed);
    }

    // Marks a formed path as read by the menu; true when it resolves.
    bool Use(const QString& formed)
    {
        const Resolved r = ResolvePath(formed);
        if (r.ok())
            used_.insert(r.native);
        return r.ok();
    }

    QString Relative(const QString& literal) const { return base_ + QLatin1Char('/') + literal; }

    void CheckTopFolders()
    {
        for (const TopFolder& f : kTopFolders) {
            const QString name = QString::fromUtf8(f.name);
            const Resolved r = ResolvePath(Relative(name));
            if (!r.ok() && r.error == ENOENT) {
                Add(Severity::Error, QStringLiteral("missing-folder"), name,
                    QStringLiteral("The folder \"%1\" is missing: %2.").arg(name, QString::fromUtf8(f.without)));
            } else if (!r.ok()) {
                // A symbolic link loop, say: there is something, but nothing to open.
                Add(Severity::Error, QStringLiteral("folder-unreadable"), name,
                    QStringLiteral("The folder \"%1\" cannot be reached (%2): %3.")
                        .arg(name, SystemDescription(r.error), QString::fromUtf8(f.without)));
            } else if (!IsFolder(r.native)) {
                Add(Severity::Error, QStringLiteral("not-a-folder"), DiscPathOf(r.native),
                    QStringLiteral("\"%1\" is a file where a folder must be: %2.")
                        .arg(name, QString::fromUtf8(f.without)));
            }
        }
    }

    // Roots a lister; false (reported when the folder exists but cannot be
    // listed) when the menu's rooting would fail.
    bool Root(TShellTreeView& lister, const QString& folder)
    {
        try {
            lister.SetRoot(folder);
            return true;
        } catch (const Exception& e) {
            const Resolved r = ResolvePath(folder);
            // A missing folder or a file in its place was reported already.
            if (r.ok() && IsFolder(r.native))
                Add(Severity::Error, QStringLiteral("folder-unreadable"), DiscPathOf(r.native),
                    FinalMessage(e.Message()));
            return false;
        }
    }

    void CollectSlides(std::vector<PictureJob>& jobs)
    {
        TShellTreeView list(otNonFolders);
        if (!Root(list, base_ + kPictureFolder))
            return;
        if (list.Items.Count() == 1) {
            Add(Severity::Error, QStringLiteral("no-pictures"), DiscPath(base_ + kPictureFolder),
                QStringLiteral(
                    "The picture folder holds no files: at start the menu reports \"%1\" and shows no picture.")
                    .arg(FinalMessage(QStringLiteral("Invalid index"))));
            return;
        }
        for (int k = 1; k < list.Items.Count(); ++k) {
            const QString name = list.Items[k].Text;
            report_.slides << name;
            PictureJob job;
            job.formed = ListedPicturePath(base_, kPictureFolder, name);
            job.folder = base_ + kPictureFolder;
            job.listed = name;
            job.role = QStringLiteral("slide %1").arg(k);
            job.slide = k;
            job.box = kImage1Box;
            Use(job.formed);
            jobs.push_back(std::move(job));
        }
    }

    // The first file of a page's folder; -1 when there is none to decode.
    int CollectPagePicture(std::vector<PictureJob>& jobs, const QString& folder, const QString& role, BoxSize box)
    {
        TShellTreeView list(otNonFolders);
        if (!Root(list, base_ + folder))
            return -1;
        if (list.Items.Count() == 1) {
            Add(Severity::Error, QStringLiteral("page-picture-missing"), DiscPath(base_ + folder),
                QStringLiteral("The folder holds no files, so %1 cannot be shown: the menu reports \"%2\".")
                    .arg(role, FinalMessage(QStringLiteral("Invalid index"))));
            return -1;
        }
        PictureJob job;
        job.formed = ListedPicturePath(base_, folder, list.Items[1].Text);
        job.folder = base_ + folder;
        job.listed = list.Items[1].Text;
        job.role = role;
        job.box = box;
        Use(job.formed);
        // A picture further down the folder's order is what the author meant.
        for (int i = 2; i < list.Items.Count(); ++i) {
            const Resolved r = ResolvePath(ListedPicturePath(base_, folder, list.Items[i].Text));
            if (r.ok()) {
                pageHints_[static_cast<int>(jobs.size())] = DiscPathOf(r.native);
                break;
            }
        }
        jobs.push_back(std::move(job));
        return static_cast<int>(jobs.size()) - 1;
    }

    void ReportPictures(const std::vector<PictureJob>& jobs, int groupJob, int playerJob)
    {
        for (int i = 0; i < static_cast<int>(jobs.size()); ++i) {
            const PictureJob& job = jobs[static_cast<size_t>(i)];
            const bool page = i == groupJob || i == playerJob;
            const bool found = ResolvePath(job.formed).ok();
            const QString path = found ? Where(job.formed) : Behind(job.folder, job.listed, job.formed);
            if (!job.ok) {
                // A listed file that is not "<name>.jpg" is still opened under that name.
                const QString opened = QFileInfo(DiscPath(job.formed)).fileName();
                const QString role = found || path == DiscPath(job.formed)
                                         ? Capitalized(job.role)
                                         : QStringLiteral("%1 is \"%2\", opened as \"%3\"")
                                               .arg(Capitalized(job.role), QFileInfo(path).fileName(), opened);
                if (page && pageHints_.contains(i)) {
                    Add(Severity::Error, QStringLiteral("page-picture-not-first"), path,
                        QStringLiteral("%1: the page takes the first file in the folder's order. The menu reports: %2 "
                                       "Rename \"%3\" so that it sorts first (for example \"00 …\").")
                            .arg(role, job.message, pageHints_.value(i)));
                } else {
                    Add(Severity::Error, QStringLiteral("picture-unreadable"), path,
                        QStringLiteral("%1: %2").arg(role, job.message));
                }
                continue;
            }
            const QRect rect = PlacePicture(job.width, job.height, job.box.width, job.box.height, true, true, true);
            if (rect.isEmpty()) {
                Add(Severity::Warning, QStringLiteral("picture-invisible"), path,
                    QStringLiteral(
                        "%1 is %2 × %3 pixels: fitted into its %4 × %5 box it is drawn %6 × %7, so nothing shows.")
                        .arg(Capitalized(job.role))
                        .arg(job.width)
                        .arg(job.height)
                        .arg(job.box.width)
                        .arg(job.box.height)
                        .arg(rect.width())
                        .arg(rect.height()));
            }
        }
    }

    static QString Capitalized(QString s)
    {
        if (!s.isEmpty())
            s[0] = s[0].toUpper();
        return s;
    }

    // Reads a text as the text view would and notes its encoding; false when
    // the menu would report an error for it.
    bool CheckText(const QString& literal, const QString& role, const QString& missingCode)
    {
        const QString formed = Relative(literal);
        const Resolved r = ResolvePath(formed);
        QString path = r.ok() ? DiscPathOf(r.native) : DiscPath(formed);
        QByteArray bytes;
        try {
            bytes = ReadTextFile(formed);
            (void)TextToShow(TRichEditSettings{}, bytes);
        } catch (const Exception& e) {
            QString code = QStringLiteral("text-unreadable");
            if (!r.ok())
                code = missingCode;
            else if (IsFolder(r.native))
                code = QStringLiteral("not-a-file");
            Add(Severity::Error, code, path,
                QStringLiteral("%1: %2").arg(Capitalized(role), FinalMessage(e.Message())));
            return false;
        }
        used_.insert(r.native);
        if (bytes.isEmpty()) {
            Add(Severity::Warning, QStringLiteral("text-empty"), path,
                QStringLiteral("%1 is empty: the menu shows an empty page.").arg(Capitalized(role)));
            return true;
        }
        Add(Severity::Note, QStringLiteral("text-encoding"), path,
            QStringLiteral("%1: read as %2.").arg(Capitalized(role), EncodingName(bytes)));
        return true;
    }

    void CheckCatalogue()
    {
        TShellTreeView sound(otFolders | otNonFolders);
        if (!Root(sound, base_ + kSoundFolder))
            return;
        // Songs whose type no application opens, reported once per type.
        QMap<QString, QStringList> unopened;
        QMap<QString, QString> unopenedMessage;
        for (int i = 1; i < sound.Items.Count(); ++i) {
            const QString albumName = sound.Items[i].Text;
            Album album{albumName, {}};
            TShellTreeView songs(otFolders | otNonFolders);
            try {
                songs.SetRoot(AlbumFolder(base_, albumName));
            } catch (const Exception& e) {
                const QByteArray entry = EntryBehind(base_ + kSoundFolder, albumName);
                if (!entry.isEmpty() && IsFolder(entry)) {
                    used_.insert(entry);
                    Add(Severity::Error, QStringLiteral("folder-unreadable"), DiscPathOf(entry),
                        QStringLiteral("The album folder \"%1\" cannot be read: the catalogue cannot show its songs. "
                                       "The menu reports: %2")
                            .arg(albumName, FinalMessage(e.Message())));
                } else {
                    Add(Severity::Error, QStringLiteral("sound-stray-file"),
                        Behind(base_ + kSoundFolder, albumName, AlbumFolder(base_, albumName)),
                        QStringLiteral("A file directly in the sound folder becomes an album the catalogue cannot "
                                       "open. The menu reports: %1 Albums are folders; move the file into one.")
                            .arg(FinalMessage(e.Message())));
                }
                report_.catalogue.push_back(std::move(album));
                continue;
            }
            if (songs.Items.Count() == 1)
                Add(Severity::Warning, QStringLiteral("album-empty"), DiscPath(AlbumFolder(base_, albumName)),
                    QStringLiteral("The album \"%1\" has no songs.").arg(albumName));
            for (int j = 1; j < songs.Items.Count(); ++j) {
                const QString song = songs.Items[j].Text;
                album.songs << song;
                const QString role = QStringLiteral("the lyrics of \"%1\"").arg(song);
                CheckText(LyricsPath(albumName, song), role, QStringLiteral("lyrics-missing"));

                const QString songFormed = Relative(SongPath(albumName, song));
                if (!CheckSongFile(songFormed, song))
                    continue;
                const ShellOpenQuery q = QueryShellOpen(songFormed);
                if (q.status == ShellOpenQuery::Missing) {
                    Add(Severity::Error, QStringLiteral("song-missing"),
                        Behind(AlbumFolder(base_, albumName), song, songFormed),
                        QStringLiteral("Selecting the song \"%1\", the menu reports: %2 Every entry of an album folder "
                                       "is a song and needs its .mp3 file.")
                            .arg(song, FinalMessage(q.message)));
                } else if (q.status != ShellOpenQuery::Ready) {
                    const QString type = q.contentType.isEmpty() ? QStringLiteral("?") : q.contentType;
                    unopened[type] << Where(songFormed);
                    if (!unopenedMessage.contains(type))
                        unopenedMessage[type] = FinalMessage(q.message);
                }
            }
            report_.catalogue.push_back(std::move(album));
        }
        for (auto it = unopened.cbegin(); it != unopened.cend(); ++it) {
            const QStringList& paths = it.value();
            Add(Severity::Warning, QStringLiteral("song-no-application"), paths.first(),
                QStringLiteral("%1 song(s) of type %2. On this machine the menu would report: %3 "
                               "(The listener's machine decides; most have a player for MP3.)")
                    .arg(paths.size())
                    .arg(it.key(), unopenedMessage.value(it.key())));
        }
    }

    // Marks the song's file as read and finds what stands there that no
    // player can play; false when the launch is not worth asking about.
    bool CheckSongFile(const QString& formed, const QString& song)
    {
        const Resolved r = ResolvePath(formed);
        if (!r.ok())
            return true;  // the launch query reports it missing
        used_.insert(r.native);
        const EntryStatus st = StatusOf(r.native);
        if (!st.ok())
            return true;
        const QString path = DiscPathOf(r.native);
        if (st.type == EntryType::Folder) {
            Add(Severity::Error, QStringLiteral("not-a-file"), path,
                QStringLiteral("Selecting the song \"%1\", the menu opens the folder \"%2\" instead of playing a song: "
                               "a song must be a file.")
                    .arg(song, QFileInfo(path).fileName()));
            return false;
        }
        if (st.type != EntryType::File) {
            Add(Severity::Error, QStringLiteral("special-file"), path,
                QStringLiteral("The song \"%1\" is %2, not a file: no player can play it.")
                    .arg(song, KindName(st.special)));
            return false;
        }
        if (st.size == 0)
            Add(Severity::Warning, QStringLiteral("song-empty"), path,
                QStringLiteral("The song \"%1\" is an empty file: the player opens it and plays nothing.").arg(song));
        return true;
    }

    // The stored entry of folder that a listing names listed (its first in
    // byte order, as the resolver would meet it); empty when there is none.
    // Each folder is indexed once, from the check's one listing of it.
    QByteArray EntryBehind(const QString& folder, const QString& listed)
    {
        const Resolved dir = ResolvePath(folder);
        if (!dir.ok())
            return QByteArray();
        const auto [it, added] = behind_.try_emplace(dir.native);
        QHash<QString, QByteArray>& index = it->second;
        if (added) {
            const FolderListings::Listing& listing = listings_.Of(dir.native);
            for (size_t k = 0; k < listing.names.size(); ++k) {
                const QByteArray& name = listing.names[k];
                if (IsDotted(name))
                    continue;
                const QByteArray full = Joined(dir.native, name);
                bool folderEntry = listing.types[k] == EntryType::Folder;
                if (listing.types[k] == EntryType::Unknown || listing.types[k] == EntryType::Link)
                    folderEntry = IsFolder(full);
                const QString text = DecodeName(name);
                const QString shown = folderEntry ? ApplyQuestionDigitRule(text) : ListedFileName(text);
                const auto entry = index.find(shown);
                if (entry == index.end())
                    index.insert(shown, full);
                else if (full < entry.value())
                    entry.value() = full;
            }
        }
        return index.value(listed);
    }

    // Where a finding about a listed entry points: the stored entry the
    // listing showed (marked as read, since the menu does meet it), else the
    // path as formed.
    QString Behind(const QString& folder, const QString& listed, const QString& formed)
    {
        const QByteArray entry = EntryBehind(folder, listed);
        if (entry.isEmpty())
            return DiscPath(formed);
        used_.insert(entry);
        return DiscPathOf(entry);
    }

    void CheckPlayer(const QString& literal, const QString& button)
    {
        const QString formed = Relative(literal);
        const Resolved r = ResolvePath(formed);
        if (!r.ok()) {
            Add(Severity::Error, QStringLiteral("player-missing"), DiscPath(formed),
                QStringLiteral("The player program is missing: %1 does nothing (the menu reports nothing either).")
                    .arg(button));
            return;
        }
        if (IsFolder(r.native)) {
            Add(Severity::Error, QStringLiteral("not-a-file"), DiscPathOf(r.native),
                QStringLiteral("A folder where the player program must be: %1 does nothing.").arg(button));
            return;
        }
        used_.insert(r.native);
        const ShellOpenQuery q = QueryShellOpen(formed);
        if (q.status != ShellOpenQuery::Ready)
            Add(Severity::Note, QStringLiteral("player-no-application"), DiscPathOf(r.native),
                QStringLiteral("On this machine %1 would open nothing: %2 (The listener's machine decides.)")
                    .arg(button, FinalMessage(q.message)));
    }

    // Walks the whole disc: names that will surprise, files nobody reads, size.
    void Survey()
    {
        const Resolved text = ResolvePath(Relative(QStringLiteral("text")));
        textNative_ = text.ok() ? JoinNative(text.native, QByteArray()) : QByteArray();
        SurveyFolder(WalkFolder(baseNative_), baseNative_, true, false, false);
    }

    void FolderUnreadable(const QByteArray& folder, int err, bool hidden)
    {
        if (!hidden && !Reported(DiscPathOf(folder)))
            Add(Severity::Warning, QStringLiteral("folder-unreadable"), DiscPathOf(folder),
                QStringLiteral("The folder cannot be read: %1.").arg(SystemDescription(err)));
    }

    // Walks one folder, given open, relative to it, so that entries past the
    // system's path limit are reached too.
    void SurveyFolder(WalkFolder dir, const QByteArray& folder, bool top, bool hidden, bool tooLong)
    {
        std::vector<QByteArray> names = dir.Names();
        if (dir.Error() != 0) {
            FolderUnreadable(folder, dir.Error(), hidden);
            return;
        }
        std::sort(names.begin(), names.end());

        std::map<QString, std::vector<QByteArray>> folded;
        for (const QByteArray& name : names) {
            const QByteArray full = Joined(folder, name);
            const QString shown = DiscPathOf(full);
            const EntryStatus st = dir.Status(name);
            if (!st.ok()) {
                const int err = st.error;
                if (err == EACCES) {  // listed, but not to be entered
                    FolderUnreadable(folder, err, hidden);
                    return;
                }
                if (!hidden)
                    Add(Severity::Warning, QStringLiteral("entry-unreadable"), shown,
                        QStringLiteral("The entry cannot be examined: %1.").arg(SystemDescription(err)));
                continue;
            }
            const bool kit = top && KitTopEntries().contains(QString::fromUtf8(name));
            const bool quiet = hidden || kit;
            const bool longPath = full.size() >= SystemPathLimit();
            if (st.type == EntryType::File)
                report_.bytes += (st.size + 2047) / 2048 * 2048;
            if (!quiet) {
                if (IsDotted(name))
                    Add(Severity::Note, QStringLiteral("hidden-name"), shown,
                        QStringLiteral("The name starts with a dot: the menu never sees it."));
                else
                    CheckName(name, shown, folded, st.type == EntryType::Folder || used_.count(full));
                if (longPath && !tooLong)
                    Add(Severity::Warning, QStringLiteral("path-too-long"), shown,
                        QStringLiteral("The path is %1 bytes long, past the system's limit of %2: the menu cannot "
                                       "open it or anything inside it.")
                            .arg(full.size())
                            .arg(SystemPathLimit()));
                if (st.type == EntryType::Link)
                    CheckLink(full, shown);
            }
            if (st.type == EntryType::Folder) {
                SurveyFolder(dir.Child(name), full, false, quiet || IsDotted(name), longPath);
            } else if (st.type == EntryType::File && !quiet && !IsDotted(name) && !used_.count(full)) {
                if (!textNative_.isEmpty() && full.startsWith(textNative_))
                    Add(Severity::Warning, QStringLiteral("lyrics-orphan"), shown,
                        QStringLiteral("No song of the catalogue reads this lyrics file: lyrics must be named "
                                       "text/<album>/<song>.txt after the song's album folder and .mp3 file."));
                else
                    Add(Severity::Note, QStringLiteral("unused-file"), shown,
                        QStringLiteral("The menu never reads this file."));
            }
        }
        for (const auto& [key, group] : folded) {
            if (group.size() < 2)
                continue;
            QStringList all;
            for (const QByteArray& n : group)
                all << Quoted(DecodeName(n));
            Add(Severity::Warning, QStringLiteral("case-clash"), DiscPathOf(Joined(folder, group.front())),
                QStringLiteral(
                    "%1 differ only in letter case: where the menu looks a name up without regard to case it "
                    "takes %2, and the listing shows them all. On Windows, and wherever the disc is read through "
                    "its Joliet names, only one of them can be reached.")
                    .arg(all.join(QStringLiteral(" and ")), all.first()));
        }
    }

    // A link inside the disc is kept as a link by the image; one that leads
    // out of the disc works only on this machine.
    void CheckLink(const QByteArray& full, const QString& shown)
    {
        const QByteArray target = RealPath(full).value_or(QByteArray());
        const bool inside =
            target.isEmpty() || target == baseNative_ || target.startsWith(JoinNative(baseNative_, QByteArray()));
        if (inside)
            Add(Severity::Warning, QStringLiteral("symlink"), shown,
                QStringLiteral("A symbolic link: the image keeps the link, not what it points to."));
        else
            Add(Severity::Warning, QStringLiteral("symlink-outside"), shown,
                QStringLiteral("A symbolic link to \"%1\", outside the disc: the menu follows it on this machine, "
                               "but the image keeps only the link, which leads nowhere on a listener's machine.")
                    .arg(DecodeName(target)));
    }

    // reached: the menu lists or opens the entry, so what Windows cannot
    // open there breaks the menu there.
    void CheckName(const QByteArray& name, const QString& shown, std::map<QString, std::vector<QByteArray>>& folded,
                   bool reached)
    {
        const QString text = DecodeName(name);
        CheckNameElsewhere(text, shown, reached);
        if (!IsValidUtf8(name))
            Add(Severity::Warning, QStringLiteral("name-not-utf8"), shown,
                QStringLiteral("The name is not valid UTF-8: the menu shows it with replacement characters, "
                               "and other systems may not open it."));
        if (name.contains('\\'))
            Add(Severity::Warning, QStringLiteral("backslash-name"), shown,
                QStringLiteral("The name holds a backslash: the menu lists it but never opens it."));
        if (ApplyQuestionDigitRule(text) != text)
            Add(Severity::Warning, QStringLiteral("question-mark-name"), shown,
                QStringLiteral("The listing drops every \"?\" from a name that starts with \"?\" and a digit, "
                               "so the menu looks for \"%1\" and cannot open this entry.")
                    .arg(ApplyQuestionDigitRule(text)));
        folded[text.toCaseFolded()].push_back(name);
    }

    // What Windows and the image's Joliet tree (which Windows reads) make of
    // a name that works here.
    void CheckNameElsewhere(const QString& text, const QString& shown, bool reached)
    {
        const Severity unreachable = reached ? Severity::Error : Severity::Warning;
        switch (WindowsProblemOf(text)) {
        case WindowsNameProblem::None: break;
        case WindowsNameProblem::DeviceName:
            Add(unreachable, QStringLiteral("windows-device-name"), shown,
                QStringLiteral("On Windows %1 is a device name (CON, PRN, AUX, NUL, COM0-COM9 and LPT0-LPT9, with "
                               "any extension): Windows cannot open it, and neither can the menu there.")
                    .arg(Quoted(text.section(QLatin1Char('.'), 0, 0).trimmed())));
            break;
        case WindowsNameProblem::Character:
            Add(unreachable, QStringLiteral("windows-character"), shown,
                QStringLiteral("On Windows a name cannot hold < > : \" / \\ | ? * or control characters: Windows "
                               "cannot open it, and neither can the menu there."));
            break;
        case WindowsNameProblem::TrailingDotOrSpace:
            Add(unreachable, QStringLiteral("windows-trailing-dot"), shown,
                QStringLiteral("On Windows a name cannot end in a dot or a space: Windows cannot open it, and "
                               "neither can the menu there."));
            break;
        }
        const int length = static_cast<int>(shown.size());
        if (length > kWindowsMaxDiscPath && length - static_cast<int>(text.size()) <= kWindowsMaxDiscPath)
            Add(Severity::Warning, QStringLiteral("windows-path-too-long"), shown,
                QStringLiteral("On Windows the path from the disc's drive is %1 characters long, past the %2 that "
                               "Windows programs can count on: players and the file manager there may not open it.")
                    .arg(length + 3)
                    .arg(kWindowsMaxPath));
        const QString joliet = JolietName(text);
        if (joliet != text)
            Add(Severity::Warning, QStringLiteral("joliet-name"), shown,
                QStringLiteral("On Windows the disc shows this name as %1: the image's Joliet names (what Windows "
                               "reads) cannot hold * / : ; ? \\ or control characters.")
                    .arg(Quoted(joliet)));
        if (text.size() > kJolietMaxName)
            Add(Severity::Warning, QStringLiteral("joliet-name-too-long"), shown,
                QStringLiteral("The name is %1 characters long: the image's Joliet names (what Windows reads) hold "
                               "%2, so on Windows the disc shows it cut short, and a song and its lyrics may no "
                               "longer match.")
                    .arg(text.size())
                    .arg(kJolietMaxName));
    }

    void ReportSize()
    {
        report_.bytes += options_.extraBytes;
        const double mb = static_cast<double>(report_.bytes) / 1e6;
        if (report_.bytes > kDvdBytes) {
            Add(Severity::Warning, QStringLiteral("too-big-for-dvd"), QString(),
                QStringLiteral("The disc needs %1 MB: more than a single-layer DVD holds (%2 MB).")
                    .arg(mb, 0, 'f', 1)
                    .arg(static_cast<double>(kDvdBytes) / 1e6, 0, 'f', 1));
        } else if (report_.bytes > kCdBytes) {
            Add(Severity::Note, QStringLiteral("too-big-for-cd"), QString(),
                QStringLiteral("The disc needs %1 MB: more than a CD holds (%2 MB); it fits a single-layer DVD.")
                    .arg(mb, 0, 'f', 1)
                    .arg(static_cast<double>(kCdBytes) / 1e6, 0, 'f', 1));
        } else {
            Add(Severity::Note, QStringLiteral("disc-size"), QString(),
                QStringLiteral("The disc needs %1 MB: it fits a CD (%2 MB).")
                    .arg(mb, 0, 'f', 1)
                    .arg(static_cast<double>(kCdBytes) / 1e6, 0, 'f', 1));
        }
    }

    QString base_;  // the disc folder's text, remembered by the resolver
    QByteArray baseNative_;
    const CheckOptions& options_;
    CheckReport report_;
    FolderListings listings_;
    std::map<QByteArray, QHash<QString, QByteArray>> behind_;  // folder -> listed name -> entry
    std::set<QByteArray> used_;                                // stored paths the menu reads or opens
    std::set<QString> reported_;                               // paths that have a finding
    QMap<int, QString> pageHints_;
    QByteArray textNative_;
};

}  // namespace

int CheckReport::Count(Severity severity) const
{
    return static_cast<int>(
        std::count_if(findings.begin(), findings.end(), [&](const Finding& f) { return f.severity == severity; }));
}

bool CheckReport::Has(const QString& code) const
{
    return std::any_of(findings.begin(), findings.end(), [&](const Finding& f) { return f.code == code; });
}

const QStringList& KitTopEntries()
{
    static const QStringList entries{QStringLiteral("autorun.sh"), QStringLiteral("tavelo.desktop"),
                                     QStringLiteral("tavelo.png"), QStringLiteral("tavelo")};
    return entries;
}

CheckReport CheckDisc(const QByteArray& dir, const CheckOptions& options)
{
    const QByteArray given = dir.isEmpty() ? QByteArrayLiteral(".") : dir;
    const QString shown = DecodeName(given);
    const auto fail = [&](const QString& why) {
        return CheckFailure(QStringLiteral("%1: %2").arg(Visible(shown), why).toStdString());
    };
    const EntryStatus st = StatusOf(given);
    if (!st.ok())
        throw fail(st.error == ENOENT ? QStringLiteral("no such folder") : SystemDescription(st.error));
    if (st.type != EntryType::Folder)
        throw fail(QStringLiteral("not a folder"));
    const std::optional<QByteArray> real = RealPath(given);
    if (!real)
        throw fail(QStringLiteral("the folder cannot be read: %1").arg(SystemDescription(errno)));
    const QByteArray base = *real;
    // Listed but not entered, nothing inside can be opened: no check to run.
    if (const int err = FolderAccess(base))
        throw fail(QStringLiteral("the folder cannot be read: %1").arg(SystemDescription(err)));
    return Checker(base, options).Run();
}

CheckReport CheckDisc(const QString& dir, const CheckOptions& options)
{
    return CheckDisc(NativeOfQtPath(dir), options);
}

QString SeverityName(Severity severity)
{
    switch (severity) {
    case Severity::Error: return QStringLiteral("error");
    case Severity::Warning: return QStringLiteral("warning");
    case Severity::Note: return QStringLiteral("note");
    }
    return QString();
}

QString Visible(const QString& text)
{
    const QString shown = DisplayName(text);
    QString out;
    out.reserve(shown.size());
    for (QChar c : shown) {
        const char16_t u = c.unicode();
        const bool bidi =
            u == 0x061C || u == 0x200E || u == 0x200F || (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
        if (u == '\n')
            out += QStringLiteral("\\n");
        else if (u == '\r')
            out += QStringLiteral("\\r");
        else if (u == '\t')
            out += QStringLiteral("\\t");
        else if (u < 0x20 || u == 0x7F)
            out += QStringLiteral("\\x%1").arg(static_cast<int>(u), 2, 16, QLatin1Char('0'));
        else if ((u >= 0x80 && u < 0xA0) || u == 0x2028 || u == 0x2029 || bidi)
            out += QStringLiteral("\\u%1").arg(static_cast<int>(u), 4, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

QString PercentEncoded(const QByteArray& bytes)
{
    QString out;
    out.reserve(bytes.size());
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b > 0x20 && b < 0x7F && b != '%')
            out += QLatin1Char(static_cast<char>(b));
        else
            out += QLatin1Char('%') + QString::number(b, 16).rightJustified(2, QLatin1Char('0')).toUpper();
    }
    return out;
}

namespace {

// A name's bytes for JSON, when they are not UTF-8 (else null).
QJsonValue BytesIfNeeded(const QByteArray& bytes)
{
    return IsValidUtf8(bytes) ? QJsonValue() : QJsonValue(PercentEncoded(bytes));
}

// A list of decoded names as JSON text, and their bytes where some need them.
void PutNames(QJsonObject& object, const QString& key, const QStringList& names)
{
    QJsonArray shown;
    QJsonArray bytes;
    bool needed = false;
    for (const QString& name : names) {
        shown.append(DisplayName(name));
        const QJsonValue b = BytesIfNeeded(EncodeName(name));
        needed = needed || !b.isNull();
        bytes.append(b);
    }
    object.insert(key, shown);
    if (needed)
        object.insert(key + QStringLiteral("_bytes"), bytes);
}

void PutName(QJsonObject& object, const QString& key, const QString& name)
{
    object.insert(key, DisplayName(name));
    const QJsonValue b = BytesIfNeeded(EncodeName(name));
    if (!b.isNull())
        object.insert(key + QStringLiteral("_bytes"), b);
}

}  // namespace

QByteArray ReportJson(const CheckReport& report)
{
    QJsonArray findings;
    for (const Finding& f : report.findings) {
        QJsonObject finding{{QStringLiteral("severity"), SeverityName(f.severity)},
                            {QStringLiteral("code"), f.code},
                            {QStringLiteral("path"), DisplayName(f.path)},
                            {QStringLiteral("message"), DisplayName(f.message)}};
        const QJsonValue b = BytesIfNeeded(f.pathBytes);
        if (!b.isNull())
            finding.insert(QStringLiteral("path_bytes"), b);
        findings.append(finding);
    }
    QJsonArray catalogue;
    for (const Album& a : report.catalogue) {
        QJsonObject album;
        PutName(album, QStringLiteral("album"), a.name);
        PutNames(album, QStringLiteral("songs"), a.songs);
        catalogue.append(album);
    }
    const QJsonObject counts{{QStringLiteral("errors"), report.Count(Severity::Error)},
                             {QStringLiteral("warnings"), report.Count(Severity::Warning)},
                             {QStringLiteral("notes"), report.Count(Severity::Note)}};
    QJsonObject root{{QStringLiteral("bytes"), static_cast<double>(report.bytes)},
                     {QStringLiteral("counts"), counts},
                     {QStringLiteral("findings"), findings},
                     {QStringLiteral("catalogue"), catalogue}};
    PutName(root, QStringLiteral("disc"), report.disc);
    PutNames(root, QStringLiteral("slides"), report.slides);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

QString ReportText(const CheckReport& report)
{
    QString out;
    out += QStringLiteral("Disc: %1\n").arg(Visible(report.disc));
    const struct {
        Severity severity;
        const char* title;
    } groups[] = {{Severity::Error, "Errors"}, {Severity::Warning, "Warnings"}, {Severity::Note, "Notes"}};
    for (const auto& g : groups) {
        const int n = report.Count(g.severity);
        out += QStringLiteral("\n%1 (%2)%3\n")
                   .arg(QString::fromLatin1(g.title))
                   .arg(n)
                   .arg(n ? QStringLiteral(":") : QString());
        for (const Finding& f : report.findings) {
            if (f.severity != g.severity)
                continue;
            out += QStringLiteral("  %1 [%2]\n      %3\n")
                       .arg(f.path.isEmpty() ? QStringLiteral("(disc)") : Visible(f.path), f.code, Visible(f.message));
        }
    }
    out += QStringLiteral("\nSlides (%1):\n").arg(report.slides.size());
    for (int i = 0; i < report.slides.size(); ++i)
        out += QStringLiteral("  %1. %2\n").arg(i + 1).arg(Visible(report.slides[i]));
    out += QStringLiteral("\nCatalogue (%1 albums):\n").arg(report.catalogue.size());
    for (const Album& a : report.catalogue) {
        out += QStringLiteral("  %1\n").arg(Visible(a.name));
        for (const QString& s : a.songs)
            out += QStringLiteral("      %1\n").arg(Visible(s));
    }
    out += QStringLiteral("\nResult: %1 error(s), %2 warning(s), %3 note(s).\n")
               .arg(report.Count(Severity::Error))
               .arg(report.Count(Severity::Warning))
               .arg(report.Count(Severity::Note));
    return out;
}

}  // namespace tavelo::author
