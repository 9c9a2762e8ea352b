#pragma once
// How a name on the disc fares on Windows and in the image's Joliet tree,
// which is what Windows reads from a disc.

#include <QString>

namespace tavelo::author {

// Why Windows cannot open an entry of this name, or empty when it can: a
// device name (CON, PRN, AUX, NUL, COM0-9, LPT0-9, also with an extension),
// a character Windows keeps out of names (< > : " / \ | ? * and control
// characters), or a trailing dot or space.
enum class WindowsNameProblem { None, DeviceName, Character, TrailingDotOrSpace };
WindowsNameProblem WindowsProblemOf(const QString& name);

// The classic Windows path limit: a path from the drive's root ("D:\...")
// of at most this many UTF-16 units, without the final NUL.
inline constexpr int kWindowsMaxPath = 259;
// The longest path from a disc's root that stays within it.
inline constexpr int kWindowsMaxDiscPath = kWindowsMaxPath - 3;

// The name the image's Joliet tree holds for name: the characters Joliet
// keeps out (* / : ; ? \ and control characters) become "_".
QString JolietName(const QString& name);
// The longest name Joliet holds whole (UTF-16 units, with long names on);
// a longer one is cut and given a digit to keep it apart.
inline constexpr int kJolietMaxName = 103;

}  // namespace tavelo::author
