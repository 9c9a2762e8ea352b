#include "menu/panel.h"

#include <QPainter>
#include <QPalette>

namespace tavelo {

TPanel::TPanel(QWidget* parent) : QFrame(parent) { setFocusPolicy(Qt::NoFocus); }

void TPanel::setText(const QString& text)
{
    text_ = text;
    update();
}

void TPanel::SetClassicFill(const QColor& color)
{
    fill_ = color;
    update();
}

void TPanel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect r = rect();
    if (fill_.isValid())
        p.fillRect(r, fill_);
    const QPalette& pal = palette();
    const QColor light = pal.color(QPalette::Light);
    const QColor dark = pal.color(QPalette::Dark);
    // Outer ring lowered, inner ring raised, one pixel each.
    auto ring = [&p](QRect rc, const QColor& topLeft, const QColor& bottomRight) {
        p.setPen(topLeft);
        p.drawLine(rc.topLeft(), rc.topRight());
        p.drawLine(rc.topLeft(), rc.bottomLeft());
        p.setPen(bottomRight);
        p.drawLine(rc.bottomLeft(), rc.bottomRight());
        p.drawLine(rc.topRight(), rc.bottomRight());
    };
    ring(r, dark, light);
    ring(r.adjusted(1, 1, -1, -1), light, dark);
    p.setPen(pal.color(QPalette::WindowText));
    p.setFont(font());
    p.drawText(r, Qt::AlignCenter, text_);
}

}  // namespace tavelo
