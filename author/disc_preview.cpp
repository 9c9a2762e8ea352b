#include "author/disc_preview.h"

#include "app/message_box_report.h"
#include "app/resources.h"
#include "base/error_report.h"
#include "base/errors.h"
#include "content/file_system.h"
#include "content/folders.h"
#include "media/placement.h"
#include "menu/app_title.h"
#include "menu/form1_inside.h"

#include <QApplication>
#include <QDir>
#include <QHash>
#include <QImageWriter>
#include <QMessageBox>
#include <QPainter>
#include <QThread>
#include <QTreeWidget>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

namespace tavelo::author {

namespace {

// A small copy of a slide is the picture box at this fraction of its size.
constexpr int kSmallDivisor = 2;

int ThreadCount(int asked)
{
    const int cores = static_cast<int>(std::thread::hardware_concurrency());
    return std::max(1, asked > 0 ? asked : cores);
}

// Takes the boxes the window asks for instead of showing them, with the
// report's own rules for boxes that come while one is open.
class BoxRecorder : public MessageBoxReport {
public:
    explicit BoxRecorder(const QString& title) : MessageBoxReport(title) { InstallErrorReport(this); }
    ~BoxRecorder() override { InstallErrorReport(nullptr); }
    QStringList Take() { return std::exchange(boxes_, {}); }

protected:
    void ShowBox(const QString& finalMessage) override { boxes_ << finalMessage; }

private:
    QStringList boxes_;
};

// The menu finds its disc in the current folder.
class EnteredFolder {
public:
    explicit EnteredFolder(const QByteArray& native) : old_(QDir::currentPath())
    {
        if (!QDir::setCurrent(QtPathOf(native)))
            throw CheckFailure(QStringLiteral("%1: cannot enter the folder").arg(NativePathText(native)).toStdString());
    }
    ~EnteredFolder() { QDir::setCurrent(old_); }

private:
    QString old_;
};

// Encodes and writes the pictures on worker threads while the window draws
// the next view. Only a few pictures wait at a time, so memory stays flat
// however many views there are.
class PngWriter {
public:
    PngWriter(QString folder, int threads) : folder_(std::move(folder))
    {
        // Qt's own threads (writers on threads Qt did not start crashed on
        // Windows), and the image plugins loaded here, on the window's thread:
        // loaded from a worker, they held the program's exit on Windows.
        (void)QImageWriter::supportedImageFormats();
        for (int i = 0; i < threads; ++i) {
            workers_.emplace_back(QThread::create([this] { Work(); }));
            workers_.back()->start();
        }
    }
    ~PngWriter() { Finish(); }

    void Write(const QString& name, QImage image)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return queue_.size() < 2 * workers_.size(); });
        queue_.emplace_back(name, std::move(image));
        changed_.notify_all();
    }

    // Waits for every file; the first failure, or empty.
    QString Finish()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            closed_ = true;
        }
        changed_.notify_all();
        for (const std::unique_ptr<QThread>& w : workers_)
            w->wait();
        return failure_;
    }

private:
    void Work()
    {
        for (;;) {
            std::pair<QString, QImage> job;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait(lock, [&] { return closed_ || !queue_.empty(); });
                if (queue_.empty())
                    return;
                job = std::move(queue_.front());
                queue_.pop_front();
            }
            changed_.notify_all();
            QImageWriter writer(folder_ + QLatin1Char('/') + job.first, "png");
            // Light compression: a third faster than the default for files 5 % larger.
            writer.setQuality(80);
            if (!writer.write(job.second)) {
                std::lock_guard<std::mutex> lock(mutex_);
                if (failure_.isEmpty())
                    failure_ = QStringLiteral("%1: %2").arg(writer.fileName(), writer.errorString());
            }
        }
    }

    const QString folder_;
    std::vector<std::unique_ptr<QThread>> workers_;
    std::deque<std::pair<QString, QImage>> queue_;
    bool closed_ = false;
    QString failure_;
    std::mutex mutex_;
    std::condition_variable changed_;
};

// A widget as it paints itself, at scale times its size.
QImage Draw(QWidget* widget, qreal scale)
{
    QImage image((QSizeF(widget->size()) * scale).toSize(), QImage::Format_RGB32);
    image.setDevicePixelRatio(scale);
    image.fill(widget->palette().color(QPalette::Window));
    widget->render(&image);
    return image;
}

// The window with an error box over it, centred as over its owner. The
// offscreen platform draws no frames, so the box gets a plain caption bar.
QImage WithBox(const QImage& window, QMessageBox& box, const QString& title)
{
    const qreal scale = window.devicePixelRatio();
    const QImage body = Draw(&box, scale);
    const QSize bodySize = box.size();
    const int bar = box.fontMetrics().height() + 8;
    QRect frame(QPoint(0, 0), QSize(bodySize.width() + 2, bodySize.height() + bar + 1));
    frame.moveCenter(QRect(QPoint(0, 0), (QSizeF(window.size()) / scale).toSize()).center());
    frame.moveTopLeft(QPoint(std::max(0, frame.left()), std::max(0, frame.top())));

    QImage out = window;
    QPainter p(&out);
    const QPalette& pal = box.palette();
    p.fillRect(frame, pal.color(QPalette::Highlight));
    p.setPen(pal.color(QPalette::Shadow));
    p.drawRect(frame.adjusted(0, 0, -1, -1));
    QFont bold = box.font();
    bold.setBold(true);
    p.setFont(bold);
    p.setPen(pal.color(QPalette::HighlightedText));
    p.drawText(QRect(frame.left() + 8, frame.top(), frame.width() - 16, bar), Qt::AlignVCenter | Qt::AlignLeft, title);
    p.drawImage(QRect(QPoint(frame.left() + 1, frame.top() + bar), bodySize), body);
    return out;
}

// The slides the check decoded, each drawn at once as the picture box draws
// it: the part of the box the picture covers, sampled nearest-neighbour from
// the whole picture. A large disc's slides are then decoded once, on every
// core, and never all held at full size.
class ReducedSlides {
public:
    // On a decoding thread.
    void Add(int slide, const QImage& picture)
    {
        const QRect rect =
            PlacePicture(picture.width(), picture.height(), kImage1Box.width, kImage1Box.height, true, true, true);
        QImage covered;
        if (!rect.isEmpty()) {
            covered = QImage(rect.size(), QImage::Format_ARGB32_Premultiplied);
            QPainter p(&covered);
            p.setRenderHint(QPainter::SmoothPixmapTransform, false);
            p.translate(-rect.topLeft());
            p.drawImage(rect, picture);
        }
        std::lock_guard<std::mutex> lock(mutex_);
        slides_[slide] = {rect, std::move(covered)};
    }

    // The slide as a picture of the box's size, clear where the slide does
    // not cover it, which the box shows 1:1 with the window behind it. False
    // when the slide did not decode.
    bool Take(int slide, QImage& boxSized)
    {
        std::pair<QRect, QImage> taken;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            const auto it = slides_.find(slide);
            if (it == slides_.end())
                return false;
            taken = std::move(it->second);
            slides_.erase(it);
        }
        boxSized = QImage(kImage1Box.width, kImage1Box.height, QImage::Format_ARGB32_Premultiplied);
        boxSized.fill(Qt::transparent);
        QPainter p(&boxSized);
        p.drawImage(taken.first.topLeft(), taken.second);
        return true;
    }

private:
    std::map<int, std::pair<QRect, QImage>> slides_;
    std::mutex mutex_;
};

// Clicks through the window and draws each view.
class Drawer {
public:
    Drawer(Preview& preview, ReducedSlides& reduced, const QString& folder, const PreviewOptions& options)
        : preview_(preview), reduced_(reduced), recorder_(preview.title), png_(folder, ThreadCount(options.threads)),
          progress_(options.progress)
    {
        TForm1::Options o;
        o.pause = [](int) {};
        o.terminate = [] {};
        form_ = std::make_unique<TForm1>(o);
        in_ = std::make_unique<TForm1::Inside>(*form_);
        // Selecting a song starts it in the desktop's player: not here.
        in_->FileRun1.ActionList->Suspended = true;
        in_->Timer2Timer();
        KeepCaptionsInside(*form_);
        form_->show();
        QApplication::setActiveWindow(form_.get());
        boxHost_.setAttribute(Qt::WA_DontShowOnScreen);
        boxHost_.show();
    }

    ~Drawer()
    {
        in_.reset();
        form_.reset();
    }

    void Run()
    {
        QStringList slides;
        if (in_->ShellTreeView2.Root() == in_->S.BaseDir + kPictureFolder)
            for (int k = 1; k < in_->ShellTreeView2.Items.Count(); ++k)
                slides << in_->ShellTreeView2.Items[k].Text;
        int songs = 0;
        for (int a = 0; a < in_->TreeView1->topLevelItemCount(); ++a)
            songs += in_->TreeView1->topLevelItem(a)->childCount();
        total_ = 1 + std::max<int>(1, static_cast<int>(slides.size())) + std::max(1, songs) + 4;

        // The sections as the menu lists them, top down.
        Full(Section::Start, QStringLiteral("start"), QStringLiteral("The window at start"));
        DrawLyrics();
        DrawSlides(slides);
        in_->BitBtn3->click();
        Full(Section::Group, QStringLiteral("group"), QStringLiteral("The group page"));
        in_->BitBtn4->click();
        Full(Section::Disc, QStringLiteral("disc"), QStringLiteral("The disc page"));
        in_->BitBtn5->click();
        Full(Section::Player, QStringLiteral("player"), QStringLiteral("The player page"));
        in_->BitBtn6->click();
        Full(Section::Help, QStringLiteral("help"), QStringLiteral("The help page"));

        const QString failure = png_.Finish();
        if (!failure.isEmpty())
            throw PreviewFailure(failure.toStdString());
    }

private:
    void DrawSlides(const QStringList& slides)
    {
        in_->BitBtn1->click();
        if (slides.isEmpty()) {
            Full(Section::Slides, QStringLiteral("slides"), QStringLiteral("The slide show, with no slides"));
            return;
        }
        Full(Section::Slides, SlideId(1), SlideCaption(1, slides[0]));
        const bool boxAsChecked = in_->Image1->size() == QSize(kImage1Box.width, kImage1Box.height);
        for (int k = 2; k <= slides.size(); ++k) {
            QImage reduced;
            if (boxAsChecked && reduced_.Take(k, reduced)) {
                in_->Image1->SetPicture(reduced);
                in_->S.SlideIndex = k;
                Small(Section::Slides, SlideId(k), SlideCaption(k, slides[k - 1]));
            } else {
                // The window's own handler meets the failure and shows its box.
                in_->S.SlideIndex = k - 1;
                in_->Button2->click();
                Full(Section::Slides, SlideId(k), SlideCaption(k, slides[k - 1]));
            }
        }
    }

    void DrawLyrics()
    {
        in_->BitBtn2->click();
        QTreeWidget* tree = in_->TreeView1;
        int n = 0;
        QTreeWidgetItem* open = nullptr;  // one album open at a time, as a listener browses
        for (int a = 0; a < tree->topLevelItemCount(); ++a) {
            QTreeWidgetItem* album = tree->topLevelItem(a);
            if (album->childCount() == 0)
                continue;
            if (open)
                tree->collapseItem(open);
            tree->expandItem(album);
            open = album;
            for (int s = 0; s < album->childCount(); ++s) {
                QTreeWidgetItem* song = album->child(s);
                tree->setFocus();
                tree->setCurrentItem(song);
                tree->scrollToItem(song);
                Full(Section::Lyrics, QStringLiteral("song-%1").arg(++n, 3, 10, QLatin1Char('0')),
                     QStringLiteral("%1 — %2").arg(album->text(0), song->text(0)));
            }
        }
        if (n == 0)
            Full(Section::Lyrics, QStringLiteral("lyrics"), QStringLiteral("The lyrics, with no songs"));
    }

    static QString SlideId(int k) { return QStringLiteral("slide-%1").arg(k, 3, 10, QLatin1Char('0')); }
    static QString SlideCaption(int k, const QString& name) { return QStringLiteral("Slide %1: %2").arg(k).arg(name); }

    PreviewView& Add(Section section, const QString& id, const QString& caption)
    {
        PreviewView v;
        v.section = section;
        v.id = id;
        v.caption = caption;
        v.boxes = recorder_.Take();
        preview_.views.push_back(std::move(v));
        if (progress_)
            progress_(static_cast<int>(preview_.views.size()),
                      std::max(total_, static_cast<int>(preview_.views.size())));
        return preview_.views.back();
    }

    // The whole window, once for each box it shows (or once), at 1× and 2×.
    void Full(Section section, const QString& id, const QString& caption)
    {
        PreviewView& v = Add(section, id, caption);
        QCoreApplication::processEvents();
        v.size = form_->size();
        const QImage one = Draw(form_.get(), 1);
        const QImage two = Draw(form_.get(), 2);
        const auto name = [&](int i, const char* tail) {
            return (i == 0 ? id : QStringLiteral("%1-box%2").arg(id).arg(i + 1)) + QLatin1String(tail);
        };
        if (v.boxes.isEmpty()) {
            png_.Write(name(0, ".png"), one);
            png_.Write(name(0, "@2x.png"), two);
        }
        for (int i = 0; i < v.boxes.size(); ++i) {
            const std::unique_ptr<QMessageBox> box = MakeErrorBox(preview_.title, v.boxes[i], nullptr);
            // The box sizes itself only once it is visible. Shown inside a
            // host that is never put on screen, it is sized as when it opens
            // with no platform window to open.
            box->setParent(&boxHost_, Qt::Widget);
            box->show();
            png_.Write(name(i, ".png"), WithBox(one, *box, preview_.title));
            png_.Write(name(i, "@2x.png"), WithBox(two, *box, preview_.title));
        }
        for (int i = 0; i < std::max<int>(1, static_cast<int>(v.boxes.size())); ++i) {
            v.pictures << name(i, ".png");
            v.pictures2x << name(i, "@2x.png");
        }
    }

    // The picture box alone, smaller, as it shows the slide.
    void Small(Section section, const QString& id, const QString& caption)
    {
        PreviewView& v = Add(section, id, caption);
        const QRect box(in_->Image1->mapTo(form_.get(), QPoint(0, 0)), in_->Image1->size());
        const QImage drawn = Draw(form_.get(), 1).copy(box);
        v.size = box.size() / kSmallDivisor;
        v.pictures << id + QStringLiteral(".png");
        png_.Write(v.pictures.first(), drawn.scaled(v.size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    }

    Preview& preview_;
    ReducedSlides& reduced_;
    BoxRecorder recorder_;
    PngWriter png_;
    std::function<void(int, int)> progress_;
    QWidget boxHost_;
    std::unique_ptr<TForm1> form_;
    std::unique_ptr<TForm1::Inside> in_;
    int total_ = 0;
};

// A path with the extension of its last component dropped, case-folded: the
// name a listing gives, under its folder.
QString ListedKey(const QString& path)
{
    QString key = path;
    const qsizetype slash = key.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = key.lastIndexOf(QLatin1Char('.'));
    if (dot > slash + 1)
        key.truncate(dot);
    return key.toCaseFolded();
}

// Puts each finding beside the view that shows what it is about: a slide's or
// a song's own files go to that slide or song, the rest of a top folder to
// its page; what belongs to no page stays with the whole disc.
void Attribute(Preview& p)
{
    QHash<QString, int> byFile;
    std::map<Section, int> first;
    int song = 0;
    std::vector<std::pair<QString, QString>> songs;  // album, song in catalogue order
    for (const Album& a : p.check.catalogue)
        for (const QString& s : a.songs)
            songs.emplace_back(a.name, s);
    for (int i = 0; i < static_cast<int>(p.views.size()); ++i) {
        const PreviewView& v = p.views[static_cast<size_t>(i)];
        first.emplace(v.section, i);
        if (v.section == Section::Slides && v.id.startsWith(QLatin1String("slide-"))) {
            const int k = v.id.mid(6).toInt();
            if (k >= 1 && k <= p.check.slides.size())
                byFile.insert(ListedKey(QStringLiteral("picture/") + p.check.slides[k - 1]), i);
        } else if (v.section == Section::Lyrics && v.id.startsWith(QLatin1String("song-")) &&
                   song < static_cast<int>(songs.size())) {
            const auto& [album, name] = songs[static_cast<size_t>(song++)];
            byFile.insert(ListedKey(QStringLiteral("text/%1/%2").arg(album, name)), i);
            byFile.insert(ListedKey(QStringLiteral("sound/%1/%2").arg(album, name)), i);
        }
    }
    const std::map<QString, Section> pages = {
        {QStringLiteral("picture"), Section::Start},   {QStringLiteral("sound"), Section::Start},
        {QStringLiteral("text"), Section::Lyrics},     {QStringLiteral("about group"), Section::Group},
        {QStringLiteral("about disk"), Section::Disc}, {QStringLiteral("help"), Section::Help},
        {QStringLiteral("player"), Section::Player},
    };
    for (const Finding& f : p.check.findings) {
        int view = byFile.value(ListedKey(f.path), -1);
        if (view < 0 && !f.path.isEmpty()) {
            const auto page = pages.find(f.path.section(QLatin1Char('/'), 0, 0).toCaseFolded());
            if (page != pages.end() && first.count(page->second))
                view = first[page->second];
        }
        if (view >= 0)
            p.views[static_cast<size_t>(view)].findings.push_back(f);
        else
            p.discWide.push_back(f);
    }
    // A box the check does not also report would mean the two disagree. The
    // check reports it either in its own words (a missing folder, say) beside
    // the same view, or quoting the menu's.
    const auto isError = [](const Finding& f) { return f.severity == Severity::Error; };
    for (PreviewView& v : p.views) {
        const bool errorHere = std::any_of(v.findings.begin(), v.findings.end(), isError);
        for (const QString& box : v.boxes) {
            const bool reported =
                errorHere || std::any_of(p.check.findings.begin(), p.check.findings.end(), [&](const Finding& f) {
                    return isError(f) && f.message.contains(box, Qt::CaseInsensitive);
                });
            if (!reported)
                v.unconfirmed << box;
        }
    }
}

}  // namespace

QString SectionName(Section section)
{
    switch (section) {
    case Section::Start: return QStringLiteral("At start");
    case Section::Lyrics: return QStringLiteral("Lyrics");
    case Section::Slides: return QStringLiteral("Slides");
    case Section::Group: return QStringLiteral("Group");
    case Section::Disc: return QStringLiteral("Disc");
    case Section::Player: return QStringLiteral("Player");
    case Section::Help: return QStringLiteral("Help");
    }
    return QString();
}

Preview MakePreview(const QByteArray& dir, const QString& folder, const PreviewOptions& options)
{
    Preview preview;
    ReducedSlides reduced;
    CheckOptions check = options.check;
    check.slideDecoded = [&reduced](int slide, const QImage& picture) { reduced.Add(slide, picture); };
    preview.check = CheckDisc(dir, check);
    // The disc's program is "tavelo" on every system: its title heads the boxes.
    preview.title = ApplicationTitleFromFileName(QStringLiteral("tavelo"));
    InstallResources();
    {
        const EnteredFolder entered(dir);
        Drawer drawer(preview, reduced, folder, options);
        drawer.Run();
    }
    Attribute(preview);
    return preview;
}

}  // namespace tavelo::author
