#pragma once
// The program's error report: a modal critical box with the application
// title and one OK button. Only one box is open at a time. An error that comes
// while one is open (a tick or repaint inside the box's own loop) waits in a
// short queue and gets its box when the open one closes; a message already
// shown or waiting in the same run of boxes is not queued again, and a run
// holds a bounded number of boxes, so failures that repeat cannot build an
// endless series.

#include "base/error_report.h"

#include <QString>
#include <QStringList>

#include <memory>

class QMessageBox;
class QWidget;

namespace tavelo {

// The box the report shows for one message, built but not yet shown. The
// author's preview draws the very same box.
std::unique_ptr<QMessageBox> MakeErrorBox(const QString& title, const QString& finalMessage, QWidget* owner);

class MessageBoxReport : public ErrorReport {
public:
    explicit MessageBoxReport(QString title) : title_(std::move(title)) {}
    void Report(const QString& finalMessage) override;
    bool BoxOpen() const { return open_; }

    // At most this many boxes follow one another before the queue empties.
    static constexpr int kMaxBoxes = 8;

protected:
    // Shows one box and returns when it is closed.
    virtual void ShowBox(const QString& finalMessage);

private:
    QString title_;
    bool open_ = false;
    QStringList queued_;
    QStringList shown_;  // this run of boxes, the open one included
};

}  // namespace tavelo
