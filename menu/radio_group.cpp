#include "menu/radio_group.h"

#include <QFontMetrics>
#include <QPainter>

namespace tavelo {

namespace {
constexpr int kCaptionIndent = 8;
}

TRadioGroup::TRadioGroup(QWidget* parent) : QGroupBox(parent) { setFocusPolicy(Qt::NoFocus); }

void TRadioGroup::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QFontMetrics fm(font());
    const QString caption = title();
    const int captionWidth = fm.horizontalAdvance(caption);
    const int lineY = fm.height() / 2;
    const QRect frame = rect().adjusted(0, lineY, -1, -1);

    // An etched frame: a dark line with a light one just inside it.
    const QColor dark = palette().color(QPalette::Dark);
    const QColor light = palette().color(QPalette::Light);
    const auto ring = [&p](const QRect& r, const QColor& c, int gapFrom, int gapTo) {
        p.setPen(c);
        p.drawLine(r.left(), r.top(), gapFrom, r.top());
        p.drawLine(gapTo, r.top(), r.right(), r.top());
        p.drawLine(r.right(), r.top(), r.right(), r.bottom());
        p.drawLine(r.right(), r.bottom(), r.left(), r.bottom());
        p.drawLine(r.left(), r.bottom(), r.left(), r.top());
    };
    const int gapFrom = kCaptionIndent - 1;
    const int gapTo = kCaptionIndent + captionWidth;
    ring(frame.adjusted(0, 0, -1, -1), dark, gapFrom, gapTo);
    ring(frame.adjusted(1, 1, 0, 0), light, gapFrom, gapTo);

    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(QRect(kCaptionIndent, 0, captionWidth, fm.height()), Qt::AlignLeft | Qt::AlignTop, caption);
}

}  // namespace tavelo
