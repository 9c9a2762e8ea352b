#pragma once
// The disc's folders and files as the program names them: folders appended to
// the start-up directory, texts and programs relative to the current
// directory. The author's checker forms its paths with the same functions.

#include <QString>

namespace tavelo {

inline const QString kPictureFolder = QStringLiteral("\\picture\\");
inline const QString kSoundFolder = QStringLiteral("\\sound\\");
inline const QString kGroupFolder = QStringLiteral("\\about group\\");
inline const QString kPlayerFolder = QStringLiteral("\\player\\");

inline const QString kGroupTextPath = QStringLiteral("about group/about.txt");
inline const QString kDiscTextPath = QStringLiteral("about disk/about.txt");
inline const QString kHelpTextPath = QStringLiteral("help/help.txt");
inline const QString kPlayerSetupPath = QStringLiteral("player\\playersetup.exe");
inline const QString kPlayerPath = QStringLiteral("player\\player.exe");

// A picture named by a listing of folder (one of the folders above).
inline QString ListedPicturePath(const QString& baseDir, const QString& folder, const QString& name)
{
    return baseDir + folder + name + QStringLiteral(".jpg");
}

inline QString AlbumFolder(const QString& baseDir, const QString& album)
{
    return baseDir + kSoundFolder + album + QStringLiteral("\\");
}

// A song's lyrics and the song itself, from the catalogue's node texts.
inline QString LyricsPath(const QString& album, const QString& song)
{
    return QStringLiteral("text\\") + album + QStringLiteral("\\") + song + QStringLiteral(".txt");
}

inline QString SongPath(const QString& album, const QString& song)
{
    return QStringLiteral("sound\\") + album + QStringLiteral("\\") + song + QStringLiteral(".mp3");
}

}  // namespace tavelo
