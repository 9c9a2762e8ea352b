#pragma once
// The program's error report: a modal critical box with the application
// title and one OK button. Only one box is open at a time; an error that comes
// while one is open (a tick or repaint inside the box's own loop) goes to
// standard error instead, so failures that repeat cannot stack boxes.

#include "app/error_report.h"

#include <QString>

namespace tavelo {

class MessageBoxReport : public ErrorReport {
public:
    explicit MessageBoxReport(QString title) : title_(std::move(title)) {}
    void Report(const QString& finalMessage) override;
    bool BoxOpen() const { return open_; }

private:
    QString title_;
    bool open_ = false;
};

}  // namespace tavelo
