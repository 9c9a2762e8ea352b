#pragma once
// The byte side of loading a text file: reading it whole, and turning plain
// text bytes into the characters a view shows.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace tavelo {

inline constexpr qsizetype kReadPiece = 64 * 1024;

// Reads fd to its end in pieces of at most piece bytes. A read that fails
// throws EReadError "Stream read error": a text is never shown cut short.
// Texts larger than this are refused rather than read: past it a view takes
// more than a second to show the text (about 0.1 s per MiB here), and a
// hostile disc must not exhaust memory.
inline constexpr qsizetype kMaxTextBytes = qsizetype(8) * 1024 * 1024;

// Each paragraph costs a view about as much as 30 bytes of text, in time and
// more in memory: a text of nothing but line breaks would take seconds and
// hundreds of megabytes well within the size limit. An 8 MiB text of
// ordinary lines has about 130,000.
inline constexpr qsizetype kMaxTextParagraphs = 200'000;

// A paragraph is laid out whole before its first line can be painted, at
// about 1.3 microseconds per character here: a text that is one long line
// would hold the window for seconds. Ordinary paragraphs are far shorter.
inline constexpr qsizetype kMaxParagraphChars = 256 * 1024;

struct ParagraphStats {
    qsizetype count = 0;
    qsizetype longest = 0;  // characters
};
// Paragraphs of decoded plain text ("\n" separates them).
ParagraphStats Paragraphs(const QString& text);
bool WithinParagraphLimits(const ParagraphStats& p);

// Returns nullopt when the file holds more than maxBytes.
std::optional<QByteArray> ReadWholeFile(int fd, qsizetype piece = kReadPiece, qsizetype maxBytes = kMaxTextBytes);

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
