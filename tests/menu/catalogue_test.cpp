// The song catalogue and song selection.

#include "media/text_view.h"
#include "tests/media/private_desktop.h"
#include "tests/menu/form_fixture.h"

#include "content/paths.h"

#include <QTreeWidget>

#include <stdexcept>

#include <gtest/gtest.h>

using namespace tavelo;
using namespace tavelo::test;

namespace {

const bool kDesktopApplied = (PrivateDesktop::ForThisProcess(), true);

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

void Select(TForm1::Inside& f, int album, int song)
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
    TForm1::Inside& f = fx.Build(false);
    EXPECT_EQ(Flat(f.TreeView1), (QStringList{"A", "B"}));
    f.Timer2Timer();
    EXPECT_EQ(Flat(f.TreeView1), (QStringList{"A", "  1", "  2", "B", "  bonus folder", "  3"}));
    EXPECT_FALSE(f.Timer2.Enabled());
    EXPECT_EQ(f.S.SongsBefore, 2);
    EXPECT_EQ(f.S.AlbumSongCount, 2);
    EXPECT_TRUE(fx.errors.seen.isEmpty());
}

TEST(Catalogue, EntriesThatCannotBeListedAreReportedAndLaterAlbumsStillGetTheirSongs)
{
    TAVELO_SKIP_WITHOUT_POSIX_NAMES();
    FormOnDisc fx;
    // A folder whose name holds a backslash sorts between A and B and cannot
    // be listed; a file in "sound" sorts after every folder.
    fx.disc.Write(QStringLiteral("sound/Ax/4.mp3"), "x");
    RenameToBytes(fx.disc, QStringLiteral("sound/Ax"), "sound/A\\x");
    fx.disc.Write(QStringLiteral("sound/AA.mp3"), "x");
    TForm1::Inside& f = fx.Build();
    const QString ax = DecodeName(QByteArray("A\\x"));
    EXPECT_EQ(Flat(f.TreeView1), (QStringList{"A", "  1", "  2", ax, "B", "  3", "AA"}));
    EXPECT_EQ(fx.errors.seen,
              (QStringList{QStringLiteral("Error setting path: \"%1\\sound\\A\\x\\\"").arg(f.S.BaseDir),
                           QStringLiteral("Error setting path: \"%1\\sound\\AA\\\"").arg(f.S.BaseDir)}));
    EXPECT_FALSE(f.Timer2.Enabled());
}

TEST(Catalogue, AlbumsWhoseNamesDifferOnlyInLetterCaseEachGetTheirOwnSongs)
{
    TAVELO_SKIP_WITHOUT_POSIX_NAMES();
    // The lister takes root texts that differ only in ASCII case as the same
    // root; walking from album to album must still read each one.
    FormOnDisc fx;
    fx.disc.Write(QStringLiteral("sound/b/4.mp3"), "x");
    TForm1::Inside& f = fx.Build();
    EXPECT_EQ(Flat(f.TreeView1), (QStringList{"A", "  1", "  2", "B", "  3", "b", "  4"}));
    EXPECT_TRUE(fx.errors.seen.isEmpty());
}

TEST(Catalogue, AFailureOfAnyKindInTheSongBuildTurnsTheTimerOffAndIsReported)
{
    FormOnDisc fx;
    TForm1::Inside& f = fx.Build(false);
    QObject::connect(f.TreeView1->model(), &QAbstractItemModel::rowsInserted, f.TreeView1,
                     [](const QModelIndex& parent, int, int) {
                         if (parent.isValid())
                             throw std::runtime_error("no room for songs");
                     });
    EXPECT_NO_THROW(f.Timer2Timer());
    EXPECT_FALSE(f.Timer2.Enabled());
    EXPECT_EQ(fx.errors.seen, QStringList{QStringLiteral("no room for songs.")});
}

TEST(Catalogue, NoSoundEntriesOrNoSoundFolder)
{
    {
        FormOnDisc fx;
        QDir(fx.disc.Path(QStringLiteral("sound"))).removeRecursively();
        fx.disc.MakeDir(QStringLiteral("sound"));
        TForm1::Inside& f = fx.Build();
        EXPECT_EQ(f.TreeView1->topLevelItemCount(), 0);
        EXPECT_FALSE(f.Timer2.Enabled());
        EXPECT_TRUE(fx.errors.seen.isEmpty());
    }
    {
        FormOnDisc fx;
        QDir(fx.disc.Path(QStringLiteral("sound"))).removeRecursively();
        TForm1::Inside& f = fx.Build();
        EXPECT_EQ(f.TreeView1->topLevelItemCount(), 0);
        EXPECT_FALSE(f.Timer2.Enabled());
        EXPECT_EQ(fx.errors.seen.size(), 1);
        EXPECT_EQ(f.S.SlideEntryCount, 4) << "the slide count does not depend on the sound folder";
    }
}

TEST(Songs, SelectingLoadsLyricsAndStartsEachSongOnce)
{
    FormOnDisc fx;
    TForm1::Inside& f = fx.Build();
    const PrivateDesktop& xdg = PrivateDesktop::ForThisProcess();
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
    TForm1::Inside& f = fx.Build();
    const PrivateDesktop& xdg = PrivateDesktop::ForThisProcess();
    xdg.ClearLaunches();

    Select(f, 0, 1);
    EXPECT_EQ(f.RichEdit2->toPlainText(), QStringLiteral("Lyrics two"));
    // Renaming the selected node in place re-evaluates it: 9 has no lyrics.
    f.TreeView1->topLevelItem(0)->child(1)->setText(0, QStringLiteral("9"));
    EXPECT_EQ(f.FileRun1.Directory, QStringLiteral("sound\\A\\9.mp3"));
    EXPECT_EQ(f.RichEdit2->toPlainText(), QStringLiteral("Lyrics two")) << "view keeps what it showed";
    ASSERT_EQ(fx.errors.seen.size(), 1);
    EXPECT_EQ(fx.errors.seen[0],
              QStringLiteral("Cannot open file \"%1/text/A/9.txt\". No such file or directory.").arg(fx.disc.Root()));
    const auto launches = xdg.WaitForLaunches(2);
    ASSERT_EQ(launches.size(), 2);
    EXPECT_TRUE(launches[0].args.last().endsWith(QStringLiteral("sound/A/9.mp3")) ||
                launches[1].args.last().endsWith(QStringLiteral("sound/A/9.mp3")));
    // Nothing on the disc was renamed.
    EXPECT_TRUE(QFile::exists(fx.disc.Path(QStringLiteral("sound/A/2.mp3"))));
}

TEST(Songs, ListedNamesOpenAndLaunchExactlyTheFileListed)
{
    TAVELO_SKIP_WITHOUT_POSIX_NAMES();
    FormOnDisc fx;
    const QByteArray mp3 = QByteArray("ID3\x03") + QByteArray(60, '\0');
    // A song whose name would climb to help/evil.*, and two songs whose names
    // are not UTF-8 and differ in one byte.
    fx.disc.MakeDir(QStringLiteral("sound/A/zz"));
    fx.disc.MakeDir(QStringLiteral("text/A/zz"));
    fx.disc.Write(QStringLiteral("sound/A/evil.mp3"), mp3);
    RenameToBytes(fx.disc, QStringLiteral("sound/A/evil.mp3"), "sound/A/zz\\..\\..\\..\\help\\evil.mp3");
    fx.disc.Write(QStringLiteral("help/evil.mp3"), mp3);
    fx.disc.Write(QStringLiteral("help/evil.txt"), "outside");
    for (const char* b : {"\xFE", "\xFF"}) {
        const QByteArray name(b);
        fx.disc.Write(QStringLiteral("sound/A/s.mp3"), mp3);
        RenameToBytes(fx.disc, QStringLiteral("sound/A/s.mp3"), "sound/A/" + name + ".mp3");
        fx.disc.Write(QStringLiteral("text/A/s.txt"), "lyrics " + name.toHex());
        RenameToBytes(fx.disc, QStringLiteral("text/A/s.txt"), "text/A/" + name + ".txt");
    }
    TForm1::Inside& f = fx.Build();
    ASSERT_EQ(f.TreeView1->topLevelItem(0)->childCount(), 6);  // zz, 1, 2, the climber, FE, FF
    const PrivateDesktop& xdg = PrivateDesktop::ForThisProcess();
    xdg.ClearLaunches();

    for (const char* b : {"\xFE", "\xFF"}) {
        const QByteArray name(b);
        Select(f, 0, name == "\xFE" ? 4 : 5);
        EXPECT_EQ(f.RichEdit2->toPlainText(), QString::fromLatin1("lyrics " + name.toHex()));
        const auto launches = xdg.WaitForLaunches(name == "\xFE" ? 1 : 2);
        ASSERT_EQ(launches.size(), name == "\xFE" ? 1 : 2);
        EXPECT_TRUE(launches.back().rawArgs.last().endsWith("sound/A/" + name + ".mp3"));
    }
    EXPECT_TRUE(fx.errors.seen.isEmpty()) << fx.errors.seen.join(QLatin1Char('\n')).toStdString();

    Select(f, 0, 3);
    EXPECT_EQ(f.RichEdit2->toPlainText(), QStringLiteral("lyrics ff"));
    const QString climber = QStringLiteral("zz\\..\\..\\..\\help\\evil");
    EXPECT_EQ(fx.errors.seen,
              (QStringList{QStringLiteral("Cannot open file \"%1/text/A/%2.txt\". No such file or directory.")
                               .arg(fx.disc.Root(), climber),
                           QStringLiteral("Cannot open \"%1/sound/A/%2.mp3\". No such file or directory.")
                               .arg(fx.disc.Root(), climber)}));
    EXPECT_EQ(xdg.WaitForLaunches(3, 500).size(), 2) << "nothing outside the album was started";
}

TEST(Songs, RefusedLaunchIsReportedOnceAndNotRetried)
{
    FormOnDisc fx;
    TForm1::Inside& f = fx.Build();
    QFile::remove(fx.disc.Path(QStringLiteral("sound/A/1.mp3")));
    Select(f, 0, 0);
    ASSERT_EQ(fx.errors.seen.size(), 1);
    EXPECT_TRUE(fx.errors.seen[0].contains(QStringLiteral("No such file or directory")))
        << fx.errors.seen[0].toStdString();
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
