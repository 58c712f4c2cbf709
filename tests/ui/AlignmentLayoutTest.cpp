#include "ui/AlignmentLayout.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace {

AlignmentLayout layoutFor(int width, int height, double scale, QSize caption = QSize(80, 17)) {
    AlignmentLayout::Input input;
    input.width = width;
    input.height = height;
    input.scale = scale;
    input.okHint = QSize(80, 30);
    input.captionHint = caption;
    input.modeHint = QSize(70, 17);
    return AlignmentLayout(input);
}

std::string text(const QRect& r) {
    return std::to_string(r.x()) + "," + std::to_string(r.y()) + " " + std::to_string(r.width()) + "x" +
           std::to_string(r.height());
}

} // namespace

// Screens as a 1920 x 1080 or 1280 x 800 display looks at scale factors 1 to 2, and with 144 DPI:
// nothing on the image, on the border or off the screen; the image never grows past the camera's.
TEST(AlignmentLayout, EverythingLiesInsideTheBorderWithoutOverlapOnEveryScreen) {
    const struct {
        int width, height;
        double scale;
    } screens[] = {{1920, 1080, 1.0}, {1536, 864, 1.0}, {1280, 720, 1.0}, {960, 540, 1.0},
                   {1024, 768, 1.0},  {1280, 800, 1.0}, {640, 400, 1.0},  {1280, 1024, 1.5},
                   {1920, 1080, 2.0}, {1280, 720, 1.5}};
    for (const auto& screen : screens) {
        for (const QSize caption : {QSize(80, 17), QSize(260, 20)}) {
            SCOPED_TRACE(std::to_string(screen.width) + "x" + std::to_string(screen.height) + " @" +
                         std::to_string(screen.scale) + " caption " + std::to_string(caption.width()));
            const AlignmentLayout l = layoutFor(screen.width, screen.height, screen.scale, caption);
            const QRect inside = l.contentArea();
            for (const QRect& r : {l.image, l.okButton, l.frame, l.mode})
                EXPECT_TRUE(inside.contains(r)) << text(r) << " outside " << text(inside);
            for (const QRect& r : {l.caption, l.slider, l.number})
                EXPECT_TRUE(l.frame.contains(r)) << text(r) << " outside the panel " << text(l.frame);
            EXPECT_FALSE(l.caption.intersects(l.slider));
            EXPECT_FALSE(l.slider.intersects(l.number));
            EXPECT_GE(l.caption.width(), caption.width());
            const QRect placed[] = {l.image, l.okButton, l.frame, l.mode};
            for (int a = 0; a < 4; ++a)
                for (int b = a + 1; b < 4; ++b)
                    EXPECT_FALSE(placed[a].intersects(placed[b]))
                        << text(placed[a]) << " on " << text(placed[b]);
            EXPECT_LE(l.image.width(), 640);
            EXPECT_LE(std::abs(l.image.height() - l.image.width() * 9 / 16), 1) << "keeps 16:9";
            EXPECT_GT(l.image.width(), 150) << "the image shrank away";
        }
    }
}

// Where the classic places fit they are kept to the pixel, and only there.
TEST(AlignmentLayout, ClassicPlacesWhereTheyFit) {
    const AlignmentLayout wide = layoutFor(1920, 1080, 1.0);
    EXPECT_EQ(wide.image, QRect(640, 360, 640, 360));
    EXPECT_EQ(wide.frame, QRect(1285, 360, 230, 70));
    EXPECT_EQ(wide.okButton, QRect(910, 960, 100, 30));
    const AlignmentLayout small = layoutFor(960, 540, 1.0);
    EXPECT_LT(small.image.width(), 640);
    EXPECT_EQ(small.frame.size(), QSize(230, 70));
}
