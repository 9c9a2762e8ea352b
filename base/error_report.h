#pragma once
// The error report and the guard around every entry from the event loop into
// program code. No exception may cross a Qt frame: each entry goes through
// Guarded(), which hands whatever escapes to the installed report.

#include <QString>

#include <functional>

namespace tavelo {

// The text shown for a message: a "." is appended when the last character
// sorts after "." in an unsigned byte comparison (any non-ASCII character does).
QString FinalMessage(const QString& message);

class ErrorReport {
public:
    virtual ~ErrorReport() = default;
    // Shows one error; returns when the user has dismissed it.
    virtual void Report(const QString& finalMessage) = 0;
};

// The report every guard uses. Tests install a recorder; the program installs
// the message box. With none installed, errors go to standard error.
void InstallErrorReport(ErrorReport* report);

// Reports one error message through the installed report (applies FinalMessage).
void ReportError(const QString& message);

// The message of the exception being handled; call only inside a catch
// block. Every kind of failure gets one: the program's own errors their
// message, running out of memory "Out of memory", anything else its text.
QString CurrentErrorMessage();

// Runs fn; any exception that escapes is reported and swallowed.
// Returns true when fn ran to its end.
bool Guarded(const std::function<void()>& fn);

}  // namespace tavelo
