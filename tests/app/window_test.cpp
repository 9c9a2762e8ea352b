// The window description and the application frame: every widget's geometry,
// caption, font, colour, visibility and tab order; focus and keys; timers.

#include "app/message_box_report.h"
#include "app/resources.h"
#include "base/colors.h"
#include "base/errors.h"
#include "media/image_box.h"
#include "media/text_view.h"
#include "menu/app_title.h"
#include "menu/timer.h"
#include "tests/media/private_desktop.h"
#include "tests/menu/form_fixture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRawFont>
#include <QStyle>
#include <QStyleOptionButton>
#include <QThread>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using namespace tavelo;
using namespace tavelo::test;

namespace {

const bool kDesktopApplied = (PrivateDesktop::ForThisProcess(), true);

// The window's faces, as the program has them: the carried ones, and those
// the kit carries beside it.
void InstallFaces()
{
    InstallResources();
#ifdef TAVELO_KIT_FACES
    static const bool registered = [] {
        for (const QString& file : QStringLiteral(TAVELO_KIT_FACES).split(QLatin1Char('|')))
            EXPECT_GE(QFontDatabase::addApplicationFont(file), 0) << file.toStdString();
        return true;
    }();
    (void)registered;
#endif
}

struct Row {
    const char* name;
    QRect geometry;
    const char* caption;  // nullptr: no caption to check
    bool visible;
    const char* family;  // nullptr: the window's font
    int pixels;
    bool italic;
};

const Row kWidgets[] = {
    {"Image1", {136, 8, 313, 433}, nullptr, true, nullptr, 11, false},
    {"Image2", {136, 8, 313, 145}, nullptr, true, nullptr, 11, false},
    {"RadioGroup1", {0, 0, 129, 449}, " Меню ", true, "Monotype Corsiva", 24, true},
    {"Panel2", {0, 304, 129, 65}, "Panel2", false, nullptr, 11, false},
    {"Panel1", {7, 408, 114, 41}, "Panel1", true, nullptr, 11, false},
    {"BitBtn1", {7, 64, 97, 25}, "&Слайды", true, "Comic Sans MS", 16, false},
    {"BitBtn2", {7, 32, 113, 25}, "&Тексты песен", true, "Comic Sans MS", 16, false},
    {"BitBtn3", {7, 96, 81, 25}, "О &Группе", true, "Comic Sans MS", 16, false},
    {"BitBtn4", {7, 128, 81, 25}, "О &Диске", true, "Comic Sans MS", 16, false},
    {"BitBtn5", {7, 160, 97, 25}, "&Player", true, "Comic Sans MS", 16, false},
    {"BitBtn6", {7, 192, 113, 25}, "&Помощь", true, "Comic Sans MS", 16, false},
    {"BitBtn7", {15, 416, 97, 25}, "&Выход ", true, "Monotype Corsiva", 24, false},
    {"TreeView1", {456, 8, 232, 441}, nullptr, true, "Monotype Corsiva", 19, false},
    {"RichEdit1", {136, 160, 313, 281}, nullptr, false, "MS Sans Serif", 11, false},
    {"RichEdit2", {136, 8, 313, 433}, nullptr, false, "Monotype Corsiva", 19, false},
    {"Button1", {12, 312, 53, 25}, "<---", false, nullptr, 11, false},
    {"Button2", {64, 312, 57, 25}, "--->", false, nullptr, 11, false},
    {"Button3", {12, 336, 109, 25}, "Автопоказ", false, "Microsoft Sans Serif", 11, false},
    {"Button4", {8, 312, 113, 25}, "Установить", false, nullptr, 11, false},
    {"Button5", {8, 336, 113, 25}, "Запустить", false, nullptr, 11, false},
};

QString Caption(QWidget* w)
{
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        return b->text();
    if (auto* g = qobject_cast<QGroupBox*>(w))
        return g->title();
    return w->property("text").toString();
}

void SendKey(QWidget* w, int key, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString& text = QString())
{
    QKeyEvent press(QEvent::KeyPress, key, mods, text);
    QKeyEvent release(QEvent::KeyRelease, key, mods, text);
    QApplication::sendEvent(w, &press);
    QApplication::sendEvent(w, &release);
}

}  // namespace

TEST(Window, EveryWidgetMatchesTheDescription)
{
    FormOnDisc fx;
    TForm1::Inside& f = fx.Build();
    EXPECT_EQ(f.form.size(), QSize(688, 449));
    EXPECT_EQ(f.form.minimumSize(), QSize(688, 449));
    EXPECT_EQ(f.form.maximumSize(), QSize(688, 449));
    EXPECT_EQ(f.form.pos(), QPoint(186, 124));
    EXPECT_EQ(f.form.palette().color(QPalette::Window), QColor(166, 202, 240));
    EXPECT_EQ(f.form.font().family(), QStringLiteral("MS Sans Serif"));
    EXPECT_EQ(f.form.font().pixelSize(), 11);

    QObjectList order;
    for (const Row& row : kWidgets) {
        auto* w = f.form.findChild<QWidget*>(QString::fromLatin1(row.name));
        ASSERT_NE(w, nullptr) << row.name;
        EXPECT_EQ(w->geometry(), row.geometry) << row.name;
        EXPECT_EQ(!w->isHidden(), row.visible) << row.name;
        if (row.caption) {
            EXPECT_EQ(Caption(w), QString::fromUtf8(row.caption)) << row.name;
        }
        EXPECT_EQ(w->font().family(), row.family ? QString::fromUtf8(row.family) : QStringLiteral("MS Sans Serif"))
            << row.name;
        if (qobject_cast<TRichEdit*>(w)) {
            // Text views keep their default format in whole points (11 px is 8 pt, 19 px is 14 pt).
            EXPECT_EQ(w->font().pointSize(), row.pixels == 11 ? 8 : 14) << row.name;
        } else {
            EXPECT_EQ(w->font().pixelSize(), row.pixels) << row.name;
        }
        EXPECT_EQ(w->font().italic(), row.italic) << row.name;
        order << w;
    }
    // Stacking follows creation order: the image boxes lowest, Image2 over Image1.
    const QObjectList children = f.form.children();
    qsizetype last = -1;
    for (QObject* w : order) {
        const qsizetype at = children.indexOf(w);
        EXPECT_GT(at, last) << w->objectName().toStdString();
        last = at;
    }
    // Colours of their own.
    EXPECT_EQ(f.TreeView1->palette().color(QPalette::Base), QColor(166, 202, 240));
    EXPECT_EQ(f.TreeView1->palette().color(QPalette::Text), QColor::fromRgb(kDesktopBackgroundRgb));
    EXPECT_EQ(f.TreeView1->indentation(), 24);
    EXPECT_TRUE(f.TreeView1->rootIsDecorated());
    EXPECT_EQ(f.BitBtn2->palette().color(QPalette::ButtonText), QColor(0, 0, 0));
    EXPECT_EQ(f.RichEdit2->palette().color(QPalette::Base), ToQColor(clInfoBk));
    EXPECT_EQ(f.RadioGroup1->font().weight(), QFont::Normal);
}

TEST(Window, FocusStartsOnSlidesAndTabFollowsTheDescription)
{
    FormOnDisc fx;
    TForm1::Inside& f = fx.Build();
    f.form.show();
    QApplication::setActiveWindow(&f.form);
    f.form.activateWindow();
    QApplication::processEvents();
    f.BitBtn1->setFocus();  // the offscreen platform activates no window itself
    const std::vector<QWidget*> cycle{f.BitBtn1, f.BitBtn2, f.BitBtn3, f.BitBtn4, f.TreeView1,
                                      f.BitBtn5, f.BitBtn6, f.BitBtn7, f.BitBtn1};
    for (size_t i = 1; i < cycle.size(); ++i) {
        SendKey(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), cycle[i]) << "step " << i;
    }
    SendKey(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), f.BitBtn7);
    // The first widget in tab order that can take the focus is Slides.
    QWidget* first = f.form.nextInFocusChain();
    while (first != &f.form && !(first->focusPolicy() & Qt::TabFocus && first->isVisibleTo(&f.form)))
        first = first->nextInFocusChain();
    EXPECT_EQ(first, f.BitBtn1);
}

TEST(Window, EnterAndSpaceClickTheFocusedButton)
{
    FormOnDisc fx;
    TForm1::Inside& f = fx.Build();
    f.form.show();
    SendKey(f.BitBtn1, Qt::Key_Return);
    EXPECT_EQ(f.S.SlidesActive, 1);
    SendKey(f.BitBtn1, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(f.S.SlidesActive, 0);
    SendKey(f.BitBtn6, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
    EXPECT_EQ(f.S.HelpActive, 1);
    // Enter in the lyrics view inserts nothing.
    f.RichEdit2->setPlainText(QStringLiteral("ab"));
    SendKey(f.RichEdit2, Qt::Key_Return);
    EXPECT_EQ(f.RichEdit2->toPlainText(), QStringLiteral("ab"));
}

TEST(Window, ResizingLeavesTheClientAreaAndEditingALabelTouchesNoFile)
{
    FormOnDisc fx;
    TForm1::Inside& f = fx.Build();
    f.form.resize(900, 700);
    EXPECT_EQ(f.form.size(), QSize(688, 449));
    f.form.showMaximized();
    QApplication::processEvents();
    EXPECT_EQ(f.form.size(), QSize(688, 449));

    QTreeWidgetItem* album = f.TreeView1->topLevelItem(0);
    EXPECT_TRUE(album->flags() & Qt::ItemIsEditable);
    album->setText(0, QStringLiteral("Renamed"));
    EXPECT_TRUE(QDir(fx.disc.Path(QStringLiteral("sound/A"))).exists());
    EXPECT_FALSE(QDir(fx.disc.Path(QStringLiteral("sound/Renamed"))).exists());
}

TEST(Window, VisualStyleShowsTheWindowColourClassicDrawingFillsFrameAndPanels)
{
    const auto colourAt = [](QWidget* w, QPoint p) { return w->grab().toImage().pixelColor(p); };
    const QColor sky(166, 202, 240);
    {
        FormOnDisc fx;
        TForm1::Inside& f = fx.Build();
        f.form.show();
        EXPECT_FALSE(f.form.ClassicDrawing());
        EXPECT_EQ(colourAt(f.RadioGroup1, {60, 200}), sky);
        EXPECT_EQ(colourAt(f.Panel1, {5, 5}), sky);
    }
    const QString style = QApplication::style()->name();
    QApplication::setStyle(QStringLiteral("windows"));
    {
        FormOnDisc fx;
        TForm1::Inside& f = fx.Build();
        f.form.show();
        f.Panel2->setVisible(true);
        EXPECT_TRUE(f.form.ClassicDrawing());
        EXPECT_EQ(colourAt(f.RadioGroup1, {60, 200}), QColor(192, 220, 192));
        EXPECT_EQ(colourAt(f.Panel1, {5, 5}), ToQColor(clInfoBk, f.Panel1->palette()));
        EXPECT_EQ(colourAt(f.Panel2, {5, 5}), QColor(192, 192, 192));
    }
    QApplication::setStyle(style);
}

// Caption buttons, their base width and their highlighted width (0: never
// highlighted).
struct CaptionRow {
    const char* name;
    int base;
    int highlighted;
};

const CaptionRow kCaptions[] = {
    {"BitBtn1", 97, 130}, {"BitBtn2", 113, 129}, {"BitBtn3", 81, 129}, {"BitBtn4", 81, 129},
    {"BitBtn5", 97, 130}, {"BitBtn6", 113, 129}, {"BitBtn7", 97, 0},   {"Button1", 53, 0},
    {"Button2", 57, 0},   {"Button3", 109, 0},   {"Button4", 113, 0},  {"Button5", 113, 0},
};

// Empty when the caption fits its button as it is now: every letter comes
// from the button's own face (no wider stand-in) and the label lies within
// the area the style lays it out in.
std::string CaptionMisfit(QPushButton* b)
{
    const QFont font = b->font();
    const QRawFont face = QRawFont::fromFont(font);
    QString text = b->text();
    text.remove(QLatin1Char('&'));
    for (QChar c : text) {
        if (!c.isSpace() && !face.supportsCharacter(c))
            return "no '" + QString(c).toStdString() + "' in " + face.familyName().toStdString();
    }
    QStyleOptionButton option;
    option.initFrom(b);
    option.text = b->text();
    const QRect area = b->style()->subElementRect(QStyle::SE_PushButtonContents, &option, b);
    // The label is centred in that area; its letters must lie inside the button.
    const QFontMetrics metrics(font);
    const int width = metrics.size(Qt::TextShowMnemonic, b->text()).width();
    const QRect ink = metrics.tightBoundingRect(text);
    const double baseline =
        area.top() + (area.height() - metrics.ascent() - metrics.descent()) / 2.0 + metrics.ascent();
    if (width > area.width() || baseline + ink.top() < 0 || baseline + ink.bottom() >= b->height())
        return std::to_string(width) + " wide label, letters from " + std::to_string(baseline + ink.top()) + " to " +
               std::to_string(baseline + ink.bottom()) + ", in a " + std::to_string(area.width()) + " wide area of a " +
               std::to_string(b->width()) + "x" + std::to_string(b->height()) + " button";
    return {};
}

TEST(Window, EveryCaptionFitsItsButtonInEveryWidthAndStyle)
{
    InstallFaces();
    const QString style = QApplication::style()->name();
    for (const QString& use : {style, QStringLiteral("windows")}) {
        QApplication::setStyle(use);
        FormOnDisc fx;
        TForm1::Inside& f = fx.Build();
        f.form.show();
        for (const CaptionRow& row : kCaptions) {
            auto* b = f.form.findChild<QPushButton*>(QString::fromLatin1(row.name));
            ASSERT_NE(b, nullptr) << row.name;
            const std::string where = use.toStdString() + " " + row.name;
            ASSERT_EQ(b->width(), row.base) << where;
            EXPECT_EQ(CaptionMisfit(b), "") << where << " base";
            if (row.highlighted) {
                b->click();
                ASSERT_EQ(b->width(), row.highlighted) << where;
                EXPECT_EQ(CaptionMisfit(b), "") << where << " highlighted";
                b->click();
            }
        }
    }
    QApplication::setStyle(style);
}

// Where the system's own face makes a caption too wide (Windows' Comic Sans
// MS may), that button takes the carried face; the others keep theirs.
TEST(Window, CaptionTooWideInTheSystemsFaceTakesTheCarriedOne)
{
    InstallFaces();
    FormOnDisc fx;
    TForm1::Inside& f = fx.Build();
    f.form.show();
    QPushButton* wide = f.form.findChild<QPushButton*>(QStringLiteral("BitBtn2"));
    const QFont named = wide->font();
    // A wide face with Cyrillic letters stands in for a wide system face.
    const int id = QFontDatabase::addApplicationFont(QStringLiteral(TAVELO_WIDE_FACE));
    ASSERT_GE(id, 0) << TAVELO_WIDE_FACE;
    QFont font = named;
    font.setFamily(QFontDatabase::applicationFontFamilies(id).value(0));
    const QString tooWide = font.family();
    wide->setFont(font);
    ASSERT_NE(CaptionMisfit(wide), "") << tooWide.toStdString() << " fits: the test needs a wider face";
    KeepCaptionsInside(f.form);
    EXPECT_EQ(CaptionMisfit(wide), "") << tooWide.toStdString();
    EXPECT_NE(wide->font().family(), tooWide);
    EXPECT_EQ(f.form.findChild<QPushButton*>(QStringLiteral("BitBtn1"))->font().family(), named.family());
}

TEST(ApplicationTitle, FromTheProgramFileName)
{
    EXPECT_EQ(ApplicationTitleFromFileName(QStringLiteral("/media/cd/SETUP.EXE")), QStringLiteral("Setup"));
    EXPECT_EQ(ApplicationTitleFromFileName(QStringLiteral("C:\\x\\Disc.Menu.exe")), QStringLiteral("Disc"));
    EXPECT_EQ(ApplicationTitleFromFileName(QStringLiteral("/usr/bin/tavelo")), QStringLiteral("tavelo"));
    EXPECT_EQ(ApplicationTitleFromFileName(QStringLiteral("ДИСК.exe")), QStringLiteral("Диск"));
    EXPECT_EQ(ApplicationTitleFromFileName(QString(300, QLatin1Char('a'))).size(), 255);
}

TEST(Timer, SameValueChangesNothingDifferentValueRestarts)
{
    int ticks = 0;
    TTimer t(10000, false);
    t.SetOnTimer([&] { ++ticks; });
    EXPECT_FALSE(t.Running());
    t.SetEnabled(true);
    EXPECT_TRUE(t.Running());
    QThread::msleep(30);
    const int before = t.RemainingTime();
    t.SetEnabled(true);  // same value: the interval under way goes on
    EXPECT_LE(t.RemainingTime(), before);
    t.SetInterval(20000);  // a new value starts a fresh full interval
    EXPECT_GT(t.RemainingTime(), 10000);
    t.SetInterval(0);
    EXPECT_FALSE(t.Running()) << "no ticks with interval 0";
    t.SetInterval(5);
    QElapsedTimer clock;
    clock.start();
    while (ticks == 0 && clock.elapsed() < 2000)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_GT(ticks, 0);
    t.SetEnabled(false);
    EXPECT_FALSE(t.Running());
}

TEST(Timer, ATickThatFailsIsReportedAndTheProgramGoesOn)
{
    ErrorRecorder rec;
    InstallErrorReport(&rec);
    int ticks = 0;
    TTimer t(5, true);
    t.SetOnTimer([&] {
        ++ticks;
        throw ETreeViewError(QStringLiteral("Invalid index"));
    });
    QElapsedTimer clock;
    clock.start();
    while (ticks < 2 && clock.elapsed() < 2000)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    InstallErrorReport(nullptr);
    EXPECT_GE(ticks, 2);
    ASSERT_GE(rec.seen.size(), 2);
    EXPECT_EQ(rec.seen[0], QStringLiteral("Invalid index."));
}

TEST(Timer, ATickNeverRunsInsideAnotherTickOfTheSameTimer)
{
    int ticks = 0, depth = 0, deepest = 0;
    TTimer t(5, true);
    t.SetOnTimer([&] {
        ++ticks;
        deepest = std::max(deepest, ++depth);
        if (ticks == 1) {
            // An error box's own loop keeps delivering ticks meanwhile.
            QElapsedTimer box;
            box.start();
            while (box.elapsed() < 60)
                QApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        --depth;
    });
    QElapsedTimer clock;
    clock.start();
    while (ticks < 2 && clock.elapsed() < 2000)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    t.SetEnabled(false);
    EXPECT_GE(ticks, 2);
    EXPECT_EQ(deepest, 1);
}

namespace {
// Boxes that "open" at once; what the test does while one is open runs inside.
struct ScriptedBoxes : MessageBoxReport {
    ScriptedBoxes() : MessageBoxReport(QStringLiteral("Tavelo")) {}
    QStringList shown;
    int open = 0, deepest = 0;
    std::function<void(const QString&)> whileOpen;
    void ShowBox(const QString& m) override
    {
        shown << m;
        deepest = std::max(deepest, ++open);
        if (whileOpen)
            whileOpen(m);
        --open;
    }
};
}  // namespace

TEST(ErrorReport, ErrorsWhileABoxIsOpenFollowInOrderOnceEachAndBounded)
{
    ScriptedBoxes r;
    r.whileOpen = [&](const QString& m) {
        if (m == QLatin1String("first.")) {
            for (const char* e : {"second.", "first.", "second.", "third."})
                r.Report(QString::fromLatin1(e));
        }
        if (m == QLatin1String("second."))
            r.Report(QStringLiteral("first."));  // shown already in this run
    };
    r.Report(QStringLiteral("first."));
    EXPECT_EQ(r.shown, (QStringList{"first.", "second.", "third."}));
    EXPECT_EQ(r.deepest, 1) << "one box at a time";

    // A failure with a new text at every tick cannot build an endless series.
    r.shown.clear();
    int n = 0;
    r.whileOpen = [&](const QString&) {
        for (int i = 0; i < 20; ++i)
            r.Report(QString::number(n++));
    };
    r.Report(QStringLiteral("start"));
    EXPECT_EQ(r.shown.size(), MessageBoxReport::kMaxBoxes);

    // After the run the same text gets its box again.
    r.shown.clear();
    r.whileOpen = nullptr;
    r.Report(QStringLiteral("first."));
    EXPECT_EQ(r.shown, QStringList{"first."});
}

TEST(StartUp, SongsWaitUntilTheWindowIsPainted)
{
    FormOnDisc fx;
    TForm1::Inside& f = fx.Build(false);
    const auto songs = [&] { return f.TreeView1->topLevelItem(0)->childCount(); };
    const auto wait = [](int ms, const std::function<bool()>& done) {
        QElapsedTimer clock;
        clock.start();
        while (!done() && clock.elapsed() < ms)
            QApplication::processEvents(QEventLoop::AllEvents, 10);
    };
    // A start-up slower than Timer2's interval: its tick falls due before
    // the window is shown.
    wait(300, [] { return false; });
    EXPECT_EQ(songs(), 0);

    struct PaintSpy : QObject {
        std::function<void()> onPaint;
        bool eventFilter(QObject*, QEvent* e) override
        {
            if (e->type() == QEvent::Paint && onPaint)
                onPaint();
            return false;
        }
    } spy;
    int songsAtFirstPaint = -1;
    spy.onPaint = [&] {
        if (songsAtFirstPaint < 0)
            songsAtFirstPaint = songs();
    };
    f.form.installEventFilter(&spy);
    f.form.show();
    wait(3000, [&] { return songs() == 2; });
    f.form.removeEventFilter(&spy);
    EXPECT_EQ(songsAtFirstPaint, 0) << "the window is painted with the albums alone";
    EXPECT_EQ(songs(), 2);
    EXPECT_FALSE(f.Timer2.Enabled());
}

TEST(Window, TeardownReachesNoHandler)
{
    // An in-place edit still open when the window goes commits while the
    // catalogue is destroyed; the song handler must not run on a half-gone form.
    FormOnDisc fx;
    TForm1::Inside& f = fx.Build();
    f.form.show();
    QTreeWidgetItem* song = f.TreeView1->topLevelItem(0)->child(0);
    f.TreeView1->setCurrentItem(song);
    int emitted = 0;
    QObject::connect(f.TreeView1, &QTreeWidget::itemChanged, [&] { ++emitted; });
    QApplication::setActiveWindow(&f.form);
    f.TreeView1->editItem(song);
    QApplication::processEvents();
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("2"));
    fx.errors.seen.clear();
    fx.Destroy();
    EXPECT_EQ(emitted, 1) << "the edit was committed during teardown";
    EXPECT_TRUE(fx.errors.seen.isEmpty());
}
