// Placement, the image box and ShowJpegFile.
#include "base/errors.h"
#include "fixtures/jpeg_codec.h"
#include "media/image_box.h"
#include "media/placement.h"
#include "tests/fixture.h"

#include <QApplication>
#include <QPalette>
#include <QPixmap>

#include <gtest/gtest.h>

namespace tavelo {
namespace {

constexpr QSize kImage1(313, 433);
constexpr QSize kImage2(313, 145);

QRect Place(int w, int h, QSize box) { return PlacePicture(w, h, box.width(), box.height(), true, true, true); }
QRect Corners(int l, int t, int r, int b) { return QRect(QPoint(l, t), QPoint(r - 1, b - 1)); }

TEST(Placement, BothBoxesScaleToTheLargestFittingSizeAndCentre)
{
    struct Row {
        int w, h;
        QRect image1, image2;
    };
    const Row rows[] = {
        {640, 480, Corners(0, 99, 313, 333), Corners(60, 0, 253, 145)},
        {480, 640, Corners(0, 8, 313, 425), Corners(102, 0, 210, 145)},
        {1200, 800, Corners(0, 112, 313, 320), Corners(48, 0, 265, 145)},
        {100, 100, Corners(0, 60, 313, 373), Corners(84, 0, 229, 145)},
        {3, 5, Corners(27, 0, 286, 433), Corners(113, 0, 199, 145)},
        {100, 1, Corners(0, 215, 313, 218), Corners(0, 71, 313, 74)},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(Place(r.w, r.h, kImage1), r.image1) << r.w << "x" << r.h;
        EXPECT_EQ(Place(r.w, r.h, kImage2), r.image2) << r.w << "x" << r.h;
    }
    // Small pictures are enlarged exactly like big ones of the same proportions.
    EXPECT_EQ(Place(1000, 1000, kImage1), Place(100, 100, kImage1));
}

TEST(Placement, ExtendedPrecisionTruncationLosesAPixel)
{
    // 145 * (3 / 5.0) lies just below 87 and 145 / 29 just below 5.
    EXPECT_EQ(Place(3, 5, kImage2).width(), 86);
    EXPECT_EQ(Place(1, 29, kImage2), Corners(154, 0, 158, 145));
    const QRect none = Place(1, 145, kImage2);
    EXPECT_EQ(none.width(), 0);
    EXPECT_TRUE(none.isEmpty());
    // Here a product in plain double rounds up to a whole number; the
    // extended-precision one stays below it.
    EXPECT_EQ(Place(2, 433, kImage1).width(), 1);
    EXPECT_EQ(Place(4, 433, kImage1).width(), 3);
}

TEST(Placement, FlagsOffAndDegenerateSizes)
{
    // Without stretch a small picture keeps its size, centred or not.
    EXPECT_EQ(PlacePicture(10, 20, 313, 145, false, true, true), QRect(151, 62, 10, 20));
    EXPECT_EQ(PlacePicture(10, 20, 313, 145, false, true, false), QRect(0, 0, 10, 20));
    // ... but one larger than the box is still fitted when proportional.
    EXPECT_EQ(PlacePicture(640, 480, 313, 145, false, true, true), Corners(60, 0, 253, 145));
    // Stretch without proportions fills the box.
    EXPECT_EQ(PlacePicture(640, 480, 313, 145, true, false, true), QRect(0, 0, 313, 145));
    // Neither: drawn at its own size, overhanging evenly.
    EXPECT_EQ(PlacePicture(400, 150, 313, 145, false, false, true), QRect(-43, -2, 400, 150));
    // No picture fills the box (and is not drawn: there is nothing to draw).
    EXPECT_EQ(PlacePicture(0, 0, 313, 433, true, true, true), QRect(0, 0, 313, 433));
    // Odd leftovers go right and bottom.
    EXPECT_EQ(PlacePicture(2, 2, 5, 5, false, false, true), QRect(1, 1, 2, 2));
}

class Box : public ::testing::Test {
protected:
    Box()
    {
        QPalette p = parent.palette();
        p.setColor(QPalette::Window, kBehind);
        parent.setPalette(p);
        parent.setAutoFillBackground(true);
        parent.resize(kImage2);
        box = new TImage(&parent);
        box->setGeometry(QRect(QPoint(0, 0), kImage2));
    }
    QImage Screen() { return parent.grab().toImage().convertToFormat(QImage::Format_RGB32); }
    QString Jpeg(const QString& name, int w, int h)
    {
        disc.Write(name, test::EncodeJpeg(test::Photo(w, h, 3)));
        return disc.Path(name);
    }

    static constexpr QRgb kBehind = qRgb(10, 200, 30);
    test::Disc disc;
    QWidget parent;
    TImage* box = nullptr;
};

TEST_F(Box, StartsEmptyWithAllFlagsOnAndDrawsNothing)
{
    EXPECT_TRUE(box->Center());
    EXPECT_TRUE(box->Proportional());
    EXPECT_TRUE(box->Stretch());
    EXPECT_TRUE(box->Picture().isNull());
    const QImage shot = Screen();
    EXPECT_EQ(shot.pixel(0, 0), kBehind);
    EXPECT_EQ(shot.pixel(156, 72), kBehind);
}

TEST_F(Box, DrawsNearestNeighbourInsideItsRectangleOnly)
{
    QImage picture(2, 1, QImage::Format_BGR888);
    picture.setPixel(0, 0, qRgb(255, 0, 0));
    picture.setPixel(1, 0, qRgb(0, 0, 255));
    box->SetPicture(picture);
    const QRect dest = box->DestRect();
    ASSERT_EQ(dest, Corners(11, 0, 301, 145));
    const QImage shot = Screen();
    for (int y = 0; y < 145; y += 16) {
        for (int x = 0; x < 313; ++x) {
            const QRgb c = shot.pixel(x, y);
            if (!dest.contains(x, y))
                ASSERT_EQ(c, kBehind) << x << "," << y;
            else  // no blending between the two source pixels
                ASSERT_TRUE(c == qRgb(255, 0, 0) || c == qRgb(0, 0, 255)) << x << "," << y;
        }
    }
    EXPECT_EQ(shot.pixel(20, 50), qRgb(255, 0, 0));
    EXPECT_EQ(shot.pixel(290, 50), qRgb(0, 0, 255));
}

TEST_F(Box, EmptyRectangleShowsWhatLiesBehind)
{
    QImage picture(1, 145, QImage::Format_BGR888);
    picture.fill(Qt::red);
    box->SetPicture(picture);
    EXPECT_TRUE(box->DestRect().isEmpty());
    const QImage shot = Screen();
    for (int x = 0; x < 313; ++x)
        ASSERT_EQ(shot.pixel(x, 72), kBehind) << x;
}

// Counts the box's paint events.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

TEST_F(Box, HandingAPictureSharesItAndPaintsOnlyLater)
{
    parent.show();
    QApplication::processEvents();
    PaintCounter counter;
    box->installEventFilter(&counter);

    TJPEGImage jpeg;
    TBitmap bitmap;
    LoadJpegInto(box, Jpeg(QStringLiteral("one.jpg"), 64, 48), jpeg, bitmap);
    EXPECT_EQ(counter.paints, 0);
    EXPECT_EQ(bitmap.constBits(), jpeg.Bitmap().constBits());
    EXPECT_EQ(box->Picture().constBits(), bitmap.constBits());
    EXPECT_EQ(box->Picture().cacheKey(), bitmap.cacheKey());

    for (int i = 0; i < 20 && counter.paints == 0; ++i)
        QApplication::processEvents();
    EXPECT_GT(counter.paints, 0);
    // Painting reads the pixels; it must not have detached them.
    EXPECT_EQ(box->Picture().constBits(), bitmap.constBits());
}

TEST_F(Box, ShowJpegFileReplacesThePictureOrKeepsItOnFailure)
{
    ShowJpegFile(box, Jpeg(QStringLiteral("one.jpg"), 64, 48));
    ASSERT_EQ(box->Picture().size(), QSize(64, 48));
    const qint64 key = box->Picture().cacheKey();

    disc.Write(QStringLiteral("text.jpg"), QByteArrayLiteral("hello"));
    disc.Write(QStringLiteral("empty.jpg"), QByteArray());
    EXPECT_THROW(ShowJpegFile(box, disc.Path(QStringLiteral("missing.jpg"))), EFOpenError);
    EXPECT_THROW(ShowJpegFile(box, disc.Path(QStringLiteral("text.jpg"))), EJPEG);
    EXPECT_THROW(ShowJpegFile(box, disc.Path(QStringLiteral("empty.jpg"))), EJPEG);
    EXPECT_EQ(box->Picture().cacheKey(), key);

    ShowJpegFile(box, Jpeg(QStringLiteral("two.jpg"), 30, 90));
    EXPECT_EQ(box->Picture().size(), QSize(30, 90));
    EXPECT_EQ(box->DestRect(), PlacePicture(30, 90, 313, 145, true, true, true));
}

TEST_F(Box, FailedStartUpLoadLeavesTheStartBitmapEmpty)
{
    TJPEGImage start;
    TBitmap first;
    EXPECT_THROW(LoadJpegInto(box, disc.Path(QStringLiteral("missing.jpg")), start, first), EFOpenError);
    EXPECT_TRUE(first.isNull());
    box->SetPicture(first);
    EXPECT_EQ(Screen().pixel(156, 72), kBehind);
}

}  // namespace
}  // namespace tavelo
