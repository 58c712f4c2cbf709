#include "calibration/LiveFrameConverter.h"

QImage LiveFrameConverter::convert(const unsigned char* grey, int size) {
    if (!grey || size != greyBytes)
        return QImage();
    if (rgb.empty())
        rgb.resize(rgbBytes);
    unsigned char* out = rgb.data();
    for (int i = 0; i < greyBytes; ++i) {
        const unsigned char g = grey[i];
        out[0] = g;
        out[1] = g;
        out[2] = g;
        out += 3;
    }
    return QImage(rgb.data(), width, height, width * 3, QImage::Format_RGB888);
}
