#pragma once
// The disc's folders as the program appends them to the start-up directory.

#include <QString>

namespace tavelo {

inline const QString kPictureFolder = QStringLiteral("\\picture\\");
inline const QString kSoundFolder = QStringLiteral("\\sound\\");
inline const QString kGroupFolder = QStringLiteral("\\about group\\");
inline const QString kPlayerFolder = QStringLiteral("\\player\\");

}  // namespace tavelo
