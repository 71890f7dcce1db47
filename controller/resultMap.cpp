#include "controller/resultMap.h"

QImage resultMapImage(const grid<int32_t>& displayGrid)
{
    QImage image(displayGrid.cols(), displayGrid.rows(), QImage::Format_RGB32);
    for (int r = 0; r < displayGrid.rows(); ++r) {
        auto* pixels = reinterpret_cast<QRgb*>(image.scanLine(r));
        const int32_t* values = displayGrid.row(r);
        for (int c = 0; c < displayGrid.cols(); ++c) {
            const int32_t v = values[c];
            if (v >= 0) {
                const int grey = v & 0xFF;
                pixels[c] = qRgb(grey, grey, grey);
            } else {
                pixels[c] = qRgb(255, (v + 255) & 0xFF, 0);
            }
        }
    }
    return image;
}
