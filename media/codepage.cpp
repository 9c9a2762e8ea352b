#include "media/codepage.h"

#include "media/codepage_system.h"

namespace tavelo {
namespace {

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

CodePageDecoder::CodePageDecoder(int codePage) : codePage_(codePage), system_(OpenSystemCodePage(codePage))
{
    if (ok() && IsSingleByte(codePage))
        BuildTable();
}

CodePageDecoder::~CodePageDecoder() = default;

void CodePageDecoder::BuildTable()
{
    std::vector<char16_t> table(256);
    for (int b = 0; b < 256; ++b) {
        const std::optional<char16_t> c = system_->DecodeByte(static_cast<unsigned char>(b));
        if (!c)
            return;  // not one character per byte after all: the system decodes
        table[b] = *c;
    }
    table_ = std::move(table);
}

qsizetype CodePageDecoder::Decode(QByteArrayView bytes, QString& out, bool final)
{
    if (!ok() || bytes.isEmpty())
        return 0;
    if (table_.empty())
        return system_->Decode(bytes, out, final);
    const qsizetype start = out.size();
    out.resize(start + bytes.size());
    QChar* d = out.data() + start;
    for (const char b : bytes)
        *d++ = QChar(table_[static_cast<unsigned char>(b)]);
    return bytes.size();
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
