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

// The help texts the measurements use, by kind: "plain" (PlainHelpText),
// "rtf" (RtfHelpText; *rtfShown receives the text it shows), "short" (lines
// of 14 letters), "long" (paragraphs of 32,700, just under the longest the
// program takes), "breaks" (nothing but line breaks) and "oneline" (words
// and no line break). Nullopt for any other kind.
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
    return std::nullopt;
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
