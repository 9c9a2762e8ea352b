#include "media/rtf_reader.h"

#include "media/codepage.h"

#include <QColor>
#include <QFont>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tavelo {
namespace {

// Deeper groups are still matched, but share the state of this level.
constexpr std::size_t kMaxStackedDepth = 256;
constexpr std::size_t kMaxTableEntries = 4096;
constexpr qsizetype kMaxFontNameBytes = 256;
// Text bytes are decoded, and runs handed on, in pieces of about this many
// bytes, so the limits see a huge unbroken line before it is all in memory.
constexpr qsizetype kPieceBytes = 256 * 1024;
constexpr int kMaxHalfPoints = 3276;  // 1638 pt, the largest size writers produce
constexpr std::size_t kMaxCachedFormats = 64;

enum class Dest : std::uint8_t { Text, Skip, FontTable, ColorTable };

struct CharProps {
    int font = -1;       // -1: the document's default font (\deff)
    int halfPoints = 0;  // 0: the view's size
    int color = -1;      // colour table index; -1 or an automatic entry: the view's colour
    int highlight = -1;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    bool hidden = false;
    std::int8_t vertical = 0;  // -1 subscript, 1 superscript
    bool operator==(const CharProps&) const = default;
};

enum Align : std::uint8_t { kAlignUnstated, kAlignLeft, kAlignCenter, kAlignRight, kAlignJustify };

struct State {
    Dest dest = Dest::Text;
    CharProps chr;
    Align align = kAlignUnstated;
    int uc = 1;  // characters to skip after \uN
};

struct FontEntry {
    QString name;
    int codePage = 0;  // 0: the document's code page
};

// clang-format off
enum class Word {
    Par, Line, Tab, Cell, Pard, Plain, Ql, Qc, Qr, Qj,
    B, I, Ul, UlNone, Strike, V, Fs, F, Cf, Highlight, Super, Sub, NoSuperSub,
    U, Uc, Ansi, AnsiCpg, Mac, Pc, Pca, Deff,
    FontTable, ColorTable, SkipDest, Symbol,
    FCharset, Cpg, Red, Green, Blue,
};
// clang-format on

struct WordInfo {
    Word word;
    char16_t symbol = 0;
};

const std::unordered_map<std::string_view, WordInfo>& Words()
{
    // The tables read best a row of related words at a time.
    // clang-format off
    static const std::unordered_map<std::string_view, WordInfo> words = [] {
        std::unordered_map<std::string_view, WordInfo> w{
            {"par", {Word::Par}}, {"sect", {Word::Par}}, {"page", {Word::Par}}, {"row", {Word::Par}},
            {"line", {Word::Line}}, {"tab", {Word::Tab}}, {"cell", {Word::Cell}}, {"nestcell", {Word::Cell}},
            {"pard", {Word::Pard}}, {"plain", {Word::Plain}},
            {"ql", {Word::Ql}}, {"qc", {Word::Qc}}, {"qr", {Word::Qr}}, {"qj", {Word::Qj}}, {"qd", {Word::Qj}},
            {"b", {Word::B}}, {"i", {Word::I}}, {"ul", {Word::Ul}}, {"ulnone", {Word::UlNone}},
            {"strike", {Word::Strike}}, {"striked", {Word::Strike}}, {"v", {Word::V}},
            {"fs", {Word::Fs}}, {"f", {Word::F}}, {"cf", {Word::Cf}},
            {"highlight", {Word::Highlight}}, {"cb", {Word::Highlight}},
            {"super", {Word::Super}}, {"sub", {Word::Sub}}, {"nosupersub", {Word::NoSuperSub}},
            {"u", {Word::U}}, {"uc", {Word::Uc}},
            {"ansi", {Word::Ansi}}, {"ansicpg", {Word::AnsiCpg}}, {"mac", {Word::Mac}},
            {"pc", {Word::Pc}}, {"pca", {Word::Pca}}, {"deff", {Word::Deff}},
            {"fonttbl", {Word::FontTable}}, {"colortbl", {Word::ColorTable}},
            {"fcharset", {Word::FCharset}}, {"cpg", {Word::Cpg}},
            {"red", {Word::Red}}, {"green", {Word::Green}}, {"blue", {Word::Blue}},
            {"emdash", {Word::Symbol, u'\u2014'}}, {"endash", {Word::Symbol, u'\u2013'}},
            {"lquote", {Word::Symbol, u'\u2018'}}, {"rquote", {Word::Symbol, u'\u2019'}},
            {"ldblquote", {Word::Symbol, u'\u201C'}}, {"rdblquote", {Word::Symbol, u'\u201D'}},
            {"bullet", {Word::Symbol, u'\u2022'}}, {"emspace", {Word::Symbol, u'\u2003'}},
            {"enspace", {Word::Symbol, u'\u2002'}}, {"qmspace", {Word::Symbol, u'\u2005'}},
            {"zwj", {Word::Symbol, u'\u200D'}}, {"zwnj", {Word::Symbol, u'\u200C'}},
            {"ltrmark", {Word::Symbol, u'\u200E'}}, {"rtlmark", {Word::Symbol, u'\u200F'}},
        };
        // Destinations that hold no text for the reader.
        for (std::string_view d : {"stylesheet", "info", "pict", "object", "objdata", "header", "headerl",
                                   "headerr", "headerf", "footer", "footerl", "footerr", "footerf", "footnote",
                                   "fldinst", "filetbl", "listtable", "listoverridetable", "revtbl", "rsidtbl",
                                   "xmlnstbl", "themedata", "colorschememapping", "latentstyles", "datastore",
                                   "nonshppict", "shpinst", "annotation", "atnid", "atnauthor", "private",
                                   "template", "userprops", "docvar", "ftnsep", "ftnsepc", "ftncn", "aftnsep",
                                   "aftnsepc", "aftncn", "pn", "pgdsctbl", "generator", "bkmkstart", "bkmkend",
                                   "xe", "tc", "txe", "rxe", "fchars", "lchars", "listpicture", "mmathPr"})
            w.emplace(d, WordInfo{Word::SkipDest});
        // clang-format on
        return w;
    }();
    return words;
}

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
int HexValue(char c)
{
    static constexpr auto kValues = [] {
        std::array<std::int8_t, 256> v{};
        for (int i = 0; i < 256; ++i)
            v[i] = i >= '0' && i <= '9'   ? i - '0'
                   : i >= 'a' && i <= 'f' ? i - 'a' + 10
                   : i >= 'A' && i <= 'F' ? i - 'A' + 10
                                          : -1;
        return v;
    }();
    return kValues[static_cast<unsigned char>(c)];
}

struct ControlWordRead {
    std::string_view name;  // empty for a name too long to be any word
    bool hasParam = false;
    int param = 0;
};

// The control word whose letters begin at p (after its backslash): its name,
// its number and the space that may end it; p is left after all three.
ControlWordRead ReadControlWord(const char*& p, const char* end)
{
    ControlWordRead w;
    const char* const start = p;
    while (p < end && IsLetter(*p))
        ++p;
    if (p - start <= 32)
        w.name = std::string_view(start, static_cast<std::size_t>(p - start));
    if (p < end && (IsDigit(*p) || (*p == '-' && end - p >= 2 && IsDigit(p[1])))) {
        const bool negative = *p == '-';
        p += negative;
        w.hasParam = true;
        std::int64_t value = 0;
        for (; p < end && IsDigit(*p); ++p)
            if (value <= INT32_MAX)
                value = value * 10 + (*p - '0');
        value = std::min<std::int64_t>(value, INT32_MAX);
        w.param = static_cast<int>(negative ? -value : value);
    }
    if (p < end && *p == ' ')
        ++p;
    return w;
}

bool NeedsSanitizing(char16_t c)
{
    if (c >= 0x20 && c < 0x2029)  // nearly every character
        return false;
    if (c < 0x20)
        return c != u'\t';
    return c == 0x2029 || (c >= 0xD800 && c <= 0xDFFF) || c == 0xFDD0 || c == 0xFDD1 || c == 0xFFFC;
}

// Characters the document model would take as structure, or that make no
// sense as shown text, are kept out of runs; lone surrogates become U+FFFD.
void Sanitize(QString& s)
{
    const qsizetype n = s.size();
    const QChar* chars = s.constData();
    qsizetype first = 0;
    while (first < n && !NeedsSanitizing(chars[first].unicode()))
        ++first;
    if (first == n)
        return;
    QChar* d = s.data();
    qsizetype out = first;
    for (qsizetype i = first; i < n; ++i) {
        char16_t c = d[i].unicode();
        if (c < 0x20 && c != u'\t')
            continue;
        if (c == 0x2029)
            c = 0x2028;
        else if (c == 0xFDD0 || c == 0xFDD1 || c == 0xFFFC)
            c = 0xFFFD;
        else if (QChar::isHighSurrogate(c)) {
            if (i + 1 < n && QChar::isLowSurrogate(d[i + 1].unicode())) {
                d[out++] = d[i];
                d[out++] = d[++i];
                continue;
            }
            c = 0xFFFD;
        } else if (QChar::isLowSurrogate(c)) {
            c = 0xFFFD;
        }
        d[out++] = QChar(c);
    }
    s.truncate(out);
}

QTextBlockFormat BlockFormatFor(Align align)
{
    QTextBlockFormat f;
    switch (align) {
    case kAlignLeft: f.setAlignment(Qt::AlignLeft); break;
    case kAlignCenter: f.setAlignment(Qt::AlignHCenter); break;
    case kAlignRight: f.setAlignment(Qt::AlignRight); break;
    case kAlignJustify: f.setAlignment(Qt::AlignJustify); break;
    case kAlignUnstated: break;
    }
    return f;
}

// Gathers the document's text, runs and paragraphs, counting exactly what
// they will ask of a view, and then hands them to a document in as few edits
// as it can, since every edit costs the document a walk of its structures,
// whatever its length: the text goes in as one insertion in its commonest
// format and alignment; only the runs and paragraphs that differ are then
// formatted, each in one step.
class DocumentWriter {
public:
    void Add(const QString& text, const QTextCharFormat& format)
    {
        OpenPendingParagraph();
        if (!runs_.empty() && runs_.back().start + runs_.back().length == text_.size() &&
            runs_.back().format == format) {
            runs_.back().length += text.size();
        } else {
            runs_.push_back({text_.size(), text.size(), format});
            shaping_.NewFormat();
        }
        text_ += text;
        shaping_.Add(text);
        paragraphChars_ += text.size();
        longest_ = std::max(longest_, paragraphChars_);
    }

    // The paragraph mark: the paragraph gets align; the next one, once
    // something follows, opens with breakFormat.
    void EndParagraph(Align align, const QTextCharFormat& breakFormat)
    {
        OpenPendingParagraph();
        SetCurrentAlign(align);
        breakPending_ = true;
        breakFormat_ = breakFormat;
    }

    // The end of the document. A break not followed by anything opens no
    // empty last paragraph.
    void Finish(Align align)
    {
        if (!breakPending_)
            SetCurrentAlign(align);
    }

    // What the text gathered so far asks of a view: every line break in it
    // opens a paragraph.
    ParagraphStats Stats() const
    {
        const auto breaks = static_cast<qsizetype>(breaks_.size());
        return {breaks + 1, longest_, text_.size() - breaks, static_cast<qsizetype>(runs_.size()), shaping_.Stats()};
    }

    // Replaces the whole content of doc; the writer is left empty.
    void WriteTo(QTextDocument* doc)
    {
        const bool undo = doc->isUndoRedoEnabled();
        doc->setUndoRedoEnabled(false);
        // Clearing inside the same edit block as the filling makes it one
        // change of the whole document, which a view lays out lazily instead
        // of at once.
        QTextCursor whole(doc);
        whole.beginEditBlock();
        doc->clear();
        QTextCursor cursor(doc);
        cursor.setBlockFormat(QTextBlockFormat());
        cursor.setBlockCharFormat(QTextCharFormat());
        Insert(cursor);
        whole.endEditBlock();
        doc->setUndoRedoEnabled(undo);
        *this = DocumentWriter();
    }

private:
    struct Run {
        qsizetype start;  // in text_
        qsizetype length;
        QTextCharFormat format;
    };
    struct Break {
        qsizetype at;                // of its line break in text_
        QTextCharFormat format;      // of the paragraph mark
        std::optional<Align> align;  // known at the paragraph's end
    };

    void OpenPendingParagraph()
    {
        if (!breakPending_)
            return;
        breaks_.push_back({text_.size(), breakFormat_, std::nullopt});
        text_ += u'\n';
        shaping_.EndParagraph();
        breakPending_ = false;
        paragraphChars_ = 0;
    }

    void SetCurrentAlign(Align align)
    {
        if (breaks_.empty())
            firstAlign_ = align;
        else
            breaks_.back().align = align;
    }

    // Into an empty document whose only paragraph has no alignment of its own.
    void Insert(QTextCursor& cursor)
    {
        // The paragraphs the text opens take the alignment the document's
        // last block has when the text goes in.
        Align blockAlign = kAlignUnstated;
        if (!breaks_.empty()) {
            const Align common = CommonAlign();
            if (common != blockAlign) {
                cursor.setBlockFormat(BlockFormatFor(common));
                blockAlign = common;
            }
        }
        if (text_.isEmpty()) {
            if (firstAlign_ && *firstAlign_ != blockAlign)
                cursor.setBlockFormat(BlockFormatFor(*firstAlign_));
            return;
        }
        const QTextCharFormat common = CommonFormat();
        cursor.insertText(text_, common);
        QTextCursor fix(cursor.document());
        const auto at = [&](qsizetype i) { fix.setPosition(static_cast<int>(i)); };
        if (firstAlign_ && *firstAlign_ != blockAlign) {
            at(0);
            fix.setBlockFormat(BlockFormatFor(*firstAlign_));
        }
        for (const Break& b : breaks_) {
            if (b.align && *b.align != blockAlign) {
                at(b.at + 1);
                fix.setBlockFormat(BlockFormatFor(*b.align));
            }
            if (!(b.format == common)) {
                at(b.at + 1);
                fix.setBlockCharFormat(b.format);
            }
        }
        for (const Run& r : runs_) {
            if (r.format == common)
                continue;
            at(r.start);
            fix.setPosition(static_cast<int>(r.start + r.length), QTextCursor::KeepAnchor);
            fix.setCharFormat(r.format);
        }
    }

    // The alignment most of the new paragraphs have.
    Align CommonAlign() const
    {
        std::array<std::size_t, 5> count{};
        for (const Break& b : breaks_)
            ++count[b.align.value_or(kAlignUnstated)];
        return static_cast<Align>(std::max_element(count.begin(), count.end()) - count.begin());
    }

    // The format most of the runs and paragraph marks have, among
    // the first few different ones (a document rarely has more).
    QTextCharFormat CommonFormat() const
    {
        std::vector<std::pair<QTextCharFormat, std::size_t>> seen;
        const auto count = [&](const QTextCharFormat& f) {
            for (auto& [format, n] : seen)
                if (format == f) {
                    ++n;
                    return;
                }
            if (seen.size() < 16)
                seen.emplace_back(f, 1);
        };
        for (const Run& r : runs_)
            count(r.format);
        for (const Break& b : breaks_)
            count(b.format);
        if (seen.empty())
            return QTextCharFormat();
        return std::max_element(seen.begin(), seen.end(),
                                [](const auto& a, const auto& b) { return a.second < b.second; })
            ->first;
    }

    QString text_;
    std::vector<Run> runs_;
    std::vector<Break> breaks_;
    std::optional<Align> firstAlign_;  // of the first paragraph, once known
    // A paragraph mark was read; the next paragraph opens when something follows.
    bool breakPending_ = false;
    QTextCharFormat breakFormat_;
    ShapingCounter shaping_;
    qsizetype longest_ = 0;         // paragraph, in characters
    qsizetype paragraphChars_ = 0;  // in the last paragraph
};

class Reader {
public:
    Reader(QByteArrayView src, TextLimits within) : p_(src.data()), end_(src.data() + src.size()), within_(within) {}

    // False as soon as what is read fails within_.
    bool Run()
    {
        while (p_ < end_ && !done_) {
            const char c = *p_++;
            switch (c) {
            case '{': OpenGroup(); break;
            case '}': CloseGroup(); break;
            case '\\': ControlSequence(); break;
            case '\r':
            case '\n': break;
            default: TextByte(c, false); break;
            }
        }
        if (!done_)
            Finish(cur_.align);
        return !refused_;
    }

    DocumentWriter& Out() { return out_; }

private:
    void OpenGroup()
    {
        skip_ = 0;
        if (stack_.size() < kMaxStackedDepth)
            stack_.push_back(cur_);
        else
            ++unstacked_;
    }

    void CloseGroup()
    {
        skip_ = 0;
        if (unstacked_ > 0) {
            --unstacked_;
            return;
        }
        if (cur_.dest == Dest::FontTable)
            CommitFont();
        if (stack_.size() <= 1) {
            // The document's own group closed: anything after it is not part of it.
            Finish(cur_.align);
            return;
        }
        cur_ = stack_.back();
        stack_.pop_back();
        chrChanged_ = true;
    }

    void ControlSequence()
    {
        if (p_ == end_)
            return;
        if (!IsLetter(*p_)) {
            ControlSymbol(*p_++);
            return;
        }
        const ControlWordRead w = ReadControlWord(p_, end_);
        ControlWord(w.name, w.hasParam, w.param);
    }

    void ControlSymbol(char c)
    {
        if (c == '\'') {
            if (end_ - p_ < 2) {
                p_ = end_;
                return;
            }
            const int hi = HexValue(p_[0]);
            const int lo = HexValue(p_[1]);
            if (hi < 0 || lo < 0)
                return;  // a broken escape shows nothing; the bytes after it are read normally
            p_ += 2;
            TextByte(static_cast<char>(hi * 16 + lo), true);
            return;
        }
        if (c == '\\' || c == '{' || c == '}') {
            TextByte(c, true);
            return;
        }
        if (skip_ > 0) {
            --skip_;
            return;
        }
        switch (c) {
        case '*': cur_.dest = Dest::Skip; break;
        case '~': Char(u'\u00A0'); break;
        case '-': Char(u'\u00AD'); break;
        case '_': Char(u'\u2011'); break;
        case '\r':
        case '\n': Par(); break;
        default: break;
        }
    }

    void ControlWord(std::string_view name, bool hasParam, int param)
    {
        if (name == "bin") {
            // Binary data is never text, whatever destination it sits in.
            const std::int64_t n = hasParam ? std::max(param, 0) : 0;
            p_ += std::min<std::int64_t>(n, end_ - p_);
            if (skip_ > 0)
                --skip_;
            return;
        }
        if (skip_ > 0) {
            --skip_;
            return;
        }
        if (cur_.dest == Dest::Skip)
            return;
        const auto& words = Words();
        const auto it = words.find(name);
        if (it == words.end())
            return;
        const Word w = it->second.word;
        const auto on = [&] { return !hasParam || param != 0; };

        if (cur_.dest == Dest::FontTable) {
            switch (w) {
            case Word::F:
                CommitFont();
                fontNumber_ = hasParam ? param : 0;
                break;
            case Word::FCharset:
                if (const int cp = CodePageForCharset(param); cp != 0)
                    fontCodePage_ = cp;
                break;
            case Word::Cpg:
                if (param > 0)
                    fontCodePage_ = param;
                break;
            default: break;
            }
            return;
        }
        if (cur_.dest == Dest::ColorTable) {
            const int v = std::clamp(param, 0, 255);
            if (w == Word::Red)
                red_ = v, colorStated_ = true;
            else if (w == Word::Green)
                green_ = v, colorStated_ = true;
            else if (w == Word::Blue)
                blue_ = v, colorStated_ = true;
            return;
        }

        CharProps& chr = cur_.chr;
        chrChanged_ = true;
        switch (w) {
        case Word::Par: Par(); break;
        case Word::Line: Char(u'\u2028'); break;
        case Word::Tab:
        case Word::Cell: Char(u'\t'); break;
        case Word::Pard: cur_.align = kAlignUnstated; break;
        case Word::Plain: chr = CharProps(); break;
        case Word::Ql: cur_.align = kAlignLeft; break;
        case Word::Qc: cur_.align = kAlignCenter; break;
        case Word::Qr: cur_.align = kAlignRight; break;
        case Word::Qj: cur_.align = kAlignJustify; break;
        case Word::B: chr.bold = on(); break;
        case Word::I: chr.italic = on(); break;
        case Word::Ul: chr.underline = on(); break;
        case Word::UlNone: chr.underline = false; break;
        case Word::Strike: chr.strike = on(); break;
        case Word::V: chr.hidden = on(); break;
        case Word::Fs: chr.halfPoints = hasParam && param > 0 ? std::min(param, kMaxHalfPoints) : 0; break;
        case Word::F: chr.font = hasParam ? param : -1; break;
        case Word::Cf: chr.color = hasParam ? param : -1; break;
        case Word::Highlight: chr.highlight = hasParam ? param : -1; break;
        case Word::Super: chr.vertical = 1; break;
        case Word::Sub: chr.vertical = -1; break;
        case Word::NoSuperSub: chr.vertical = 0; break;
        case Word::U: Unicode(param); break;
        case Word::Uc: cur_.uc = std::clamp(param, 0, 64); break;
        case Word::Ansi: break;
        case Word::AnsiCpg:
            if (param > 0 && param <= 65535)
                docCodePage_ = param;
            Forget();
            break;
        case Word::Mac: docCodePage_ = 10000, Forget(); break;
        case Word::Pc: docCodePage_ = 437, Forget(); break;
        case Word::Pca: docCodePage_ = 850, Forget(); break;
        case Word::Deff: defaultFont_ = param, Forget(); break;
        case Word::FontTable:
            cur_.dest = Dest::FontTable;
            fontNumber_ = -1;
            break;
        case Word::ColorTable: cur_.dest = Dest::ColorTable; break;
        case Word::SkipDest: cur_.dest = Dest::Skip; break;
        case Word::Symbol: Char(it->second.symbol); break;
        default: break;
        }
    }

    void Unicode(int value)
    {
        std::int64_t v = value;
        if (v < 0)
            v += 65536;  // writers store code units above 32767 as negative numbers
        if (v < 0 || v > 0x10FFFF)
            v = 0xFFFD;
        if (v > 0xFFFF) {
            Char(QChar::highSurrogate(static_cast<char32_t>(v)));
            Char(QChar::lowSurrogate(static_cast<char32_t>(v)));
        } else if (v != 0) {
            Char(static_cast<char16_t>(v));
        }
        skip_ = cur_.uc;
    }

    // A byte of text, literal or escaped (escaped bytes keep their value even
    // when it is a line break or a delimiter).
    void TextByte(char c, bool escaped)
    {
        if (skip_ > 0) {
            --skip_;
            return;
        }
        switch (cur_.dest) {
        case Dest::Skip: return;
        case Dest::FontTable:
            if (c == ';' && !escaped)
                CommitFont();
            else if (fontName_.size() < kMaxFontNameBytes)
                fontName_ += c;
            return;
        case Dest::ColorTable:
            if (c == ';' && !escaped)
                CommitColor();
            return;
        case Dest::Text: break;
        }
        if (cur_.chr.hidden)
            return;
        if (c == '\t') {
            Char(u'\t');
            return;
        }
        if (static_cast<unsigned char>(c) < 0x20)
            return;
        StartRun();
        bytes_[bytesSize_++] = c;
        TakeMoreText();
        if (bytesSize_ >= kPieceBytes) {
            FlushBytes(false);
            if (bytesSize_ >= kPieceBytes / 2)  // no split sequence is this long: take the bytes as they are
                FlushBytes(true);
            FlushRun();
        }
    }

    // The text bytes and \'xx escapes that follow, up to anything else: they
    // change neither the destination nor the formatting, so they need none of
    // the checks above. Most of a document's bytes are taken here.
    void TakeMoreText()
    {
        const char* p = p_;
        char* out = bytes_.get() + bytesSize_;
        char* const full = bytes_.get() + kPieceBytes;
        while (p < end_ && out < full) {
            const char c = *p;
            if (c == '\\') {
                if (end_ - p < 4 || p[1] != '\'')
                    break;
                const int hi = HexValue(p[2]);
                const int lo = HexValue(p[3]);
                if (hi < 2 || lo < 0)  // broken, or a control character
                    break;
                *out++ = static_cast<char>(hi * 16 + lo);
                p += 4;
                continue;
            }
            if (c == '{' || c == '}' || static_cast<unsigned char>(c) < 0x20)
                break;
            *out++ = c;
            ++p;
        }
        p_ = p;
        bytesSize_ = out - bytes_.get();
    }

    void Char(char16_t c)
    {
        if (cur_.dest != Dest::Text || cur_.chr.hidden)
            return;
        StartRun();
        FlushBytes(true);
        run_ += QChar(c);
        if (run_.size() >= kPieceBytes)
            FlushRun();
    }

    // Text about to be added: if it is formatted differently from the run
    // being gathered, that run goes to the document first; bytes in another
    // code page are decoded first. Only looked at after the formatting or the
    // tables may have changed, as this runs for every byte of text.
    void StartRun()
    {
        if (!chrChanged_)
            return;
        chrChanged_ = false;
        if (!(cur_.chr == runProps_)) {
            FlushBytes(true);
            FlushRun();
            runProps_ = cur_.chr;
        }
        const int cp = CachedCodePage(cur_.chr.font);
        if (cp != bytesCodePage_) {
            FlushBytes(true);
            bytesCodePage_ = cp;
        }
    }

    void FlushBytes(bool final)
    {
        if (bytesSize_ == 0)
            return;
        const QByteArrayView bytes(bytes_.get(), bytesSize_);
        const bool ascii =
            std::all_of(bytes.begin(), bytes.end(), [](char b) { return static_cast<unsigned char>(b) < 0x80; });
        CodePageDecoder* decoder = ascii ? nullptr : DecoderFor(bytesCodePage_);
        if (decoder == nullptr) {
            run_ += QLatin1StringView(bytes);
            bytesSize_ = 0;
            return;
        }
        const qsizetype used = decoder->Decode(bytes, run_, final);
        std::memmove(bytes_.get(), bytes_.get() + used, static_cast<std::size_t>(bytesSize_ - used));
        bytesSize_ -= used;
    }

    void FlushRun()
    {
        if (run_.isEmpty())
            return;
        Sanitize(run_);
        if (!run_.isEmpty()) {
            out_.Add(run_, CachedFormat(runProps_));
            CheckLimits();
        }
        run_.resize(0);
    }

    void CheckLimits()
    {
        if (!within_(out_.Stats()))
            refused_ = done_ = true;
    }

    // The paragraph mark gives the paragraph its alignment. The new paragraph
    // is only opened when something follows, so the closing \par writers put
    // at the end of every document does not add an empty last line.
    void Par()
    {
        if (cur_.dest != Dest::Text)
            return;
        FlushBytes(true);
        FlushRun();
        out_.EndParagraph(cur_.align, CachedFormat(cur_.chr));
        CheckLimits();
    }

    void Finish(Align align)
    {
        FlushBytes(true);
        FlushRun();
        out_.Finish(align);
        done_ = true;
    }

    void CommitFont()
    {
        Forget();
        if (fontNumber_ >= 0 && (fonts_.size() < kMaxTableEntries || fonts_.count(fontNumber_))) {
            QString name;
            if (CodePageDecoder* d = DecoderFor(fontCodePage_ ? fontCodePage_ : docCodePage_))
                d->Decode(fontName_, name);
            else
                name = QString::fromLatin1(fontName_);
            name = name.trimmed();
            FontEntry& entry = fonts_[fontNumber_];
            if (!name.isEmpty())
                entry.name = name;
            entry.codePage = fontCodePage_;
        }
        fontName_.clear();
        fontCodePage_ = 0;
        // Further text before the next \f belongs to no font.
        fontNumber_ = -1;
    }

    void CommitColor()
    {
        Forget();
        if (colors_.size() < kMaxTableEntries) {
            if (colorStated_)
                colors_.emplace_back(QColor(red_, green_, blue_));
            else
                colors_.emplace_back(std::nullopt);
        }
        red_ = green_ = blue_ = 0;
        colorStated_ = false;
    }

    // Looked up for every text byte and every run: remembered until a table
    // or a document default they depend on changes (Forget).
    int CachedCodePage(int font)
    {
        if (font != codePageFont_ || !codePageKnown_) {
            codePageFont_ = font;
            codePage_ = CodePage(font);
            codePageKnown_ = true;
        }
        return codePage_;
    }

    const QTextCharFormat& CachedFormat(const CharProps& props)
    {
        for (const auto& [p, f] : formats_)
            if (p == props)
                return f;
        if (formats_.size() >= kMaxCachedFormats)
            formats_.clear();
        formats_.emplace_back(props, FormatFor(props));
        return formats_.back().second;
    }

    void Forget()
    {
        codePageKnown_ = false;
        chrChanged_ = true;
        formats_.clear();
    }

    int CodePage(int font) const
    {
        const auto it = fonts_.find(font >= 0 ? font : defaultFont_);
        if (it != fonts_.end() && it->second.codePage != 0)
            return it->second.codePage;
        return docCodePage_;
    }

    CodePageDecoder* DecoderFor(int codePage)
    {
        auto& slot = decoders_[codePage];
        if (!slot)
            slot = std::make_unique<CodePageDecoder>(codePage);
        return slot->ok() ? slot.get() : nullptr;
    }

    std::optional<QColor> ColorAt(int index) const
    {
        if (index < 0 || static_cast<std::size_t>(index) >= colors_.size())
            return std::nullopt;
        return colors_[static_cast<std::size_t>(index)];
    }

    QTextCharFormat FormatFor(const CharProps& props) const
    {
        QTextCharFormat f;
        const auto font = fonts_.find(props.font >= 0 ? props.font : defaultFont_);
        if (font != fonts_.end() && !font->second.name.isEmpty())
            f.setFontFamilies(QStringList{font->second.name});
        if (props.halfPoints > 0)
            f.setFontPointSize(props.halfPoints / 2.0);
        if (props.bold)
            f.setFontWeight(QFont::Bold);
        if (props.italic)
            f.setFontItalic(true);
        if (props.underline)
            f.setFontUnderline(true);
        if (props.strike)
            f.setFontStrikeOut(true);
        if (props.vertical != 0)
            f.setVerticalAlignment(props.vertical > 0 ? QTextCharFormat::AlignSuperScript
                                                      : QTextCharFormat::AlignSubScript);
        if (const auto c = ColorAt(props.color))
            f.setForeground(*c);
        if (const auto c = ColorAt(props.highlight))
            f.setBackground(*c);
        return f;
    }

    const char* p_;
    const char* end_;
    TextLimits within_;
    DocumentWriter out_;
    bool done_ = false;
    bool refused_ = false;

    State cur_;
    std::vector<State> stack_;
    std::size_t unstacked_ = 0;
    int skip_ = 0;  // characters still to skip after \uN

    int docCodePage_ = kCyrillicCodePage;  // \ansi without \ansicpg: the system's code page
    int defaultFont_ = -1;
    std::map<int, FontEntry> fonts_;
    std::vector<std::optional<QColor>> colors_;
    std::map<int, std::unique_ptr<CodePageDecoder>> decoders_;

    int fontNumber_ = -1;
    int fontCodePage_ = 0;
    QByteArray fontName_;
    int red_ = 0, green_ = 0, blue_ = 0;
    bool colorStated_ = false;

    bool codePageKnown_ = false;
    int codePageFont_ = 0;
    int codePage_ = 0;
    std::vector<std::pair<CharProps, QTextCharFormat>> formats_;

    CharProps runProps_;
    bool chrChanged_ = true;  // cur_.chr or the tables may differ from what StartRun last saw
    // Text bytes not yet decoded; flushed whenever kPieceBytes are gathered.
    std::unique_ptr<char[]> bytes_ = std::make_unique_for_overwrite<char[]>(kPieceBytes);
    qsizetype bytesSize_ = 0;
    int bytesCodePage_ = kCyrillicCodePage;
    QString run_;
};

}  // namespace

bool LooksLikeRtf(QByteArrayView bytes) { return bytes.startsWith("{\\rtf"); }

struct RtfText::Parts {
    DocumentWriter writer;
};

RtfText::RtfText(std::unique_ptr<Parts> parts) : parts_(std::move(parts)) {}
RtfText::RtfText(RtfText&&) noexcept = default;
RtfText& RtfText::operator=(RtfText&&) noexcept = default;
RtfText::~RtfText() = default;

ParagraphStats RtfText::Stats() const { return parts_->writer.Stats(); }

void RtfText::WriteTo(QTextDocument* doc) { parts_->writer.WriteTo(doc); }

std::optional<RtfText> ParseRtf(QByteArrayView bytes, TextLimits within)
{
    Reader reader(bytes, within);
    if (!reader.Run())
        return std::nullopt;
    auto parts = std::make_unique<RtfText::Parts>();
    parts->writer = std::move(reader.Out());
    return RtfText(std::move(parts));
}

void ReadRtf(QByteArrayView bytes, QTextDocument* doc)
{
    ParseRtf(bytes, [](const ParagraphStats&) { return true; })->WriteTo(doc);
}

}  // namespace tavelo
