#pragma once
// Help texts of a chosen size for the text-page measurements: Russian prose
// in Windows-1251 with CR LF line ends, as a disc author's editor saves it,
// the same kind of prose as an RTF document with fonts, colours, bold and
// italic runs and \'xx escapes, and the shapes that press the text limits
// hardest. Deterministic, so every run sees the same text.

#include "base/errors.h"
#include "media/plain_text.h"
#include "media/text_view.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <iterator>
#include <optional>
#include <string_view>

namespace tavelo::bench {

class Prose {
public:
    explicit Prose(std::uint32_t seed = 12345) : state_(seed) {}

    // A word of 1 to 11 Cyrillic letters as Windows-1251 bytes.
    QByteArray Word()
    {
        QByteArray w;
        const int n = 1 + static_cast<int>(Next() % 11);
        for (int i = 0; i < n; ++i)
            w += static_cast<char>(0xE0 + Next() % 32);
        if (Next() % 8 == 0)
            w[0] = static_cast<char>(static_cast<unsigned char>(w[0]) - 0x20);  // capital
        return w;
    }

    // A line of words, 30 to 90 bytes long.
    QByteArray Line()
    {
        const int target = 30 + static_cast<int>(Next() % 61);
        QByteArray line;
        while (line.size() < target) {
            if (!line.isEmpty())
                line += ' ';
            line += Word();
        }
        return line;
    }

    std::uint32_t Next()
    {
        state_ = state_ * 1664525u + 1013904223u;
        return state_ >> 8;
    }

private:
    std::uint32_t state_;
};

// Plain Windows-1251 text of about bytes bytes; a blank line now and then.
inline QByteArray PlainHelpText(qsizetype bytes)
{
    Prose p;
    QByteArray out;
    out.reserve(bytes + 128);
    while (out.size() < bytes) {
        out += p.Line();
        out += "\r\n";
        if (p.Next() % 10 == 0)
            out += "\r\n";
    }
    return out;
}

// An RTF document of about bytes bytes; *plain receives the text it shows,
// one line per paragraph, for the plain floor of the same amount of text.
inline QByteArray RtfHelpText(qsizetype bytes, QString* plain = nullptr)
{
    Prose p;
    QByteArray out =
        "{\\rtf1\\ansi\\ansicpg1251\\deff0{\\fonttbl{\\f0\\fcharset204 Times New Roman;}{\\f1\\fcharset204 Arial;}}"
        "{\\colortbl;\\red128\\green0\\blue0;\\red0\\green0\\blue128;}\r\n";
    out.reserve(bytes + 256);
    QByteArray text;  // Windows-1251 bytes of what the document shows
    static const char* const kHex = "0123456789abcdef";
    while (out.size() < bytes) {
        const std::uint32_t kind = p.Next() % 4;
        out += kind == 0 ? "\\pard\\ql " : "\\pard\\qc ";
        const QByteArray line = p.Line();
        const qsizetype runStart = line.size() / 3;
        const qsizetype runEnd = 2 * line.size() / 3;
        for (qsizetype i = 0; i < line.size(); ++i) {
            if (i == runStart)
                out += kind == 1 ? "{\\b " : kind == 2 ? "{\\i\\cf1 " : "{\\f1\\fs28 ";
            const auto c = static_cast<unsigned char>(line[i]);
            if (c < 0x80) {
                out += static_cast<char>(c);
            } else {
                out += "\\'";
                out += kHex[c >> 4];
                out += kHex[c & 15];
            }
            if (i + 1 == runEnd)
                out += '}';
        }
        out += "\\par\r\n";
        text += line;
        text += '\n';
    }
    out += '}';
    if (plain) {
        // Windows-1251 letters а..я / А..Я map to U+0430.. / U+0410..
        QString s(text.size(), Qt::Uninitialized);
        for (qsizetype i = 0; i < text.size(); ++i) {
            const auto c = static_cast<unsigned char>(text[i]);
            s[i] = c >= 0xC0 ? QChar(char16_t(0x410 + (c - 0xC0))) : QChar(char16_t(c));
        }
        s.chop(1);  // the document's closing \par opens no empty last line
        *plain = s;
    }
    return out;
}

// Prose in one of the scripts lyrics are written in, as UTF-8 with LF line
// ends: words of that script's letters in lines of 30 to 90 characters, a
// blank line between verses now and then. CJK runs its characters together
// with a comma or full stop now and then; Devanagari builds syllables of a
// consonant, a vowel sign or a conjunct; Greek and Latin carry accented letters.
inline std::optional<QByteArray> ScriptProse(std::string_view script, qsizetype bytes)
{
    Prose p(777);
    const auto pick = [&p](char16_t first, int count) { return QChar(char16_t(first + p.Next() % count)); };
    const auto letter = [&]() -> QString {
        if (script == "latin")
            return p.Next() % 20 == 0 ? QString(QChar(u"éüñçàö"[p.Next() % 6])) : QString(pick(u'a', 26));
        if (script == "cyrillic")
            return QString(pick(u'\u0430', 32));
        if (script == "greek")
            return p.Next() % 8 == 0 ? QString(QChar(u"άέήίόύώ"[p.Next() % 7])) : QString(pick(u'\u03B1', 25));
        if (script == "hebrew")
            return QString(pick(u'\u05D0', 27));
        if (script == "arabic") {
            static const char16_t kLetters[] = u"ابتثجحخدذرزسشصضطظعغفقكلمنهوي";
            return QString(QChar(kLetters[p.Next() % (std::size(kLetters) - 1)]));
        }
        if (script == "devanagari") {
            QString s(pick(u'\u0915', 37));
            const std::uint32_t k = p.Next() % 10;
            if (k < 5)
                s += pick(u'\u093E', 15);  // a vowel sign
            else if (k == 5)
                s += QChar(u'\u094D'), s += pick(u'\u0915', 37);  // a conjunct
            else if (k == 6)
                s += QChar(u'\u0902');
            return s;
        }
        return {};
    };
    const bool cjk = script == "cjk";
    if (!cjk && letter().isEmpty())
        return std::nullopt;
    QString out;
    qsizetype size = 0;
    while (size < bytes) {
        const qsizetype target = 30 + p.Next() % 61;
        QString line;
        while (line.size() < target) {
            if (cjk) {
                const int n = 4 + p.Next() % 9;
                for (int i = 0; i < n; ++i)
                    line += pick(u'\u4E00', 0x5000);
                line += QChar(p.Next() % 3 == 0 ? u'\u3002' : u'\uFF0C');
                continue;
            }
            if (!line.isEmpty())
                line += u' ';
            const int n = 1 + p.Next() % (script == "devanagari" ? 4 : 8);
            for (int i = 0; i < n; ++i)
                line += letter();
        }
        line += u'\n';
        if (p.Next() % 10 == 0)
            line += u'\n';
        size += line.toUtf8().size();
        out += line;
    }
    return out.toUtf8();
}

// What a text pressing one layout feature is built of: a piece repeated in
// lines of about 52 characters (LF line ends, UTF-8).
inline std::optional<QString> FeaturePiece(std::string_view kind)
{
    if (kind == "mixed")  // a script change at every character
        return QStringLiteral("aБγש ع中ไ한ह ");
    if (kind == "scripts")  // a script change at every character, one direction, faces at hand
        return QStringLiteral("aБγ");
    if (kind == "sparsescripts")  // a script change every 20th character
        return QString(20, u'a') + QString(20, u'б');
    if (kind == "rarescripts")  // every 128th
        return QString(128, u'a') + QString(128, u'б');
    if (kind == "rtl")  // a direction change at every character, no controls
        return QStringLiteral("aש");
    if (kind == "bidi")  // a direction change at every character
        return QStringLiteral("a\u202Eb\u202C");
    if (kind == "isolates")
        return QStringLiteral("a\u2067b\u2069");
    if (kind == "tabs")
        return QStringLiteral("a\t");
    if (kind == "alltabs")
        return QStringLiteral("\t");
    if (kind == "marks")  // three marks on every letter
        return QStringLiteral("a\u0301\u0308\u0323");
    if (kind == "stacks")
        return QStringLiteral("a") + QString(50, QChar(u'\u0301'));
    if (kind == "emoji")
        return QStringLiteral("\U0001F600\U0001F3B5\U0001F44D\U0001F3FD");
    if (kind == "emojizwj")
        return QStringLiteral("\U0001F469\u200D\U0001F469\u200D\U0001F467 ");
    return std::nullopt;
}

inline QByteArray RepeatedLines(const QString& piece, qsizetype bytes, qsizetype length = 52)
{
    QString line;
    while (line.size() < length)
        line += piece;
    const QByteArray l = (line + u'\n').toUtf8();
    return l.repeated(qMax<qsizetype>(1, bytes / l.size()));
}

// The help texts the measurements use, by kind: "plain" (PlainHelpText),
// "rtf" (RtfHelpText; *rtfShown receives the text it shows), "short" (lines
// of 14 letters), "long" (paragraphs of 32,700, just under the longest the
// program takes), "breaks" (nothing but line breaks) and "oneline" (words
// and no line break), the feature texts of FeaturePiece ("mixed", "bidi",
// "tabs", "marks", "emoji" and variants; "long" before the name for
// paragraphs of 32,700 characters), "rtfruns" and "longrtfruns" (a format
// change at every other character), "longsparsertfruns" (at every 40th)
// and the prose of ScriptProse ("latin",
// "cyrillic", "greek", "hebrew", "arabic", "devanagari", "cjk").
// Nullopt for any other kind.
inline std::optional<QByteArray> HelpText(std::string_view kind, qsizetype bytes, QString* rtfShown = nullptr)
{
    const auto lines = [bytes](qsizetype length) {
        Prose p;
        QByteArray out;
        out.reserve(bytes + length + 2);
        while (out.size() < bytes) {
            QByteArray line;
            while (line.size() < length)
                line += p.Word() + ' ';
            out += line.left(length) + "\r\n";
        }
        return out;
    };
    if (kind == "plain")
        return PlainHelpText(bytes);
    if (kind == "rtf")
        return RtfHelpText(bytes, rtfShown);
    if (kind == "short")
        return lines(14);
    if (kind == "long")
        return lines(32700);
    if (kind == "breaks")
        return QByteArray(bytes, '\n');
    if (kind == "oneline")
        return QByteArray("word ").repeated(bytes / 5);
    if (const std::optional<QString> piece = FeaturePiece(kind))
        return RepeatedLines(*piece, bytes);
    // A format change at every other character, or at every 40th.
    if (kind == "rtfruns" || kind == "longrtfruns" || kind == "longsparsertfruns") {
        const bool sparse = kind == "longsparsertfruns";
        const QByteArray piece = sparse ? "{\\b " + QByteArray(40, 'a') + "}" + QByteArray(40, 'b') : "{\\b a}b";
        const qsizetype chars = sparse ? 80 : 2;
        const QByteArray paragraph = piece.repeated((kind == "rtfruns" ? 52 : 32700) / chars) + "\\par\r\n";
        return "{\\rtf1 " + paragraph.repeated(qMax<qsizetype>(1, bytes / paragraph.size())) + "}";
    }
    // The same in paragraphs of about 32,700 characters, just under the longest taken.
    if (kind.starts_with("long"))
        if (const std::optional<QString> piece = FeaturePiece(kind.substr(4)))
            return RepeatedLines(*piece, bytes, 32700 - piece->size());
    return ScriptProse(kind, bytes);
}

// The size of the largest text of a kind the program takes (to 4 KiB).
inline qsizetype LargestTaken(std::string_view kind)
{
    const auto taken = [kind](qsizetype bytes) {
        try {
            (void)TextToShow(TRichEditSettings{}, *HelpText(kind, bytes));
            return true;
        } catch (const EOutOfResources&) {
            return false;
        }
    };
    qsizetype low = 4 * 1024;  // taken
    qsizetype high = kMaxTextBytes;
    while (high - low > 4 * 1024) {
        const qsizetype mid = (low + high) / 2;
        (taken(mid) ? low : high) = mid;
    }
    return low;
}

}  // namespace tavelo::bench
