#include "app/message_box_report.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>

#include <cstdio>

namespace tavelo {

std::unique_ptr<QMessageBox> MakeErrorBox(const QString& title, const QString& finalMessage, QWidget* owner)
{
    auto box = std::make_unique<QMessageBox>(QMessageBox::Critical, title, finalMessage, QMessageBox::Ok, owner);
    box->setWindowModality(Qt::ApplicationModal);
    return box;
}

void MessageBoxReport::Report(const QString& finalMessage)
{
    if (open_) {
        std::fprintf(stderr, "%s: %s\n", title_.toLocal8Bit().constData(), finalMessage.toLocal8Bit().constData());
        if (!shown_.contains(finalMessage) && !queued_.contains(finalMessage) &&
            shown_.size() + queued_.size() < kMaxBoxes)
            queued_ << finalMessage;
        return;
    }
    open_ = true;
    QString next = finalMessage;
    for (;;) {
        shown_ << next;
        ShowBox(next);
        if (queued_.isEmpty())
            break;
        next = queued_.takeFirst();
    }
    shown_.clear();
    open_ = false;
}

void MessageBoxReport::ShowBox(const QString& finalMessage)
{
    // A button held down must not stay pressed behind the box.
    if (QWidget* grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    QWidget* owner = QApplication::activeWindow();
    MakeErrorBox(title_, finalMessage, owner)->exec();
}

}  // namespace tavelo
