#include "tests/menu/form_fixture.h"

#include "tests/media/private_desktop.h"

#include <QFile>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace tavelo::test {

FormOnDisc::FormOnDisc()
{
    disc.WriteJpeg(QStringLiteral("picture/1 red.jpg"), 64, 48, kRed);
    disc.WriteJpeg(QStringLiteral("picture/2 green.jpg"), 48, 64, kGreen);
    disc.WriteJpeg(QStringLiteral("picture/10 blue.jpg"), 50, 50, kBlue);
    disc.WriteJpeg(QStringLiteral("about group/00 band.jpg"), 80, 40, kYellow);
    disc.Write(QStringLiteral("about group/about.txt"), "The band.");
    disc.Write(QStringLiteral("about disk/about.txt"), "The disc.");
    disc.Write(QStringLiteral("help/help.txt"), "Help text.");
    disc.Write(QStringLiteral("sound/A/1.mp3"), QByteArray("ID3\x03") + QByteArray(60, '\0'));
    disc.Write(QStringLiteral("sound/A/2.mp3"), QByteArray("ID3\x03") + QByteArray(60, '\0'));
    disc.Write(QStringLiteral("sound/B/3.mp3"), QByteArray("ID3\x03") + QByteArray(60, '\0'));
    disc.Write(QStringLiteral("text/A/1.txt"), "Lyrics one");
    disc.Write(QStringLiteral("text/A/2.txt"), "Lyrics two");
    disc.Write(QStringLiteral("text/B/3.txt"), "Lyrics three");
    disc.WriteJpeg(QStringLiteral("player/00 player.jpg"), 40, 40, kMagenta);
    const QByteArray program = PrivateDesktop::ForThisProcess().ProgramFile();
    disc.Write(QStringLiteral("player/player.exe"), program);
    disc.Write(QStringLiteral("player/playersetup.exe"), program);
}

FormOnDisc::~FormOnDisc()
{
    Destroy();
    InstallErrorReport(nullptr);
}

void FormOnDisc::Destroy()
{
    inside_.reset();
    form_.reset();
}

TForm1::Inside& FormOnDisc::Build(bool runTimer2)
{
    disc.Enter();
    InstallErrorReport(&errors);
    TForm1::Options options;
    options.pause = [this](int ms) { pauses.push_back(ms); };
    options.terminate = [this] { ++terminations; };
    inside_.reset();
    form_ = std::make_unique<TForm1>(options);
    inside_ = std::make_unique<TForm1::Inside>(*form_);
    if (runTimer2)
        inside_->Timer2Timer();
    return *inside_;
}

void RenameToBytes(const Disc& disc, const QString& from, const QByteArray& to)
{
    if (std::rename(QFile::encodeName(disc.Path(from)).constData(),
                    (QFile::encodeName(disc.Root()) + '/' + to).constData()) != 0)
        throw std::runtime_error("rename failed");
}

unsigned CentreColour(const QImage& image)
{
    if (image.isNull())
        return 0xFFFFFFFF;
    return image.pixel(image.width() / 2, image.height() / 2) & 0xFFFFFF;
}

bool Near(unsigned a, unsigned b)
{
    for (int shift : {0, 8, 16}) {
        if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > 40)
            return false;
    }
    return true;
}

}  // namespace tavelo::test
