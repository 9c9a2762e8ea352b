#pragma once
// The author's check of a disc folder: every problem the menu would meet on
// it, found with the menu's own resolver, lister, decoder, text loader and
// launcher queries. Nothing inside the disc is ever written.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <stdexcept>
#include <vector>

namespace tavelo::author {

enum class Severity { Error, Warning, Note };

// One finding. code is stable and machine-readable; path is the file or
// folder inside the disc ("/"-separated, empty for the disc as a whole).
struct Finding {
    Severity severity = Severity::Note;
    QString code;
    QString path;
    QString message;
};

struct Album {
    QString name;
    QStringList songs;
};

struct CheckReport {
    QString disc;                   // the disc folder, absolute
    std::vector<Finding> findings;  // errors first, then warnings, then notes
    QStringList slides;             // listed names, in slide order
    std::vector<Album> catalogue;   // as the menu builds it
    qint64 bytes = 0;               // the disc's size on a disc (2 KiB sectors)

    int Count(Severity severity) const;
    bool Has(const QString& code) const;
};

struct CheckOptions {
    int threads = 0;        // decoding threads; 0: one per core
    qint64 extraBytes = 0;  // added to the size (what an image adds, e.g. the kit)
    // Called on the calling thread while pictures decode: done of total.
    std::function<void(int done, int total)> progress;
};

// The check could not run (the folder is missing or not a folder).
class CheckFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The entries the kit puts at the top of an image; never part of the menu.
const QStringList& KitTopEntries();

CheckReport CheckDisc(const QString& dir, const CheckOptions& options = {});

QString SeverityName(Severity severity);
// One JSON document: {"disc", "bytes", "counts", "findings": [{severity,
// code, path, message}], "slides", "catalogue"}.
QByteArray ReportJson(const CheckReport& report);
// The report for a person: findings grouped by severity, then the slides and
// the catalogue in menu order.
QString ReportText(const CheckReport& report);

// The image boxes the pictures are drawn in: Image1 (slides, the player
// picture) and Image2 (the group photo).
struct BoxSize {
    int width;
    int height;
};
inline constexpr BoxSize kImage1Box{313, 433};
inline constexpr BoxSize kImage2Box{313, 145};

// Disc capacities in bytes: an 80-minute CD and a single-layer DVD.
inline constexpr qint64 kCdBytes = qint64{360000} * 2048;
inline constexpr qint64 kDvdBytes = qint64{2295104} * 2048;

}  // namespace tavelo::author
