#include "tests/fixture.h"

#include "fixtures/jpeg_codec.h"

#include <QRgb>
#include <QDir>
#include <QFile>
#include <QFileInfo>

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
    // libjpeg itself, not Qt's plugin: the Windows Qt carries no JPEG plugin.
    const auto r = static_cast<std::uint8_t>(rgb >> 16), g = static_cast<std::uint8_t>(rgb >> 8),
               b = static_cast<std::uint8_t>(rgb);
    Write(rel, EncodeJpeg(grey ? Solid(w, h, {static_cast<std::uint8_t>(qGray(r, g, b))}) : Solid(w, h, {r, g, b})));
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
