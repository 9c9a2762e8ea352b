// The section menu and the pages: highlight, resets, page tails, Exit.

#include "media/image_box.h"
#include "media/text_view.h"
#include "tests/media/private_desktop.h"
#include "tests/menu/form_fixture.h"

#include <QPushButton>

#include <gtest/gtest.h>

using namespace tavelo;
using namespace tavelo::test;

namespace {

// GLib must see the private desktop before its first use in this process.
const bool kDesktopApplied = (PrivateDesktop::ForThisProcess(), true);

enum Section { Slides, Lyrics, Group, DiscPage, Player, Help, SectionCount };

struct Snapshot {
    std::vector<int> widths;
    std::vector<bool> blue;
    std::vector<bool> visible;  // Image1, Image2, RichEdit1, RichEdit2, Panel2, Button1..5
    std::vector<int> flags;
    bool operator==(const Snapshot&) const = default;
};

std::vector<QPushButton*> SectionButtons(TForm1::Inside& f)
{
    return {f.BitBtn1, f.BitBtn2, f.BitBtn3, f.BitBtn4, f.BitBtn5, f.BitBtn6};
}

Snapshot Take(TForm1::Inside& f)
{
    Snapshot s;
    for (QPushButton* b : SectionButtons(f)) {
        s.widths.push_back(b->width());
        s.blue.push_back(b->palette().color(QPalette::ButtonText) == QColor(0, 0, 255));
    }
    for (QWidget* w : std::initializer_list<QWidget*>{f.Image1, f.Image2, f.RichEdit1, f.RichEdit2, f.Panel2, f.Button1,
                                                      f.Button2, f.Button3, f.Button4, f.Button5})
        s.visible.push_back(!w->isHidden());
    const TProgramState& st = f.S;
    s.flags = {st.SlidesActive,    st.LyricsActive,       st.GroupActive, st.DiscActive,     st.PlayerActive,
               st.HelpActive,      st.SlideControlsShown, st.LyricsShown, st.GroupPageShown, st.DiscTextShown,
               st.PlayerPageShown, st.HelpTextShown,      st.AutoShowOn};
    return s;
}

void PrintTo(const Snapshot& s, std::ostream* os)
{
    *os << "widths";
    for (int w : s.widths)
        *os << ' ' << w;
    *os << " blue";
    for (bool b : s.blue)
        *os << ' ' << b;
    *os << " visible";
    for (bool b : s.visible)
        *os << ' ' << b;
    *os << " flags";
    for (int v : s.flags)
        *os << ' ' << v;
}

void Click(TForm1::Inside& f, Section s)
{
    // Through the button, so the guard and binding are exercised too.
    SectionButtons(f)[static_cast<size_t>(s)]->click();
}

// What the window shows with section s open, whatever was open before.
Snapshot Expected(Section s)
{
    const int base[] = {97, 113, 81, 81, 97, 113};
    const int active[] = {130, 129, 129, 129, 130, 129};
    Snapshot e;
    for (int i = 0; i < SectionCount; ++i) {
        e.widths.push_back(i == s ? active[i] : base[i]);
        e.blue.push_back(i == s);
    }
    //            Image1 Image2 RE1    RE2    Panel2 B1     B2     B3     B4     B5
    switch (s) {
    case Slides: e.visible = {true, false, false, false, true, true, true, true, false, false}; break;
    case Lyrics: e.visible = {true, false, false, true, false, false, false, false, false, false}; break;
    case Group: e.visible = {false, true, true, false, false, false, false, false, false, false}; break;
    case DiscPage: e.visible = {true, false, false, true, false, false, false, false, false, false}; break;
    case Player: e.visible = {true, false, false, false, true, false, false, false, true, true}; break;
    case Help: e.visible = {true, false, false, true, false, false, false, false, false, false}; break;
    default: break;
    }
    e.flags.assign(13, 0);
    e.flags[static_cast<size_t>(s)] = 1;
    e.flags[6 + static_cast<size_t>(s)] = 1;
    return e;
}

const char* Name(int s)
{
    static const char* names[] = {"Slides", "Lyrics", "Group", "Disc", "Player", "Help", "nothing"};
    return names[s];
}

}  // namespace

TEST(SectionMenu, EveryActivationFromEveryStateMatchesTheMatrix)
{
    FormOnDisc fx;
    TForm1::Inside& f = fx.Build();
    ASSERT_TRUE(fx.errors.seen.isEmpty()) << fx.errors.seen.join(QLatin1Char('\n')).toStdString();
    // From nothing open (previous = SectionCount) and from each section open.
    for (int from = SectionCount; from >= 0; --from) {
        for (int to = 0; to < SectionCount; ++to) {
            if (from == to)
                continue;
            if (from < SectionCount) {
                Click(f, static_cast<Section>(from));
                ASSERT_EQ(Take(f), Expected(static_cast<Section>(from))) << "opening " << Name(from);
            }
            Click(f, static_cast<Section>(to));
            EXPECT_EQ(Take(f), Expected(static_cast<Section>(to))) << Name(from) << " -> " << Name(to);
            Click(f, static_cast<Section>(to));  // close again: nothing open
            const Snapshot closed = Take(f);
            EXPECT_EQ(closed.flags, std::vector<int>(13, 0)) << "closing " << Name(to);
            EXPECT_EQ(closed.widths, (std::vector<int>{97, 113, 81, 81, 97, 113}));
        }
    }
    EXPECT_TRUE(fx.errors.seen.isEmpty()) << fx.errors.seen.join(QLatin1Char('\n')).toStdString();
}

TEST(SectionMenu, ClickingTwiceRestoresWidgetsAndFlags)
{
    FormOnDisc fx;
    TForm1::Inside& f = fx.Build();
    f.Image2->setVisible(false);  // empty at start; the resets hide it anyway
    const Snapshot before = Take(f);
    for (int s = 0; s < SectionCount; ++s) {
        Click(f, static_cast<Section>(s));
        Click(f, static_cast<Section>(s));
        EXPECT_EQ(Take(f), before) << Name(s);
    }
}

TEST(SectionMenu, LyricsWhileHelpIsOpen)
{
    FormOnDisc fx;
    TForm1::Inside& f = fx.Build();
    Click(f, Help);
    EXPECT_EQ(f.RichEdit2->toPlainText(), QStringLiteral("Help text."));
    Click(f, Lyrics);
    EXPECT_EQ(f.BitBtn6->width(), 113);
    EXPECT_EQ(f.BitBtn2->width(), 129);
    EXPECT_EQ(f.S.HelpTextShown, 0);
    // The lyrics view is the same view: it still holds the help text.
    EXPECT_FALSE(f.RichEdit2->isHidden());
    EXPECT_EQ(f.RichEdit2->toPlainText(), QStringLiteral("Help text."));
}

TEST(SectionMenu, ExitResetsTheMenuKeepsThePageThenPausesAndEnds)
{
    FormOnDisc fx;
    TForm1::Inside& f = fx.Build();
    Click(f, Slides);
    f.Button3->click();
    ASSERT_TRUE(f.Timer3.Enabled());
    Click(f, Help);
    f.S.AutoShowOn = 1;
    f.Timer3.SetEnabled(true);
    fx.pauses.clear();
    f.BitBtn7->click();
    EXPECT_EQ(fx.pauses, std::vector<int>{1000});
    EXPECT_EQ(fx.terminations, 1);
    EXPECT_EQ(f.BitBtn6->width(), 113);
    EXPECT_EQ(f.S.HelpActive, 0);
    EXPECT_FALSE(f.RichEdit2->isHidden()) << "the open page stays during the pause";
    EXPECT_EQ(f.S.HelpTextShown, 1);
    EXPECT_FALSE(f.Timer3.Enabled());
    EXPECT_FALSE(f.Button3->font().underline());
    EXPECT_FALSE(f.Image1->isHidden());
}

TEST(Pages, HelpThenDiscReplacesTheTextAndMissingTextKeepsTheButtonLit)
{
    FormOnDisc fx;
    TForm1::Inside& f = fx.Build();
    Click(f, Help);
    Click(f, DiscPage);
    EXPECT_EQ(f.RichEdit2->toPlainText(), QStringLiteral("The disc."));
    EXPECT_EQ(f.S.HelpActive, 0);
    Click(f, DiscPage);

    QFile::remove(fx.disc.Path(QStringLiteral("about disk/about.txt")));
    Click(f, DiscPage);
    ASSERT_EQ(fx.errors.seen.size(), 1);
    EXPECT_TRUE(fx.errors.seen[0].startsWith(
        QStringLiteral("Cannot open file \"%1/about disk/about.txt\". ").arg(fx.disc.Root())))
        << fx.errors.seen[0].toStdString();
    EXPECT_EQ(f.S.DiscActive, 1);
    EXPECT_EQ(f.BitBtn4->width(), 129);
    EXPECT_EQ(f.S.DiscTextShown, 0);
    EXPECT_TRUE(f.RichEdit2->isHidden());
    // The next click counts as closing: the highlight goes, the tail runs again.
    Click(f, DiscPage);
    EXPECT_EQ(f.S.DiscActive, 0);
    EXPECT_EQ(f.BitBtn4->width(), 81);
    EXPECT_EQ(fx.errors.seen.size(), 2);
}

TEST(Pages, GroupPhotoIsDecodedAtEveryOpening)
{
    FormOnDisc fx;
    TForm1::Inside& f = fx.Build();
    Click(f, Group);
    EXPECT_TRUE(Near(CentreColour(f.Image2->Picture()), kYellow));
    Click(f, Group);
    fx.disc.WriteJpeg(QStringLiteral("about group/00 band.jpg"), 80, 40, kCyan);
    Click(f, Group);
    EXPECT_TRUE(Near(CentreColour(f.Image2->Picture()), kCyan));
    EXPECT_EQ(f.RichEdit1->toPlainText(), QStringLiteral("The band."));
}

TEST(Pages, PlayerPageShowsItsPictureAndClosingShowsTheFirstSlideAfresh)
{
    FormOnDisc fx;
    TForm1::Inside& f = fx.Build();
    Click(f, Slides);
    f.Button2->click();
    EXPECT_TRUE(Near(CentreColour(f.Image1->Picture()), kGreen));
    Click(f, Player);
    EXPECT_TRUE(Near(CentreColour(f.Image1->Picture()), kMagenta));
    fx.disc.WriteJpeg(QStringLiteral("picture/1 red.jpg"), 64, 48, kCyan);
    Click(f, Player);
    EXPECT_TRUE(Near(CentreColour(f.Image1->Picture()), kCyan)) << "decoded afresh, not the start-up copy";
    // Another section closing the Player page leaves the player picture.
    Click(f, Player);
    Click(f, Help);
    EXPECT_TRUE(Near(CentreColour(f.Image1->Picture()), kMagenta));
    EXPECT_TRUE(fx.errors.seen.isEmpty());
}

TEST(Pages, PlayerButtonsOpenTheProgramsAndReportNothing)
{
    FormOnDisc fx;
    TForm1::Inside& f = fx.Build();
    const PrivateDesktop& xdg = PrivateDesktop::ForThisProcess();
    xdg.ClearLaunches();
    Click(f, Player);
    f.Button4->click();
    const auto launches = xdg.WaitForLaunches(1);
    ASSERT_EQ(launches.size(), 1);
#ifdef _WIN32
    // The shell starts the program itself (a copy of the recorder), in the
    // menu's own folder: the button names no working folder.
    EXPECT_EQ(launches[0].cwd.compare(fx.disc.Root(), Qt::CaseInsensitive), 0) << launches[0].cwd.toStdString();
#else
    ASSERT_FALSE(launches[0].args.isEmpty());
    EXPECT_TRUE(launches[0].args.last().endsWith(QStringLiteral("player/playersetup.exe")));
#endif
    QFile::remove(fx.disc.Path(QStringLiteral("player/player.exe")));
    f.Button5->click();
    EXPECT_TRUE(fx.errors.seen.isEmpty());
}
