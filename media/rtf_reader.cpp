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
// Text is handed to the document in pieces of about this many bytes, so a
// huge unbroken line does not need several whole copies of itself.
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

// Hands the text to the document in as few edits as it can, since every edit
// costs the document a walk of its structures, whatever its length. Text is
// gathered in pieces of up to kPieceBytes characters, paragraphs joined by
// line breaks, and each piece goes in as one insertion in its commonest
// format and alignment; only the runs and paragraphs that differ are then
// formatted, each in one step.
class DocumentWriter {
public:
    explicit DocumentWriter(QTextDocument* doc) : cursor_(doc) {}

    QTextCursor& Cursor() { return cursor_; }

    void Add(const QString& text, const QTextCharFormat& format)
    {
        OpenPendingParagraph();
        if (!runs_.empty() && runs_.back().start + runs_.back().length == text_.size() && runs_.back().format == format)
            runs_.back().length += text.size();
        else
            runs_.push_back({text_.size(), text.size(), format});
        text_ += text;
        if (text_.size() >= kPieceBytes)
            Flush();
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
        Flush();
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
        breakPending_ = false;
    }

    void SetCurrentAlign(Align align)
    {
        if (breaks_.empty())
            firstAlign_ = align;
        else
            breaks_.back().align = align;
    }

    void Flush()
    {
        // The paragraph the piece starts in is already in the document,
        // aligned blockAlign_; the ones it opens take the alignment the
        // document's last block has when the text goes in.
        if (!breaks_.empty()) {
            const Align common = CommonAlign();
            if (common != blockAlign_) {
                cursor_.setBlockFormat(BlockFormatFor(common));
                blockAlign_ = common;
            }
        }
        const Align firstNow = blockAlign_;
        const int start = cursor_.position();
        if (!text_.isEmpty()) {
            const QTextCharFormat common = CommonFormat();
            cursor_.insertText(text_, common);
            QTextCursor fix(cursor_.document());
            const auto blockAt = [&](qsizetype at) { fix.setPosition(start + static_cast<int>(at)); };
            if (firstAlign_ && *firstAlign_ != firstNow) {
                blockAt(0);
                fix.setBlockFormat(BlockFormatFor(*firstAlign_));
            }
            for (const Break& b : breaks_) {
                if (b.align && *b.align != blockAlign_) {
                    blockAt(b.at + 1);
                    fix.setBlockFormat(BlockFormatFor(*b.align));
                }
                if (!(b.format == common)) {
                    blockAt(b.at + 1);
                    fix.setBlockCharFormat(b.format);
                }
            }
            for (const Run& r : runs_) {
                if (r.format == common)
                    continue;
                blockAt(r.start);
                fix.setPosition(start + static_cast<int>(r.start + r.length), QTextCursor::KeepAnchor);
                fix.setCharFormat(r.format);
            }
        } else if (firstAlign_ && *firstAlign_ != firstNow) {
            cursor_.setBlockFormat(BlockFormatFor(*firstAlign_));
        }
        // What the document's last block is aligned as now.
        if (!breaks_.empty())
            blockAlign_ = breaks_.back().align.value_or(blockAlign_);
        else if (firstAlign_)
            blockAlign_ = *firstAlign_;
        text_.resize(0);
        runs_.clear();
        breaks_.clear();
        firstAlign_.reset();
    }

    // The alignment most of the piece's new paragraphs have.
    Align CommonAlign() const
    {
        std::array<std::size_t, 5> count{};
        for (const Break& b : breaks_)
            ++count[b.align.value_or(blockAlign_)];
        return static_cast<Align>(std::max_element(count.begin(), count.end()) - count.begin());
    }

    // The format most of the piece's runs and paragraph marks have, among
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

    QTextCursor cursor_;
    // The document's last block: how it is aligned now.
    Align blockAlign_ = kAlignUnstated;
    // The piece not yet in the document.
    QString text_;
    std::vector<Run> runs_;
    std::vector<Break> breaks_;
    std::optional<Align> firstAlign_;  // of the paragraph it starts in, once known
    // A paragraph mark was read; the next paragraph opens when something follows.
    bool breakPending_ = false;
    QTextCharFormat breakFormat_;
};

class Reader {
public:
    Reader(QByteArrayView src, QTextDocument* doc) : p_(src.data()), end_(src.data() + src.size()), out_(doc) {}

    void Run()
    {
        QTextCursor& cursor = out_.Cursor();
        cursor.beginEditBlock();
        cursor.setBlockFormat(QTextBlockFormat());
        cursor.setBlockCharFormat(QTextCharFormat());
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
        cursor.endEditBlock();
    }

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
        if (!run_.isEmpty())
            out_.Add(run_, CachedFormat(runProps_));
        run_.resize(0);
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
    DocumentWriter out_;
    bool done_ = false;

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

ParagraphStats RtfParagraphBounds(QByteArrayView bytes)
{
    ParagraphStats stats{1, 0, 0, 0};
    const char* const end = bytes.data() + bytes.size();
    const char* p = bytes.data();
    qsizetype inParagraph = 0;  // characters so far
    bool inRun = false;
    int depth = 0;    // groups open
    int hidden = -1;  // the depth of the group whose text the reader does not show, if any
    // After \u the reader skips the next \uc items (characters, escapes,
    // control words, \par among them) up to the next brace; no \uc here is
    // larger than the largest stated so far. While one may be skipped, a
    // paragraph mark counts as a paragraph but does not end the one before.
    int largestUc = 1;
    int mayBeSkipped = 0;
    const auto text = [&](qsizetype n) {
        mayBeSkipped = static_cast<int>(std::max<qsizetype>(0, mayBeSkipped - n));
        if (hidden >= 0)
            return;
        if (!inRun) {
            ++stats.runs;
            inRun = true;
        }
        inParagraph += n;
        stats.chars += n;
    };
    const auto paragraphEnds = [&] {
        const bool skippable = mayBeSkipped > 0;
        mayBeSkipped = std::max(0, mayBeSkipped - 1);
        if (hidden >= 0)
            return;
        ++stats.count;
        inRun = false;
        if (skippable)
            return;
        stats.longest = std::max(stats.longest, inParagraph);
        inParagraph = 0;
    };
    // Where the reader stops showing text: the rest of the group goes to a
    // table or is skipped, \\par and all. A mark it may skip changes nothing.
    const auto hideRest = [&] {
        if (hidden < 0 && mayBeSkipped == 0)
            hidden = depth;
        mayBeSkipped = std::max(0, mayBeSkipped - 1);
    };
    // A document uses a few words over and over: the last seen are kept
    // (their names point into bytes) to spare a table lookup for each.
    struct Seen {
        std::string_view name;
        Word word = Word::Plain;
    };
    std::array<Seen, 16> seen{};
    const auto wordOf = [&](std::string_view name) {
        if (name.empty())
            return Word::Plain;
        Seen& s = seen[(name.size() * 7 + static_cast<unsigned char>(name.front()) +
                        static_cast<unsigned char>(name.back())) %
                       seen.size()];
        if (s.name != name) {
            const auto it = Words().find(name);
            s = {name, it == Words().end() ? Word::Plain : it->second.word};
        }
        return s.word;
    };
    while (p < end) {
        // Text bytes and the escaped bytes between them, the bulk of a
        // document, in one tight loop.
        qsizetype n = 0;
        while (p < end) {
            const char c = *p;
            if (c == '\\') {
                if (end - p < 4 || p[1] != '\'' || HexValue(p[2]) < 0 || HexValue(p[3]) < 0)
                    break;
                p += 4;
                ++n;
            } else if (c == '{' || c == '}') {
                break;
            } else {
                n += c != '\r' && c != '\n';
                ++p;
            }
        }
        if (n > 0)
            text(n);
        if (p == end)
            break;
        if (*p == '{' || *p == '}') {
            const bool open = *p++ == '{';
            if (!open && depth == hidden)
                hidden = -1;
            depth += open ? 1 : -1;
            inRun = false;
            mayBeSkipped = 0;
            continue;
        }
        if (++p == end)  // the backslash
            break;
        if (*p == '\r' || *p == '\n') {
            ++p;
            paragraphEnds();
            continue;
        }
        if (!IsLetter(*p)) {  // a control symbol: \\~, \\{ and the like are text
            const char c = *p++;
            if (c == '*')
                hideRest();
            else if (c != '\'')  // a broken escape is nothing, not even an item to skip
                text(1);
            continue;
        }
        const ControlWordRead w = ReadControlWord(p, end);
        if (w.name == "bin") {  // binary data: never text, and not to be read as markup
            p += std::min<std::int64_t>(w.hasParam ? std::max(w.param, 0) : 0, end - p);
            mayBeSkipped = std::max(0, mayBeSkipped - 1);
            continue;
        }
        // Any other word may change the formatting: what follows is a new run.
        switch (wordOf(w.name)) {
        case Word::Par: paragraphEnds(); break;
        case Word::U:
            text(2);  // past U+FFFF a character takes two units
            mayBeSkipped = largestUc;
            break;
        case Word::Tab:
        case Word::Line:
        case Word::Symbol: text(1); break;
        case Word::Uc: largestUc = std::max(largestUc, std::clamp(w.param, 0, 64)); [[fallthrough]];
        default:
            inRun = false;
            mayBeSkipped = std::max(0, mayBeSkipped - 1);
            break;
        case Word::FontTable:
        case Word::ColorTable:
        case Word::SkipDest:
            inRun = false;
            hideRest();
            break;
        }
    }
    stats.longest = std::max(stats.longest, inParagraph);
    return stats;
}

void ReadRtf(QByteArrayView bytes, QTextDocument* doc)
{
    const bool undo = doc->isUndoRedoEnabled();
    doc->setUndoRedoEnabled(false);
    // Clearing inside the same edit block as the filling makes it one change
    // of the whole document, which a view lays out lazily instead of at once.
    QTextCursor whole(doc);
    whole.beginEditBlock();
    doc->clear();
    Reader(bytes, doc).Run();
    whole.endEditBlock();
    doc->setUndoRedoEnabled(undo);
}

}  // namespace tavelo
