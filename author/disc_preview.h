#pragma once
// The author's preview: the menu's own window, built on the disc and clicked
// through section by section, drawn to PNG files for each thing a listener
// can see, with the error boxes the window shows and the check's findings
// beside the view they belong to. Needs a QApplication (any platform; the
// tool uses offscreen). Nothing inside the disc is ever written.

#include "author/disc_check.h"

#include <QByteArray>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace tavelo::author {

// In the order the menu lists them, top down.
enum class Section { Start, Lyrics, Slides, Group, Disc, Player, Help };

// One thing a listener can see. A full view is the whole window, drawn once
// at its size and once at twice it; a slide that shows without trouble is a
// small copy of the picture box instead.
struct PreviewView {
    Section section = Section::Start;
    QString id;  // file names start with it: "start", "slide-003", "song-012" ...
    QString caption;
    QStringList pictures;           // one file per box the window shows here (or one when none)
    QStringList pictures2x;         // the same at twice the size; empty for a small copy
    QSize size;                     // the pictures' size at 1×
    QStringList boxes;              // the error boxes shown here, in the order they come
    QStringList unconfirmed;        // boxes the check has no error for (never expected)
    std::vector<Finding> findings;  // the check's findings about what this view shows
};

struct Preview {
    CheckReport check;
    QString title;                   // the boxes' caption, the menu's title
    std::vector<PreviewView> views;  // in menu order
    std::vector<Finding> discWide;   // findings that belong to no one view
    bool Small(const PreviewView& view) const { return view.pictures2x.isEmpty(); }
};

struct PreviewOptions {
    CheckOptions check;
    int threads = 0;  // PNG encoding; 0: one per core (the check's options decode)
    // Called on the calling thread as views are drawn: done of total.
    std::function<void(int done, int total)> progress;
};

// The preview could not be written (the output folder, a PNG).
class PreviewFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Checks the disc at dir, draws its views into folder (an existing folder
// outside the disc) and returns what was drawn. The current folder is the
// disc's while the window is built and is given back afterwards. Throws
// CheckFailure when the disc cannot be checked, PreviewFailure when a
// picture cannot be written.
Preview MakePreview(const QByteArray& dir, const QString& folder, const PreviewOptions& options = {});

// The report page, index.html: plain HTML and CSS, every picture by its file
// name beside it.
QByteArray PreviewHtml(const Preview& preview);

QString SectionName(Section section);

}  // namespace tavelo::author
