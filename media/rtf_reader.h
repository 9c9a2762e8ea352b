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

// Upper bounds of what the document in bytes asks of a view, read without
// building it: its \\par, \\sect, \\page and \\row words and escaped line
// breaks end paragraphs unless the reader may pass over them; every text
// byte, escape, control symbol and character word counts as a character,
// outside binary data and the groups the reader skips whole (pictures,
// objects, optional destinations and the like); and text after any other
// control word or a brace starts a new run, as it may be formatted
// differently.
ParagraphStats RtfParagraphBounds(QByteArrayView bytes);

// Replaces the whole content of doc with the RTF document in bytes (which
// must satisfy LooksLikeRtf). Clears doc's undo history.
void ReadRtf(QByteArrayView bytes, QTextDocument* doc);

}  // namespace tavelo
