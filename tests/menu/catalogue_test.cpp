// The song catalogue and song selection.

#include "media/text_view.h"
#include "tests/media/xdg_tree.h"
#include "tests/menu/form_fixture.h"

#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace tavelo;
using namespace tavelo::test;

namespace {

const bool kXdgApplied = (XdgTree::ForThisProcess(), true);

QStringList Flat(QTreeWidget* tree)
{
    QStringList out;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        QTreeWidgetItem* top = tree->topLevelItem(i);
        out << top->text(0);
        for (int j = 0; j < top->childCount(); ++j)
            out << QStringLiteral("  ") + top->child(j)->text(0);
    }
    return out;
}

void Select(TForm1& f, int album, int song)
{
    QTreeWidgetItem* node = f.TreeView1->topLevelItem(album);
    if (song >= 0)
        node = node->child(song);
    f.TreeView1->setCurrentItem(node);
}

}  // namespace

TEST(Catalogue, AlbumsAtStartSongsAtTheFirstTick)
{
    FormOnDisc fx;
    fx.disc.MakeDir(QStringLiteral("sound/B/bonus folder"));
    TForm1& f = fx.Build(false);
    EXPECT_EQ(Flat(f.TreeView1), (QStringList{"A", "B"}));
    f.Timer2Timer();
    EXPECT_EQ(Flat(f.TreeView1), (QStringList{"A", "  1", "  2", "B", "  bonus folder", "  3"}));
    EXPECT_FALSE(f.Timer2.Enabled());
    EXPECT_EQ(f.S.SongsBefore, 2);
    EXPECT_EQ(f.S.AlbumSongCount, 2);
    EXPECT_TRUE(fx.errors.seen.isEmpty());
}

TEST(Catalogue, AFileInTheSoundFolderIsReportedAndLaterAlbumsStillGetTheirSongs)
{
    FormOnDisc fx;
    fx.disc.Write(QStringLiteral("sound/AA.mp3"), "x");  // sorts between A and B
    TForm1& f = fx.Build();
    EXPECT_EQ(Flat(f.TreeView1), (QStringList{"A", "  1", "  2", "B", "  3", "AA"}));
    ASSERT_EQ(fx.errors.seen.size(), 1);
    EXPECT_EQ(fx.errors.seen[0], QStringLiteral("Error setting path: \"%1\\sound\\AA\\\"").arg(f.S.BaseDir));
    EXPECT_FALSE(f.Timer2.Enabled());
}

TEST(Catalogue, NoSoundEntriesOrNoSoundFolder)
{
    {
        FormOnDisc fx;
        QDir(fx.disc.Path(QStringLiteral("sound"))).removeRecursively();
        fx.disc.MakeDir(QStringLiteral("sound"));
        TForm1& f = fx.Build();
        EXPECT_EQ(f.TreeView1->topLevelItemCount(), 0);
        EXPECT_FALSE(f.Timer2.Enabled());
        EXPECT_TRUE(fx.errors.seen.isEmpty());
    }
    {
        FormOnDisc fx;
        QDir(fx.disc.Path(QStringLiteral("sound"))).removeRecursively();
        TForm1& f = fx.Build();
        EXPECT_EQ(f.TreeView1->topLevelItemCount(), 0);
        EXPECT_FALSE(f.Timer2.Enabled());
        EXPECT_EQ(fx.errors.seen.size(), 1);
        EXPECT_EQ(f.S.SlideEntryCount, 4) << "the slide count does not depend on the sound folder";
    }
}

TEST(Songs, SelectingLoadsLyricsAndStartsEachSongOnce)
{
    FormOnDisc fx;
    TForm1& f = fx.Build();
    const XdgTree& xdg = XdgTree::ForThisProcess();
    xdg.ClearLaunches();

    Select(f, 0, -1);
    EXPECT_TRUE(f.RichEdit2->toPlainText().isEmpty()) << "albums do nothing";
    EXPECT_TRUE(f.FileRun1.Directory.isEmpty());

    Select(f, 0, 0);
    EXPECT_EQ(f.RichEdit2->toPlainText(), QStringLiteral("Lyrics one"));
    EXPECT_EQ(f.FileRun1.Directory, QStringLiteral("sound\\A\\1.mp3"));
    EXPECT_FALSE(f.FileRun1.Enabled);
    auto launches = xdg.WaitForLaunches(1);
    ASSERT_EQ(launches.size(), 1);
    EXPECT_TRUE(launches[0].args.last().endsWith(QStringLiteral("sound/A/1.mp3")));

    // Evaluating the same selection again reloads the lyrics only.
    f.RichEdit2->setPlainText(QStringLiteral("typed"));
    f.TreeView1GetSelectedIndex();
    EXPECT_EQ(f.RichEdit2->toPlainText(), QStringLiteral("Lyrics one"));
    Select(f, 1, 0);
    Select(f, 0, 0);
    launches = xdg.WaitForLaunches(3);
    ASSERT_EQ(launches.size(), 3) << "3 under B, then 1 again";
    // The two players start side by side; which records first is theirs to race.
    QStringList later{launches[1].args.last().right(13), launches[2].args.last().right(13)};
    later.sort();
    EXPECT_EQ(later, (QStringList{QStringLiteral("sound/A/1.mp3"), QStringLiteral("sound/B/3.mp3")}));
    EXPECT_TRUE(fx.errors.seen.isEmpty()) << fx.errors.seen.join(QLatin1Char('\n')).toStdString();
}

TEST(Songs, RenamedNodeUsesItsNewTextAndMissingLyricsStillPlay)
{
    FormOnDisc fx;
    fx.disc.Write(QStringLiteral("sound/A/9.mp3"), QByteArray("ID3\x03") + QByteArray(60, '\0'));
    TForm1& f = fx.Build();
    const XdgTree& xdg = XdgTree::ForThisProcess();
    xdg.ClearLaunches();

    Select(f, 0, 1);
    EXPECT_EQ(f.RichEdit2->toPlainText(), QStringLiteral("Lyrics two"));
    // Renaming the selected node in place re-evaluates it: 9 has no lyrics.
    f.TreeView1->topLevelItem(0)->child(1)->setText(0, QStringLiteral("9"));
    EXPECT_EQ(f.FileRun1.Directory, QStringLiteral("sound\\A\\9.mp3"));
    EXPECT_EQ(f.RichEdit2->toPlainText(), QStringLiteral("Lyrics two")) << "view keeps what it showed";
    ASSERT_EQ(fx.errors.seen.size(), 1);
    EXPECT_EQ(fx.errors.seen[0], QStringLiteral("Cannot open file \"%1/text/A/9.txt\". No such file or directory.").arg(fx.disc.Root()));
    const auto launches = xdg.WaitForLaunches(2);
    ASSERT_EQ(launches.size(), 2);
    EXPECT_TRUE(launches[0].args.last().endsWith(QStringLiteral("sound/A/9.mp3")) ||
                launches[1].args.last().endsWith(QStringLiteral("sound/A/9.mp3")));
    // Nothing on the disc was renamed.
    EXPECT_TRUE(QFile::exists(fx.disc.Path(QStringLiteral("sound/A/2.mp3"))));
}

TEST(Songs, RefusedLaunchIsReportedOnceAndNotRetried)
{
    FormOnDisc fx;
    TForm1& f = fx.Build();
    QFile::remove(fx.disc.Path(QStringLiteral("sound/A/1.mp3")));
    Select(f, 0, 0);
    ASSERT_EQ(fx.errors.seen.size(), 1);
    EXPECT_TRUE(fx.errors.seen[0].contains(QStringLiteral("No such file or directory"))) << fx.errors.seen[0].toStdString();
    EXPECT_EQ(f.FileRun1.Directory, QStringLiteral("sound\\A\\1.mp3"));
    EXPECT_EQ(f.RichEdit2->toPlainText(), QStringLiteral("Lyrics one"));
    f.TreeView1GetSelectedIndex();
    EXPECT_EQ(fx.errors.seen.size(), 1);

    // Neither lyrics nor song: both are reported, the lyrics first.
    QFile::remove(fx.disc.Path(QStringLiteral("sound/A/2.mp3")));
    QFile::remove(fx.disc.Path(QStringLiteral("text/A/2.txt")));
    Select(f, 0, 1);
    ASSERT_EQ(fx.errors.seen.size(), 3);
    EXPECT_TRUE(fx.errors.seen[1].startsWith(QStringLiteral("Cannot open file \""))) << fx.errors.seen[1].toStdString();
    EXPECT_TRUE(fx.errors.seen[2].contains(QStringLiteral("2.mp3"))) << fx.errors.seen[2].toStdString();
}
