#include "tools/make-artwork/Artwork.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QRadialGradient>
#include <QTransform>

#include <initializer_list>

namespace artwork {
namespace {

// Brand greens, light to deep.
const QColor kGreenLight(0x4c, 0xc6, 0x84);
const QColor kGreenMid(0x1a, 0x85, 0x52);
const QColor kGreenDeep(0x0b, 0x4f, 0x34);
const QColor kGreenDarkest(0x06, 0x35, 0x22);
const QColor kMint(0xd2, 0xf6, 0xe2);

// Design grid of the icon mark; everything is scaled from it.
constexpr qreal kIconGrid = 256.0;

bool familyInstalled(const QString& family) {
    // Families that several foundries provide come back as "Family [foundry]".
    const QString found = QFontInfo(QFont(family)).family();
    return found.compare(family, Qt::CaseInsensitive) == 0 ||
           found.startsWith(family + QStringLiteral(" ["), Qt::CaseInsensitive);
}

QString firstInstalled(std::initializer_list<const char*> families, const QString& fallback) {
    for (const char* family : families) {
        if (familyInstalled(QString::fromLatin1(family)))
            return QString::fromLatin1(family);
    }
    return fallback;
}

// Filled outline of the ellipse in `rect` stroked with a pen of `width`.
QPainterPath ringPath(const QRectF& rect, qreal width) {
    QPainterPath ellipse;
    ellipse.addEllipse(rect);
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    return stroker.createStroke(ellipse);
}

QRectF circleRect(QPointF centre, qreal radius) {
    return {centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius};
}

// Stylised pen lying along `angle` (degrees, counter-clockwise from 3 o'clock) away from its tip:
// a conical nib, a narrow gap, then a body with a rounded back end.
struct PenShape {
    QPainterPath nib;
    QPainterPath body;
    QPainterPath silhouette; // nib, gap and body together, used to cut what lies underneath
};

PenShape penShape(QPointF tip, qreal angle, qreal halfWidth, qreal nibLength, qreal gap, qreal bodyLength) {
    QPainterPath nib;
    nib.moveTo(0, 0);
    nib.lineTo(nibLength, -0.92 * halfWidth);
    nib.lineTo(nibLength, 0.92 * halfWidth);
    nib.closeSubpath();

    const qreal bodyStart = nibLength + gap;
    QPainterPath body;
    body.addRect(QRectF(bodyStart, -halfWidth, bodyLength - halfWidth, 2 * halfWidth));
    QPainterPath backEnd;
    backEnd.addEllipse(QPointF(bodyStart + bodyLength - halfWidth, 0), halfWidth, halfWidth);
    body = body.united(backEnd);

    QPainterPath gapPath;
    gapPath.addRect(QRectF(nibLength - 0.5, -0.92 * halfWidth, gap + 1.0, 1.84 * halfWidth));

    QTransform place;
    place.translate(tip.x(), tip.y());
    place.rotate(-angle);
    PenShape shape;
    shape.nib = place.map(nib);
    shape.body = place.map(body);
    shape.silhouette = place.map(nib.united(gapPath).united(body));
    return shape;
}

// `path` grown by `margin` on every side.
QPainterPath grown(const QPainterPath& path, qreal margin) {
    QPainterPathStroker stroker;
    stroker.setWidth(2 * margin);
    stroker.setJoinStyle(Qt::RoundJoin);
    stroker.setCapStyle(Qt::RoundCap);
    return stroker.createStroke(path).united(path);
}

// The product mark (target rings with a pen touching their centre) in the 256-unit icon grid.
struct MarkShape {
    QPainterPath rings;
    QPainterPath nib;
    QPainterPath body;
};

MarkShape markShape() {
    const QPointF centre(102, 156);
    const PenShape pen = penShape(centre, 45.0, 19.0, 38.0, 9.0, 112.0);
    QPainterPath rings = ringPath(circleRect(centre, 65), 20).united(ringPath(circleRect(centre, 32), 18));
    rings = rings.subtracted(grown(pen.silhouette, 9.0));
    return {rings, pen.nib, pen.body};
}

void paintIconTile(QPainter& p) {
    const QRectF tile(8, 8, 240, 240);
    const qreal radius = 54;

    QLinearGradient fill(tile.topLeft(), tile.bottomRight());
    fill.setColorAt(0.0, kGreenLight);
    fill.setColorAt(0.55, kGreenMid);
    fill.setColorAt(1.0, kGreenDeep);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(tile, radius, radius);

    // Soft light from the top left.
    QRadialGradient gloss(QPointF(70, 40), 230);
    gloss.setColorAt(0.0, QColor(255, 255, 255, 60));
    gloss.setColorAt(1.0, QColor(255, 255, 255, 0));
    p.setBrush(gloss);
    p.drawRoundedRect(tile, radius, radius);

    // Thin inner edge: light at the top, dark at the bottom.
    QLinearGradient edge(tile.topLeft(), tile.bottomLeft());
    edge.setColorAt(0.0, QColor(255, 255, 255, 90));
    edge.setColorAt(0.5, QColor(255, 255, 255, 0));
    edge.setColorAt(1.0, QColor(0, 0, 0, 70));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QBrush(edge), 3.0));
    p.drawRoundedRect(tile.adjusted(1.5, 1.5, -1.5, -1.5), radius - 1.5, radius - 1.5);

    const MarkShape mark = markShape();
    p.setPen(Qt::NoPen);
    // A faint shadow lifts the mark off the tile.
    p.save();
    p.translate(0, 4);
    p.setBrush(QColor(0, 40, 20, 60));
    p.drawPath(mark.rings);
    p.drawPath(mark.nib);
    p.drawPath(mark.body);
    p.restore();

    p.setBrush(Qt::white);
    p.drawPath(mark.rings);
    p.drawPath(mark.body);
    p.setBrush(kMint);
    p.drawPath(mark.nib);
}

} // namespace

Fonts pickFonts() {
    Fonts fonts;
    fonts.sans = firstInstalled({"Noto Sans", "DejaVu Sans", "Nimbus Sans", "Liberation Sans"},
                                QStringLiteral("Sans Serif"));
    // Chancery-style script faces first; an italic serif when none is installed.
    fonts.script = firstInstalled(
        {"Z003", "URW Chancery L", "TeX Gyre Chorus", "Great Vibes", "Dancing Script"}, QString());
    if (fonts.script.isEmpty()) {
        fonts.script =
            firstInstalled({"DejaVu Serif", "Noto Serif", "Nimbus Roman"}, QStringLiteral("Serif"));
        fonts.scriptItalic = true;
    }
    return fonts;
}

QImage drawIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / kIconGrid, size / kIconGrid);
    paintIconTile(p);
    p.end();
    return image;
}

QImage drawBanner(const Fonts& fonts) {
    const int width = 558;
    const int height = 81;
    QImage image(width, height, QImage::Format_RGB888);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.setPen(Qt::NoPen);

    // Deep green on the left where the logo sits, lighter to the right.
    QLinearGradient base(0, 0, width, 0);
    base.setColorAt(0.0, kGreenDarkest);
    base.setColorAt(0.45, kGreenDeep);
    base.setColorAt(1.0, kGreenMid);
    p.fillRect(image.rect(), base);

    QLinearGradient sheen(0, 0, 0, height);
    sheen.setColorAt(0.0, QColor(255, 255, 255, 34));
    sheen.setColorAt(0.5, QColor(255, 255, 255, 8));
    sheen.setColorAt(0.5001, QColor(255, 255, 255, 0));
    sheen.setColorAt(1.0, QColor(0, 0, 0, 30));
    p.fillRect(image.rect(), sheen);

    // Calibration rings fading in at the right edge.
    const QPointF ringCentre(506, 40.5);
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 7; ++i) {
        const qreal radius = 16.0 + 22.0 * i;
        const int alpha = 46 - 5 * i;
        p.setPen(QPen(QColor(255, 255, 255, alpha), i == 0 ? 5.0 : 2.0));
        p.drawEllipse(circleRect(ringCentre, radius));
    }
    p.setPen(QPen(QColor(255, 255, 255, 40), 1.0));
    p.drawLine(QPointF(ringCentre.x(), 0), QPointF(ringCentre.x(), height));
    p.drawLine(QPointF(ringCentre.x() - 90, ringCentre.y()), QPointF(width, ringCentre.y()));
    p.setPen(Qt::NoPen);

    // Icon at the left with a soft drop shadow.
    const int iconSize = 61;
    const QRectF iconRect(14, (height - iconSize) / 2.0, iconSize, iconSize);
    const qreal unit = iconSize / kIconGrid;
    for (int i = 4; i >= 1; --i) {
        p.setBrush(QColor(0, 0, 0, 14));
        const QRectF shadow = QRectF(iconRect.x() + 8 * unit, iconRect.y() + 8 * unit, 240 * unit, 240 * unit)
                                  .adjusted(-i * 0.8, -i * 0.8 + 2, i * 0.8, i * 0.8 + 2);
        p.drawRoundedRect(shadow, 54 * unit + i, 54 * unit + i);
    }
    p.drawImage(iconRect, drawIcon(iconSize * 4));

    // Lettering.
    const qreal textX = iconRect.right() + 16;
    QFont title(fonts.sans);
    title.setPixelSize(38);
    title.setBold(true);
    title.setLetterSpacing(QFont::AbsoluteSpacing, -0.5);
    QFont titleLight(fonts.sans);
    titleLight.setPixelSize(38);
    titleLight.setWeight(QFont::Normal);
    QFont subtitle(fonts.sans);
    subtitle.setPixelSize(12);
    subtitle.setWeight(QFont::DemiBold);
    subtitle.setLetterSpacing(QFont::AbsoluteSpacing, 2.4);

    const qreal titleBaseline = 45;
    const QString name = QStringLiteral("Vexaro");
    const QString setup = QStringLiteral("Setup");
    const qreal nameWidth = QFontMetricsF(title).horizontalAdvance(name);
    const qreal space = QFontMetricsF(titleLight).horizontalAdvance(QLatin1Char(' ')) * 0.8;

    // Shadow pass, then the letters.
    p.setPen(QColor(0, 0, 0, 70));
    p.setFont(title);
    p.drawText(QPointF(textX, titleBaseline + 1.5), name);
    p.setFont(titleLight);
    p.drawText(QPointF(textX + nameWidth + space, titleBaseline + 1.5), setup);
    p.setPen(Qt::white);
    p.setFont(title);
    p.drawText(QPointF(textX, titleBaseline), name);
    p.setPen(kMint);
    p.setFont(titleLight);
    p.drawText(QPointF(textX + nameWidth + space, titleBaseline), setup);

    p.setFont(subtitle);
    p.setPen(QColor(kMint.red(), kMint.green(), kMint.blue(), 215));
    p.drawText(QPointF(textX + 1.5, 66), QStringLiteral("INTERACTIVE TOUCH MODULE"));

    // Hairline at the bottom edge.
    p.fillRect(QRect(0, height - 1, width, 1), QColor(0, 0, 0, 60));
    p.end();
    return image;
}

QImage drawPenMark() {
    const int size = 113;
    QImage image(size, size, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter p(&image);

    // Cross-hair through the centre pixel.
    const int centre = 56;
    p.fillRect(QRect(0, centre, size, 1), Qt::white);
    p.fillRect(QRect(centre, 0, 1, size), Qt::white);

    // The rings use the very rectangles the progress ring is painted in, with a slightly narrower pen
    // so the 7-pixel red ring hides them completely.
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, 6.0));
    p.drawEllipse(QRectF(19, 19, 74.5, 74.5));
    p.drawEllipse(QRectF(31, 31, 51, 51));
    p.drawEllipse(QRectF(43.2, 43.2, 26, 26));
    p.end();
    return image;
}

QImage drawInstruction(const Fonts& fonts) {
    const int width = 1280;
    const int height = 800;
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);

    // Title centred on (640, 150).
    QFont script(fonts.script);
    script.setPixelSize(128);
    script.setItalic(fonts.scriptItalic);
    QPainterPath title;
    title.addText(0, 0, script, QStringLiteral("Calibration"));
    const QRectF bounds = title.boundingRect();
    title.translate(width / 2.0 - bounds.center().x(), 150 - bounds.center().y());
    p.setBrush(QColor(0xf2, 0xf2, 0xf2));
    p.drawPath(title);

    // Hairline flourish under the title with a small diamond in the middle.
    const qreal ruleY = title.boundingRect().bottom() + 30;
    QLinearGradient rule(width / 2.0 - 260, 0, width / 2.0 + 260, 0);
    rule.setColorAt(0.0, QColor(150, 150, 150, 0));
    rule.setColorAt(0.5, QColor(150, 150, 150, 200));
    rule.setColorAt(1.0, QColor(150, 150, 150, 0));
    p.fillRect(QRectF(width / 2.0 - 260, ruleY - 0.75, 520, 1.5), rule);
    QPainterPath diamond;
    diamond.moveTo(width / 2.0, ruleY - 6);
    diamond.lineTo(width / 2.0 + 6, ruleY);
    diamond.lineTo(width / 2.0, ruleY + 6);
    diamond.lineTo(width / 2.0 - 6, ruleY);
    diamond.closeSubpath();
    p.setBrush(QColor(170, 170, 170));
    p.drawPath(diamond);

    // Faint hint below the text band: the calibration mark with a pen touching its centre.
    const QPointF target(640, 668);
    const QColor hint(88, 88, 88);
    const PenShape pen = penShape(target, 50.0, 11.0, 24.0, 5.0, 92.0);
    const QPainterPath cut = grown(pen.silhouette, 6.0);
    QPainterPath mark = ringPath(circleRect(target, 37.25), 4)
                            .united(ringPath(circleRect(target, 25.5), 4))
                            .united(ringPath(circleRect(target, 13), 4));
    QPainterPath cross;
    cross.addRect(QRectF(target.x() - 56, target.y() - 0.5, 112, 1));
    cross.addRect(QRectF(target.x() - 0.5, target.y() - 56, 1, 112));
    mark = mark.united(cross).subtracted(cut);

    // A soft glow where the nib touches.
    QRadialGradient glow(target, 30);
    glow.setColorAt(0.0, QColor(255, 255, 255, 45));
    glow.setColorAt(1.0, QColor(255, 255, 255, 0));
    p.setBrush(glow);
    p.drawEllipse(circleRect(target, 30));

    p.setBrush(hint);
    p.drawPath(mark);
    p.setBrush(QColor(120, 120, 120));
    p.drawPath(pen.body);
    p.setBrush(QColor(150, 150, 150));
    p.drawPath(pen.nib);
    p.end();
    return image;
}

} // namespace artwork
