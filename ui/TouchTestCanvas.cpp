#include "ui/TouchTestCanvas.h"

#include "platform/DisplayProvider.h"
#include "platform/Platform.h"
#include "services/GuidanceText.h"
#include "services/LanguageTexts.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QPainter>
#include <QTouchEvent>
#include <QtMath>
#include <algorithm>
#include <cmath>

Q_LOGGING_CATEGORY(lcTouchTest, "vexaro.ui.touchtest", QtWarningMsg)

namespace {
constexpr int mouseId = -1; // touch point ids are never negative
// Old strokes go first beyond this many points, so a long session cannot grow without bound.
constexpr int maxStrokePoints = 200000;
constexpr int textPixels = 20;
constexpr int labelPixels = 16;
// A text that does not fit its band gets a smaller font, down to this share of the normal one.
constexpr double smallestTextShare = 0.6;
const QColor strokeColour(0, 190, 255);
const QColor touchedColour(60, 220, 90);
const QColor textColour(230, 230, 230);
} // namespace

TouchTestCanvas::TouchTestCanvas(const LanguageTexts* languageTexts, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , texts(languageTexts) {
    setObjectName(QStringLiteral("TouchTestCanvas"));
    setAttribute(Qt::WA_AcceptTouchEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Escape closes it; that must never end the program as closing its last window would.
    setAttribute(Qt::WA_QuitOnClose, false);
    setCursor(Qt::CrossCursor);
}

TouchTestCanvas::~TouchTestCanvas() = default;

bool TouchTestCanvas::open() {
    const DisplayProvider& displays = Platform::displays();
    const QRect display = displays.coveredDisplay();
    if (display.isEmpty())
        return false;
    scale = displays.logicalDpiOf(display) / 96.0;
    setWindowTitle(LanguageTexts::guidance(GuidanceText::TestButton));
    setLayoutDirection(texts && texts->isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight);
    setGeometry(display);
    restart();
    show();
    return true;
}

void TouchTestCanvas::restart() {
    gridArea = size();
    crosses = TouchTestGrid(QSizeF(gridArea));
    strokes.clear();
    activeStrokes.clear();
    strokePoints = 0;
    touchEventsSeen = false;
    update();
}

QString TouchTestCanvas::summaryText() const {
    return LanguageTexts::guidance(GuidanceText::TestSummary)
        .arg(crosses.touchedCount())
        .arg(crosses.crossCount())
        .arg(offsetPixels(QPointF(crosses.largestOffset(), 0.0)));
}

// Offsets are shown in the display's own pixels, as every accuracy of the program is, also where
// the desktop scales the window's coordinates.
int TouchTestCanvas::offsetPixels(const QPointF& offset) const {
    return qRound(std::hypot(offset.x(), offset.y()) * devicePixelRatioF());
}

// Large enough to see, never longer than half the reach, so the crosses keep clear of the texts.
int TouchTestCanvas::armLength() const {
    return qMax(4, qMin(qRound(20 * scale), qRound(crosses.reach() / 2)));
}

// The band between a row of crosses and the next, less the room the crosses, their offset labels
// and touches within reach take: the texts never cover a cross.
QRect TouchTestCanvas::bandBetweenRows(int upperRow) const {
    const QPointF upperLeft = crosses.cross(upperRow * TouchTestGrid::columns);
    const QPointF lowerRight = crosses.cross((upperRow + 2) * TouchTestGrid::columns - 1);
    // The offset labels hang below their crosses, half an arm down.
    const int labelBottom = armLength() / 2 + qRound(1.5 * labelPixels * scale);
    const int keepOff = qMax(qCeil(crosses.reach()), labelBottom);
    const int left = qRound(upperLeft.x()) + armLength();
    const int top = qRound(upperLeft.y()) + keepOff;
    return QRect(left, top, qRound(lowerRight.x()) - armLength() - left,
                 qRound(lowerRight.y()) - keepOff - top);
}

QRect TouchTestCanvas::instructionsArea() const {
    return bandBetweenRows(0);
}

QRect TouchTestCanvas::summaryArea() const {
    return bandBetweenRows(1);
}

bool TouchTestCanvas::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel: {
        auto* touch = static_cast<QTouchEvent*>(event);
        // A touchpad moves the pointer; it touches no place on the screen.
        if (touch->device() && touch->device()->type() == QTouchDevice::TouchPad)
            return QWidget::event(event);
        handleTouch(touch);
        event->accept();
        return true;
    }
    default:
        return QWidget::event(event);
    }
}

void TouchTestCanvas::handleTouch(QTouchEvent* touch) {
    touchEventsSeen = true;
    if (touch->type() == QEvent::TouchCancel) {
        activeStrokes.clear();
        return;
    }
    for (const QTouchEvent::TouchPoint& point : touch->touchPoints()) {
        switch (point.state()) {
        case Qt::TouchPointPressed:
            penDown(point.id(), point.pos(), true);
            break;
        case Qt::TouchPointMoved:
            penMoved(point.id(), point.pos());
            break;
        case Qt::TouchPointReleased:
            penUp(point.id(), point.pos());
            break;
        default:
            break;
        }
    }
}

// Mouse events the system made of touches count as touches until real touch events arrive; the
// mouse itself (and, under --simulate, the mouse playing the pen) only draws.
bool TouchTestCanvas::mouseLeftToTouch(const QMouseEvent* event) const {
    return event->source() != Qt::MouseEventNotSynthesized && touchEventsSeen;
}

void TouchTestCanvas::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && !mouseLeftToTouch(event))
        penDown(mouseId, event->localPos(), event->source() != Qt::MouseEventNotSynthesized);
    event->accept();
}

void TouchTestCanvas::mouseMoveEvent(QMouseEvent* event) {
    if ((event->buttons() & Qt::LeftButton) && !mouseLeftToTouch(event))
        penMoved(mouseId, event->localPos());
    event->accept();
}

void TouchTestCanvas::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && !mouseLeftToTouch(event))
        penUp(mouseId, event->localPos());
    event->accept();
}

void TouchTestCanvas::penDown(int id, const QPointF& at, bool measure) {
    activeStrokes.insert(id, strokes.size());
    strokes.append(QPolygonF({at}));
    ++strokePoints;
    if (measure) {
        const int cross = crosses.record(at);
        qCDebug(lcTouchTest) << "touch at" << at << "counted for cross" << cross;
    }
    trimStrokes();
    update();
}

void TouchTestCanvas::penMoved(int id, const QPointF& at) {
    const auto stroke = activeStrokes.constFind(id);
    if (stroke == activeStrokes.constEnd())
        return;
    strokes[stroke.value()].append(at);
    ++strokePoints;
    trimStrokes();
    update();
}

void TouchTestCanvas::penUp(int id, const QPointF& at) {
    penMoved(id, at);
    activeStrokes.remove(id);
}

void TouchTestCanvas::trimStrokes() {
    int dropped = 0;
    while (strokePoints > maxStrokePoints && dropped < strokes.size() - 1) {
        strokePoints -= strokes[dropped].size();
        ++dropped;
    }
    if (dropped == 0)
        return;
    strokes.remove(0, dropped);
    for (auto it = activeStrokes.begin(); it != activeStrokes.end();) {
        it.value() -= dropped;
        it = it.value() < 0 ? activeStrokes.erase(it) : std::next(it);
    }
}

void TouchTestCanvas::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape)
        close();
    event->accept();
}

void TouchTestCanvas::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (size() != gridArea)
        restart(); // crosses where the display has them; what was measured elsewhere is void
}

// Like the calibration window, it takes the keyboard while it is up, so Escape reaches it even
// where the settings window kept the focus.
void TouchTestCanvas::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    raise();
    activateWindow();
    setFocus(Qt::ActiveWindowFocusReason);
    grabKeyboard();
}

void TouchTestCanvas::hideEvent(QHideEvent* event) {
    releaseKeyboard();
    QWidget::hideEvent(event);
    emit sigClosed();
}

void TouchTestCanvas::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(strokeColour, qMax(1.0, 3 * scale), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    for (const QPolygonF& stroke : strokes) {
        if (stroke.size() == 1)
            painter.drawPoint(stroke.first());
        else
            painter.drawPolyline(stroke);
    }
    paintCrosses(painter);
    paintText(painter, instructionsArea(), LanguageTexts::guidance(GuidanceText::TestInstructions),
              qRound(textPixels * scale));
    paintText(painter, summaryArea(), summaryText(), qRound(textPixels * scale));
}

// Untouched crosses white, touched ones green with the touch marked and its offset beside it (on
// the side the text runs from).
void TouchTestCanvas::paintCrosses(QPainter& painter) const {
    const int arm = armLength();
    QFont labelFont = painter.font();
    labelFont.setPixelSize(qMax(1, qRound(labelPixels * scale)));
    painter.setFont(labelFont);
    const bool rightToLeft = layoutDirection() == Qt::RightToLeft;
    for (int i = 0; i < crosses.crossCount(); ++i) {
        const QPointF centre = crosses.cross(i);
        const std::optional<QPointF> offset = crosses.offset(i);
        const QColor colour = offset ? touchedColour : Qt::white;
        painter.setPen(QPen(colour, qMax(1.0, 2 * scale)));
        painter.drawLine(centre - QPointF(arm, 0), centre + QPointF(arm, 0));
        painter.drawLine(centre - QPointF(0, arm), centre + QPointF(0, arm));
        if (!offset)
            continue;
        const QPointF touch = centre + *offset;
        painter.drawEllipse(touch, 3 * scale, 3 * scale);
        const QString label = QString::number(offsetPixels(*offset));
        const int width = QFontMetrics(labelFont).horizontalAdvance(label) + 2;
        const int height = QFontMetrics(labelFont).height();
        const int x = rightToLeft ? qRound(centre.x()) - arm - width : qRound(centre.x()) + arm;
        painter.drawText(QRect(x, qRound(centre.y()) + arm / 2, width, height), Qt::AlignCenter, label);
    }
}

void TouchTestCanvas::paintText(QPainter& painter, const QRect& area, const QString& text,
                                int pixelSize) const {
    if (area.isEmpty())
        return;
    QFont font = painter.font();
    const int flags = Qt::AlignCenter | Qt::TextWordWrap;
    for (double share = 1.0; share >= smallestTextShare - 0.001; share -= 0.05) {
        font.setPixelSize(qMax(1, qRound(pixelSize * share)));
        if (QFontMetrics(font).boundingRect(area, flags, text).height() <= area.height())
            break;
    }
    painter.setFont(font);
    painter.setPen(textColour);
    // The paragraph runs in the language's direction, not the first strong letter's: an Arabic
    // sentence ending in "px." keeps its unit and full stop at its end.
    painter.setLayoutDirection(layoutDirection());
    painter.drawText(
        area,
        flags | (layoutDirection() == Qt::RightToLeft ? Qt::TextForceRightToLeft : Qt::TextForceLeftToRight),
        text);
}
