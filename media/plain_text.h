#pragma once
// The byte side of loading a text file: reading it whole, and turning plain
// text bytes into the characters a view shows.

#include "content/handles.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>

namespace tavelo {

inline constexpr qsizetype kReadPiece = 64 * 1024;

// Reads fd to its end in pieces of at most piece bytes. A read that fails
// throws EReadError "Stream read error": a text is never shown cut short.
// Files larger than this are refused rather than read, so that a hostile disc
// cannot exhaust memory. What a view can show in time is a tighter bound on
// most texts (kMaxTextWork); this one matters for RTF, whose markup can be
// most of its bytes.
inline constexpr qsizetype kMaxTextBytes = qsizetype(8) * 1024 * 1024;

// A view lays a text out, to its end, as soon as the user jumps there, and a
// text whose first screen holds its longest paragraphs is laid out before it
// first paints. Either must take well under a second, so a text may carry at
// most this much layout work (LayoutWork): one unit per character, and the
// weights below for what costs a view more than characters. Measured on the
// Help page, a jump to the end as soon as the text shows, on a busy 2-core
// machine: 0.15 to 0.25 microseconds per unit, whatever a text is made of.
inline constexpr qsizetype kMaxTextWork = 3'000'000;
// Each paragraph, and each run of text in one format (RTF).
inline constexpr qsizetype kParagraphWork = 24;
// Text is shaped a run of one script and one direction at a time, and each
// run costs about as much as a dozen characters (a script change at every
// character: 2.3 microseconds a change; a direction control: up to 1.6).
inline constexpr qsizetype kScriptRunWork = 12;
inline constexpr qsizetype kDirectionWork = 12;
// A character the carried faces lack is shown from a face matched for it:
// 0.4 to 0.6 microseconds more for CJK and emoji, 0.2 for Arabic.
inline constexpr qsizetype kFallbackWork = 3;
// A right-to-left character is reordered for display: Hebrew prose took 0.1
// to 0.2 microseconds a character more than Latin.
inline constexpr qsizetype kRightToLeftWork = 1;
// A tab is a run of its own: 1.4 microseconds after a letter, and more than
// that in a long line.
inline constexpr qsizetype kTabWork = 12;
// A combining mark is placed on its letter: 0.25 to 0.3 microseconds.
inline constexpr qsizetype kMarkWork = 2;

// A paragraph is laid out whole before its first line can be painted, and a
// long one costs more per character: twice as much at 128 K characters as up
// to 32 K. Ordinary paragraphs are far shorter.
inline constexpr qsizetype kMaxParagraphChars = 32 * 1024;

// Each run of a paragraph costs more the longer the paragraph: a view that
// wraps goes over a paragraph's runs again for the lines it breaks (in
// paragraphs of 32,700 characters: 70 milliseconds a paragraph with a
// script change every 128 characters, 0.75 seconds with one every eighth),
// and one that does not still pays three times as much for a tab in 32,700
// characters as in 2,000. The runs, direction changes, tabs and format runs
// of a paragraph count again for every this many characters it holds.
inline constexpr qsizetype kLongParagraphChars = 250;

// What shaping a text's characters asks beyond their number.
struct ShapingStats {
    qsizetype scriptRuns = 0;        // script changes within paragraphs
    qsizetype directionChanges = 0;  // changes of a strong direction, and direction controls
    qsizetype rightToLeftChars = 0;  // of a strong right-to-left direction
    qsizetype fallbackChars = 0;     // outside the scripts the carried faces hold
    qsizetype tabs = 0;
    qsizetype marks = 0;              // combining marks, vowel signs among them
    qsizetype longParagraphWork = 0;  // what long paragraphs add (kLongParagraphChars)
};

// Counts ShapingStats over a text given a piece at a time, in one pass.
class ShapingCounter {
public:
    void Add(QStringView text);
    // What follows is in another format (RTF), and shaped as a run of its own.
    void NewFormat() { paragraphRunWork_ += kParagraphWork; }
    void EndParagraph();
    // With the paragraph still open.
    ShapingStats Stats() const;

private:
    static constexpr int kNone = -1;
    void Run(qsizetype& count, qsizetype work)
    {
        ++count;
        paragraphRunWork_ += work;
    }
    ShapingStats stats_;
    int script_ = kNone;     // of the paragraph's last character that has one
    int direction_ = kNone;  // likewise: 0 left to right, 1 right to left
    qsizetype paragraphChars_ = 0;
    qsizetype paragraphRunWork_ = 0;  // what the paragraph's runs, direction changes and tabs weigh
};

// What a text asks of a view.
struct ParagraphStats {
    qsizetype count = 0;
    qsizetype longest = 0;  // characters
    qsizetype chars = 0;    // in all
    qsizetype runs = 0;     // stretches of text in one format within a paragraph (RTF)
    ShapingStats shaping;
};
// Paragraphs of decoded plain text: "\n" separates them, and so do the
// paragraph and frame separators a view breaks at (U+2029, U+FDD0, U+FDD1).
ParagraphStats Paragraphs(const QString& text);
// The layout work of a text, in the units of kMaxTextWork.
qsizetype LayoutWork(const ParagraphStats& p);
// True when a view can show the text in time.
bool WithinParagraphLimits(const ParagraphStats& p);

// Returns nullopt when the file holds more than maxBytes.
std::optional<QByteArray> ReadWholeFile(const FileDescriptor& fd, qsizetype piece = kReadPiece,
                                        qsizetype maxBytes = kMaxTextBytes);

// True when bytes are well-formed UTF-8 (no overlong forms, surrogates or
// values past U+10FFFF).
bool IsValidUtf8(QByteArrayView bytes);

// Every CR LF pair, lone CR and lone LF becomes one "\n"; NUL characters are
// dropped (nothing after them is lost).
QString NormalizeLineBreaks(QString text);

// What plain text bytes are taken to be (see DecodePlainText).
enum class PlainEncoding { Ascii, Utf8, Utf8Bom, Utf16LE, Utf16BE, Windows1251 };
PlainEncoding DetectPlainEncoding(QByteArrayView bytes);

// Plain text bytes as characters: a byte-order mark (UTF-8, UTF-16LE,
// UTF-16BE) decides; otherwise valid UTF-8 with non-ASCII bytes is UTF-8 and
// anything else Windows-1251. Line breaks come out as "\n". Empty when the
// Windows-1251 converter is not available on this system.
std::optional<QString> DecodePlainText(QByteArrayView bytes);

}  // namespace tavelo
