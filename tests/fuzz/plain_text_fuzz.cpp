// Plain text bytes: decoding never faults, line breaks come out as "\n" only,
// and a view given the text holds no more than the limits counted.
#include "media/plain_text.h"

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
    static QGuiApplication app(*argc, *argv);  // a document's default font needs one
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::optional<QString> text = tavelo::DecodePlainText(bytes);
    if (!text)
        std::abort();  // Windows-1251 must be available where the fuzzer runs
    if (text->contains(QLatin1Char('\r')) || text->contains(QChar(0)))
        std::abort();
    // Never more characters than bytes (UTF-16 halves them, line breaks only shrink).
    if (text->size() > bytes.size())
        std::abort();
    const tavelo::ParagraphStats counted = tavelo::Paragraphs(*text);
    QTextDocument doc;
    doc.setPlainText(*text);
    qsizetype longest = 0;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        longest = std::max<qsizetype>(longest, b.length() - 1);
    if (doc.blockCount() > counted.count || longest > counted.longest)
        std::abort();
    return 0;
}
