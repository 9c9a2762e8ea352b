// The song catalogue: album nodes at start-up, their songs on the first tick
// of Timer2, after the window is on screen.

#include "base/error_report.h"
#include "base/errors.h"
#include "content/folders.h"
#include "menu/form1.h"
#include "ui_form1.h"

#include <QTreeWidget>

namespace tavelo {

namespace {

// The node at a flat position (every node in display order, from 0), found by
// skipping whole albums rather than visiting every song.
QTreeWidgetItem* NodeAtFlatPosition(QTreeWidget* tree, int position)
{
    int flat = 0;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        QTreeWidgetItem* top = tree->topLevelItem(i);
        if (flat == position)
            return top;
        const int children = top->childCount();
        if (position <= flat + children)
            return top->child(position - flat - 1);
        flat += 1 + children;
    }
    return nullptr;
}

}  // namespace

void TForm1::StartAlbumList()
{
    S.BaseDir = dirout.Directory();
    ShellTreeView1.SetRoot(S.BaseDir + kSoundFolder);
    S.SoundEntryCount = ShellTreeView1.Items.Count();
    QList<QTreeWidgetItem*> albums;
    for (int i = 1; i <= S.SoundEntryCount - 1; ++i) {
        auto* node = new QTreeWidgetItem(QStringList{ShellTreeView1.Items[i].Text});
        node->setFlags(node->flags() | Qt::ItemIsEditable);
        albums << node;
    }
    ui->TreeView1->addTopLevelItems(albums);
    S.SoundRoot = ShellTreeView1.Root();
}

void TForm1::Timer2Timer()
{
    // The timer goes off before anything can fail, so nothing (not even an
    // error box's own loop) can start the build a second time. An album that
    // cannot be listed is reported and gets no songs; the rest of the
    // catalogue is still built.
    Timer2.SetEnabled(false);
    QStringList errors;
    try {
        BuildSongs(errors);
    } catch (...) {
        errors << CurrentErrorMessage();
    }
    for (const QString& e : errors)
        ReportError(e);
}

void TForm1::BuildSongs(QStringList& errors)
{
    for (S.AlbumIndex = 1; S.AlbumIndex <= S.SoundEntryCount - 1; ++S.AlbumIndex) {
        ShellTreeView1.SetRoot(S.SoundRoot);
        const QString name = ShellTreeView1.Items[S.AlbumIndex].Text;
        S.SongsBefore += S.AlbumSongCount;
        S.AlbumSongCount = 0;
        try {
            ShellTreeView1.SetRoot(AlbumFolder(S.BaseDir, name));
        } catch (...) {
            errors << CurrentErrorMessage();
            continue;
        }
        S.AlbumSongCount = ShellTreeView1.Items.Count() - 1;
        if (S.AlbumSongCount <= 0)
            continue;
        QTreeWidgetItem* album = NodeAtFlatPosition(ui->TreeView1, S.AlbumIndex - 1 + S.SongsBefore);
        if (!album)
            continue;
        QList<QTreeWidgetItem*> songs;
        songs.reserve(S.AlbumSongCount);
        for (int j = 1; j <= S.AlbumSongCount; ++j) {
            auto* node = new QTreeWidgetItem(QStringList{ShellTreeView1.Items[j].Text});
            node->setFlags(node->flags() | Qt::ItemIsEditable);
            songs << node;
        }
        album->addChildren(songs);
    }
}

}  // namespace tavelo
