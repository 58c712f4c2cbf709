#include "calibration/LiveFrameConverter.h"

#include <cstring>

namespace {
void releaseFrame(void* frame) {
    delete static_cast<QByteArray*>(frame);
}
} // namespace

QImage LiveFrameConverter::share(const QByteArray& frame) {
    if (frame.size() != greyBytes)
        return QImage();
    auto* kept = new QByteArray(frame); // shares the bytes; released with the last image copy
    return QImage(reinterpret_cast<const uchar*>(kept->constData()), width, height, width,
                  QImage::Format_Grayscale8, releaseFrame, kept);
}

QImage LiveFrameConverter::copy(const unsigned char* grey, int size) {
    if (!grey || size != greyBytes)
        return QImage();
    QImage image(width, height, QImage::Format_Grayscale8);
    if (image.bytesPerLine() == width) {
        std::memcpy(image.bits(), grey, greyBytes);
    } else {
        for (int y = 0; y < height; ++y)
            std::memcpy(image.scanLine(y), grey + y * width, width);
    }
    return image;
}
