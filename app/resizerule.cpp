#include "resizerule.h"

namespace resizerule {

namespace {

constexpr float HeightMargin = 800; // taken from the client height
constexpr float WidthMargin = 240; // taken from the outer width

} // namespace

std::optional<QSizeF> tableSize(bool minimised, QSizeF outer, QSizeF client)
{
    if (minimised)
        return std::nullopt;

    QSizeF size = InitialTableSize;
    if (outer.height() > HeightThreshold) {
        const float ratio = float(client.height()) / float(outer.height());
        const float available = float(client.height()) - HeightMargin;
        size.setHeight(ratio * available);
    }
    if (outer.width() > WidthThreshold) {
        const float ratio = float(client.width()) / float(outer.width());
        const float available = float(outer.width()) - WidthMargin;
        size.setWidth(ratio * available);
    }
    return size;
}

} // namespace resizerule
