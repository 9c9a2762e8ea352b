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
// skipping whole albums. The catalogue asks for rising positions and adds
// songs only at or after the node it got, so the walk resumes where the last
// one stopped; a lower position starts again from the top.
class FlatCursor {
public:
    explicit FlatCursor(QTreeWidget* tree) : tree_(tree) {}

    QTreeWidgetItem* NodeAt(int position)
    {
        if (position < flat_) {
            top_ = 0;
            flat_ = 0;
        }
        for (; top_ < tree_->topLevelItemCount(); ++top_) {
            QTreeWidgetItem* top = tree_->topLevelItem(top_);
            if (flat_ == position)
                return top;
            const int children = top->childCount();
            if (position <= flat_ + children)
                return top->child(position - flat_ - 1);
            flat_ += 1 + children;
        }
        return nullptr;
    }

private:
    QTreeWidget* tree_;
    int top_ = 0;   // the top-level node the walk stands on
    int flat_ = 0;  // its flat position
};

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
    // One listing of the sound folder serves every album: reading it again
    // before each album made the build quadratic in the number of albums.
    TShellTreeItems albums;
    if (S.SoundEntryCount - 1 > 0) {
        ShellTreeView1.SetRoot(S.SoundRoot);
        albums = ShellTreeView1.Items;
    }
    // The album node for the next flat position, found from where the last
    // one was rather than from the top (same answer, linear overall).
    FlatCursor cursor(ui->TreeView1);
    for (S.AlbumIndex = 1; S.AlbumIndex <= S.SoundEntryCount - 1; ++S.AlbumIndex) {
        const QString name = albums[S.AlbumIndex].Text;
        S.SongsBefore += S.AlbumSongCount;
        S.AlbumSongCount = 0;
        try {
            // Read even when it matches the previous album's text but for
            // letter case; a failure does not read the previous folder again.
            ShellTreeView1.ReadRoot(AlbumFolder(S.BaseDir, name));
        } catch (...) {
            errors << CurrentErrorMessage();
            continue;
        }
        S.AlbumSongCount = ShellTreeView1.Items.Count() - 1;
        if (S.AlbumSongCount <= 0)
            continue;
        QTreeWidgetItem* album = cursor.NodeAt(S.AlbumIndex - 1 + S.SongsBefore);
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
