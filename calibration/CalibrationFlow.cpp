#include "calibration/CalibrationFlow.h"

#include "platform/Pacing.h"

#include <QLoggingCategory>

// Each step a flow enters, for observing a run from outside.
Q_LOGGING_CATEGORY(lcFlow, "vexaro.calibration.flow", QtWarningMsg)

CalibrationFlow::CalibrationFlow(FlowHost& flowHost, const FlowLimits& flowLimits)
    : host(flowHost)
    , limits(flowLimits) {
    limitTimer.setSingleShot(true);
    QObject::connect(&limitTimer, &QTimer::timeout, &limitTimer, [this] { timedOut(); });
    pauseTimer.setSingleShot(true);
    QObject::connect(&pauseTimer, &QTimer::timeout, &pauseTimer, [this] {
        if (!resume)
            return;
        const std::function<void()> next = std::move(resume);
        resume = nullptr;
        next();
    });
}

CalibrationFlow::~CalibrationFlow() = default;

void CalibrationFlow::enter(int state, int limitMs) {
    if (state != current)
        qCDebug(lcFlow) << "flow step" << state;
    const int left = current;
    current = state;
    if (state != left) {
        pauseTimer.stop();
        resume = nullptr;
        afterPaint = nullptr;
        leaving(left);
    }
    if (limitMs > 0)
        limitTimer.start(limitMs);
    else
        limitTimer.stop();
}

void CalibrationFlow::stop(bool done) {
    if (isRunning())
        sendStopCommands(done);
    halt();
}

void CalibrationFlow::halt() {
    enter(idle);
}

void CalibrationFlow::pauseThen(int milliseconds, std::function<void()> next) {
    resume = std::move(next);
    pauseTimer.start(static_cast<int>(Pacing::scaledMicroseconds(milliseconds) / 1000));
}

void CalibrationFlow::whenPainted(std::function<void()> next) {
    afterPaint = std::move(next);
}

void CalibrationFlow::windowPainted() {
    if (!afterPaint)
        return;
    const std::function<void()> next = std::move(afterPaint);
    afterPaint = nullptr;
    next();
}

void CalibrationFlow::finish(const FlowOutcome& outcome) {
    if (!isRunning())
        return;
    halt();
    if (outcomeSink)
        outcomeSink(outcome);
}

// The module is left as the user's Escape would leave it before the run is reported timed out.
void CalibrationFlow::timedOut() {
    if (!isRunning())
        return;
    const int step = state();
    sendStopCommands(false);
    finish(FlowOutcome::timedOut(step));
}
