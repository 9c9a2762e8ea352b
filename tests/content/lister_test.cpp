#include "content/shell_tree_view.h"

#include "base/errors.h"
#include "tests/fixture.h"

#include <QFile>
#include <QStringList>

#include <gtest/gtest.h>

using namespace tavelo;

namespace {
QStringList Names(const TShellTreeView& v)
{
    QStringList out;
    for (int i = 1; i < v.Items.Count(); ++i)
        out << v.Items[i].Text;
    return out;
}
}  // namespace

TEST(Lister, FilesOnlyHiddenLeftOutExtensionsStripped)
{
    test::Disc disc;
    disc.Write(QStringLiteral("p/b.jpg"), "");
    disc.Write(QStringLiteral("p/a.jpg"), "");
    disc.Write(QStringLiteral("p/.hidden.jpg"), "");
    disc.Write(QStringLiteral("p/sub/inner.jpg"), "");
    disc.Write(QStringLiteral("p/two.dots.mp3"), "");
    TShellTreeView files(otNonFolders);
    files.SetRoot(disc.Root() + QStringLiteral("\\p\\"));
    EXPECT_EQ(files.Items.Count(), 4);
    EXPECT_EQ(Names(files), (QStringList{"a", "b", "two.dots"}));

    TShellTreeView both(otFolders | otNonFolders);
    both.SetRoot(disc.Root() + QStringLiteral("\\p\\"));
    // Folders come first and keep their whole name; their contents are not read.
    EXPECT_EQ(Names(both), (QStringList{"sub", "a", "b", "two.dots"}));
}

TEST(Lister, OrderIsCaseBlindWithNumbersByValue)
{
    std::vector<TShellTreeView::Entry> e{{"10 x", false}, {"2 x", false},  {"B", false},    {"a", false},
                                         {"b", false},    {"02 x", false}, {"Альбом", true}};
    TShellTreeView::SortEntries(e);
    QStringList got;
    for (const auto& x : e)
        got << x.name;
    EXPECT_EQ(got, (QStringList{"Альбом", "02 x", "2 x", "10 x", "a", "B", "b"}));
}

TEST(Lister, EmptyFolderAndInvalidIndex)
{
    test::Disc disc;
    disc.MakeDir(QStringLiteral("empty"));
    TShellTreeView v(otNonFolders);
    v.SetRoot(disc.Root() + QStringLiteral("/empty/"));
    EXPECT_EQ(v.Items.Count(), 1);
    EXPECT_THROW((void)v.Items[1], ETreeViewError);
    EXPECT_THROW((void)v.Items[-1], ETreeViewError);
    try {
        (void)v.Items[1];
    } catch (const ETreeViewError& err) {
        EXPECT_EQ(err.Message(), QStringLiteral("Invalid index"));
    }
}

TEST(Lister, SameRootTextIsANoOpEvenWhenTheFolderChanged)
{
    test::Disc disc;
    disc.Write(QStringLiteral("SOUND/a.mp3"), "");
    TShellTreeView v(otFolders | otNonFolders);
    v.SetRoot(disc.Root() + QStringLiteral("\\SOUND\\"));
    disc.Write(QStringLiteral("SOUND/b.mp3"), "");
    v.SetRoot(disc.Root() + QStringLiteral("\\sound\\"));  // ASCII case-blind equal
    EXPECT_EQ(Names(v), QStringList{"a"});
    EXPECT_EQ(v.Root(), disc.Root() + QStringLiteral("\\SOUND\\"));
    // Separator runs name the same folder, but the text differs, so it re-reads.
    v.SetRoot(disc.Root() + QStringLiteral("\\\\SOUND\\"));
    EXPECT_EQ(Names(v), (QStringList{"a", "b"}));
}

TEST(Lister, FailedRootKeepsPreviousTextAndRereadsPreviousFolder)
{
    test::Disc disc;
    disc.Write(QStringLiteral("picture/a.jpg"), "");
    disc.Write(QStringLiteral("file.jpg"), "");
    TShellTreeView v(otNonFolders);
    const QString good = disc.Root() + QStringLiteral("\\picture\\");
    v.SetRoot(good);
    disc.Write(QStringLiteral("picture/b.jpg"), "");
    const QString bad = disc.Root() + QStringLiteral("\\missing\\");
    try {
        v.SetRoot(bad);
        FAIL();
    } catch (const ETreeViewError&) {
        FAIL() << "wrong class";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Error setting path: \"%1\"").arg(bad));
    }
    EXPECT_EQ(v.Root(), good);
    EXPECT_EQ(Names(v), (QStringList{"a", "b"}));
    // A file is no folder to list, and an empty text never resolves.
    EXPECT_THROW(v.SetRoot(disc.Root() + QStringLiteral("\\file.jpg\\")), Exception);
    EXPECT_THROW(v.SetRoot(QString()), Exception);
    EXPECT_EQ(v.Root(), good);
}

TEST(Lister, ReadRootReadsTheSameTextAgainAndAFailureKeepsTheListing)
{
    test::Disc disc;
    disc.Write(QStringLiteral("SOUND/a.mp3"), "");
    TShellTreeView v(otFolders | otNonFolders);
    v.ReadRoot(disc.Root() + QStringLiteral("\\SOUND\\"));
    disc.Write(QStringLiteral("SOUND/b.mp3"), "");
    v.ReadRoot(disc.Root() + QStringLiteral("\\sound\\"));
    EXPECT_EQ(Names(v), (QStringList{"a", "b"}));
    disc.Write(QStringLiteral("SOUND/c.mp3"), "");
    const QString bad = disc.Root() + QStringLiteral("\\SOUND\\a.mp3\\");
    try {
        v.ReadRoot(bad);
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Error setting path: \"%1\"").arg(bad));
    }
    EXPECT_EQ(v.Root(), disc.Root() + QStringLiteral("\\sound\\"));
    EXPECT_EQ(Names(v), (QStringList{"a", "b"})) << "not read again";
}
