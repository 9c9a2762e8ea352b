#pragma once
// The hidden directory outline: its only use is to hold the start-up
// directory, lower-cased, taken once when the window is built.

#include <QString>

namespace tavelo {

class TDirectoryOutline {
public:
    TDirectoryOutline();
    // Throws EFOpenError when the start-up directory could not be taken, so
    // nothing is looked up from a folder the program never started in.
    const QString& Directory() const;

private:
    QString directory_;
    QString error_;
};

}  // namespace tavelo
