#pragma once
// Building a disc image: the disc folder and the program kit merged at the
// image's top, Rock Ridge (names and exec bits kept) plus Joliet.

#include <QString>
#include <QStringList>

namespace tavelo::author {

// The kit beside the tavelo-disc executable, if there is one; else empty.
QString DefaultKitFolder();

// Why folder is not a kit (empty when it is one): it must hold autorun.sh and
// the program folder.
QString KitProblem(const QString& folder);

// Entries of the disc's top folder that the kit also puts at the image top.
QStringList KitConflicts(const QString& disc, const QString& kit);

// The size the kit adds to the image, in 2 KiB sectors' bytes.
qint64 KitBytes(const QString& kit);

// A volume label made from the disc folder's name: ISO d-characters
// (A-Z, 0-9, _), at most 32 of them.
QString DefaultLabel(const QString& disc);

// Runs xorriso into output (through a temporary file beside it, renamed on
// success, so a failed build leaves any previous image alone). Returns an
// empty string on success, else what went wrong.
QString BuildImage(const QString& disc, const QString& kit, const QString& output, const QString& label);

}  // namespace tavelo::author
