#include "media/placement.h"

namespace tavelo {

namespace {

// The ratio is a double, but the quotient and product are taken in extended
// precision and truncated without rounding first: 145 * (3 / 5.0) gives 86,
// not 87. Pictures keep exactly these sizes, so the precision matters.
int TruncDiv(int a, double r) { return static_cast<int>(static_cast<long double>(a) / static_cast<long double>(r)); }
int TruncMul(int a, double r) { return static_cast<int>(static_cast<long double>(a) * static_cast<long double>(r)); }

}  // namespace

QRect PlacePicture(int w, int h, int cw, int ch, bool stretch, bool proportional, bool center)
{
    int W = w;
    int H = h;
    if (stretch || (proportional && (w > cw || h > ch))) {
        if (proportional && w > 0 && h > 0) {
            const double r = static_cast<double>(w) / static_cast<double>(h);
            if (w > h) {
                W = cw;
                H = TruncDiv(cw, r);
                if (H > ch) {
                    H = ch;
                    W = TruncMul(ch, r);
                }
            } else {
                H = ch;
                W = TruncMul(ch, r);
                if (W > cw) {
                    W = cw;
                    H = TruncDiv(cw, r);
                }
            }
        } else {
            W = cw;
            H = ch;
        }
    }
    int x = 0;
    int y = 0;
    if (center) {
        x = (cw - W) / 2;
        y = (ch - H) / 2;
    }
    return QRect(x, y, W, H);
}

}  // namespace tavelo
