#pragma once
// A new, empty disc: the seven folders and a template help text.

#include <QString>

namespace tavelo::author {

// Lays out the skeleton in dir (made when missing). Refuses a dir that exists
// and is not an empty folder. Returns an empty string on success, else why not.
QString NewDisc(const QString& dir);

}  // namespace tavelo::author
