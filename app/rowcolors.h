#pragma once

#include <QColor>
#include <QPalette>

// The backgrounds that mark rows of the host table: rows that share an address, and rows
// of clients new since the file was first read. Each is a colour of its own, far enough
// from the selection (with and without focus) and from the base to be told apart at a
// glance in every style and theme, since styles draw the selection in any shade: the
// Windows style's inactive selection is a pale blue close to a tint of its active one.
namespace rowcolors {

// The least difference, CIE76 delta E in CIELAB, between a mark and the colours beside
// it. Two colours 2.3 apart are just noticeably different; 20 apart read as two colours.
inline constexpr double LeastDifference = 20;

// The difference of two colours as the eye sees it (CIE76 delta E, sRGB, D65).
double difference(const QColor &a, const QColor &b);

// The colours a mark must stand apart from: the base, and the selection with and without
// focus.
struct Surroundings
{
    QColor base;
    QColor activeSelection;
    QColor inactiveSelection;
    static Surroundings of(const QPalette &palette);
};

// The smallest difference of `color` from any of the surroundings.
double leastDifference(const QColor &color, const Surroundings &around);

// Amber for rows that share an address.
QColor sharedAddress(const QPalette &palette);
// Green for rows of new clients; apart from the amber too.
QColor newClient(const QPalette &palette);

} // namespace rowcolors
