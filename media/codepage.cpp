#include "media/codepage.h"

#include <QByteArrayList>
#include <QSysInfo>

#include <cerrno>
#include <cstring>

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

// Code pages whose every byte stands for one character on its own. (The
// Hebrew and Vietnamese ones combine marks with the letter before them.)
bool IsSingleByte(int codePage)
{
    switch (codePage) {
    case 437:
    case 850:
    case 866:
    case 874:
    case 1250:
    case 1251:
    case 1252:
    case 1253:
    case 1254:
    case 1256:
    case 1257:
    case 10000:
    case 20866:
    case 21866: return true;
    default: return codePage >= 28591 && codePage <= 28606;
    }
}

}  // namespace

CodePageDecoder::CodePageDecoder(int codePage) : codePage_(codePage), cd_(OpenFor(codePage))
{
    if (ok() && IsSingleByte(codePage))
        BuildTable();
}

void CodePageDecoder::BuildTable()
{
    std::vector<char16_t> table(256);
    for (int b = 0; b < 256; ++b) {
        char byte = static_cast<char>(b);
        char16_t unit[2] = {};
        char* in = &byte;
        size_t inLeft = 1;
        char* outPtr = reinterpret_cast<char*>(unit);
        size_t outLeft = sizeof unit;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        const size_t r = iconv(cd_, &in, &inLeft, &outPtr, &outLeft);
        const size_t units = (sizeof unit - outLeft) / sizeof(char16_t);
        if (r == static_cast<size_t>(-1) && errno == EILSEQ)
            table[b] = QChar::ReplacementCharacter;
        else if (r != static_cast<size_t>(-1) && inLeft == 0 && units == 1)
            table[b] = unit[0];
        else
            return;  // not one character per byte after all: iconv decodes
    }
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    table_ = std::move(table);
}

CodePageDecoder::~CodePageDecoder()
{
    if (ok())
        iconv_close(cd_);
}

qsizetype CodePageDecoder::Decode(QByteArrayView bytes, QString& out, bool final)
{
    if (!ok() || bytes.isEmpty())
        return 0;
    if (!table_.empty()) {
        const qsizetype start = out.size();
        out.resize(start + bytes.size());
        QChar* d = out.data() + start;
        for (const char b : bytes)
            *d++ = QChar(table_[static_cast<unsigned char>(b)]);
        return bytes.size();
    }
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // fresh shift state

    char16_t buffer[4096];
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = static_cast<size_t>(bytes.size());
    while (inLeft > 0) {
        char* outPtr = reinterpret_cast<char*>(buffer);
        size_t outLeft = sizeof buffer;
        const size_t r = iconv(cd_, &in, &inLeft, &outPtr, &outLeft);
        const int err = r == static_cast<size_t>(-1) ? errno : 0;
        out.append(reinterpret_cast<const QChar*>(buffer),
                   static_cast<qsizetype>((sizeof buffer - outLeft) / sizeof(char16_t)));
        if (err == 0 || err == E2BIG)
            continue;
        if (err == EINVAL && !final)
            break;  // the rest of a split sequence comes with the next bytes
        // An undefined byte (or a cut sequence at the very end): show it as a
        // replacement character and go on with the next byte.
        out.append(QChar::ReplacementCharacter);
        ++in;
        --inLeft;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    return bytes.size() - static_cast<qsizetype>(inLeft);
}

int CodePageForCharset(int charset)
{
    switch (charset) {
    case 2: return 1252;  // symbol fonts: keep the bytes' Latin meaning
    case 77: return 10000;
    case 128: return 932;
    case 129: return 949;
    case 130: return 1361;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 255: return 437;
    default: return 0;
    }
}

}  // namespace tavelo
