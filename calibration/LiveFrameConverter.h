#pragma once

#include <QImage>
#include <vector>

// Turns a 640 x 360 grey live frame into an RGB888 image over one buffer that is allocated on
// first use and reused for every later frame. The returned image borrows that buffer: it shows
// the frame only until the next convert, so receivers must take what they need (the alignment
// view turns it into a pixmap at once) before the next frame is converted.
class LiveFrameConverter {
public:
    static constexpr int width = 640;
    static constexpr int height = 360;
    static constexpr int greyBytes = width * height;
    static constexpr int rgbBytes = greyBytes * 3;

    // Null image for a null buffer or any size other than greyBytes.
    QImage convert(const unsigned char* grey, int size);
    const unsigned char* buffer() const { return rgb.empty() ? nullptr : rgb.data(); }

private:
    std::vector<unsigned char> rgb;
};
