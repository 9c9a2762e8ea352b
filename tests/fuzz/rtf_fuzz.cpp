// Any bytes after "{\rtf" must read into a document without a fault, and
// into no more than the bounds the text limits judge it by.
#include "media/rtf_reader.h"

#include <QGuiApplication>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>

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
    QTextDocument doc;
    tavelo::ReadRtf(rtf, &doc);
    // The limits judge a document by bounds read without building it; the
    // document built must never be larger than they said.
    const tavelo::ParagraphStats bounds = tavelo::RtfParagraphBounds(rtf);
    qsizetype chars = 0;
    qsizetype longest = 0;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        chars += b.length() - 1;
        longest = std::max<qsizetype>(longest, b.length() - 1);
    }
    if (chars > bounds.chars || longest > bounds.longest || doc.blockCount() > bounds.count + bounds.runs + 1)
        __builtin_trap();
    // Laying the text out touches every format the reader made.
    doc.setTextWidth(300);
    (void)doc.size();
    return 0;
}
