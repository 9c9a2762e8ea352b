// The RTF reader: formatting lands in the document; hostile input ends quickly.
#include "media/plain_text.h"
#include "media/rtf_reader.h"

#include <QElapsedTimer>
#include <QStringList>
#include <QTextBlock>
#include <QTextDocument>

#include <gtest/gtest.h>

#include <array>
#include <optional>

namespace tavelo {
namespace {

QStringList Lines(const QTextDocument& doc)
{
    QStringList lines;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        lines << b.text();
    return lines;
}

QStringList Read(QTextDocument& doc, const QByteArray& rtf)
{
    EXPECT_TRUE(LooksLikeRtf(rtf));
    ReadRtf(rtf, &doc);
    return Lines(doc);
}

// The character format at the first occurrence of text.
QTextCharFormat FormatOf(const QTextDocument& doc, const QString& text)
{
    const QTextCursor found = doc.find(text);
    EXPECT_FALSE(found.isNull()) << text.toStdString();
    QTextCursor c(found);
    c.setPosition(found.selectionStart() + 1);
    return c.charFormat();
}

TEST(RtfReader, FormattingLandsInTheDocument)
{
    QTextDocument doc;
    const QStringList lines =
        Read(doc, "{\\rtf1\\ansi\\ansicpg1251\\deff0"
                  "{\\fonttbl{\\f0\\fswiss\\fcharset204 Arial;}{\\f1\\fmodern Courier New;}"
                  "{\\f2\\fcharset204{\\*\\panose 0}\\'c0\\'f0\\'e8\\'e0\\'eb;}}\r\n"
                  "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green128\\blue0;}\r\n"
                  "{\\*\\generator Writer 1.0;}\\viewkind4\\uc1"
                  "\\pard\\qr\\b Bold\\b0  \\cf1 red\\cf0  \\i it\\i0  \\ul u\\ulnone  \\strike s\\strike0\\par\r\n"
                  "\\pard\\fs40 big\\fs24  \\f1 mono\\f0\\par\r\n"
                  "\\pard plain\\par\r\n"
                  "\\pard\\qc\\f2 \\'cf\\'f0\\'e8\\'e2\\'e5\\'f2 \\u1052?\\u1080?\\u1088?\\par\r\n"
                  "\\pard\\qj justified\\line next\\par\r\n}");
    EXPECT_EQ(lines, (QStringList{"Bold red it u s", "big mono", "plain", QStringLiteral("Привет Мир"),
                                  QStringLiteral("justified\u2028next")}));

    const QTextBlock b0 = doc.begin();
    EXPECT_EQ(b0.blockFormat().alignment(), Qt::AlignRight);
    EXPECT_TRUE(FormatOf(doc, "Bold").font().bold());
    EXPECT_FALSE(FormatOf(doc, "red").font().bold());
    EXPECT_EQ(FormatOf(doc, "red").foreground().color(), QColor(255, 0, 0));
    EXPECT_FALSE(FormatOf(doc, "it").hasProperty(QTextFormat::ForegroundBrush));  // \cf0: the view's colour
    EXPECT_TRUE(FormatOf(doc, "it").fontItalic());
    EXPECT_TRUE(FormatOf(doc, "u").fontUnderline());
    EXPECT_TRUE(FormatOf(doc, "s").fontStrikeOut());
    EXPECT_EQ(FormatOf(doc, "Bold").fontFamilies().toStringList(), QStringList{"Arial"});

    EXPECT_EQ(FormatOf(doc, "big").fontPointSize(), 20);
    EXPECT_EQ(FormatOf(doc, "mono").fontPointSize(), 12);
    EXPECT_EQ(FormatOf(doc, "mono").fontFamilies().toStringList(), QStringList{"Courier New"});
    // Paragraphs that state no alignment take the view's (no property of their own).
    EXPECT_FALSE(b0.next().blockFormat().hasProperty(QTextFormat::BlockAlignment));
    EXPECT_FALSE(b0.next().next().blockFormat().hasProperty(QTextFormat::BlockAlignment));
    EXPECT_EQ(b0.next().next().next().blockFormat().alignment(), Qt::AlignHCenter);
    EXPECT_EQ(doc.lastBlock().blockFormat().alignment(), Qt::AlignJustify);
    // A font name written in its own charset.
    EXPECT_EQ(FormatOf(doc, QStringLiteral("При")).fontFamilies().toStringList(), QStringList{QStringLiteral("Ариал")});
}

TEST(RtfReader, GroupsRestoreFormattingAndSkipWhatIsNotText)
{
    QTextDocument doc;
    EXPECT_EQ(Read(doc, "{\\rtf1 a{\\b b{\\i c}d}e"
                        "{\\info{\\title Title}{\\author Me}}{\\stylesheet{\\s0 Normal;}}"
                        "{\\*\\unknowndest hidden{\\nested x}}{\\header head}{\\footer foot}"
                        "{\\pict\\wmetafile8 0123abcd}{\\object{\\*\\objdata 01}}"
                        "{\\field{\\*\\fldinst HYPERLINK x}{\\fldrslt link}}"
                        "\\bin4 {}\\\\f\\unknownword g\\v hid\\v0 h}"),
              QStringList{"abcdelinkfgh"});
    EXPECT_TRUE(FormatOf(doc, "b").font().bold());
    EXPECT_TRUE(FormatOf(doc, "c").fontItalic() && FormatOf(doc, "c").font().bold());
    EXPECT_FALSE(FormatOf(doc, "e").font().bold());
}

TEST(RtfReader, EscapesSymbolsAndUnicode)
{
    QTextDocument doc;
    EXPECT_EQ(
        Read(doc, "{\\rtf1 \\\\\\{\\}a\\~b\\emdash\\lquote x\\rquote\\ldblquote\\rdblquote\\endash\\bullet\\tab"
                  "\\u8364?\\uc2\\u-4001\\'3f\\'3fz{\\uc0\\u1071}\\u128512??}"),
        QStringList{QStringLiteral("\\{}a\u00A0b\u2014\u2018x\u2019\u201C\u201D\u2013\u2022\t€\uF05FzЯ\U0001F600")});
    // Cyrillic by \ansicpg with a font that names no charset, and by the default code page.
    EXPECT_EQ(Read(doc, "{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0\\fnil\\fcharset0 Times;}}\\f0 \\'c4\\'e0}"),
              QStringList{QStringLiteral("Да")});
    EXPECT_EQ(Read(doc, "{\\rtf1\\ansi\\ansicpg1252 \\'e9}"), QStringList{QStringLiteral("é")});
    EXPECT_EQ(Read(doc, "{\\rtf1 \\'c4\\'e0}"), QStringList{QStringLiteral("Да")});
}

// What the limits judge a document by is what a view will hold: escapes are
// one character, control words none, \\u and \\tab stay in the run; every
// paragraph has its runs; what the reader skips counts for nothing, and
// nothing it shows is skipped.
TEST(RtfReader, CountsAreWhatAViewWillHold)
{
    struct Case {
        const char* rtf;
        qsizetype count, longest, chars, runs;
    };
    const Case cases[] = {
        {"{\\rtf1\\ansi\\ansicpg1251\\fs24 \\'c4\\'e0 ok\\par}", 1, 5, 5, 1},
        {"{\\rtf1 a\\u1071?b\\tab c{\\b d}e\\par f}", 2, 7, 8, 4},
        {"{\\rtf1 {\\*\\gen xyz}{\\pict abcd}\\~\\{z\\par\\par}", 2, 3, 3, 1},
        {"{\\rtf1 ab\r\ncd\\\r\nef}", 2, 4, 6, 2},
        {"{\\rtf1 \\bin3 {\\*x\\par}", 1, 1, 1, 1},
        {"{\\rtf1 {\\pictx ab}}", 1, 2, 2, 1},
        {"{\\rtf1 a\\u66 \\par b}", 1, 3, 3, 1},
        {"{\\rtf1 a{\\fonttbl\\par}b}", 1, 2, 2, 1},
    };
    for (const Case& c : cases) {
        std::optional<RtfText> text = ParseRtf(c.rtf);
        ASSERT_TRUE(text) << c.rtf;
        const ParagraphStats s = text->Stats();
        EXPECT_EQ((std::array{s.count, s.longest, s.chars, s.runs}), (std::array{c.count, c.longest, c.chars, c.runs}))
            << c.rtf;
        QTextDocument doc;
        text->WriteTo(&doc);
        EXPECT_EQ(doc.blockCount(), s.count) << c.rtf;
        EXPECT_EQ(doc.characterCount() - doc.blockCount(), s.chars) << c.rtf;
    }
}

TEST(RtfReader, DocumentEndsAndParagraphBreaks)
{
    QTextDocument doc;
    // The closing \par writers always add is no extra empty line; a second one is.
    EXPECT_EQ(Read(doc, "{\\rtf1 a\\par}"), QStringList{"a"});
    EXPECT_EQ(Read(doc, "{\\rtf1 a\\par\\par}"), (QStringList{"a", ""}));
    // Groups that never close still show what they hold; text after the end does not count.
    EXPECT_EQ(Read(doc, "{\\rtf1 {\\b open{\\i deeper"), QStringList{"opendeeper"});
    EXPECT_EQ(Read(doc, "{\\rtf1 in} out"), QStringList{"in"});
    EXPECT_EQ(Read(doc, "{\\rtf1 a\\\r\nb}"), (QStringList{"a", "b"}));
}

TEST(RtfReader, LongDocumentsKeepEveryParagraphsAlignmentAndRuns)
{
    // Long, with one paragraph longer than the reader gathers at a time:
    // every alignment and run must land where it belongs.
    const char* const aligns[] = {"\\ql", "\\qc", "\\qr", ""};
    const Qt::Alignment expected[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight, {}};
    QByteArray rtf = "{\\rtf1 ";
    const int paragraphs = 12000;
    for (int i = 0; i < paragraphs; ++i)
        rtf += QByteArray("\\pard") + aligns[(i * i + i / 7) % 4] + " p" + QByteArray::number(i) + " {\\b " +
               QByteArray(20, 'b') + "} tail\\par ";
    rtf += "\\pard\\qr " + QByteArray(300000, 'x') + "{\\i yy}\\par\\pard z}";
    QTextDocument doc;
    ReadRtf(rtf, &doc);
    ASSERT_EQ(doc.blockCount(), paragraphs + 2);
    QTextBlock b = doc.begin();
    for (int i = 0; i < paragraphs; ++i, b = b.next()) {
        const Qt::Alignment want = expected[(i * i + i / 7) % 4];
        ASSERT_EQ(b.blockFormat().hasProperty(QTextFormat::BlockAlignment), want != Qt::Alignment()) << i;
        ASSERT_EQ(b.blockFormat().alignment() & Qt::AlignHorizontal_Mask, want ? want : Qt::AlignLeft) << i;
        for (auto it = b.begin(); !it.atEnd(); ++it)
            ASSERT_EQ(it.fragment().charFormat().font().bold(), it.fragment().text().startsWith('b')) << i;
    }
    EXPECT_EQ(b.text(), QString(300000, 'x') + "yy");
    EXPECT_EQ(b.blockFormat().alignment(), Qt::AlignRight);
    EXPECT_TRUE(FormatOf(doc, "yy").fontItalic());
    EXPECT_FALSE(FormatOf(doc, "xx").fontItalic());
    EXPECT_FALSE(b.next().blockFormat().hasProperty(QTextFormat::BlockAlignment));
}

TEST(RtfReader, HostileInputEndsQuicklyWithoutHarm)
{
    const auto timed = [](const QByteArray& rtf) {
        QTextDocument doc;
        QElapsedTimer t;
        t.start();
        ReadRtf(rtf, &doc);
        EXPECT_LT(t.elapsed(), 20000) << rtf.left(40).toStdString();
        return Lines(doc);
    };
    const QByteArray open = QByteArray("{").repeated(100000);
    EXPECT_EQ(timed("{\\rtf1 " + open + "\\b x"), QStringList{"x"});
    EXPECT_EQ(timed("{\\rtf1 " + QByteArray("{a").repeated(100000) + QByteArray("}").repeated(100000) + "b}"),
              QStringList{QString(100000, 'a') + "b"});
    // Formatting inside groups past the stacked depth does not leak out of the outer ones.
    QTextDocument deep;
    ReadRtf("{\\rtf1 {" + open + "\\b y" + QByteArray("}").repeated(100001) + "z}", &deep);
    EXPECT_EQ(Lines(deep), QStringList{"yz"});
    EXPECT_FALSE(FormatOf(deep, "z").font().bold());

    EXPECT_EQ(timed("{\\rtf1 \\fs99999999999999999999999 \\u99999999999999 \\cf-5 \\uc2147483647 a"
                    "\\f-2147483648 \\ansicpg-7 \\'zz b"),
              QStringList{QStringLiteral("\uFFFDazz b")});
    EXPECT_EQ(timed("{\\rtf1 a\\bin999999999 bbbb"), QStringList{"a"});
    EXPECT_EQ(timed("{\\rtf1 a\\bin-5 b}"), QStringList{"ab"});
    for (const char* cut : {"{\\rtf1 a\\'", "{\\rtf1 a\\'4", "{\\rtf1 a\\", "{\\rtf1 a\\u", "{\\rtf1 a\\u-"})
        EXPECT_EQ(timed(cut), QStringList{"a"}) << cut;
    EXPECT_EQ(timed("{\\rtf1 " + QByteArray("\\").append(QByteArray(100000, 'q')) + " a}"), QStringList{"a"});

    const QByteArray line(50 * 1024 * 1024, 'w');
    const QStringList lines = timed("{\\rtf1 " + line + "}");
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines[0].size(), line.size());
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(DecodePlainText(line + "\xff")->size(), line.size() + 1);
    EXPECT_LT(t.elapsed(), 20000);
}

}  // namespace
}  // namespace tavelo
