// The compiled-in pictures: sizes and the parts of their content the windows depend on.
#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QRectF>
#include <QtMath>
#include <gtest/gtest.h>

#include <vector>

namespace {

QImage loadPicture(const char* resource) {
    QImage image(QString::fromLatin1(resource));
    EXPECT_FALSE(image.isNull()) << resource;
    return image.convertToFormat(QImage::Format_ARGB32);
}

// The rectangles the calibration window's progress ring is painted in, on the 113 x 113 pen picture.
const std::vector<QRectF>& progressRingRects() {
    static const std::vector<QRectF> rects = {QRectF(19, 19, 74.5, 74.5), QRectF(31, 31, 51, 51),
                                              QRectF(43.2, 43.2, 26, 26)};
    return rects;
}

// Pixel on the circle of radius `radius` about the centre of `rect`, at `degrees` counter-clockwise from
// 3 o'clock.
QPoint pointAt(const QRectF& rect, qreal radius, qreal degrees) {
    const qreal a = qDegreesToRadians(degrees);
    const QPointF centre = rect.center();
    return QPointF(centre.x() + radius * qCos(a), centre.y() - radius * qSin(a)).toPoint();
}

bool isWhite(QRgb c) {
    return qRed(c) > 200 && qGreen(c) > 200 && qBlue(c) > 200;
}
bool isBlack(QRgb c) {
    return qRed(c) < 24 && qGreen(c) < 24 && qBlue(c) < 24;
}

} // namespace

TEST(Artwork, PicturesHaveTheSizesAndFormatsTheWindowsUse) {
    const QImage icon(QStringLiteral(":/Zelmo/icon"));
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.size(), QSize(256, 256));
    EXPECT_TRUE(icon.hasAlphaChannel());
    EXPECT_EQ(qAlpha(icon.convertToFormat(QImage::Format_ARGB32).pixel(0, 0)), 0) << "icon corners are clear";

    const QImage banner(QStringLiteral(":/Zelmo/vis"));
    ASSERT_FALSE(banner.isNull());
    EXPECT_EQ(banner.size(), QSize(558, 81));
    EXPECT_FALSE(banner.hasAlphaChannel());
    // Stored as 8-bit-per-channel truecolour PNG (colour type 2): a 24-bit picture.
    QFile file(QStringLiteral(":/Zelmo/vis"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray header = file.read(26);
    ASSERT_EQ(header.size(), 26);
    EXPECT_EQ(header.mid(12, 4), QByteArray("IHDR"));
    EXPECT_EQ(int(header.at(24)), 8) << "bits per channel";
    EXPECT_EQ(int(header.at(25)), 2) << "PNG colour type";

    EXPECT_EQ(QImage(QStringLiteral(":/Zelmo/pen1")).size(), QSize(113, 113));
    EXPECT_EQ(QImage(QStringLiteral(":/Zelmo/irpen")).size(), QSize(1280, 800));
}

TEST(Artwork, BannerIsLettersOnGreen) {
    const QImage banner = loadPicture(":/Zelmo/vis");
    long long red = 0, green = 0, blue = 0;
    int white = 0;
    for (int y = 0; y < banner.height(); ++y) {
        for (int x = 0; x < banner.width(); ++x) {
            const QRgb c = banner.pixel(x, y);
            red += qRed(c);
            green += qGreen(c);
            blue += qBlue(c);
            white += isWhite(c) ? 1 : 0;
        }
    }
    EXPECT_GT(green, red);
    EXPECT_GT(green, blue);
    EXPECT_GT(white, 500) << "the lettering is missing";
}

TEST(Artwork, PenRingsLieOnTheProgressRingCircles) {
    const QImage pen = loadPicture(":/Zelmo/pen1");
    ASSERT_EQ(pen.size(), QSize(113, 113));
    const auto& rects = progressRingRects();

    // On each circle (away from the cross-hair lines).
    for (const QRectF& rect : rects) {
        const qreal radius = rect.width() / 2;
        for (qreal degrees : {30.0, 120.0, 210.0, 300.0, 45.0, 135.0, 225.0, 315.0}) {
            const QPoint p = pointAt(rect, radius, degrees);
            EXPECT_TRUE(isWhite(pen.pixel(p))) << "ring r=" << radius << " at " << degrees << " deg";
        }
    }

    // Between the rings, inside the smallest, outside the largest and in the corners.
    const qreal r0 = rects[0].width() / 2, r1 = rects[1].width() / 2, r2 = rects[2].width() / 2;
    for (qreal radius : {(r0 + r1) / 2, (r1 + r2) / 2, 5.0, r0 + 8}) {
        for (qreal degrees : {30.0, 120.0, 210.0, 300.0}) {
            const QPoint p = pointAt(rects[0], radius, degrees);
            EXPECT_TRUE(isBlack(pen.pixel(p))) << "gap r=" << radius << " at " << degrees << " deg";
        }
    }
    for (const QPoint corner : {QPoint(3, 3), QPoint(109, 3), QPoint(3, 109), QPoint(109, 109)})
        EXPECT_TRUE(isBlack(pen.pixel(corner))) << corner.x() << "," << corner.y();

    // The cross-hair runs through the centre across the picture.
    for (const QPoint p : {QPoint(56, 56), QPoint(2, 56), QPoint(110, 56), QPoint(56, 2), QPoint(56, 110)})
        EXPECT_TRUE(isWhite(pen.pixel(p))) << "cross-hair at " << p.x() << "," << p.y();
}

TEST(Artwork, FullProgressRingHidesThePenRings) {
    // Paint the completed ring the way the calibration window does; no white ring edge may show.
    QImage pen = loadPicture(":/Zelmo/pen1");
    {
        QPainter p(&pen);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(255, 0, 0), 7));
        for (const QRectF& rect : progressRingRects())
            p.drawArc(rect, 0, 360 * 16);
    }
    int leftovers = 0;
    for (int y = 0; y < pen.height(); ++y) {
        for (int x = 0; x < pen.width(); ++x) {
            if (x == 56 || y == 56)
                continue; // cross-hair
            if (qGreen(pen.pixel(x, y)) > 96)
                ++leftovers;
        }
    }
    EXPECT_EQ(leftovers, 0);
}

TEST(Artwork, InstructionLeavesTheTextBandBlack) {
    const QImage instruction = loadPicture(":/Zelmo/irpen");
    ASSERT_EQ(instruction.size(), QSize(1280, 800));

    int lit = 0;
    for (int y = 330; y <= 520; ++y) {
        for (int x = 0; x < instruction.width(); ++x)
            lit += isBlack(instruction.pixel(x, y)) && qGray(instruction.pixel(x, y)) <= 4 ? 0 : 1;
    }
    EXPECT_EQ(lit, 0) << "pixels drawn where the instruction text goes";

    // The title sits in the top part.
    int title = 0;
    for (int y = 0; y < 300; ++y) {
        for (int x = 320; x < 960; ++x)
            title += isWhite(instruction.pixel(x, y)) ? 1 : 0;
    }
    EXPECT_GT(title, 2000) << "no title at the top";
}
