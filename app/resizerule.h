#pragma once

#include <QSizeF>

#include <optional>

// How the host table follows the window's size. Everything in twips.
namespace resizerule {

inline constexpr QSizeF InitialTableSize(5175, 4860);
inline constexpr double HeightThreshold = 6690; // outer heights above this stretch the table
inline constexpr double WidthThreshold = 5700; // outer widths above this widen it

// The size of the host table for a window of the given outer size (frame and title bar
// included) and client size. Each dimension keeps its initial value until the outer
// size passes its threshold, and then follows the window; the arithmetic is single
// precision. A minimised window changes nothing: no size is returned.
std::optional<QSizeF> tableSize(bool minimised, QSizeF outer, QSizeF client);

} // namespace resizerule
