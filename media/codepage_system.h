#pragma once
// What each system's converter gives the code-page decoder. One source file
// per system defines it (codepage_iconv.cpp, codepage_win.cpp); the build
// picks the file.

#include <QByteArrayView>
#include <QString>

#include <memory>
#include <optional>

namespace tavelo {

class SystemCodePage {
public:
    virtual ~SystemCodePage() = default;

    // The character byte stands for on its own: U+FFFD when the code page
    // leaves it undefined, nothing when it is not one character by itself.
    virtual std::optional<char16_t> DecodeByte(unsigned char byte) = 0;

    // As CodePageDecoder::Decode. A sequence the code page does not define
    // becomes one U+FFFD and decoding goes on with the byte after its first.
    virtual qsizetype Decode(QByteArrayView bytes, QString& out, bool final) = 0;
};

// The system's converter from codePage to UTF-16; null when it has none.
std::unique_ptr<SystemCodePage> OpenSystemCodePage(int codePage);

}  // namespace tavelo
