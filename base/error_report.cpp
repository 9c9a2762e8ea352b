#include "base/error_report.h"

#include "base/errors.h"

#include <cstdio>
#include <new>

namespace tavelo {

QString FinalMessage(const QString& message)
{
    if (message.isEmpty())
        return message;
    const QByteArray utf8 = message.toUtf8();
    const auto last = static_cast<unsigned char>(utf8.back());
    // In UTF-8 the last byte of a non-ASCII character is >= 0x80, so it counts
    // as above "." just as a high code-page byte would.
    if (last > static_cast<unsigned char>('.'))
        return message + QLatin1Char('.');
    return message;
}

namespace {
ErrorReport* g_report = nullptr;
}

void InstallErrorReport(ErrorReport* report) { g_report = report; }

void ReportError(const QString& message)
{
    const QString text = FinalMessage(message);
    if (g_report) {
        g_report->Report(text);
        return;
    }
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

QString CurrentErrorMessage()
{
    try {
        throw;
    } catch (const Exception& e) {
        return e.Message();
    } catch (const std::bad_alloc&) {
        return QStringLiteral("Out of memory");
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
}

bool Guarded(const std::function<void()>& fn)
{
    try {
        fn();
        return true;
    } catch (...) {
        ReportError(CurrentErrorMessage());
    }
    return false;
}

}  // namespace tavelo
