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
// shows what it holds. Time is linear in the input; memory is bounded by the
// input size (nesting deeper than a fixed limit is followed but not stacked,
// tables are capped).

#include "media/plain_text.h"

#include <QByteArrayView>

class QTextDocument;

namespace tavelo {

// True when bytes begin with "{\rtf", the only content the reader accepts.
bool LooksLikeRtf(QByteArrayView bytes);

// Upper bounds of the paragraphs the document in bytes makes and of their
// length in characters: its \\par, \\sect, \\page and \\row words and escaped
// line breaks count wherever they stand, and every byte between two of them
// as a character.
ParagraphStats RtfParagraphBounds(QByteArrayView bytes);

// Replaces the whole content of doc with the RTF document in bytes (which
// must satisfy LooksLikeRtf). Clears doc's undo history.
void ReadRtf(QByteArrayView bytes, QTextDocument* doc);

}  // namespace tavelo
