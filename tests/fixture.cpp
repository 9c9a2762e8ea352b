#include "tests/fixture.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>

#include <stdexcept>

namespace tavelo::test {

Disc::Disc()
{
    if (!dir_.isValid())
        throw std::runtime_error("cannot make a temporary folder");
}

Disc::~Disc()
{
    if (entered_ && !QDir::setCurrent(oldCwd_)) {
        // Nothing sensible to do in a destructor; the next test sets its own.
    }
}

QString Disc::Root() const { return dir_.path(); }
QString Disc::Path(const QString& rel) const { return dir_.path() + QLatin1Char('/') + rel; }

void Disc::MakeDir(const QString& rel) const
{
    if (!QDir().mkpath(Path(rel)))
        throw std::runtime_error("mkpath failed");
}

void Disc::Write(const QString& rel, const QByteArray& bytes) const
{
    const QString full = Path(rel);
    QDir().mkpath(QFileInfo(full).absolutePath());
    QFile f(full);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        throw std::runtime_error("write failed");
}

void Disc::WriteJpeg(const QString& rel, int w, int h, unsigned rgb, bool grey) const
{
    QImage img(w, h, grey ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    img.fill(QColor::fromRgb(rgb));
    const QString full = Path(rel);
    QDir().mkpath(QFileInfo(full).absolutePath());
    QImageWriter writer(full, "jpeg");
    writer.setQuality(90);
    if (!writer.write(img))
        throw std::runtime_error("jpeg write failed");
}

void Disc::Enter()
{
    if (!entered_) {
        oldCwd_ = QDir::currentPath();
        entered_ = true;
    }
    if (!QDir::setCurrent(Root()))
        throw std::runtime_error("chdir failed");
}

}  // namespace tavelo::test
