// LoadTextFile and the views: what a user sees after a file is loaded.
#include "base/errors.h"
#include "content/file_system.h"
#include "content/paths.h"
#include "media/plain_text.h"
#include "media/text_view.h"
#include "tests/fixture.h"

#include <QAbstractTextDocumentLayout>
#include <QCoreApplication>
#include <QImage>
#include <QKeyEvent>
#include <QScrollBar>
#include <QStringList>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

#include <gtest/gtest.h>

namespace tavelo {
namespace {

QStringList Lines(const QTextDocument* doc)
{
    QStringList lines;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
        lines << b.text();
    return lines;
}

TRichEditSettings RichEdit2Settings()
{
    TRichEditSettings s;
    s.Alignment = TAlignment::taCenter;
    s.WordWrap = false;
    s.ScrollBars = TScrollStyle::ssBoth;
    s.WantReturns = false;
    s.Color = clInfoBk;
    s.FontName = QStringLiteral("Monotype Corsiva");
    s.FontHeightPx = 19;
    s.FontColor = clBackground;
    return s;
}

TRichEditSettings RichEdit1Settings()
{
    TRichEditSettings s;
    s.Alignment = TAlignment::taCenter;
    s.ReadOnly = true;
    s.ScrollBars = TScrollStyle::ssVertical;
    return s;
}

class TextLoad : public ::testing::Test {
protected:
    void SetUp() override
    {
        disc.Enter();
        view.Configure(RichEdit2Settings());
    }
    QStringList Load(const QByteArray& bytes, const QString& name = QStringLiteral("t.txt"))
    {
        disc.Write(name, bytes);
        LoadTextFile(&view, name);
        return Lines(view.document());
    }
    test::Disc disc;
    TRichEdit view;
};

TEST_F(TextLoad, EveryLineEndConventionGivesTheSameLines)
{
    const QStringList expected{"one", "two", "", "three"};
    EXPECT_EQ(Load("one\r\ntwo\r\n\r\nthree"), expected);
    EXPECT_EQ(Load("one\ntwo\n\nthree"), expected);
    EXPECT_EQ(Load("one\rtwo\r\rthree"), expected);
    EXPECT_EQ(Load("one\rtwo\n\r\nthree"), expected);
    // A break at the very end, whichever kind, is one final empty line.
    EXPECT_EQ(Load("a\r"), (QStringList{"a", ""}));
    EXPECT_EQ(Load("a\r\n"), (QStringList{"a", ""}));
}

TEST_F(TextLoad, PieceBoundariesDoNotSplitOrLoseAnything)
{
    // CR LF straddling the end of the first piece, and a file several pieces
    // long, in lines no longer than a view takes.
    const QByteArray line(kReadPiece / 2 - 1, 'x');
    QByteArray bytes = line + "\n" + line + "\r\n";
    for (const char* end : {"\n", "\n", "\n", "\r"})
        bytes += QByteArray(line).fill('y') + end;
    disc.Write("big.txt", bytes);
    for (qsizetype piece : {qsizetype(1), qsizetype(7), kReadPiece}) {
        int err = 0;
        const FileDescriptor fd = OpenRegularFile(NativeOfQtPath(disc.Path("big.txt")), &err);
        ASSERT_TRUE(fd);
        EXPECT_EQ(ReadWholeFile(fd, piece), std::optional<QByteArray>(bytes)) << piece;
    }
    // A text past the size limit is refused, not cut short.
    int err = 0;
    const FileDescriptor fd = OpenRegularFile(NativeOfQtPath(disc.Path("big.txt")), &err);
    ASSERT_TRUE(fd);
    EXPECT_EQ(ReadWholeFile(fd, kReadPiece, bytes.size() - 1), std::nullopt);
    const QStringList lines = Load(bytes);
    ASSERT_EQ(lines.size(), 7);
    EXPECT_EQ(lines[1], QString::fromLatin1(line));
    EXPECT_EQ(lines[5], QString(line.size(), u'y'));
    EXPECT_EQ(lines[6], QString());
}

TEST_F(TextLoad, ScrollBarsEndAsTheTextNeedsThem)
{
    view.resize(313, 433);
    view.show();
    const struct {
        QByteArray text;
        bool vertical;
    } cases[] = {
        {"\xff\xfe" + QByteArray("x\0", 2).repeated(kMaxParagraphChars), false},  // long (UTF-16), but one line
        {QByteArray(50 * 1024, '\n'), true},
        {"short", false},
    };
    for (const auto& c : cases) {
        Load(c.text);
        QCoreApplication::processEvents();
        EXPECT_EQ(view.verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
        EXPECT_EQ(view.verticalScrollBar()->isVisible(), c.vertical) << c.text.size();
    }
}

TEST_F(TextLoad, PlainTextKeepsItsBytesAndTakesTheViewDefaults)
{
    const QByteArray text = "  {\\b not rtf}\t\\par  <b>x</b> &amp; ~!@#";
    EXPECT_EQ(Load(text), QStringList{QString::fromLatin1(text)});
    const QTextBlock block = view.document()->begin();
    EXPECT_FALSE(block.blockFormat().hasProperty(QTextFormat::BlockAlignment));
    EXPECT_EQ(view.document()->defaultTextOption().alignment(), Qt::AlignHCenter);
    const QTextCharFormat chr = block.begin().fragment().charFormat();
    EXPECT_FALSE(chr.hasProperty(QTextFormat::FontFamilies));
    EXPECT_FALSE(chr.hasProperty(QTextFormat::ForegroundBrush));
    EXPECT_EQ(view.document()->defaultFont().pointSize(), 14);  // 19 px at 96 dpi
}

TEST_F(TextLoad, EncodingsAllShowCyrillic)
{
    const QString lyric = QStringLiteral("Привет, мир\nЁлка");
    const QByteArray utf8 = lyric.toUtf8();
    const QByteArray cp1251("\xcf\xf0\xe8\xe2\xe5\xf2, \xec\xe8\xf0\r\n\xa8\xeb\xea\xe0");
    EXPECT_EQ(Load(cp1251).join('\n'), lyric);
    EXPECT_EQ(Load(utf8).join('\n'), lyric);
    EXPECT_EQ(Load("\xEF\xBB\xBF" + utf8).join('\n'), lyric);
    QByteArray le("\xFF\xFE", 2), be("\xFE\xFF", 2);
    for (QChar c : lyric) {
        le += char(c.unicode() & 0xFF), le += char(c.unicode() >> 8);
        be += char(c.unicode() >> 8), be += char(c.unicode() & 0xFF);
    }
    EXPECT_EQ(Load(le).join('\n'), lyric);
    EXPECT_EQ(Load(be).join('\n'), lyric);
    // Not UTF-8 after all (a lone lead byte, an overlong form): Windows-1251.
    EXPECT_EQ(Load("\xd0\xff").join('\n'), QStringLiteral("Ря"));
    EXPECT_EQ(Load("\xc0\xaf").join('\n'), QStringLiteral("А\u0407"));
    // Windows-1251 signs, and the one byte it leaves undefined.
    EXPECT_EQ(Load("\xb9\x88\x98\xff").join('\n'), QStringLiteral("№€\uFFFDя"));
}

TEST_F(TextLoad, NulBytesAreDroppedAndNothingAfterThemIsLost)
{
    EXPECT_EQ(Load(QByteArray("ab\0cd\r\0\nef", 10)), (QStringList{"abcd", "ef"}));
    EXPECT_EQ(Load(QByteArray("\0", 1)), QStringList{""});
}

TEST_F(TextLoad, RtfIsRecognisedByContentNotByName)
{
    const QByteArray rtf = "{\\rtf1\\ansi {\\b Bold} text\\par}";
    EXPECT_EQ(Load(rtf, "lyrics.txt"), QStringList{"Bold text"});
    EXPECT_TRUE(view.document()->begin().begin().fragment().charFormat().font().bold());
    EXPECT_EQ(Load("plain {\\b words}", "help.rtf"), QStringList{"plain {\\b words}"});
    // Anything before "{\rtf" (a space, a mark) and it is plain text after all.
    EXPECT_EQ(Load(" " + rtf), QStringList{QString::fromLatin1(" " + rtf)});
    EXPECT_EQ(Load("{\\rt"), QStringList{"{\\rt"});
}

TEST_F(TextLoad, PlainTextSettingSkipsTheRtfAttempt)
{
    TRichEditSettings s = RichEdit2Settings();
    s.PlainText = true;
    view.Configure(s);
    EXPECT_EQ(Load("{\\rtf1 x}"), QStringList{"{\\rtf1 x}"});
}

TEST_F(TextLoad, MissingFileOrFolderFailsAndLeavesTheViewAlone)
{
    Load("before");
    for (const QString& path : {QStringLiteral("text\\album\\1.txt"), QStringLiteral("text")}) {
        disc.MakeDir("text");
        try {
            LoadTextFile(&view, path);
            ADD_FAILURE() << "no error for " << path.toStdString();
        } catch (const EFOpenError& e) {
            const int err = path == "text" ? EISDIR : ENOENT;
            EXPECT_EQ(
                e.Message(),
                QStringLiteral("Cannot open file \"%1\". %2").arg(AbsoluteForMessage(path), SystemDescription(err)));
        }
        EXPECT_EQ(Lines(view.document()), QStringList{"before"});
    }
}

TEST_F(TextLoad, TextsTooLargeToShowInTimeAreRefusedAndLeaveTheViewAlone)
{
    Load("before");
    QByteArray oversized;
    oversized.resize(kMaxTextBytes + 1);  // refused on its size, before reading
    // Just over the work a view may be given: paragraphs, formatting runs.
    const QByteArray breaks(kMaxTextWork / (kParagraphWork + 1), '\n');
    // Paragraph separators (U+2029 in UTF-8) break paragraphs as line ends do.
    const QByteArray separators =
        (QByteArray("\xe2\x80\xa9").repeated(100) + "\n").repeated(kMaxTextWork / (100 * kParagraphWork) + 1);
    const QByteArray rtfPars = "{\\rtf1 " + QByteArray("\\par ").repeated(kMaxTextWork / kParagraphWork + 1) + "}";
    const QByteArray rtfRuns = "{\\rtf1 " + QByteArray("\\b a\\b0 b").repeated(kMaxTextWork / 50 + 1) + "}";
    const QByteArray longLine(kMaxParagraphChars + 1, 'w');  // a paragraph too long
    const QByteArray rtfLongLine = "{\\rtf1 " + longLine + "}";
    for (const QByteArray* text : std::initializer_list<const QByteArray*>{&oversized, &breaks, &separators, &rtfPars,
                                                                           &rtfRuns, &longLine, &rtfLongLine}) {
        disc.Write("big.txt", *text);
        try {
            LoadTextFile(&view, "big.txt");
            ADD_FAILURE() << "no error for " << text->size() << " bytes";
        } catch (const EOutOfResources& e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Failed to Load Stream"));
        }
        EXPECT_EQ(Lines(view.document()), QStringList{"before"});
    }
    EXPECT_EQ(Load(breaks.left(breaks.size() - 1)).size(), breaks.size());
    EXPECT_EQ(Load(longLine.left(kMaxParagraphChars) + "\r\n" + longLine.left(kMaxParagraphChars)).size(), 2);
    // What shows no text (a picture's data) makes no paragraph long.
    EXPECT_EQ(Load("{\\rtf1{\\pict\\pngblip " + QByteArray(kMaxParagraphChars, 'f') + "}{\\*\\themedata " +
                   QByteArray(kMaxParagraphChars, '0') + "}shown}"),
              QStringList{"shown"});
}

// The same text as an RTF document: a paragraph per line, \tab and \u for
// what is not plain ASCII.
QByteArray AsRtf(const QString& text)
{
    QByteArray rtf = "{\\rtf1 ";
    for (const QChar c : text) {
        if (c == u'\n')
            rtf += "\\par ";
        else if (c == u'\t')
            rtf += "\\tab ";
        else if (c.unicode() < 0x80)
            rtf += char(c.unicode());
        else
            rtf += "\\u" + QByteArray::number(qint16(c.unicode())) + "?";
    }
    return rtf + "}";
}

bool Shown(const QByteArray& bytes)
{
    try {
        (void)TextToShow(TRichEditSettings{}, bytes);
        return true;
    } catch (const EOutOfResources&) {
        return false;
    }
}

// What costs a view more than its characters counts against the layout-work
// budget, in plain text and RTF alike: lines of a feature, each case just
// under the budget and one line over it.
TEST(TextLimits, ShapingCostsCountAgainstTheBudget)
{
    struct Case {
        const char* what;
        QString piece;       // repeated to length UTF-16 units
        qsizetype length;    // of a line
        qsizetype runWork;   // what a line's runs, direction changes and tabs weigh
        qsizetype charWork;  // what its other features weigh beyond one unit a character
    };
    const Case cases[] = {
        {"prose", QStringLiteral("sing"), 52, 0, 0},
        {"tabs", QStringLiteral("a\t"), 52, 26 * kTabWork, 0},
        {"tabs in a long line", QStringLiteral("a\t"), 32000, 16000 * kTabWork, 0},
        {"combining marks", QStringLiteral("a\u0301"), 52, 0, 26 * kMarkWork},
        {"script changes", QStringLiteral("aБ"), 52, 51 * kScriptRunWork, 0},
        {"direction controls", QStringLiteral("a\u202Eb\u202C"), 52, 26 * kDirectionWork, 0},
        {"Latin and Hebrew", QStringLiteral("aש"), 52, 51 * (kScriptRunWork + kDirectionWork), 26 * kRightToLeftWork},
        {"CJK", QStringLiteral("中"), 52, 0, 52 * kFallbackWork},
        {"Arabic", QStringLiteral("ع "), 52, 0, 26 * (kFallbackWork + kRightToLeftWork)},
        {"emoji", QStringLiteral("\U0001F3B5"), 52, 0, 26 * kFallbackWork},
    };
    for (const Case& c : cases) {
        const QString line = c.piece.repeated(c.length / c.piece.size());
        ASSERT_EQ(line.size(), c.length) << c.what;
        const auto lines = [&](qsizetype budget, qsizetype perLine, qsizetype runWork) {
            return budget / (perLine + runWork + runWork * c.length / kLongParagraphChars + c.charWork);
        };
        // Plain: N lines and their line ends, N + 1 paragraphs. RTF: the last
        // \par opens none, and each paragraph is a run of its own.
        const QString under =
            (line + u'\n').repeated(lines(kMaxTextWork - kParagraphWork, c.length + 1 + kParagraphWork, c.runWork));
        EXPECT_TRUE(Shown(under.toUtf8())) << c.what;
        EXPECT_FALSE(Shown((under + line + u'\n').toUtf8())) << c.what;
        const QString rtfUnder =
            (line + u'\n').repeated(lines(kMaxTextWork, c.length + kParagraphWork, c.runWork + kParagraphWork));
        EXPECT_TRUE(Shown(AsRtf(rtfUnder))) << c.what;
        EXPECT_FALSE(Shown(AsRtf(rtfUnder + line + u'\n'))) << c.what;
    }
}

TEST_F(TextLoad, EmptyFileEmptiesTheView)
{
    Load("something");
    EXPECT_EQ(Load(""), QStringList{""});
    EXPECT_TRUE(view.document()->isEmpty());
}

TEST_F(TextLoad, LoadReplacesTypingAndStartsAtTheTop)
{
    view.resize(313, 433);
    view.show();
    Load(QByteArray("line\n").repeated(300) + "last");
    view.moveCursor(QTextCursor::End);
    view.insertPlainText(QStringLiteral("typed by the user"));
    view.moveCursor(QTextCursor::Start, QTextCursor::KeepAnchor);
    QCoreApplication::processEvents();
    ASSERT_GT(view.verticalScrollBar()->value(), 0);

    EXPECT_EQ(Load("help\ntext"), (QStringList{"help", "text"}));
    QCoreApplication::processEvents();
    EXPECT_EQ(view.textCursor().position(), 0);
    EXPECT_FALSE(view.textCursor().hasSelection());
    EXPECT_EQ(view.verticalScrollBar()->value(), 0);
    EXPECT_FALSE(view.document()->isUndoAvailable());  // undo cannot bring the old text back
    EXPECT_FALSE(view.document()->isModified());
}

TEST_F(TextLoad, PlainTextAfterRtfKeepsNoneOfItsFormatting)
{
    view.resize(313, 433);
    view.show();
    Load("{\\rtf1{\\colortbl;\\red255\\green0\\blue0;}\\qr\\b\\cf1 bold red}");
    ASSERT_TRUE(view.document()->begin().begin().fragment().charFormat().font().bold());
    Load("plain\nlines");
    for (QTextBlock b = view.document()->begin(); b.isValid(); b = b.next()) {
        EXPECT_FALSE(b.blockFormat().hasProperty(QTextFormat::BlockAlignment));
        const QTextCharFormat chr = b.begin().fragment().charFormat();
        EXPECT_FALSE(chr.hasProperty(QTextFormat::FontWeight));
        EXPECT_FALSE(chr.hasProperty(QTextFormat::ForegroundBrush));
    }
}

// A long text is laid out by the event loop, a screenful first, not in full
// before the load returns (which held the window for seconds).
TEST_F(TextLoad, LongTextIsLaidOutAfterTheLoadReturns)
{
    view.resize(313, 433);
    view.show();
    QCoreApplication::processEvents();
    for (const QByteArray& text : {QByteArray("line of a long help text\n").repeated(20000),
                                   "{\\rtf1 " + QByteArray("line of a long help text\\par ").repeated(20000) + "}"}) {
        disc.Write("long.txt", text);
        LoadTextFile(&view, "long.txt");
        EXPECT_GT(view.document()->begin().layout()->lineCount(), 0);
        EXPECT_EQ(view.document()->lastBlock().previous().layout()->lineCount(), 0);
        EXPECT_EQ(view.textCursor().position(), 0);
    }
}

TEST_F(TextLoad, EnterInsertsNothingWhereReturnsAreNotWanted)
{
    const auto press = [](QWidget* w, int key, const QString& text) {
        QKeyEvent ev(QEvent::KeyPress, key, Qt::NoModifier, text);
        QCoreApplication::sendEvent(w, &ev);
    };
    Load("ab");
    for (int key : {int(Qt::Key_Return), int(Qt::Key_Enter)})
        press(&view, key, QStringLiteral("\r"));
    press(&view, Qt::Key_X, QStringLiteral("x"));
    EXPECT_EQ(Lines(view.document()), QStringList{"xab"});

    TRichEditSettings s = RichEdit2Settings();
    s.WantReturns = true;
    view.Configure(s);
    press(&view, Qt::Key_Return, QStringLiteral("\r"));
    EXPECT_EQ(Lines(view.document()), (QStringList{"x", "ab"}));
}

TEST(TextViews, LongLineScrollsInRichEdit2AndWrapsInRichEdit1)
{
    test::Disc disc;
    disc.Enter();
    disc.Write("long.txt", QByteArray("word ").repeated(200));
    TRichEdit edit1, edit2;
    edit1.Configure(RichEdit1Settings());
    edit2.Configure(RichEdit2Settings());
    for (TRichEdit* v : {&edit1, &edit2}) {
        v->resize(313, 281);
        v->show();
        LoadTextFile(v, "long.txt");
    }
    QCoreApplication::processEvents();
    EXPECT_TRUE(edit2.horizontalScrollBar()->isVisible());
    EXPECT_FALSE(edit1.horizontalScrollBar()->isVisible());
    EXPECT_GT(edit1.document()->documentLayout()->documentSize().height(), 100);
    EXPECT_TRUE(edit1.isReadOnly());
    EXPECT_TRUE(edit1.textInteractionFlags() & Qt::TextSelectableByKeyboard);
}

}  // namespace
}  // namespace tavelo

namespace tavelo {
namespace {

// Counts pixels close to c in the view's rendering.
int PixelsLike(QWidget& w, const QColor& c)
{
    const QImage img = w.grab().toImage();
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QColor p = img.pixelColor(x, y);
            n += std::abs(p.red() - c.red()) + std::abs(p.green() - c.green()) + std::abs(p.blue() - c.blue()) < 40;
        }
    return n;
}

TEST(TextViews, SelectionIsNotDrawnWithoutFocusAndKeepsTextColours)
{
    test::Disc disc;
    disc.Enter();
    disc.Write("c.rtf", "{\\rtf1{\\colortbl;\\red255\\green0\\blue0;}\\fs40\\cf1 WWWWWWWW}");
    TRichEdit view;
    view.Configure(RichEdit2Settings());
    view.resize(313, 200);
    LoadTextFile(&view, "c.rtf");
    view.selectAll();
    const QColor highlight = view.palette().color(QPalette::Active, QPalette::Highlight);
    EXPECT_EQ(PixelsLike(view, highlight), 0);
    EXPECT_GT(PixelsLike(view, Qt::red), 20);
    // Plain text keeps the view's own colour under a hidden selection.
    disc.Write("p.txt", "WWWWWWWW");
    LoadTextFile(&view, "p.txt");
    view.selectAll();
    EXPECT_GT(PixelsLike(view, ToQColor(clBackground)), 20);

    TRichEditSettings s = RichEdit2Settings();
    s.HideSelection = false;
    view.Configure(s);
    EXPECT_GT(PixelsLike(view, highlight), 100);
}

}  // namespace
}  // namespace tavelo
