#pragma once
// Disc fixtures: a temporary folder the test fills, optionally made the
// current directory for the test's duration.

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace tavelo::test {

class Disc {
public:
    Disc();
    ~Disc();
    Disc(const Disc&) = delete;
    Disc& operator=(const Disc&) = delete;

    QString Root() const;                    // absolute, no final "/"
    QString Path(const QString& rel) const;  // Root() + "/" + rel
    void MakeDir(const QString& rel) const;
    void Write(const QString& rel, const QByteArray& bytes) const;  // makes parent folders
    // A baseline JPEG of w x h in one colour (QImageWriter), or grey when grey.
    void WriteJpeg(const QString& rel, int w, int h, unsigned rgb = 0x336699, bool grey = false) const;
    // Makes the disc the current folder until the object dies (restores the old one).
    void Enter();

private:
    QTemporaryDir dir_;
    QString oldCwd_;
    bool entered_ = false;
};

}  // namespace tavelo::test

// Readable failure output for Qt strings.
#include <ostream>
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
