#pragma once
// A window on a small fixture disc: three slides of distinct colours, two
// albums, lyrics, pages, player files. Pauses and termination are recorded,
// errors go to a recorder.

#include "base/error_report.h"
#include "menu/form1_inside.h"
#include "tests/fixture.h"

#include <QColor>
#include <QStringList>

#include <memory>
#include <vector>

namespace tavelo::test {

struct ErrorRecorder : ErrorReport {
    QStringList seen;
    void Report(const QString& m) override { seen << m; }
};

inline constexpr unsigned kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kYellow = 0xFFFF00, kMagenta = 0xFF00FF,
                          kCyan = 0x00FFFF;

class FormOnDisc {
public:
    // Lays out the standard fixture disc; callers may change it before Build().
    FormOnDisc();
    ~FormOnDisc();

    // Builds the window on the disc; the handle lives as long as the window.
    TForm1::Inside& Build(bool runTimer2 = true);
    void Destroy();

    Disc disc;
    ErrorRecorder errors;
    std::vector<int> pauses;
    int terminations = 0;

private:
    std::unique_ptr<TForm1> form_;
    std::unique_ptr<TForm1::Inside> inside_;
};

// Names that are bytes, hold "\\" or differ only in letter case exist on
// POSIX file systems only; Windows' own names are tested in content/.
#ifdef _WIN32
#define TAVELO_SKIP_WITHOUT_POSIX_NAMES() GTEST_SKIP() << "the Windows file system holds no such names"
#else
#define TAVELO_SKIP_WITHOUT_POSIX_NAMES() (void)0
#endif

// Renames a file of the disc to a name given as bytes (names need not be UTF-8).
void RenameToBytes(const Disc& disc, const QString& from, const QByteArray& to);

// The colour at the centre of a picture, as 0xRRGGBB.
unsigned CentreColour(const QImage& image);
// True when two colours are within a JPEG's tolerance of each other.
bool Near(unsigned a, unsigned b);

}  // namespace tavelo::test
