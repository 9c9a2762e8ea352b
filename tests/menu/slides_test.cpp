// The slide show and start-up.

#include "media/image_box.h"
#include "media/text_view.h"
#include "tests/media/private_desktop.h"
#include "tests/menu/form_fixture.h"

#include <QTreeWidget>

#include <QDir>

#include <gtest/gtest.h>

using namespace tavelo;
using namespace tavelo::test;

namespace {

const bool kDesktopApplied = (PrivateDesktop::ForThisProcess(), true);

// Which of the three fixture slides a picture is: 1 red, 2 green, 3 blue.
int SlideShown(TForm1::Inside& f)
{
    const unsigned c = CentreColour(f.Image1->Picture());
    if (Near(c, kRed))
        return 1;
    if (Near(c, kGreen))
        return 2;
    if (Near(c, kBlue))
        return 3;
    return 0;
}

std::vector<int> Steps(TForm1::Inside& f, QPushButton* button, int n)
{
    std::vector<int> shown;
    for (int i = 0; i < n; ++i) {
        button->click();
        shown.push_back(SlideShown(f));
        EXPECT_EQ(f.S.SlideIndex, shown.back());
    }
    return shown;
}

}  // namespace

TEST(SlideShow, NextAndPreviousWrapInBothDirections)
{
    FormOnDisc fx;
    TForm1::Inside& f = fx.Build();
    EXPECT_EQ(SlideShown(f), 1) << "first slide at start-up";
    EXPECT_EQ(f.S.SlideEntryCount, 4);
    f.BitBtn1->click();
    EXPECT_EQ(Steps(f, f.Button2, 4), (std::vector<int>{2, 3, 1, 2}));
    EXPECT_EQ(Steps(f, f.Button1, 4), (std::vector<int>{1, 3, 2, 1}));
    // Previous wrapped from 1 to 3; Next now shows 1.
    EXPECT_EQ(Steps(f, f.Button1, 1), std::vector<int>{3});
    EXPECT_EQ(Steps(f, f.Button2, 1), std::vector<int>{1});
    // Every change pauses 200 ms.
    EXPECT_EQ(fx.pauses, std::vector<int>(10, 200));
    EXPECT_TRUE(fx.errors.seen.isEmpty());

    // Re-entering Slides shows the start-up picture but keeps the position.
    f.BitBtn1->click();
    fx.disc.WriteJpeg(QStringLiteral("picture/1 red.jpg"), 64, 48, kCyan);
    f.Button2->click();
    f.Button2->click();
    f.BitBtn1->click();
    EXPECT_EQ(SlideShown(f), 1) << "the start-up decode, not the changed file";
    f.Button2->click();
    EXPECT_EQ(f.S.SlideIndex, 1);
    EXPECT_TRUE(Near(CentreColour(f.Image1->Picture()), kCyan)) << "navigation decodes afresh";
}

TEST(SlideShow, OnePictureAndSubfoldersAreNotSlides)
{
    FormOnDisc fx;
    QFile::remove(fx.disc.Path(QStringLiteral("picture/2 green.jpg")));
    QFile::remove(fx.disc.Path(QStringLiteral("picture/10 blue.jpg")));
    fx.disc.WriteJpeg(QStringLiteral("picture/extra/inner.jpg"), 8, 8, kBlue);
    TForm1::Inside& f = fx.Build();
    EXPECT_EQ(f.S.SlideEntryCount, 2);
    f.BitBtn1->click();
    EXPECT_EQ(Steps(f, f.Button2, 2), (std::vector<int>{1, 1}));
    EXPECT_EQ(Steps(f, f.Button1, 2), (std::vector<int>{1, 1}));
    EXPECT_TRUE(fx.errors.seen.isEmpty()) << fx.errors.seen.join(QLatin1Char('\n')).toStdString();
}

TEST(SlideShow, CorruptSlideKeepsThePreviousPictureAndTheNewIndex)
{
    FormOnDisc fx;
    fx.disc.Write(QStringLiteral("picture/2 green.jpg"), "not a jpeg");
    TForm1::Inside& f = fx.Build();
    f.BitBtn1->click();
    f.Button2->click();
    EXPECT_EQ(f.S.SlideIndex, 2);
    EXPECT_EQ(SlideShown(f), 1);
    ASSERT_EQ(fx.errors.seen.size(), 1);
    EXPECT_EQ(fx.errors.seen[0], QStringLiteral("JPEG error #53."));
    EXPECT_EQ(f.ShellTreeView2.Root(), f.S.BaseDir + QStringLiteral("\\picture\\"));
    f.Button2->click();
    EXPECT_EQ(SlideShown(f), 3);
}

TEST(SlideShow, ListedNamesOpenExactlyTheFileListed)
{
    TAVELO_SKIP_WITHOUT_POSIX_NAMES();
    FormOnDisc fx;
    // A name holding backslashes that would climb to help/evil.jpg, and two
    // names that are not UTF-8 and differ in one byte.
    fx.disc.MakeDir(QStringLiteral("picture/zz"));
    fx.disc.WriteJpeg(QStringLiteral("picture/evil.jpg"), 8, 8, kCyan);
    RenameToBytes(fx.disc, QStringLiteral("picture/evil.jpg"), "picture/zz\\..\\..\\help\\evil.jpg");
    fx.disc.WriteJpeg(QStringLiteral("help/evil.jpg"), 8, 8, kCyan);
    fx.disc.WriteJpeg(QStringLiteral("picture/fe.jpg"), 8, 8, kYellow);
    RenameToBytes(fx.disc, QStringLiteral("picture/fe.jpg"), "picture/\xFE.jpg");
    fx.disc.WriteJpeg(QStringLiteral("picture/ff.jpg"), 8, 8, kMagenta);
    RenameToBytes(fx.disc, QStringLiteral("picture/ff.jpg"), "picture/\xFF.jpg");
    TForm1::Inside& f = fx.Build();
    ASSERT_EQ(f.S.SlideEntryCount, 7);
    f.BitBtn1->click();
    for (int i = 0; i < 3; ++i)
        f.Button2->click();
    EXPECT_EQ(SlideShown(f), 3) << "the climbing name opens nothing";
    ASSERT_EQ(fx.errors.seen.size(), 1);
    EXPECT_EQ(fx.errors.seen[0],
              QStringLiteral("Cannot open file \"%1/picture/zz\\..\\..\\help\\evil.jpg\". No such file or directory.")
                  .arg(f.S.BaseDir));
    f.Button2->click();
    EXPECT_TRUE(Near(CentreColour(f.Image1->Picture()), kYellow));
    f.Button2->click();
    EXPECT_TRUE(Near(CentreColour(f.Image1->Picture()), kMagenta));
    EXPECT_EQ(fx.errors.seen.size(), 1);
}

TEST(SlideShow, AutomaticShowRunsUntilAnActivationOrExit)
{
    FormOnDisc fx;
    TForm1::Inside& f = fx.Build();
    f.BitBtn1->click();
    f.Button3->click();
    EXPECT_TRUE(f.Button3->font().underline());
    EXPECT_TRUE(f.Timer3.Enabled());
    EXPECT_EQ(f.Timer3.Interval(), 4000);
    EXPECT_TRUE(f.Timer3.Running());
    EXPECT_GT(f.Timer3.RemainingTime(), 3000) << "a full interval from the click";

    // Un-highlighting Slides hides the controls but the show goes on.
    f.BitBtn1->click();
    EXPECT_TRUE(f.Button1->isHidden());
    EXPECT_TRUE(f.Timer3.Enabled());
    f.Timer3Timer();
    EXPECT_EQ(SlideShown(f), 2);

    // Any activation stops it, Slides included.
    f.BitBtn1->click();
    EXPECT_FALSE(f.Timer3.Enabled());
    EXPECT_FALSE(f.Button3->font().underline());
    EXPECT_EQ(f.S.AutoShowOn, 0);

    f.Button3->click();
    f.Button3->click();
    EXPECT_FALSE(f.Timer3.Enabled()) << "second click stops the show";
}

TEST(StartUp, EachGroupFailsAlone)
{
    {
        FormOnDisc fx;
        QFile::remove(fx.disc.Path(QStringLiteral("about group/about.txt")));
        TForm1::Inside& f = fx.Build();
        ASSERT_EQ(fx.errors.seen.size(), 1);
        EXPECT_TRUE(fx.errors.seen[0].startsWith(QStringLiteral("Cannot open file")));
        EXPECT_EQ(f.TreeView1->topLevelItemCount(), 2) << "albums still listed";
        EXPECT_EQ(f.S.SlideEntryCount, 4);
        EXPECT_EQ(SlideShown(f), 1);
    }
    {
        FormOnDisc fx;
        QDir(fx.disc.Path(QStringLiteral("picture"))).removeRecursively();
        TForm1::Inside& f = fx.Build();
        ASSERT_EQ(fx.errors.seen.size(), 1) << "one box for a missing picture folder";
        EXPECT_EQ(fx.errors.seen[0], QStringLiteral("Error setting path: \"%1\\picture\\\"").arg(f.S.BaseDir));
        EXPECT_TRUE(f.Image1->Picture().isNull());
        EXPECT_EQ(f.RichEdit1->toPlainText(), QStringLiteral("The band."));
        EXPECT_EQ(f.TreeView1->topLevelItemCount(), 2);
        EXPECT_EQ(f.TreeView1->topLevelItem(0)->childCount(), 2);
        EXPECT_EQ(f.S.SlideEntryCount, 0);
        // The window still works.
        f.BitBtn6->click();
        EXPECT_EQ(f.RichEdit2->toPlainText(), QStringLiteral("Help text."));
    }
    {
        FormOnDisc fx;
        QDir(fx.disc.Path(QStringLiteral("picture"))).removeRecursively();
        fx.disc.MakeDir(QStringLiteral("picture"));
        TForm1::Inside& f = fx.Build();
        ASSERT_EQ(fx.errors.seen.size(), 1);
        EXPECT_EQ(fx.errors.seen[0], QStringLiteral("Invalid index."));
        EXPECT_EQ(f.TreeView1->topLevelItemCount(), 2);
        // No slides: Previous and Next have nothing to show, and no made-up name.
        f.BitBtn1->click();
        f.Button1->click();
        f.Button2->click();
        EXPECT_EQ(fx.errors.seen, QStringList(3, QStringLiteral("Invalid index.")));
    }
}

TEST(StartUp, BaseDirIsTheLowerCasedCurrentDirectoryAndListersEndWhereExpected)
{
    FormOnDisc fx;
    TForm1::Inside& f = fx.Build(false);
    EXPECT_EQ(f.S.BaseDir, QDir::toNativeSeparators(fx.disc.Root()).toLower());
    EXPECT_EQ(f.S.SlideIndex, 1);
    EXPECT_EQ(f.ShellTreeView2.Root(), f.S.BaseDir + QStringLiteral("\\picture\\"));
    EXPECT_EQ(f.ShellTreeView1.Root(), f.S.BaseDir + QStringLiteral("\\sound\\"));
    EXPECT_EQ(f.S.SoundRoot, f.ShellTreeView1.Root());
    EXPECT_TRUE(f.Timer2.Enabled());
    EXPECT_EQ(f.Timer2.Interval(), 100);
    EXPECT_FALSE(f.Timer3.Enabled());
    EXPECT_EQ(f.TreeView1->topLevelItem(0)->childCount(), 0) << "songs come with the first tick";
}
