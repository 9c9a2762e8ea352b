// The section menu: six toggle buttons and Exit. A click highlights (or
// un-highlights) its button, on activation closes the other sections, and
// then runs its own page tail.

#include "base/colors.h"
#include "media/image_box.h"
#include "media/text_view.h"
#include "menu/form1.h"
#include "ui_form1.h"

#include <QCoreApplication>
#include <QPushButton>

namespace tavelo {

namespace {

constexpr int kExitPause = 1000;

void SetCaptionColor(QPushButton* b, TColor color)
{
    QPalette pal = b->palette();
    pal.setColor(QPalette::ButtonText, FixedColor(color));
    pal.setColor(QPalette::WindowText, FixedColor(color));
    b->setPalette(pal);
}

}  // namespace

bool TForm1::ToggleHighlight(QPushButton* button, int& menuFlag, int growth)
{
    if (menuFlag == 0) {
        button->resize(button->width() + growth, button->height());
        SetCaptionColor(button, clBlue);
        menuFlag = 1;
        ResetOtherButtons(button);
        return true;
    }
    button->resize(button->width() - growth, button->height());
    SetCaptionColor(button, clBlack);
    menuFlag = 0;
    return false;
}

void TForm1::ResetOtherButtons(QPushButton* except)
{
    const struct {
        QPushButton* button;
        int* flag;
        int baseWidth;
    } buttons[] = {
        {ui->BitBtn1, &S.SlidesActive, baseWidths_[0]}, {ui->BitBtn2, &S.LyricsActive, baseWidths_[1]},
        {ui->BitBtn3, &S.GroupActive, baseWidths_[2]},  {ui->BitBtn4, &S.DiscActive, baseWidths_[3]},
        {ui->BitBtn5, &S.PlayerActive, baseWidths_[4]}, {ui->BitBtn6, &S.HelpActive, baseWidths_[5]},
    };
    for (const auto& b : buttons) {
        if (b.button == except)
            continue;
        b.button->resize(b.baseWidth, b.button->height());
        SetCaptionColor(b.button, clBlack);
        *b.flag = 0;
    }
}

void TForm1::LyricsReset()
{
    ui->RichEdit2->setVisible(false);
    S.LyricsShown = 0;
}

void TForm1::PlayerReset()
{
    ui->Image1->setVisible(false);
    ui->Panel2->setVisible(false);
    ui->Button4->setVisible(false);
    ui->Button5->setVisible(false);
    S.PlayerPageShown = 0;
}

void TForm1::HelpReset()
{
    ui->RichEdit2->setVisible(false);
    S.HelpTextShown = 0;
}

void TForm1::DiscReset()
{
    ui->RichEdit2->setVisible(false);
    S.DiscTextShown = 0;
}

void TForm1::GroupReset(bool showImage1)
{
    ui->Image2->setVisible(false);
    ui->RichEdit1->setVisible(false);
    if (showImage1)
        ui->Image1->setVisible(true);
    S.GroupPageShown = 0;
}

void TForm1::AutoShowReset()
{
    Timer3.SetEnabled(false);
    QFont f = ui->Button3->font();
    f.setUnderline(false);
    ui->Button3->setFont(f);
    S.AutoShowOn = 0;
}

void TForm1::SlideControlsReset()
{
    if (S.SlideControlsShown != 1)
        return;
    ui->Button1->setVisible(false);
    ui->Button2->setVisible(false);
    ui->Button3->setVisible(false);
    ui->Panel2->setVisible(false);
    S.SlideControlsShown = 0;
}

// The resets run in the order of the menu's matrix columns: the Player reset
// hides Image1 before the Group reset shows it again.

void TForm1::BitBtn1Click()
{
    if (S.SlidesActive == 0) {
        ui->Image1->setVisible(true);
        ui->Image1->SetPicture(S.FirstSlideBitmap);
    }
    if (ToggleHighlight(ui->BitBtn1, S.SlidesActive, 33)) {
        LyricsReset();
        PlayerReset();
        HelpReset();
        DiscReset();
        GroupReset(false);
        AutoShowReset();
    }
    SlidesPageTail();
}

void TForm1::BitBtn2Click()
{
    if (ToggleHighlight(ui->BitBtn2, S.LyricsActive, 16)) {
        PlayerReset();
        HelpReset();
        DiscReset();
        GroupReset(true);
        AutoShowReset();
        SlideControlsReset();
    }
    LyricsPageTail();
}

void TForm1::BitBtn3Click()
{
    if (ToggleHighlight(ui->BitBtn3, S.GroupActive, 48)) {
        LyricsReset();
        PlayerReset();
        HelpReset();
        DiscReset();
        AutoShowReset();
        ui->Image1->setVisible(true);
        SlideControlsReset();
    }
    GroupPageTail();
}

void TForm1::BitBtn4Click()
{
    if (ToggleHighlight(ui->BitBtn4, S.DiscActive, 48)) {
        LyricsReset();
        PlayerReset();
        HelpReset();
        GroupReset(true);
        AutoShowReset();
        SlideControlsReset();
    }
    DiscPageTail();
}

void TForm1::BitBtn5Click()
{
    if (S.PlayerActive == 0)
        ui->Image1->setVisible(true);
    if (ToggleHighlight(ui->BitBtn5, S.PlayerActive, 33)) {
        LyricsReset();
        HelpReset();
        DiscReset();
        GroupReset(true);
        AutoShowReset();
        SlideControlsReset();
    }
    PlayerPageTail();
}

void TForm1::BitBtn6Click()
{
    if (ToggleHighlight(ui->BitBtn6, S.HelpActive, 16)) {
        LyricsReset();
        PlayerReset();
        DiscReset();
        GroupReset(true);
        AutoShowReset();
        SlideControlsReset();
    }
    HelpPageTail();
}

void TForm1::BitBtn7Click()
{
    ResetOtherButtons(nullptr);
    AutoShowReset();
    ui->Image1->setVisible(true);
    SlideControlsReset();
    // The pause freezes the window: show the reset state before it.
    repaint();
    Pause(kExitPause);
    if (options_.terminate)
        options_.terminate();
    else
        QCoreApplication::quit();
}

}  // namespace tavelo
