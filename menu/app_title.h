#pragma once
#include <QString>

namespace tavelo {

// The application title from the program file's name: the name after the last
// separator, cut at its first ".", every character after the first in lower
// case (SETUP.EXE gives Setup, Disc.Menu.exe gives Disc). At most 255 characters.
QString ApplicationTitleFromFileName(const QString& programPath);

}  // namespace tavelo
