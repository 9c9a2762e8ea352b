// Code pages through the C library's iconv.

#include "media/codepage_system.h"

#include <QByteArrayList>
#include <QSysInfo>

#include <cerrno>
#include <iconv.h>

namespace tavelo {
namespace {

iconv_t OpenFor(int codePage)
{
    // glibc knows most Windows code pages as CPnnnn; a few only under other names.
    const char* target = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? "UTF-16LE" : "UTF-16BE";
    QByteArrayList names;
    switch (codePage) {
    case 10000: names << "MACINTOSH"; break;
    case 20866: names << "KOI8-R"; break;
    case 21866: names << "KOI8-U"; break;
    case 65001: names << "UTF-8"; break;
    case 1361: names << "JOHAB"; break;
    case 950: names << "BIG5"; break;
    case 936: names << "GBK"; break;
    default: break;
    }
    if (codePage >= 28591 && codePage <= 28606)
        names << "ISO-8859-" + QByteArray::number(codePage - 28590);
    names << "CP" + QByteArray::number(codePage) << "WINDOWS-" + QByteArray::number(codePage);
    for (const QByteArray& name : names) {
        iconv_t cd = iconv_open(target, name.constData());
        if (cd != reinterpret_cast<iconv_t>(-1))
            return cd;
    }
    return reinterpret_cast<iconv_t>(-1);
}

class IconvCodePage final : public SystemCodePage {
public:
    explicit IconvCodePage(iconv_t cd) : cd_(cd) {}
    ~IconvCodePage() override { iconv_close(cd_); }
    IconvCodePage(const IconvCodePage&) = delete;
    IconvCodePage& operator=(const IconvCodePage&) = delete;

    std::optional<char16_t> DecodeByte(unsigned char b) override
    {
        char byte = static_cast<char>(b);
        char16_t unit[2] = {};
        char* in = &byte;
        size_t inLeft = 1;
        char* outPtr = reinterpret_cast<char*>(unit);
        size_t outLeft = sizeof unit;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        const size_t r = iconv(cd_, &in, &inLeft, &outPtr, &outLeft);
        const size_t units = (sizeof unit - outLeft) / sizeof(char16_t);
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        if (r == static_cast<size_t>(-1) && errno == EILSEQ)
            return char16_t(QChar::ReplacementCharacter);
        if (r != static_cast<size_t>(-1) && inLeft == 0 && units == 1)
            return unit[0];
        return std::nullopt;
    }

    qsizetype Decode(QByteArrayView bytes, QString& out, bool final) override
    {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // fresh shift state

        char16_t buffer[4096];
        char* in = const_cast<char*>(bytes.data());
        size_t inLeft = static_cast<size_t>(bytes.size());
        while (inLeft > 0) {
            char* outPtr = reinterpret_cast<char*>(buffer);
            size_t outLeft = sizeof buffer;
            const size_t r = iconv(cd_, &in, &inLeft, &outPtr, &outLeft);
            const int err = r == static_cast<size_t>(-1) ? errno : 0;
            Append(out, buffer, sizeof buffer - outLeft);
            if (err == 0 || err == E2BIG)
                continue;
            if (err == EINVAL && !final)
                break;  // the rest of a split sequence comes with the next bytes
            // An undefined byte (or a cut sequence at the very end): show it as a
            // replacement character and go on with the next byte. A letter held
            // back to see whether a mark follows comes first.
            Flush(out);
            out.append(QChar::ReplacementCharacter);
            // glibc's CP949 steps over some undefined pairs itself, even the last.
            if (inLeft > 0) {
                ++in;
                --inLeft;
            }
        }
        // The Hebrew and Vietnamese converters hold the last letter back until told the text ended.
        Flush(out);
        return bytes.size() - static_cast<qsizetype>(inLeft);
    }

private:
    static void Append(QString& out, const char16_t* buffer, size_t bytes)
    {
        out.append(reinterpret_cast<const QChar*>(buffer), static_cast<qsizetype>(bytes / sizeof(char16_t)));
    }

    // Writes what the converter holds back and resets its state.
    void Flush(QString& out)
    {
        char16_t buffer[4096];
        char* outPtr = reinterpret_cast<char*>(buffer);
        size_t outLeft = sizeof buffer;
        iconv(cd_, nullptr, nullptr, &outPtr, &outLeft);
        Append(out, buffer, sizeof buffer - outLeft);
    }

    iconv_t cd_;
};

}  // namespace

std::unique_ptr<SystemCodePage> OpenSystemCodePage(int codePage)
{
    const iconv_t cd = OpenFor(codePage);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return nullptr;
    return std::make_unique<IconvCodePage>(cd);
}

}  // namespace tavelo
