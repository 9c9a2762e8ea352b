#pragma once
// The author's check of a disc folder: every problem the menu would meet on
// it, found with the menu's own resolver, lister, decoder, text loader and
// launcher queries. Nothing inside the disc is ever written.

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>

#include <functional>
#include <stdexcept>
#include <vector>

namespace tavelo::author {

enum class Severity { Error, Warning, Note };

// One finding. code is stable and machine-readable; path is the file or
// folder inside the disc ("/"-separated, empty for the disc as a whole).
// path and message show a byte that is not UTF-8 as U+FFFD; pathBytes holds
// the path's own bytes.
struct Finding {
    Severity severity = Severity::Note;
    QString code;
    QString path;
    QString message;
    QByteArray pathBytes;
};

// Names below are as the listing gives them: a byte that is not UTF-8 is
// kept as DecodeName keeps it (EncodeName gives the bytes back).
struct Album {
    QString name;
    QStringList songs;
};

struct CheckReport {
    QString disc;                   // the disc folder, absolute (DecodeName of its bytes)
    std::vector<Finding> findings;  // errors first, then warnings, then notes
    QStringList slides;             // listed names, in slide order
    std::vector<Album> catalogue;   // as the menu builds it
    qint64 bytes = 0;               // the disc's size on a disc (2 KiB sectors)

    int Count(Severity severity) const;
    bool Has(const QString& code) const;
};

struct CheckOptions {
    int threads = 0;  // decoding threads; 0: one per core
    // Bytes that pictures being decoded may hold at once (file copies,
    // bitmaps, decoder storage), whatever the thread count; a picture that
    // needs more decodes alone.
    qint64 memoryBudget = qint64{512} << 20;
    qint64 extraBytes = 0;  // added to the size (what an image adds, e.g. the kit)
    // Called on the calling thread while pictures decode: done of total.
    std::function<void(int done, int total)> progress;
    // Called on a decoding thread for each slide that decodes, with its
    // position (from 1) and its picture, which lives only for the call.
    std::function<void(int slide, const QImage& picture)> slideDecoded;
};

// The check could not run (the folder is missing, not a folder, or cannot
// be read or entered).
class CheckFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The entries the kit puts at the top of an image; never part of the menu.
const QStringList& KitTopEntries();

// dir is the folder's path as bytes, kept as they are (never split at "\").
CheckReport CheckDisc(const QByteArray& dir, const CheckOptions& options = {});
CheckReport CheckDisc(const QString& dir, const CheckOptions& options = {});

QString SeverityName(Severity severity);
// One JSON document, valid UTF-8: {"disc", "bytes", "counts", "findings":
// [{severity, code, path, message}], "slides", "catalogue": [{album,
// songs}]}. Names show a byte that is not UTF-8 as U+FFFD; where a name holds
// one, a sibling key "<key>_bytes" (path_bytes, disc_bytes, album_bytes,
// slides_bytes, songs_bytes) carries its bytes percent-encoded, with null for
// the items of a list that need none.
QByteArray ReportJson(const CheckReport& report);
// The report for a person: findings grouped by severity, then the slides and
// the catalogue in menu order. Control characters are shown escaped.
QString ReportText(const CheckReport& report);

// A decoded name or message as the text report shows it: DisplayName, then
// control characters (and the line and direction controls of Unicode)
// written as escapes ("\n", "\x1b", "\u202e"), so that no name can break a
// line or reach the terminal.
QString Visible(const QString& text);
// bytes percent-encoded: "%" and every byte outside "!" .. "~" as %XX.
QString PercentEncoded(const QByteArray& bytes);

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
