#include "media/image_box.h"

#include "media/placement.h"

#include <QPainter>

namespace tavelo {

TImage::TImage(QWidget* parent) : QWidget(parent) { setAutoFillBackground(false); }

void TImage::SetPicture(const TBitmap& picture)
{
    picture_ = picture;
    Changed();
}

QRect TImage::DestRect() const
{
    return PlacePicture(picture_.width(), picture_.height(), width(), height(), stretch_, proportional_, center_);
}

void TImage::Changed()
{
    UpdateCoverage();
    update();
}

void TImage::UpdateCoverage()
{
    // A picture that covers the whole box hides the parent: Qt may then skip
    // painting what lies behind. Otherwise the parent shows through.
    setAttribute(Qt::WA_OpaquePaintEvent, !picture_.isNull() && !picture_.hasAlphaChannel() && DestRect() == rect());
}

void TImage::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    UpdateCoverage();
}

void TImage::paintEvent(QPaintEvent*)
{
    if (picture_.isNull())
        return;
    const QRect target = DestRect();
    if (target.isEmpty())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.setClipRect(target);
    painter.drawImage(target, picture_);
}

void LoadJpegInto(TImage* box, const QString& path, TJPEGImage& jpeg, TBitmap& bitmap)
{
    jpeg.LoadFromFile(path);
    bitmap = jpeg.Bitmap();
    box->SetPicture(bitmap);
}

void ShowJpegFile(TImage* box, const QString& path)
{
    TJPEGImage jpeg;
    TBitmap bitmap;
    LoadJpegInto(box, path, jpeg, bitmap);
}

}  // namespace tavelo
