#pragma once

#include <QRect>
#include <QSize>
#include <QSizeF>

// The window's layout is given in twips, 1/1440 inch. At Qt's 96 logical dots per inch
// a logical pixel is 15 twips; Qt itself scales logical pixels on high-resolution
// screens, so this is the only conversion the window needs.
namespace twips {

inline constexpr int PerPixel = 15;

constexpr int toPixels(double twips)
{
    return int(twips / PerPixel + (twips >= 0 ? 0.5 : -0.5));
}

constexpr QRect toPixels(int left, int top, int width, int height)
{
    return QRect(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}

constexpr QSizeF fromPixels(QSize pixels)
{
    return QSizeF(pixels.width() * PerPixel, pixels.height() * PerPixel);
}

} // namespace twips
