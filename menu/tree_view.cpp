#include "menu/tree_view.h"

#include <QEvent>
#include <QPainter>

namespace tavelo {

namespace {
constexpr int kBevel = 2;
}

TTreeView::TTreeView(QWidget* parent) : QTreeWidget(parent)
{
    setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    setViewportMargins(kBevel, kBevel, kBevel, kBevel);
}

bool TTreeView::event(QEvent* event)
{
    const bool handled = QTreeWidget::event(event);
    if (event->type() == QEvent::Paint) {
        // The ring between the sunken border and the node area.
        QPainter p(this);
        const QRect inner = contentsRect();
        const QColor base = palette().color(QPalette::Base);
        p.fillRect(inner.left(), inner.top(), inner.width(), kBevel, base);
        p.fillRect(inner.left(), inner.bottom() - kBevel + 1, inner.width(), kBevel, base);
        p.fillRect(inner.left(), inner.top(), kBevel, inner.height(), base);
        p.fillRect(inner.right() - kBevel + 1, inner.top(), kBevel, inner.height(), base);
        const QRect outer = inner.adjusted(0, 0, -1, -1);
        p.setPen(palette().color(QPalette::Light));
        p.drawLine(outer.topLeft(), outer.topRight());
        p.drawLine(outer.topLeft(), outer.bottomLeft());
        p.setPen(palette().color(QPalette::Dark));
        p.drawLine(outer.bottomLeft(), outer.bottomRight());
        p.drawLine(outer.topRight(), outer.bottomRight());
    }
    return handled;
}

}  // namespace tavelo
