#include "rowcolors.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace rowcolors {

namespace {

struct Lab
{
    double l, a, b;
};

double linear(double channel)
{
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

Lab toLab(const QColor &color)
{
    const double r = linear(color.redF()), g = linear(color.greenF()), b = linear(color.blueF());
    // sRGB to XYZ, relative to the D65 white point.
    const double x = (0.4124 * r + 0.3576 * g + 0.1805 * b) / 0.95047;
    const double y = 0.2126 * r + 0.7152 * g + 0.0722 * b;
    const double z = (0.0193 * r + 0.1192 * g + 0.9505 * b) / 1.08883;
    const auto f
        = [](double t) { return t > 216.0 / 24389 ? std::cbrt(t) : (24389.0 / 27 * t + 16) / 116; };
    return {116 * f(y) - 16, 500 * (f(x) - f(y)), 200 * (f(y) - f(z))};
}

QColor mix(const QColor &base, const QColor &color, double share)
{
    return QColor::fromRgbF(float(base.redF() + (color.redF() - base.redF()) * share),
                            float(base.greenF() + (color.greenF() - base.greenF()) * share),
                            float(base.blueF() + (color.blueF() - base.blueF()) * share));
}

// `hue` over the base, in the smallest share that stands apart from the surroundings and
// from `others`: a pale tint where the base is light, a deep one where it is dark, so that
// the text stays readable on it. The strongest share tried when none does.
QColor distinctTint(const QPalette &palette, const QColor &hue,
                    std::initializer_list<QColor> others)
{
    constexpr double FirstShare = 0.25;
    constexpr double LastShare = 0.7;
    constexpr double Step = 0.05;
    const Surroundings around = Surroundings::of(palette);
    QColor tint;
    for (double share = FirstShare; share <= LastShare + Step / 2; share += Step) {
        tint = mix(around.base, hue, share);
        const bool apart = std::all_of(others.begin(), others.end(), [&](const QColor &other) {
            return difference(tint, other) >= LeastDifference;
        });
        if (apart && leastDifference(tint, around) >= LeastDifference)
            break;
    }
    return tint;
}

const QColor Amber(0xF5, 0xA6, 0x00);
const QColor Green(0x2E, 0xA0, 0x43);

} // namespace

double difference(const QColor &a, const QColor &b)
{
    const Lab x = toLab(a), y = toLab(b);
    return std::hypot(x.l - y.l, x.a - y.a, x.b - y.b);
}

Surroundings Surroundings::of(const QPalette &palette)
{
    return {palette.color(QPalette::Active, QPalette::Base),
            palette.color(QPalette::Active, QPalette::Highlight),
            palette.color(QPalette::Inactive, QPalette::Highlight)};
}

double leastDifference(const QColor &color, const Surroundings &around)
{
    return std::min({difference(color, around.base), difference(color, around.activeSelection),
                     difference(color, around.inactiveSelection)});
}

QColor sharedAddress(const QPalette &palette)
{
    return distinctTint(palette, Amber, {});
}

QColor newClient(const QPalette &palette)
{
    return distinctTint(palette, Green, {sharedAddress(palette)});
}

} // namespace rowcolors
