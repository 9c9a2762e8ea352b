#pragma once
// The menu's group frame: a captioned frame with no items. It paints no
// colour of its own unless classic drawing asks for its fill; its caption sits
// at the top-left, 8 pixels in, breaking the frame line.

#include <QGroupBox>

namespace tavelo {

class TRadioGroup : public QGroupBox {
    Q_OBJECT
public:
    explicit TRadioGroup(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace tavelo
