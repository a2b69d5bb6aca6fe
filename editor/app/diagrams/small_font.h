// The font of a picture's numbers and legends: the widget's font, scaled.
#pragma once

#include <QFont>

inline QFont ScaledFont(QFont font, double factor) {
    // The editor's fonts are given in pixels, others in points.
    if (font.pixelSize() > 0) font.setPixelSize(qMax(8, qRound(font.pixelSize() * factor)));
    else if (font.pointSizeF() > 0) font.setPointSizeF(font.pointSizeF() * factor);
    return font;
}
