#pragma once
// The catalogue's tree view: a sunken border with, inside it, a two-pixel
// tile bevel (the outer ring a raised edge, the inner ring in the view's own
// colour) around the node area.

#include <QTreeWidget>

namespace tavelo {

class TTreeView : public QTreeWidget {
    Q_OBJECT
public:
    explicit TTreeView(QWidget* parent = nullptr);

protected:
    bool event(QEvent* event) override;
};

}  // namespace tavelo
