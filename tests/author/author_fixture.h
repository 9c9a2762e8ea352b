#pragma once
// A small disc that checks clean, for the author's tool tests to spoil.

#include "tests/fixture.h"

#include <QByteArray>

namespace tavelo::test {

QByteArray Mp3Bytes();

// Two slides, one album of one song with its lyrics, the page pictures and
// texts, and both player programs.
void WriteGoodDisc(const Disc& disc);

}  // namespace tavelo::test
