#pragma once
// The program's error hierarchy. Every failure that reaches the error report
// is one of these; the class names the cause, the message is what the user sees.

#include <QString>

#include <exception>
#include <string>

namespace tavelo {

class Exception : public std::exception {
public:
    explicit Exception(QString message) : message_(std::move(message)), utf8_(message_.toStdString()) {}
    const QString& Message() const noexcept { return message_; }
    const char* what() const noexcept override { return utf8_.c_str(); }

private:
    QString message_;
    std::string utf8_;
};

#define TAVELO_ERROR_CLASS(Name, Base)                               \
    class Name : public Base {                                       \
    public:                                                          \
        explicit Name(QString message) : Base(std::move(message)) {} \
    };

TAVELO_ERROR_CLASS(EStreamError, Exception)
TAVELO_ERROR_CLASS(EFOpenError, EStreamError)
TAVELO_ERROR_CLASS(EReadError, EStreamError)
TAVELO_ERROR_CLASS(EOutOfResources, Exception)
TAVELO_ERROR_CLASS(EOutOfMemory, Exception)
TAVELO_ERROR_CLASS(EJPEG, Exception)
TAVELO_ERROR_CLASS(ETreeViewError, Exception)
TAVELO_ERROR_CLASS(EShellError, Exception)

#undef TAVELO_ERROR_CLASS

}  // namespace tavelo
