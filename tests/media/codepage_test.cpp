// The code pages a disc's texts may be written in, decoded to the same text on
// every system: this table runs in the Linux build (iconv) and in the Windows
// build (MultiByteToWideChar) alike.

#include "media/codepage.h"

#include <gtest/gtest.h>

using namespace tavelo;

namespace {

struct Case {
    int codePage;
    QByteArray bytes;
    QString text;
};

// Each code page with letters it is chosen for and, where it has them, bytes
// it leaves undefined (one replacement character each).
const Case kCases[] = {
    {1250, "\x8a\xe8\xf9\x81", u"Ščů\uFFFD"_qs},
    {1251, "\xcf\xf0\xe8\xe2\xe5\xf2 \xa8\xb9\x88\x98\xff", u"Привет Ё№€\uFFFDя"_qs},
    {1252, "\x80\xe9\x9f\x81\x9d", u"€éŸ\uFFFD\uFFFD"_qs},
    {1253, "\xc1\xe8\xde\xaa", u"Αθή\uFFFD"_qs},
    {1254, "\xd0\xfe\xdd\x8e", u"Ğşİ\uFFFD"_qs},
    {1256, "\xc7\xe1\x81\x90", u"الپگ"_qs},
    {1257, "\xe0\xf0\xfe\xa1", u"ąšž\uFFFD"_qs},
    {874, "\xa1\xe0\x80\x81\xdb", u"กเ€\uFFFD\uFFFD"_qs},
    {437, "\x80\xb0\xe1\xfe", u"Ç░ß■"_qs},
    {850, "\x80\xd5\xf0", u"Çı\u00AD"_qs},
    {866, "\x8f\xe0\xa8\xa2\xa5\xe2\xf0", u"ПриветЁ"_qs},
    {10000, "\x8e\xa5\xbd\xc6\xdb", u"é•ΩΔ€"_qs},
    {20866, "\xf0\xd2\xc9\xd7\xc5\xd4\xb3", u"ПриветЁ"_qs},
    {21866, "\xa4\xa6\xae\xbe", u"єі╝╬"_qs},
    {28591, "\xe9\x85", u"é\u0085"_qs},
    {28592, "\xa9\xb1", u"Šą"_qs},
    {28593, "\xa1\xa5", u"Ħ\uFFFD"_qs},
    {28594, "\xa2", u"ĸ"_qs},
    {28595, "\xbf\xe0\xf0", u"Пр№"_qs},
    {28596, "\xc7\xa1", u"ا\uFFFD"_qs},
    {28597, "\xa1\xa4\xc1\xd2", u"‘€Α\uFFFD"_qs},
    {28598, "\xe0\xaf\xfd\xc0", u"א¯\u200E\uFFFD"_qs},
    {28599, "\xd0\xfd", u"Ğı"_qs},
    {28603, "\xe0\xd0", u"ąŠ"_qs},
    {28605, "\xa4\xbc", u"€Œ"_qs},
    // Hebrew and Vietnamese join a mark to the letter before it where Unicode
    // has that letter; the last letter is never lost.
    {1255, "\xf9\xd1\xf9\xcc\xd2 \xe0", u"\uFB2A\uFB2D א"_qs},
    {1255, "\xe9\xca", u"י\uFFFD"_qs},
    {1258, "Vi\xea\xf2t \xd3\xde\xc0\xf2", u"Việt \u1E4CÀ\u0323"_qs},
    // Double-byte pages: a lead byte with a trail it has no character for
    // gives one replacement and the trail byte is read again on its own.
    {932, "\x82\xa0\x8a\xbf\xb1\xf0\x40\x80\x82\x20", u"あ漢ｱ\uE000\uFFFD\uFFFD "_qs},
    {936, "\xc4\xe3\xba\xc3\x80\xa1\x40", u"你好€\uFFFD@"_qs},
    {949, "\xc7\xd1\xb1\xdb\x80\xc9\xa1", u"한글\uFFFD\uFFFD\uFFFD"_qs},
    {950, "\xa4\xa4\xa4\xe5\x81\x40\xc6\xa1", u"中文\uFFFD@\uF6B1"_qs},
    {1361, "\x88\x61\x41", u"가A"_qs},
    {65001, "\xd0\x9f\xe2\x82\xac\xf0\x9f\x98\x80", u"П€😀"_qs},
    {65001, "\xc0\xaf\xe2\x28\xa1\xed\xa0\x80\xe2\x82", u"\uFFFD\uFFFD\uFFFD(\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"_qs},
};

// The text's UTF-16 units, for messages that show which one differs.
std::string Codes(const QString& text)
{
    QString codes;
    for (const QChar c : text)
        codes += QStringLiteral("%1 ").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    return codes.toStdString();
}

TEST(CodePage, TableDecodesTheSameOnEverySystem)
{
    for (const Case& c : kCases) {
        CodePageDecoder decoder(c.codePage);
        ASSERT_TRUE(decoder.ok()) << c.codePage;
        QString out = QStringLiteral(">");
        EXPECT_EQ(decoder.Decode(c.bytes, out), c.bytes.size()) << c.codePage;
        EXPECT_EQ(Codes(out.mid(1)), Codes(c.text)) << c.codePage << " " << c.bytes.toHex(' ').toStdString();
        EXPECT_EQ(out.front(), QLatin1Char('>'));
    }
}

// A text read in pieces: a sequence cut at a piece's end waits for the rest,
// unless the text ends there.
TEST(CodePage, SplitSequenceWaitsForTheNextPiece)
{
    struct Split {
        int codePage;
        QByteArray first, second;
        qsizetype used;
        QString text;
    };
    const Split splits[] = {
        {932, "\x82\xa0\x82", "\xa2", 2, u"あい"_qs},
        {936, "a\xc4", "\xe3", 1, u"a你"_qs},
        {65001, "\xd0\x9f\xe2\x82", "\xac", 2, u"П€"_qs},
        {65001, "\xe2\x28", "", 2, u"\uFFFD("_qs},  // not a sequence's start after all
    };
    for (const Split& s : splits) {
        CodePageDecoder decoder(s.codePage);
        QString out;
        const qsizetype used = decoder.Decode(s.first, out, false);
        EXPECT_EQ(used, s.used) << s.codePage;
        const QByteArray rest = s.first.mid(used) + s.second;
        EXPECT_EQ(decoder.Decode(rest, out, true), rest.size());
        EXPECT_EQ(Codes(out), Codes(s.text)) << s.codePage;
    }
    // The end of the text: what is cut off is undefined.
    CodePageDecoder sjis(932);
    QString out;
    EXPECT_EQ(sjis.Decode("a\x82", out, true), 2);
    EXPECT_EQ(out, u"a\uFFFD"_qs);
}

// The C library's Korean converter steps over this undefined pair itself;
// reading on from there must not run past the text's end.
TEST(CodePage, UndefinedPairAtTheEndStaysInsideTheText)
{
    CodePageDecoder decoder(949);
    QString out;
    EXPECT_EQ(decoder.Decode("A\xa2\xe8", out), 3);
    ASSERT_GE(out.size(), 2);
    EXPECT_EQ(out.first(2), u"A\uFFFD"_qs);
    EXPECT_LE(out.size(), 3);
    EXPECT_EQ(out.count(QChar(0xFFFD)), out.size() - 1);
}

TEST(CodePage, UnknownCodePageDoesNotOpen)
{
    CodePageDecoder decoder(12345);
    EXPECT_FALSE(decoder.ok());
    QString out;
    EXPECT_EQ(decoder.Decode("abc", out), 0);
    EXPECT_TRUE(out.isEmpty());
}

}  // namespace
