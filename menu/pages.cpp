// The group, disc, help and player pages.

#include "content/folders.h"
#include "media/file_run.h"
#include "media/image_box.h"
#include "media/jpeg_image.h"
#include "media/launcher.h"
#include "media/text_view.h"
#include "menu/form1.h"
#include "ui_form1.h"

namespace tavelo {

// Shows the picture at a position of a folder's listing: the lister is
// re-rooted there for the name and given back its root afterwards.
void TForm1::ShowListedPicture(TImage* box, const QString& folder, int position)
{
    S.SavedListRoot = ShellTreeView2.Root();
    ShellTreeView2.SetRoot(S.BaseDir + folder);
    ShowJpegFile(box, ListedPicturePath(S.BaseDir, folder, ShellTreeView2.Items[position].Text));
    ShellTreeView2.SetRoot(S.SavedListRoot);
}

void TForm1::ShowFirstPicture(TImage* box, const QString& folder) { ShowListedPicture(box, folder, 1); }

void TForm1::GroupPageTail()
{
    if (S.GroupPageShown == 0) {
        ui->Image2->setVisible(true);
        ShowFirstPicture(ui->Image2, kGroupFolder);
        ui->Image1->setVisible(false);
        ui->RichEdit1->setVisible(true);
        S.GroupPageShown = 1;
    } else {
        ui->Image2->setVisible(false);
        ui->Image1->setVisible(true);
        ui->RichEdit1->setVisible(false);
        S.GroupPageShown = 0;
    }
}

// The disc and help pages: the text is loaded afresh at every opening.
void TForm1::TextPageTail(int& shownFlag, const QString& path)
{
    if (shownFlag == 0) {
        // Shown before it is filled: a view's first showing lays its text out
        // again at its real size, so filling it first would lay the first
        // screen out twice. A text that fails to load leaves it as it was.
        const bool wasHidden = ui->RichEdit2->isHidden();
        ui->RichEdit2->setVisible(true);
        try {
            LoadTextFile(ui->RichEdit2, path);
        } catch (...) {
            ui->RichEdit2->setVisible(!wasHidden);
            throw;
        }
        shownFlag = 1;
    } else {
        ui->RichEdit2->setVisible(false);
        shownFlag = 0;
    }
}

void TForm1::DiscPageTail() { TextPageTail(S.DiscTextShown, kDiscTextPath); }

void TForm1::HelpPageTail() { TextPageTail(S.HelpTextShown, kHelpTextPath); }

void TForm1::PlayerPageTail()
{
    if (S.PlayerPageShown == 0) {
        ui->Panel2->setVisible(true);
        ui->Button4->setVisible(true);
        ui->Button5->setVisible(true);
        ui->Image1->setVisible(true);
        ShowFirstPicture(ui->Image1, kPlayerFolder);
        S.PlayerPageShown = 1;
    } else {
        ShowFirstPicture(ui->Image1, kPictureFolder);
        ui->Panel2->setVisible(false);
        ui->Button4->setVisible(false);
        ui->Button5->setVisible(false);
        S.PlayerPageShown = 0;
    }
}

void TForm1::Button4Click() { ShellOpenQuiet(kPlayerSetupPath); }

void TForm1::Button5Click() { ShellOpenQuiet(kPlayerPath); }

}  // namespace tavelo
