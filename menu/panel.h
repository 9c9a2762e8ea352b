#pragma once
// A panel: a frame with a one-pixel outer lowered and inner raised bevel and
// its caption centred. With a visual style active it lets the window's colour
// show through; in classic drawing it fills itself with its own colour.

#include <QFrame>
#include <QString>

namespace tavelo {

class TPanel : public QFrame {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)
public:
    explicit TPanel(QWidget* parent = nullptr);
    const QString& text() const { return text_; }
    void setText(const QString& text);
    // The fill used in classic drawing; invalid = none (visual style).
    void SetClassicFill(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
    QColor fill_;
};

}  // namespace tavelo
