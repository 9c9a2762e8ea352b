#pragma once
// The image box: shows one decoded picture, scaled into the box by
// PlacePicture and drawn nearest-neighbour. It paints no background of its
// own, so wherever the picture does not cover it the parent shows through.

#include "media/jpeg_image.h"

#include <QImage>
#include <QRect>
#include <QString>
#include <QWidget>

namespace tavelo {

class TImage : public QWidget {
    Q_OBJECT

public:
    explicit TImage(QWidget* parent = nullptr);

    // How the picture is placed: the window's boxes all centre, keep the
    // proportions and stretch.
    bool Center() const { return center_; }
    bool Proportional() const { return proportional_; }
    bool Stretch() const { return stretch_; }

    // Takes a shared reference to the picture's pixels (no copy) and asks for
    // a repaint; nothing is drawn until the event loop next paints.
    void SetPicture(const TBitmap& picture);
    const TBitmap& Picture() const { return picture_; }

    // Where the picture is drawn in the box's own coordinates; may be empty.
    QRect DestRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Changed();
    void UpdateCoverage();

    TBitmap picture_;
    const bool center_ = true;
    const bool proportional_ = true;
    const bool stretch_ = true;
};

// Reads and decodes path through jpeg into bitmap and hands that to box.
// On failure the box keeps its picture and bitmap is left as it was.
// The start-up load keeps jpeg and bitmap alive for the whole run.
void LoadJpegInto(TImage* box, const QString& path, TJPEGImage& jpeg, TBitmap& bitmap);

// Shows a JPEG file in box with a fresh decoder and bitmap of its own, both
// released on return; the box keeps the only reference to the pixels. On any
// failure the error propagates and the box keeps its previous picture.
void ShowJpegFile(TImage* box, const QString& path);

}  // namespace tavelo
