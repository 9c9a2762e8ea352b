#pragma once
// The hidden directory outline: its only use is to hold the start-up
// directory, lower-cased, taken once when the window is built.

#include <QString>

namespace tavelo {

class TDirectoryOutline {
public:
    TDirectoryOutline();
    const QString& Directory() const { return directory_; }

private:
    QString directory_;
};

}  // namespace tavelo
