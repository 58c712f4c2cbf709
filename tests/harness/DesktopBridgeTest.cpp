// The simulated module's view of the desktop: screen pictures and injected touches.
#include "harness/DesktopBridge.h"
#include "platform/DisplayProvider.h"
#include "platform/Platform.h"
#include "tests/support/EventualAssert.h"

#include <QApplication>
#include <QPushButton>
#include <QTouchEvent>
#include <QWidget>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace {

class TouchRecorder : public QWidget {
public:
    TouchRecorder() {
        setAttribute(Qt::WA_AcceptTouchEvents);
        setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
        setStyleSheet(QStringLiteral("background: rgb(200, 200, 200);"));
        setAutoFillBackground(true);
    }
    QList<QEvent::Type> types;
    QList<QPointF> releases;

protected:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::TouchBegin || e->type() == QEvent::TouchEnd ||
            e->type() == QEvent::TouchUpdate) {
            auto* touch = static_cast<QTouchEvent*>(e);
            types.append(e->type());
            for (const auto& point : touch->touchPoints()) {
                if (point.state() == Qt::TouchPointReleased)
                    releases.append(point.screenPos());
            }
            e->accept();
            return true;
        }
        return QWidget::event(e);
    }
};

} // namespace

TEST(DesktopBridge, GrabsTheWindowCoveringTheDisplayFromAnotherThread) {
    const QRect display = Platform::displays().coveredDisplay();
    ASSERT_FALSE(display.isEmpty());
    TouchRecorder window;
    window.setGeometry(display);
    window.show();
    DesktopBridge bridge;

    QImage grabbed;
    std::atomic<bool> finished{false}; // set by the module's thread, polled by the GUI thread
    std::thread module([&] {
        grabbed = bridge.grabCoveredDisplay();
        finished.store(true);
    });
    eventsUntil([&] { return finished.load(); });
    module.join();
    ASSERT_FALSE(grabbed.isNull());
    EXPECT_EQ(grabbed.size(), display.size());
    EXPECT_EQ(grabbed.format(), QImage::Format_Grayscale8);
    EXPECT_NEAR(qGray(grabbed.pixel(display.width() / 2, display.height() / 2)), 200, 2);
}

TEST(DesktopBridge, GrabGivesUpWhenTheGuiThreadDoesNotAnswer) {
    DesktopBridge bridge;
    QImage grabbed;
    std::thread module([&] { grabbed = bridge.grabCoveredDisplay(50); });
    module.join(); // the GUI thread never runs its event loop meanwhile
    EXPECT_TRUE(grabbed.isNull());
    QApplication::processEvents(); // the late request finds nobody waiting and does no harm
}

TEST(DesktopBridge, InjectedTouchIsPressedAndReleasedWhereItWasSent) {
    const QRect display = Platform::displays().coveredDisplay();
    TouchRecorder window;
    window.setGeometry(display);
    window.show();
    DesktopBridge bridge;
    const QPoint at = display.topLeft() + QPoint(123, 77);
    std::thread module([&] { bridge.injectTouch(at); });
    module.join();
    eventsUntil([&] { return !window.releases.isEmpty(); });
    ASSERT_EQ(window.releases.size(), 1);
    EXPECT_EQ(window.releases.first().toPoint(), at);
    ASSERT_FALSE(window.types.isEmpty());
    EXPECT_EQ(window.types.first(), QEvent::TouchBegin);
    EXPECT_EQ(window.types.last(), QEvent::TouchEnd);
}

// A window that takes no touches gets the touch as a click on the widget under the finger, the way
// the desktop turns an unhandled touch into mouse input; a window that takes touches gets no click.
TEST(DesktopBridge, TouchNoWindowTakesBecomesAClickOnTheWidgetUnderIt) {
    const QRect display = Platform::displays().coveredDisplay();
    QWidget window(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    window.setGeometry(display);
    QPushButton button(QStringLiteral("OK"), &window);
    button.setGeometry(100, 100, 120, 40);
    window.show();
    int clicks = 0;
    QObject::connect(&button, &QPushButton::clicked, [&] { ++clicks; });
    DesktopBridge bridge;

    bridge.injectTouch(display.topLeft() + QPoint(160, 120));
    eventsUntil([&] { return clicks > 0; });
    EXPECT_EQ(clicks, 1);

    // Beside the button: the window itself gets the press and release, and the button nothing.
    bridge.injectTouch(display.topLeft() + QPoint(400, 300));
    bridge.injectTouch(display.topLeft() + QPoint(160, 120));
    eventsUntil([&] { return clicks > 1; });
    EXPECT_EQ(clicks, 2);
    window.hide();

    TouchRecorder touchWindow;
    touchWindow.setGeometry(display);
    touchWindow.show();
    QPushButton covered(QStringLiteral("under"), &touchWindow);
    covered.setGeometry(100, 100, 120, 40);
    covered.show();
    int coveredClicks = 0;
    QObject::connect(&covered, &QPushButton::clicked, [&] { ++coveredClicks; });
    bridge.injectTouch(display.topLeft() + QPoint(160, 120));
    eventsUntil([&] { return !touchWindow.releases.isEmpty(); });
    EXPECT_EQ(touchWindow.releases.size(), 1);
    EXPECT_EQ(coveredClicks, 0);
}
