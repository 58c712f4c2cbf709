#include "calibration/LiveFrameConverter.h"

#include <gtest/gtest.h>

// A frame held by the device link becomes an image over the same bytes, which stays whole after
// the holder lets go; writing to the image never reaches the shared bytes.
TEST(LiveFrameConverterTest, SharedFrameOutlivesItsHolder) {
    QImage image;
    const uchar* bytes = nullptr;
    {
        QByteArray held(LiveFrameConverter::greyBytes, '\x40');
        held[LiveFrameConverter::width + 1] = '\x90';
        image = LiveFrameConverter::share(held);
        bytes = reinterpret_cast<const uchar*>(held.constData());
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.constBits(), bytes);
        image.setPixel(0, 0, 0); // a writer gets its own copy
        EXPECT_EQ(held[0], '\x40');
    }
    EXPECT_EQ(image.format(), QImage::Format_Grayscale8);
    EXPECT_EQ(image.pixel(1, 1), qRgb(0x90, 0x90, 0x90));
    EXPECT_EQ(image.pixel(639, 359), qRgb(0x40, 0x40, 0x40));

    EXPECT_TRUE(LiveFrameConverter::share(QByteArray(LiveFrameConverter::greyBytes - 1, 0)).isNull());
    EXPECT_TRUE(LiveFrameConverter::share(QByteArray()).isNull());
}
