// Any bytes after "{\rtf" must read into a document without a fault, and
// into exactly what the reader counted for the text limits.
#include "media/rtf_reader.h"

#include <QGuiApplication>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>
#include <optional>

#include <cstdint>
#include <cstdlib>

// Qt's font database lives until exit, and fontconfig's caches with it.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QGuiApplication app(*argc, *argv);  // fonts need a GUI application
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    QByteArray rtf("{\\rtf1 ");
    rtf.append(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    std::optional<tavelo::RtfText> text = tavelo::ParseRtf(rtf, [](const tavelo::ParagraphStats&) { return true; });
    // The limits judge a document by what the reader counted; the document
    // built must hold exactly that.
    const tavelo::ParagraphStats counted = text->Stats();
    QTextDocument doc;
    text->WriteTo(&doc);
    qsizetype chars = 0;
    qsizetype longest = 0;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        chars += b.length() - 1;
        longest = std::max<qsizetype>(longest, b.length() - 1);
    }
    if (chars != counted.chars || longest != counted.longest || doc.blockCount() != counted.count)
        __builtin_trap();
    // Laying the text out touches every format the reader made.
    doc.setTextWidth(300);
    (void)doc.size();
    return 0;
}
