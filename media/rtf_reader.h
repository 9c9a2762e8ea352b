#pragma once
// The program's own RTF reader: turns an RTF document into a QTextDocument.
//
// What a document does not state comes from the document's defaults, which the
// text view sets: a paragraph without \ql/\qc/\qr/\qj gets no alignment of its
// own and so shows in the view's alignment (centred), and a run without \f,
// \fs or \cf shows in the view's font, size and colour.
//
// The reader never fails once the content starts with "{\rtf": whatever it
// cannot make sense of is left out, and a document whose groups never close
// shows what it holds; only a document larger than a view can show in time is
// refused. Time is linear in the input; memory is bounded by the input size
// (nesting deeper than a fixed limit is followed but not stacked, tables are
// capped).

#include "media/plain_text.h"

#include <QByteArrayView>

#include <memory>
#include <optional>

class QTextDocument;

namespace tavelo {

// True when bytes begin with "{\rtf", the only content the reader accepts.
bool LooksLikeRtf(QByteArrayView bytes);

// Whether a text with these counts may be shown (WithinParagraphLimits).
using TextLimits = bool (*)(const ParagraphStats&);

// An RTF document read into memory, not yet into any view.
class RtfText {
public:
    RtfText(RtfText&&) noexcept;
    RtfText& operator=(RtfText&&) noexcept;
    ~RtfText();

    // Exactly what the document asks of a view.
    ParagraphStats Stats() const;

    // Replaces the whole content of doc with the document and clears doc's
    // undo history. The text is handed over: this is done once.
    void WriteTo(QTextDocument* doc);

    struct Parts;

private:
    friend std::optional<RtfText> ParseRtf(QByteArrayView bytes, TextLimits within);
    explicit RtfText(std::unique_ptr<Parts> parts);
    std::unique_ptr<Parts> parts_;
};

// Reads the RTF document in bytes (which must satisfy LooksLikeRtf). Nullopt,
// the rest unread, as soon as what it has read fails within.
std::optional<RtfText> ParseRtf(QByteArrayView bytes, TextLimits within = WithinParagraphLimits);

// Replaces the whole content of doc with the RTF document in bytes, however
// large. Clears doc's undo history.
void ReadRtf(QByteArrayView bytes, QTextDocument* doc);

}  // namespace tavelo
