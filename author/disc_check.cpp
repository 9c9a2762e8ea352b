#include "author/disc_check.h"

#include "base/error_report.h"
#include "base/errors.h"
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

#include <dirent.h>
#include <sys/stat.h>

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
    QString role;  // "slide 3", "the group photo" ...
    BoxSize box;
    // Results, written by one worker.
    bool ok = false;
    int width = 0;
    int height = 0;
    QString message;
};

void Decode(PictureJob& job)
{
    try {
        TJPEGImage jpeg;
        jpeg.LoadFromFile(job.formed);
        const TBitmap& bitmap = jpeg.Bitmap();
        job.width = bitmap.width();
        job.height = bitmap.height();
        job.ok = true;
    } catch (const Exception& e) {
        job.message = FinalMessage(e.Message());
    } catch (const std::bad_alloc&) {
        job.message = FinalMessage(QStringLiteral("Out of memory"));
    }
}

// Decodes every job on all cores; progress is reported from this thread.
void DecodeAll(std::vector<PictureJob>& jobs, const CheckOptions& options)
{
    const int total = static_cast<int>(jobs.size());
    if (total == 0)
        return;
    int threads = options.threads > 0 ? options.threads : static_cast<int>(std::thread::hardware_concurrency());
    threads = std::clamp(threads, 1, total);

    std::atomic<int> next{0};
    std::atomic<int> done{0};
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::thread> workers;
    workers.reserve(static_cast<size_t>(threads));
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&] {
            for (int i = next++; i < total; i = next++) {
                Decode(jobs[static_cast<size_t>(i)]);
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

class Checker {
public:
    Checker(QString base, const CheckOptions& options)
        : base_(std::move(base)), baseNative_(QFile::encodeName(base_)), options_(options)
    {
        report_.disc = base_;
    }

    CheckReport Run()
    {
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
    void Add(Severity severity, const QString& code, const QString& path, const QString& message)
    {
        report_.findings.push_back({severity, code, path, message});
    }

    bool Reported(const QString& path) const
    {
        return std::any_of(report_.findings.begin(), report_.findings.end(),
                           [&](const Finding& f) { return f.path == path; });
    }

    // A formed path (absolute, either separator) as a path inside the disc.
    QString DiscPath(const QString& formed) const
    {
        QString out = NormalizedForDisplay(formed);
        const QString prefix = NormalizedForDisplay(base_ + QLatin1Char('/'));
        if (out.startsWith(prefix))
            out = out.mid(prefix.size());
        while (out.endsWith(QLatin1Char('/')))
            out.chop(1);
        return out;
    }

    QString DiscPathOf(const QByteArray& native) const
    {
        QByteArray rel = native;
        const QByteArray prefix = baseNative_.endsWith('/') ? baseNative_ : baseNative_ + '/';
        if (rel.startsWith(prefix))
            rel = rel.mid(prefix.size());
        return DisplayName(DecodeName(rel));
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
            struct stat st {};
            if (!r.ok()) {
                Add(Severity::Error, QStringLiteral("missing-folder"), name,
                    QStringLiteral("The folder \"%1\" is missing: %2.").arg(name, QString::fromUtf8(f.without)));
            } else if (::stat(r.native.constData(), &st) != 0 || !S_ISDIR(st.st_mode)) {
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
            struct stat st {};
            // A missing folder or a file in its place was reported already.
            if (r.ok() && ::stat(r.native.constData(), &st) == 0 && S_ISDIR(st.st_mode))
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
        struct stat st {};
        QString path = r.ok() ? DiscPathOf(r.native) : DiscPath(formed);
        QByteArray bytes;
        try {
            bytes = ReadTextFile(formed);
            (void)TextToShow(TRichEditSettings{}, bytes);
        } catch (const Exception& e) {
            QString code = QStringLiteral("text-unreadable");
            if (!r.ok())
                code = missingCode;
            else if (::stat(r.native.constData(), &st) == 0 && S_ISDIR(st.st_mode))
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
                Add(Severity::Error, QStringLiteral("sound-stray-file"),
                    Behind(base_ + kSoundFolder, albumName, AlbumFolder(base_, albumName)),
                    QStringLiteral("A file directly in the sound folder becomes an album the catalogue cannot open. "
                                   "The menu reports: %1 Albums are folders; move the file into one.")
                        .arg(FinalMessage(e.Message())));
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
                Use(songFormed);
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

    // The stored entry of folder that a listing names listed (its first in
    // byte order, as the resolver would meet it); empty when there is none.
    QByteArray EntryBehind(const QString& folder, const QString& listed) const
    {
        const Resolved dir = ResolvePath(folder);
        if (!dir.ok())
            return QByteArray();
        DirectoryStream d(dir.native.constData());
        if (!d)
            return QByteArray();
        QByteArray found;
        while (dirent* e = d.Next()) {
            const QByteArray name(e->d_name);
            if (IsDotted(name))
                continue;
            const QByteArray full = dir.native + '/' + name;
            struct stat st {};
            const bool folderEntry = ::stat(full.constData(), &st) == 0 && S_ISDIR(st.st_mode);
            const QString text = DecodeName(name);
            const QString shown = folderEntry ? ApplyQuestionDigitRule(text) : ListedFileName(text);
            if (shown == listed && (found.isEmpty() || full < found))
                found = full;
        }
        return found;
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
        struct stat st {};
        if (!r.ok()) {
            Add(Severity::Error, QStringLiteral("player-missing"), DiscPath(formed),
                QStringLiteral("The player program is missing: %1 does nothing (the menu reports nothing either).")
                    .arg(button));
            return;
        }
        if (::stat(r.native.constData(), &st) == 0 && S_ISDIR(st.st_mode)) {
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
        textNative_ = text.ok() ? text.native + '/' : QByteArray();
        SurveyFolder(baseNative_, true, false);
    }

    void SurveyFolder(const QByteArray& folder, bool top, bool hidden)
    {
        std::vector<QByteArray> names;
        {
            DirectoryStream d(folder.constData());
            if (!d) {
                if (!hidden && !Reported(DiscPathOf(folder)))
                    Add(Severity::Warning, QStringLiteral("folder-unreadable"), DiscPathOf(folder),
                        QStringLiteral("The folder cannot be read: %1.").arg(SystemDescription(d.Error())));
                return;
            }
            while (dirent* e = d.Next()) {
                const QByteArray name(e->d_name);
                if (name != "." && name != "..")
                    names.push_back(name);
            }
        }
        std::sort(names.begin(), names.end());

        std::map<QString, std::vector<QByteArray>> folded;
        for (const QByteArray& name : names) {
            const QByteArray full = (folder.endsWith('/') ? folder : folder + '/') + name;
            const QString shown = DiscPathOf(full);
            struct stat st {};
            if (::lstat(full.constData(), &st) != 0)
                continue;
            const bool kit = top && KitTopEntries().contains(QString::fromUtf8(name));
            const bool quiet = hidden || kit;
            if (S_ISREG(st.st_mode))
                report_.bytes += (static_cast<qint64>(st.st_size) + 2047) / 2048 * 2048;
            if (!quiet) {
                if (IsDotted(name))
                    Add(Severity::Note, QStringLiteral("hidden-name"), shown,
                        QStringLiteral("The name starts with a dot: the menu never sees it."));
                else
                    CheckName(name, shown, folded);
                if (S_ISLNK(st.st_mode))
                    Add(Severity::Warning, QStringLiteral("symlink"), shown,
                        QStringLiteral("A symbolic link: the image keeps the link, not what it points to."));
            }
            if (S_ISDIR(st.st_mode)) {
                SurveyFolder(full, false, quiet || IsDotted(name));
            } else if (S_ISREG(st.st_mode) && !quiet && !IsDotted(name) && !used_.count(full)) {
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
                all << Quoted(DisplayName(DecodeName(n)));
            const QByteArray full = (folder.endsWith('/') ? folder : folder + '/') + group.front();
            Add(Severity::Warning, QStringLiteral("case-clash"), DiscPathOf(full),
                QStringLiteral(
                    "%1 differ only in letter case: where the menu looks a name up without regard to case it "
                    "takes %2, and the listing shows them all.")
                    .arg(all.join(QStringLiteral(" and ")), all.first()));
        }
    }

    void CheckName(const QByteArray& name, const QString& shown, std::map<QString, std::vector<QByteArray>>& folded)
    {
        const QString text = DecodeName(name);
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

    QString base_;
    QByteArray baseNative_;
    const CheckOptions& options_;
    CheckReport report_;
    std::set<QByteArray> used_;  // stored paths the menu reads or opens
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

CheckReport CheckDisc(const QString& dir, const CheckOptions& options)
{
    const QFileInfo info(dir.isEmpty() ? QStringLiteral(".") : dir);
    if (!info.exists())
        throw CheckFailure(QStringLiteral("%1: no such folder").arg(dir).toStdString());
    if (!info.isDir())
        throw CheckFailure(QStringLiteral("%1: not a folder").arg(dir).toStdString());
    const QString base = info.canonicalFilePath();
    if (base.isEmpty() || !QFileInfo(base).isReadable())
        throw CheckFailure(QStringLiteral("%1: the folder cannot be read").arg(dir).toStdString());
    return Checker(base, options).Run();
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

QByteArray ReportJson(const CheckReport& report)
{
    QJsonArray findings;
    for (const Finding& f : report.findings) {
        findings.append(QJsonObject{{QStringLiteral("severity"), SeverityName(f.severity)},
                                    {QStringLiteral("code"), f.code},
                                    {QStringLiteral("path"), f.path},
                                    {QStringLiteral("message"), f.message}});
    }
    QJsonArray catalogue;
    for (const Album& a : report.catalogue)
        catalogue.append(QJsonObject{{QStringLiteral("album"), a.name},
                                     {QStringLiteral("songs"), QJsonArray::fromStringList(a.songs)}});
    const QJsonObject counts{{QStringLiteral("errors"), report.Count(Severity::Error)},
                             {QStringLiteral("warnings"), report.Count(Severity::Warning)},
                             {QStringLiteral("notes"), report.Count(Severity::Note)}};
    const QJsonObject root{{QStringLiteral("disc"), report.disc},
                           {QStringLiteral("bytes"), static_cast<double>(report.bytes)},
                           {QStringLiteral("counts"), counts},
                           {QStringLiteral("findings"), findings},
                           {QStringLiteral("slides"), QJsonArray::fromStringList(report.slides)},
                           {QStringLiteral("catalogue"), catalogue}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

QString ReportText(const CheckReport& report)
{
    QString out;
    out += QStringLiteral("Disc: %1\n").arg(report.disc);
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
                       .arg(f.path.isEmpty() ? QStringLiteral("(disc)") : f.path, f.code, f.message);
        }
    }
    out += QStringLiteral("\nSlides (%1):\n").arg(report.slides.size());
    for (int i = 0; i < report.slides.size(); ++i)
        out += QStringLiteral("  %1. %2\n").arg(i + 1).arg(report.slides[i]);
    out += QStringLiteral("\nCatalogue (%1 albums):\n").arg(report.catalogue.size());
    for (const Album& a : report.catalogue) {
        out += QStringLiteral("  %1\n").arg(a.name);
        for (const QString& s : a.songs)
            out += QStringLiteral("      %1\n").arg(s);
    }
    out += QStringLiteral("\nResult: %1 error(s), %2 warning(s), %3 note(s).\n")
               .arg(report.Count(Severity::Error))
               .arg(report.Count(Severity::Warning))
               .arg(report.Count(Severity::Note));
    return out;
}

}  // namespace tavelo::author
