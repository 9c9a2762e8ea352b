// Lyrics and song playback: selecting a song shows its lyrics and starts it
// once in the desktop's player.

#include "base/error_report.h"
#include "base/errors.h"
#include "content/folders.h"
#include "media/file_run.h"
#include "media/text_view.h"
#include "menu/form1.h"
#include "ui_form1.h"

#include <QTreeWidget>

#include <exception>

namespace tavelo {

void TForm1::LyricsPageTail()
{
    if (S.LyricsShown == 0) {
        ui->RichEdit2->setVisible(true);
        S.LyricsShown = 1;
    } else {
        ui->RichEdit2->setVisible(false);
        S.LyricsShown = 0;
    }
}

void TForm1::TreeView1GetSelectedIndex()
{
    const QList<QTreeWidgetItem*> selected = ui->TreeView1->selectedItems();
    if (selected.isEmpty())
        return;
    QTreeWidgetItem* node = selected.first();
    QTreeWidgetItem* parent = node->parent();
    if (!parent || parent->parent())
        return;
    const QString album = parent->text(0);
    const QString song = node->text(0);

    // A song without lyrics still plays: the lyrics error is reported after
    // the song was started, and the view keeps what it showed.
    std::exception_ptr lyricsError;
    S.SongPath = LyricsPath(album, song);
    try {
        LoadTextFile(ui->RichEdit2, S.SongPath);
    } catch (...) {
        lyricsError = std::current_exception();
    }

    S.SongPath = SongPath(album, song);
    if (FileRun1.Directory != S.SongPath) {
        FileRun1.Directory = S.SongPath;
        FileRun1.FileName = S.SongPath;
        FileRun1.Enabled = true;
        try {
            ExecuteFileRun(FileRun1);
        } catch (...) {
            // Both failed: the lyrics error first, then the launch's.
            if (lyricsError)
                Guarded([&] { std::rethrow_exception(lyricsError); });
            throw;
        }
        FileRun1.Enabled = false;
    }
    if (lyricsError)
        std::rethrow_exception(lyricsError);
}

}  // namespace tavelo
