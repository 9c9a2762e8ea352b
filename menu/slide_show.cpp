// The slide show: previous, next and the automatic show over the pictures of
// the picture folder, as the files-only lister saw them at start-up.

#include "base/errors.h"
#include "content/folders.h"
#include "media/image_box.h"
#include "menu/form1.h"
#include "ui_form1.h"

namespace tavelo {

namespace {
constexpr int kSlidePause = 200;
}  // namespace

void TForm1::SlidesPageTail()
{
    if (S.SlideControlsShown == 0) {
        ui->Image1->setVisible(true);
        ui->Button1->setVisible(true);
        ui->Button2->setVisible(true);
        ui->Button3->setVisible(true);
        ui->Panel2->setVisible(true);
        S.SlideControlsShown = 1;
    } else {
        ui->Button1->setVisible(false);
        ui->Button2->setVisible(false);
        ui->Button3->setVisible(false);
        ui->Panel2->setVisible(false);
        S.SlideControlsShown = 0;
    }
}

void TForm1::ShowSlide(int k)
{
    // Position 0 is the folder itself: with no slides there is nothing to
    // show, and the listing says so in its own words.
    if (k < 1)
        throw ETreeViewError(QStringLiteral("Invalid index"));
    ShowListedPicture(ui->Image1, kPictureFolder, k);
    Pause(kSlidePause);
}

void TForm1::Button2Click()
{
    const int slides = S.SlideEntryCount - 1;
    S.SlideIndex = S.SlideIndex == slides ? 1 : S.SlideIndex + 1;
    ShowSlide(S.SlideIndex);
}

void TForm1::Button1Click()
{
    const int slides = S.SlideEntryCount - 1;
    S.SlideIndex = S.SlideIndex == 1 ? slides : S.SlideIndex - 1;
    ShowSlide(S.SlideIndex);
}

void TForm1::Timer3Timer() { Button2Click(); }

void TForm1::Button3Click()
{
    QFont f = ui->Button3->font();
    if (S.AutoShowOn == 1) {
        f.setUnderline(false);
        ui->Button3->setFont(f);
        S.AutoShowOn = 0;
        Timer3.SetEnabled(false);
    } else {
        f.setUnderline(true);
        ui->Button3->setFont(f);
        Timer3.SetEnabled(true);
        S.AutoShowOn = 1;
    }
}

}  // namespace tavelo
