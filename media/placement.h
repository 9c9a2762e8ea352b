#pragma once
// Where an image box draws its picture.

#include <QRect>

namespace tavelo {

// The destination rectangle of a w x h picture in a cw x ch box. With stretch
// (or proportional and a picture larger than the box) the picture is fitted:
// proportionally to the largest size of its proportions that fits, else to the
// whole box. With center the rectangle is centred, an odd leftover pixel going
// to the right or bottom. The result may be empty (nothing is drawn then).
QRect PlacePicture(int w, int h, int cw, int ch, bool stretch, bool proportional, bool center);

}  // namespace tavelo
