// Window creation: the first slide, the group text, the album list and the
// slide count. The four are independent: a failure in one is reported (in
// this order, once all have run) and the others still run.

#include "base/error_report.h"
#include "base/errors.h"
#include "content/folders.h"
#include "media/image_box.h"
#include "media/jpeg_image.h"
#include "media/text_view.h"
#include "menu/form1.h"
#include "ui_form1.h"

namespace tavelo {

void TForm1::StartFirstSlide()
{
    ShellTreeView2.SetRoot(S.BaseDir + kPictureFolder);
    S.StartJpeg = std::make_shared<TJPEGImage>();
    S.StartJpeg->LoadFromFile(ListedPicturePath(S.BaseDir, kPictureFolder, ShellTreeView2.Items[1].Text));
    S.FirstSlideBitmap = S.StartJpeg->Bitmap();
    ui->Image1->SetPicture(S.FirstSlideBitmap);
}

void TForm1::StartGroupText() { LoadTextFile(ui->RichEdit1, kGroupTextPath); }

void TForm1::StartSlideCount()
{
    // Slides are the files of the picture folder as the files-only lister
    // read it for the first slide; subfolders are not slides. Without that
    // listing there are no slides to count.
    if (ShellTreeView2.Root() == S.BaseDir + kPictureFolder)
        S.SlideEntryCount = ShellTreeView2.Items.Count();
    ShellTreeView1.SetRoot(S.SoundRoot.isEmpty() ? ShellTreeView1.Root() : S.SoundRoot);
}

void TForm1::FormCreate()
{
    S.SlideIndex = 1;
    S.BaseDir = dirout.Directory();

    QStringList errors;
    const auto run = [&](void (TForm1::*step)()) {
        try {
            (this->*step)();
        } catch (...) {
            errors << CurrentErrorMessage();
        }
    };
    run(&TForm1::StartFirstSlide);
    run(&TForm1::StartGroupText);
    run(&TForm1::StartAlbumList);
    run(&TForm1::StartSlideCount);
    for (const QString& e : errors)
        ReportError(e);
}

}  // namespace tavelo
