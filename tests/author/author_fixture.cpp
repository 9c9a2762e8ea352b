#include "tests/author/author_fixture.h"

#include <QFile>

namespace tavelo::test {

QByteArray Mp3Bytes()
{
    QByteArray b("ID3\x03\x00\x00\x00\x00\x00\x00", 10);
    b += QByteArray("\xFF\xFB\x90\x00", 4);
    b += QByteArray(413, '\0');
    return b;
}

void WriteGoodDisc(const Disc& disc)
{
    disc.WriteJpeg(QStringLiteral("picture/01 a.jpg"), 64, 48);
    disc.WriteJpeg(QStringLiteral("picture/02 b.jpg"), 48, 64, 0x884422, true);
    disc.Write(QStringLiteral("sound/A/01 s.mp3"), Mp3Bytes());
    disc.Write(QStringLiteral("text/A/01 s.txt"), "la la la\n");
    disc.WriteJpeg(QStringLiteral("about group/00 photo.jpg"), 64, 32);
    disc.Write(QStringLiteral("about group/about.txt"), "The group.\n");
    disc.Write(QStringLiteral("about disk/about.txt"), "The disc.\n");
    disc.Write(QStringLiteral("help/help.txt"), "Help.\n");
    disc.WriteJpeg(QStringLiteral("player/00 player.jpg"), 32, 32);
    for (const char* exe : {"player/player.exe", "player/playersetup.exe"}) {
        const QString rel = QString::fromLatin1(exe);
        disc.Write(rel, "MZ");
        QFile::setPermissions(disc.Path(rel),
                              QFile::permissions(disc.Path(rel)) | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther);
    }
}

}  // namespace tavelo::test
