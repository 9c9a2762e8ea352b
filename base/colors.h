#pragma once
// The window's colours in the 0x00BBGGRR encoding, and how they become Qt
// colours. System colours (0xFF0000nn) are looked up in the palette when drawn.

#include <QColor>
#include <QPalette>

#include <cstdint>

namespace tavelo {

using TColor = std::uint32_t;

inline constexpr TColor clSkyBlue = 0x00F0CAA6;
inline constexpr TColor clMoneyGreen = 0x00C0DCC0;
inline constexpr TColor clSilver = 0x00C0C0C0;
inline constexpr TColor clBlack = 0x00000000;
inline constexpr TColor clBlue = 0x00FF0000;  // the highlighted menu caption
inline constexpr TColor clWindow = 0xFF000005;
inline constexpr TColor clWindowText = 0xFF000008;
inline constexpr TColor clInfoBk = 0xFF000018;
inline constexpr TColor clBackground = 0xFF000001;
inline constexpr TColor clNone = 0x1FFFFFFF;

// Linux desktops do not expose their background colour, so clBackground is
// one fixed dark blue that stays readable on the sky-blue catalogue and on
// the pale tool-tip yellow of the large text view.
inline constexpr QRgb kDesktopBackgroundRgb = 0xFF1A2E6B;

inline QColor FixedColor(TColor c)
{
    return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF), static_cast<int>((c >> 16) & 0xFF));
}

inline QColor ToQColor(TColor c, const QPalette& palette = QPalette())
{
    if ((c & 0xFF000000u) == 0xFF000000u) {
        switch (c & 0xFF) {
        case 1: return QColor::fromRgb(kDesktopBackgroundRgb);
        case 5: return palette.color(QPalette::Active, QPalette::Base);
        case 8: return palette.color(QPalette::Active, QPalette::Text);
        case 24: return palette.color(QPalette::Active, QPalette::ToolTipBase);
        default: return palette.color(QPalette::Active, QPalette::Window);
        }
    }
    return FixedColor(c);
}

}  // namespace tavelo
