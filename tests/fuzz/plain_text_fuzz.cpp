// Plain text bytes: decoding never faults and line breaks come out as "\n" only.
#include "media/plain_text.h"

#include <cstdint>
#include <cstdlib>

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
    return 0;
}
