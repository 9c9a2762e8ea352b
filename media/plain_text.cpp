#include "media/plain_text.h"

#include "base/errors.h"
#include "content/file_system.h"
#include "media/codepage.h"

#include <QStringDecoder>

#include <cerrno>

namespace tavelo {

std::optional<QByteArray> ReadWholeFile(const FileDescriptor& fd, qsizetype piece, qsizetype maxBytes)
{
    QByteArray data;
    const qint64 size = FileSize(fd);
    if (size > maxBytes)
        return std::nullopt;
    if (size > 0 && size < (qsizetype(1) << 31))
        data.reserve(static_cast<qsizetype>(size));  // a hint only; the file may change
    piece = qMax<qsizetype>(piece, 1);
    for (;;) {
        const qsizetype old = data.size();
        data.resize(old + piece);
        const qint64 n = ReadSome(fd, data.data() + old, piece);
        if (n < 0)
            throw EReadError(QStringLiteral("Stream read error"));  // never a text cut short
        data.resize(old + n);
        if (n == 0)
            break;
        if (data.size() > maxBytes)
            return std::nullopt;
    }
    return data;
}

bool IsValidUtf8(QByteArrayView bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = p + bytes.size();
    while (p < end) {
        const unsigned c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int extra;
        unsigned min;
        unsigned cp;
        if ((c & 0xE0) == 0xC0) {
            extra = 1, min = 0x80, cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2, min = 0x800, cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3, min = 0x10000, cp = c & 0x07;
        } else {
            return false;
        }
        if (end - p <= extra)
            return false;
        for (int i = 1; i <= extra; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        p += extra + 1;
    }
    return true;
}

QString NormalizeLineBreaks(QString text)
{
    qsizetype out = 0;
    const qsizetype n = text.size();
    QChar* d = text.data();
    bool afterCr = false;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = d[i].unicode();
        if (c == 0)
            continue;  // a NUL neither breaks a CR LF pair nor ends the text
        if (c == u'\n' && afterCr) {
            afterCr = false;
            continue;
        }
        afterCr = c == u'\r';
        d[out++] = (c == u'\r') ? QChar(u'\n') : d[i];
    }
    text.truncate(out);
    return text;
}

namespace {

// What the faces the window carries or names hold, with the common
// punctuation and symbols: Latin, Greek, Cyrillic, Armenian and Hebrew.
// Anything else (Arabic, Indic, CJK, emoji...) is shown from a face matched
// for it.
bool NeedsFallback(char32_t c) { return !(c < 0x0600 || (c >= 0x1D00 && c < 0x2400) || (c >= 0xFB00 && c < 0xFB50)); }

bool IsAsciiLetter(char32_t c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }

}  // namespace

void ShapingCounter::Add(QStringView text)
{
    const char16_t* s = text.utf16();
    const qsizetype n = text.size();
    paragraphChars_ += n;
    const auto direction = [this](int d) {
        if (direction_ != d && direction_ != kNone)
            Run(stats_.directionChanges, kDirectionWork);
        direction_ = d;
    };
    const auto script = [this](int sc) {
        if (script_ != sc && script_ != kNone)
            Run(stats_.scriptRuns, kScriptRunWork);
        script_ = sc;
    };
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = s[i];
        if (c < 0x80) {  // most characters: no table to look in
            if (IsAsciiLetter(c)) {
                direction(0);
                script(QChar::Script_Latin);
            } else if (c == u'\t') {
                Run(stats_.tabs, kTabWork);
            }
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(s[i + 1]))
            c = QChar::surrogateToUcs4(char16_t(c), s[++i]);
        switch (QChar::category(c)) {
        case QChar::Mark_NonSpacing:
        case QChar::Mark_SpacingCombining:
        case QChar::Mark_Enclosing: ++stats_.marks; break;
        default: break;
        }
        switch (QChar::direction(c)) {
        case QChar::DirL: direction(0); break;
        case QChar::DirR:
        case QChar::DirAL:
            ++stats_.rightToLeftChars;
            direction(1);
            break;
        case QChar::DirLRE:
        case QChar::DirLRO:
        case QChar::DirRLE:
        case QChar::DirRLO:
        case QChar::DirPDF:
        case QChar::DirLRI:
        case QChar::DirRLI:
        case QChar::DirFSI:
        case QChar::DirPDI: Run(stats_.directionChanges, kDirectionWork); break;
        default: break;
        }
        // Common and inherited characters (spaces, digits, marks) join the run they are in.
        if (const QChar::Script sc = QChar::script(c); sc > QChar::Script_Common)
            script(sc);
        if (NeedsFallback(c))
            ++stats_.fallbackChars;
    }
}

void ShapingCounter::EndParagraph()
{
    stats_ = Stats();
    script_ = direction_ = kNone;
    paragraphChars_ = paragraphRunWork_ = 0;
}

ShapingStats ShapingCounter::Stats() const
{
    ShapingStats s = stats_;
    s.longParagraphWork += paragraphRunWork_ * paragraphChars_ / kLongParagraphChars;
    return s;
}

ParagraphStats Paragraphs(const QString& text)
{
    ParagraphStats p{1, 0, text.size(), 0, {}};
    ShapingCounter shaping;
    qsizetype start = 0;
    const char16_t* chars = reinterpret_cast<const char16_t*>(text.constData());
    const auto paragraph = [&](qsizetype end) {
        p.longest = qMax(p.longest, end - start);
        shaping.Add(QStringView(chars + start, end - start));
        shaping.EndParagraph();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        // A view breaks paragraphs at these as well as at line ends.
        const char16_t c = chars[i];
        if (c == u'\n' || c == u'\u2029' || c == u'\uFDD0' || c == u'\uFDD1') {
            ++p.count;
            paragraph(i);
            start = i + 1;
        }
    }
    paragraph(text.size());
    p.shaping = shaping.Stats();
    return p;
}

qsizetype LayoutWork(const ParagraphStats& p)
{
    const ShapingStats& s = p.shaping;
    return p.chars + (p.count + p.runs) * kParagraphWork + s.scriptRuns * kScriptRunWork +
           s.directionChanges * kDirectionWork + s.rightToLeftChars * kRightToLeftWork +
           s.fallbackChars * kFallbackWork + s.tabs * kTabWork + s.marks * kMarkWork + s.longParagraphWork;
}

bool WithinParagraphLimits(const ParagraphStats& p)
{
    return p.longest <= kMaxParagraphChars && LayoutWork(p) <= kMaxTextWork;
}

PlainEncoding DetectPlainEncoding(QByteArrayView bytes)
{
    const auto startsWith = [&](std::initializer_list<unsigned char> bom) {
        if (bytes.size() < qsizetype(bom.size()))
            return false;
        qsizetype i = 0;
        for (unsigned char b : bom)
            if (static_cast<unsigned char>(bytes[i++]) != b)
                return false;
        return true;
    };
    if (startsWith({0xEF, 0xBB, 0xBF}))
        return PlainEncoding::Utf8Bom;
    if (startsWith({0xFF, 0xFE}))
        return PlainEncoding::Utf16LE;
    if (startsWith({0xFE, 0xFF}))
        return PlainEncoding::Utf16BE;
    bool ascii = true;
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii)
        return PlainEncoding::Ascii;
    return IsValidUtf8(bytes) ? PlainEncoding::Utf8 : PlainEncoding::Windows1251;
}

std::optional<QString> DecodePlainText(QByteArrayView bytes)
{
    const auto decodeWith = [](QStringConverter::Encoding enc, QByteArrayView b) {
        QStringDecoder decoder(enc, QStringConverter::Flag::Stateless);
        return QString(decoder(b));
    };

    QString text;
    switch (DetectPlainEncoding(bytes)) {
    case PlainEncoding::Utf8Bom: text = decodeWith(QStringConverter::Utf8, bytes.sliced(3)); break;
    case PlainEncoding::Utf16LE: text = decodeWith(QStringConverter::Utf16LE, bytes.sliced(2)); break;
    case PlainEncoding::Utf16BE: text = decodeWith(QStringConverter::Utf16BE, bytes.sliced(2)); break;
    case PlainEncoding::Ascii: text = QString::fromLatin1(bytes); break;
    case PlainEncoding::Utf8: text = QString::fromUtf8(bytes); break;
    case PlainEncoding::Windows1251: {
        CodePageDecoder decoder(kCyrillicCodePage);
        if (!decoder.ok())
            return std::nullopt;
        text.reserve(bytes.size());
        decoder.Decode(bytes, text);
        break;
    }
    }
    return NormalizeLineBreaks(std::move(text));
}

}  // namespace tavelo
