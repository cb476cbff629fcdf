#pragma once

#include "common/Placing.h"

#include <QColor>
#include <QRect>
#include <QWidget>

#include <cmath>
#include <cstdint>

namespace kelvory::grid {

inline constexpr int kTwipsPerInch = 1440;

// Window layouts are given in twips (1/1440 inch), at the screen's logical resolution.
inline int twipsToPixels(int twips, int logicalDpi)
{
    return static_cast<int>(std::lround(static_cast<double>(twips) * logicalDpi / kTwipsPerInch));
}

inline QRect twipsRect(int left, int top, int width, int height, int logicalDpi)
{
    return QRect(twipsToPixels(left, logicalDpi), twipsToPixels(top, logicalDpi), twipsToPixels(width, logicalDpi),
                 twipsToPixels(height, logicalDpi));
}

inline void placeInTwips(QWidget *widget, const Placing &place)
{
    widget->setGeometry(twipsRect(place.left, place.top, place.width, place.height, widget->logicalDpiX()));
}

// Colours are written &H00BBGGRR: blue, green and red bytes from high to low.
inline QColor bgrColor(std::uint32_t value)
{
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

// &H8000000B, the system colour of an inactive window border, as current Windows draws it.
inline QColor inactiveBorderColor()
{
    return QColor(0xF4, 0xF7, 0xFC);
}

} // namespace kelvory::grid
