// Code pages through MultiByteToWideChar. Windows' tables and the C
// library's that the Linux build decodes with differ in a few places; where
// they do, this file gives the Linux build's text, so a disc reads the same
// on both systems.

#include "media/codepage_system.h"

#include <windows.h>

#include <algorithm>
#include <iterator>

namespace tavelo {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Bytes whose character differs between the two systems' tables.
struct ByteOverride {
    int codePage;
    unsigned char byte;
    char16_t c;
};
constexpr ByteOverride kByteOverrides[] = {
    {1255, 0xCA, kReplacement},  // a later addition Windows has, the C library not
    {10000, 0xBD, 0x03A9},      {10000, 0xC6, 0x0394}, {10000, 0xF0, 0xE01E},
    {21866, 0xAE, 0x255D},                              // Windows' KOI8-U carries Belarusian letters here
    {21866, 0xBE, 0x256C},      {28597, 0xA1, 0x2018},  // the 2003 edition of ISO 8859-7
    {28597, 0xA2, 0x2019},      {28597, 0xA4, 0x20AC}, {28597, 0xA5, 0x20AF},
    {28597, 0xAA, 0x037A},      {28598, 0xAF, 0x00AF}, {28598, 0xFD, 0x200E},
    {28598, 0xFE, 0x200F},
};

// The Hebrew letters with a point that the C library writes as one
// character, and the Vietnamese letters with a tone mark that canonical
// composition leaves apart but it joins. Sorted by letter, then mark.
struct Composition {
    char16_t letter, mark, composed;
};
constexpr Composition kCompositions[] = {
    {0x00D3, 0x0303, 0x1E4C}, {0x00D6, 0x0303, 0x1E4E}, {0x00DA, 0x0303, 0x1E78}, {0x00F3, 0x0303, 0x1E4D},
    {0x00F6, 0x0303, 0x1E4F}, {0x00FA, 0x0303, 0x1E79}, {0x05D0, 0x05B7, 0xFB2E}, {0x05D0, 0x05B8, 0xFB2F},
    {0x05D0, 0x05BC, 0xFB30}, {0x05D1, 0x05BC, 0xFB31}, {0x05D1, 0x05BF, 0xFB4C}, {0x05D2, 0x05BC, 0xFB32},
    {0x05D3, 0x05BC, 0xFB33}, {0x05D4, 0x05BC, 0xFB34}, {0x05D5, 0x05B9, 0xFB4B}, {0x05D5, 0x05BC, 0xFB35},
    {0x05D6, 0x05BC, 0xFB36}, {0x05D8, 0x05BC, 0xFB38}, {0x05D9, 0x05B4, 0xFB1D}, {0x05D9, 0x05BC, 0xFB39},
    {0x05DA, 0x05BC, 0xFB3A}, {0x05DB, 0x05BC, 0xFB3B}, {0x05DB, 0x05BF, 0xFB4D}, {0x05DC, 0x05BC, 0xFB3C},
    {0x05DE, 0x05BC, 0xFB3E}, {0x05E0, 0x05BC, 0xFB40}, {0x05E1, 0x05BC, 0xFB41}, {0x05E3, 0x05BC, 0xFB43},
    {0x05E4, 0x05BC, 0xFB44}, {0x05E4, 0x05BF, 0xFB4E}, {0x05E6, 0x05BC, 0xFB46}, {0x05E7, 0x05BC, 0xFB47},
    {0x05E8, 0x05BC, 0xFB48}, {0x05E9, 0x05BC, 0xFB49}, {0x05E9, 0x05C1, 0xFB2A}, {0x05E9, 0x05C2, 0xFB2B},
    {0x05EA, 0x05BC, 0xFB4A}, {0x05F2, 0x05B7, 0xFB1F}, {0xFB2A, 0x05BC, 0xFB2C}, {0xFB2B, 0x05BC, 0xFB2D},
    {0xFB49, 0x05C1, 0xFB2C}, {0xFB49, 0x05C2, 0xFB2D},
};

bool IsIso8859(int codePage) { return codePage >= 28591 && codePage <= 28606; }

class WindowsCodePage final : public SystemCodePage {
public:
    explicit WindowsCodePage(int codePage) : codePage_(codePage) {}

    std::optional<char16_t> DecodeByte(unsigned char b) override
    {
        if (SequenceLength(b) != 1)
            return std::nullopt;
        return Single(b);
    }

    qsizetype Decode(QByteArrayView bytes, QString& out, bool final) override
    {
        const qsizetype start = out.size();
        const qsizetype n = bytes.size();
        qsizetype i = 0;
        while (i < n) {
            const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + i;
            qsizetype length = SequenceLength(*p);
            if (length == 1) {
                Add(Single(*p), start, out);
                ++i;
                continue;
            }
            if (i + length > n) {
                if (!final && CouldContinue(p, n - i))
                    break;  // the rest comes with the next bytes
                length = n - i;
            }
            wchar_t units[2];
            const int got = MultiByteToWideChar(codePage_, MB_ERR_INVALID_CHARS, reinterpret_cast<const char*>(p),
                                                static_cast<int>(length), units, static_cast<int>(std::size(units)));
            if (got <= 0 || (got == 1 && UserDefined(*p, units[0]))) {
                // Undefined: one replacement, and on with the byte after the first.
                out.append(QChar(kReplacement));
                ++i;
                continue;
            }
            out.append(reinterpret_cast<const QChar*>(units), got);
            i += length;
        }
        return i;
    }

private:
    qsizetype SequenceLength(unsigned char b) const
    {
        if (codePage_ == CP_UTF8)
            return b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 1;
        return IsDBCSLeadByteEx(static_cast<UINT>(codePage_), b) ? 2 : 1;
    }

    // Whether the bytes cut off at the end may still be a sequence's start.
    bool CouldContinue(const unsigned char* p, qsizetype size) const
    {
        if (codePage_ != CP_UTF8)
            return true;
        return std::all_of(p + 1, p + size, [](unsigned char c) { return c >= 0x80 && c <= 0xBF; });
    }

    // A byte that stands alone.
    char16_t Single(unsigned char b) const
    {
        for (const ByteOverride& o : kByteOverrides)
            if (o.codePage == codePage_ && o.byte == b)
                return o.c;
        wchar_t unit = 0;
        const char byte = static_cast<char>(b);
        if (MultiByteToWideChar(codePage_, MB_ERR_INVALID_CHARS, &byte, 1, &unit, 1) != 1)
            return kReplacement;
        // Windows fills the holes of its code pages with the control character
        // of the same number; the C library leaves them undefined, except in
        // the ISO pages (where they are those controls) and in Big5.
        if (unit == b && b >= 0x80 && b <= 0x9F && !IsIso8859(codePage_) && codePage_ != 950)
            return kReplacement;
        return static_cast<char16_t>(unit);
    }

    // Windows gives the user-defined rows of these code pages private-use
    // characters; the C library has none there, except in Big5's rows
    // C6-C8, where both give the same ones.
    bool UserDefined(unsigned char lead, wchar_t c) const
    {
        if (c < 0xE000 || c > 0xF8FF)
            return false;
        if (codePage_ == 950)
            return lead < 0xC6 || lead > 0xC8;
        return codePage_ == 936 || codePage_ == 949 || codePage_ == 1361;
    }

    // Appends c, joined with the letter before it where the C library joins
    // them (Hebrew and Vietnamese marks).
    void Add(char16_t c, qsizetype start, QString& out) const
    {
        if ((codePage_ == 1255 || codePage_ == 1258) && out.size() > start) {
            const char16_t letter = out.back().unicode();
            const auto found =
                std::lower_bound(std::begin(kCompositions), std::end(kCompositions), Composition{letter, c, 0},
                                 [](const Composition& a, const Composition& b) {
                                     return a.letter != b.letter ? a.letter < b.letter : a.mark < b.mark;
                                 });
            if (found != std::end(kCompositions) && found->letter == letter && found->mark == c) {
                out.back() = QChar(found->composed);
                return;
            }
            if (codePage_ == 1258) {
                const QString pair = QString(QChar(letter)) + QChar(c);
                const QString joined = pair.normalized(QString::NormalizationForm_C);
                if (joined.size() == 1) {
                    out.back() = joined.front();
                    return;
                }
            }
        }
        out.append(QChar(c));
    }

    int codePage_;
};

}  // namespace

std::unique_ptr<SystemCodePage> OpenSystemCodePage(int codePage)
{
    if (codePage <= 0 || codePage > 65535 || !IsValidCodePage(static_cast<UINT>(codePage)))
        return nullptr;
    return std::make_unique<WindowsCodePage>(codePage);
}

}  // namespace tavelo
