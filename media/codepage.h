#pragma once
// Legacy 8-bit code pages (Windows-1251 plain text, RTF \ansicpg and
// \fcharset) decoded through the system's own converter: iconv on Linux,
// MultiByteToWideChar on Windows, giving the same text on both.

#include <QByteArrayView>
#include <QString>

#include <memory>
#include <vector>

namespace tavelo {

// The code page Cyrillic discs were written in; also what plain text that is
// neither marked nor valid UTF-8 is taken to be.
inline constexpr int kCyrillicCodePage = 1251;

class SystemCodePage;

// One open conversion from a Windows code page to UTF-16. Bytes the code page
// does not define become U+FFFD; decoding never fails once the converter opened.
class CodePageDecoder {
public:
    explicit CodePageDecoder(int codePage);
    ~CodePageDecoder();
    CodePageDecoder(const CodePageDecoder&) = delete;
    CodePageDecoder& operator=(const CodePageDecoder&) = delete;

    bool ok() const { return system_ != nullptr; }
    int codePage() const { return codePage_; }

    // Appends the decoded text of bytes to out and returns how many bytes were
    // used. Unless final, an incomplete multi-byte sequence at the end is left
    // unused for the caller to pass again with the bytes that follow it.
    qsizetype Decode(QByteArrayView bytes, QString& out, bool final = true);

private:
    void BuildTable();

    int codePage_;
    std::unique_ptr<SystemCodePage> system_;
    // For single-byte code pages: each byte's character, so long texts need
    // no call into the system per piece. Empty for the others.
    std::vector<char16_t> table_;
};

// The code page an RTF \fcharset value stands for, or 0 when the charset
// (ANSI, default) means "the document's own code page".
int CodePageForCharset(int charset);

}  // namespace tavelo
