// The author's preview: one picture per view of the demo disc, errors beside
// the view they happen in, and pictures that are what the window draws.
#include "author/disc_preview.h"
#include "fixtures/jpeg_codec.h"
#include "content/paths.h"
#include "menu/form1_inside.h"
#include "tests/author/author_fixture.h"
#include "tests/fixture.h"
#include "tests/media/private_desktop.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <set>

namespace tavelo::author {
namespace {

using test::Disc;

const bool kDesktopApplied = (test::PrivateDesktop::ForThisProcess(), true);

Preview Make(const QString& disc, const QTemporaryDir& out) { return MakePreview(EncodeName(disc), out.path()); }

const PreviewView* ViewById(const Preview& p, const QString& id)
{
    for (const PreviewView& v : p.views)
        if (v.id == id)
            return &v;
    return nullptr;
}

QString FigureOf(const QString& html, const QString& id)
{
    const qsizetype at = html.indexOf(QStringLiteral("id=\"%1\"").arg(id));
    return at < 0 ? QString() : html.mid(at, html.indexOf(QStringLiteral("</figure>"), at) - at);
}

TEST(Preview, DemoDiscHasOnePicturePerViewAndAnIndexThatNamesThem)
{
    QTemporaryDir out;
    const Preview p = Make(QStringLiteral(TAVELO_DEMO_DISC), out);
    ASSERT_EQ(p.check.Count(Severity::Error), 0);

    int songs = 0;
    for (const Album& a : p.check.catalogue)
        songs += static_cast<int>(a.songs.size());
    std::vector<QString> expected{QStringLiteral("start")};
    for (int s = 1; s <= songs; ++s)
        expected.push_back(QStringLiteral("song-%1").arg(s, 3, 10, QLatin1Char('0')));
    for (int k = 1; k <= p.check.slides.size(); ++k)
        expected.push_back(QStringLiteral("slide-%1").arg(k, 3, 10, QLatin1Char('0')));
    for (const char* page : {"group", "disc", "player", "help"})
        expected.push_back(QString::fromLatin1(page));
    std::vector<QString> ids;
    for (const PreviewView& v : p.views)
        ids.push_back(v.id);
    EXPECT_EQ(ids, expected);
    EXPECT_EQ(songs, 5);

    // Every view has its picture at the size the page gives it, the whole
    // window where it is a full view; nothing else is written.
    const QString html = QString::fromUtf8(PreviewHtml(p));
    std::set<QString> named{QStringLiteral("index.html")};
    for (const PreviewView& v : p.views) {
        EXPECT_TRUE(v.boxes.isEmpty()) << v.id.toStdString();
        ASSERT_EQ(v.pictures.size(), 1) << v.id.toStdString();
        const QImage one(out.filePath(v.pictures[0]));
        EXPECT_EQ(one.size(), v.size) << v.id.toStdString();
        if (!p.Small(v)) {
            EXPECT_EQ(v.size, QSize(688, 449));
            EXPECT_EQ(QImage(out.filePath(v.pictures2x[0])).size(), v.size * 2) << v.id.toStdString();
            named.insert(v.pictures2x[0]);
        }
        named.insert(v.pictures[0]);
        const QString figure = FigureOf(html, v.id);
        EXPECT_TRUE(figure.contains(QStringLiteral("src=\"%1\"").arg(v.pictures[0]))) << v.id.toStdString();
        EXPECT_TRUE(figure.contains(v.caption.toHtmlEscaped())) << v.id.toStdString();
    }
    QFile index(out.filePath(QStringLiteral("index.html")));
    ASSERT_TRUE(index.open(QIODevice::WriteOnly));
    index.write(PreviewHtml(p));
    index.close();
    const QStringList written = QDir(out.path()).entryList(QDir::Files);
    EXPECT_EQ(std::set<QString>(written.begin(), written.end()), named);
    EXPECT_FALSE(html.contains(QStringLiteral("<script"), Qt::CaseInsensitive));
    EXPECT_FALSE(html.contains(QStringLiteral("http")));
}

TEST(Preview, BrokenSlideAndMissingLyricsShowBesideTheirViews)
{
    Disc disc;
    test::WriteGoodDisc(disc);
    disc.WriteJpeg(QStringLiteral("picture/03 c.jpg"), 40, 40);
    disc.Write(QStringLiteral("picture/04 d.jpg"), "not a picture");
    disc.Write(QStringLiteral("sound/A/02 t.mp3"), test::Mp3Bytes());
    QTemporaryDir out;
    const Preview p = Make(disc.Root(), out);

    const PreviewView* slide = ViewById(p, QStringLiteral("slide-004"));
    const PreviewView* song = ViewById(p, QStringLiteral("song-002"));
    ASSERT_TRUE(slide && song);
    // The window's own boxes, drawn full size over the window.
    ASSERT_EQ(slide->boxes.size(), 1);
    EXPECT_TRUE(slide->boxes[0].startsWith(QStringLiteral("JPEG error #"))) << slide->boxes[0].toStdString();
    EXPECT_FALSE(p.Small(*slide));
    ASSERT_EQ(song->boxes.size(), 1);
    EXPECT_TRUE(song->boxes[0].startsWith(QStringLiteral("Cannot open file"))) << song->boxes[0].toStdString();
    EXPECT_TRUE(song->boxes[0].contains(QStringLiteral("02 t.txt")));
    // ... agreeing with the check, whose findings sit beside the same views.
    EXPECT_TRUE(slide->unconfirmed.isEmpty() && song->unconfirmed.isEmpty());
    const auto has = [](const PreviewView* v, const char* code) {
        return std::any_of(v->findings.begin(), v->findings.end(),
                           [&](const Finding& f) { return f.code == QLatin1String(code); });
    };
    EXPECT_TRUE(has(slide, "picture-unreadable"));
    EXPECT_TRUE(has(song, "lyrics-missing"));
    for (const PreviewView& v : p.views) {
        if (&v != slide && &v != song) {
            EXPECT_TRUE(v.boxes.isEmpty()) << v.id.toStdString();
            EXPECT_FALSE(has(&v, "picture-unreadable") || has(&v, "lyrics-missing")) << v.id.toStdString();
        }
    }
    // The box is drawn alike at both sizes: the 2x picture brought down to 1x
    // differs from the 1x one only by the fonts' hinting in the box.
    const QImage withBox(out.filePath(slide->pictures[0]));
    ASSERT_EQ(withBox.size(), QSize(688, 449));
    const QImage halved = QImage(out.filePath(slide->pictures2x[0]))
                              .scaled(withBox.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QRect middle(withBox.rect().center() - QPoint(100, 40), QSize(200, 80));
    double difference = 0;
    for (int y = middle.top(); y <= middle.bottom(); ++y)
        for (int x = middle.left(); x <= middle.right(); ++x)
            difference += std::abs(qGray(withBox.pixel(x, y)) - qGray(halved.pixel(x, y)));
    EXPECT_LT(difference / (middle.width() * middle.height()), 5.0);

    const QString html = QString::fromUtf8(PreviewHtml(p));
    const QString figure = FigureOf(html, slide->id);
    EXPECT_TRUE(figure.contains(QStringLiteral("class=\"error box\"")));
    EXPECT_TRUE(figure.contains(slide->boxes[0].toHtmlEscaped()));
    EXPECT_TRUE(FigureOf(html, song->id).contains(QStringLiteral("lyrics-missing")));
    EXPECT_TRUE(html.contains(QStringLiteral("<span class=\"error\">2 error(s)</span>")))
        << html.left(3000).toStdString();
}

TEST(Preview, EveryBoxOfABareFolderIsAmongTheCheckErrorsOfItsView)
{
    Disc disc;
    disc.MakeDir(QStringLiteral("picture"));
    QTemporaryDir out;
    const Preview p = Make(disc.Root(), out);
    int boxes = 0;
    for (const PreviewView& v : p.views) {
        boxes += static_cast<int>(v.boxes.size());
        EXPECT_TRUE(v.unconfirmed.isEmpty()) << v.id.toStdString() << ": " << v.unconfirmed.join(' ').toStdString();
        EXPECT_EQ(v.pictures.size(), std::max<qsizetype>(1, v.boxes.size())) << v.id.toStdString();
    }
    EXPECT_GE(boxes, 4);  // at start, and on the group, disc, player and help pages
}

// Compares the preview's pictures with the window the menu's widget tests
// build on the same disc: the same pixels at the same places.
TEST(Preview, PicturesAreWhatTheWindowDraws)
{
    Disc disc;
    test::WriteGoodDisc(disc);
    disc.WriteJpeg(QStringLiteral("picture/01 a.jpg"), 64, 48, 0xFF0000);
    {
        // Fine stripes that a box's downscaling samples: any other sampling shows.
        test::Pixels stripes{701, 523, 3, {}};
        for (int y = 0; y < stripes.height; ++y)
            for (int x = 0; x < stripes.width; ++x)
                stripes.data.insert(stripes.data.end(), {static_cast<std::uint8_t>((x * 37) % 256),
                                                         static_cast<std::uint8_t>((y * 53) % 256),
                                                         static_cast<std::uint8_t>(((x + y) % 3) * 120)});
        test::EncodeOptions options;
        options.quality = 95;
        disc.Write(QStringLiteral("picture/02 b.jpg"), test::EncodeJpeg(stripes, options));
    }
    disc.WriteJpeg(QStringLiteral("about group/00 photo.jpg"), 80, 40, 0xFFFF00);
    QTemporaryDir out;
    const Preview p = Make(disc.Root(), out);

    disc.Enter();
    TForm1 form;
    TForm1::Inside in(form);
    in.Timer2Timer();
    form.show();
    const auto centre = [&](QWidget* w) { return w->mapTo(&form, w->rect().center()); };
    const auto pixel = [](const QImage& image, QPoint at) { return image.pixel(at) & 0xFFFFFF; };

    const QImage start(out.filePath(QStringLiteral("start.png")));
    const QImage window = form.grab().toImage();
    for (const QPoint at : {centre(in.Image1), centre(in.BitBtn1), centre(in.TreeView1), QPoint(2, 2)})
        EXPECT_EQ(pixel(start, at), pixel(window, at)) << at.x() << "," << at.y();
    EXPECT_GT(qRed(start.pixel(centre(in.Image1))), 200);
    EXPECT_LT(qGreen(start.pixel(centre(in.Image1))), 60);

    // The second slide as the slide show shows it, halved: the same pixels.
    in.BitBtn1->click();
    in.Button2->click();
    const QRect box(in.Image1->mapTo(&form, QPoint(0, 0)), in.Image1->size());
    const QImage shown = form.grab().toImage().copy(box).convertToFormat(QImage::Format_RGB32);
    const QImage small = QImage(out.filePath(QStringLiteral("slide-002.png"))).convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(small, shown.scaled(box.size() / 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));

    in.BitBtn3->click();
    const QImage group(out.filePath(QStringLiteral("group.png")));
    EXPECT_EQ(pixel(group, centre(in.Image2)), pixel(form.grab().toImage(), centre(in.Image2)));
}

}  // namespace
}  // namespace tavelo::author
