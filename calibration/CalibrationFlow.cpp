#include "calibration/CalibrationFlow.h"

#include "calibration/FlowHost.h"

#include <QLoggingCategory>

// Each step a flow enters, for observing a run from outside.
Q_LOGGING_CATEGORY(lcFlow, "vexaro.calibration.flow", QtWarningMsg)

CalibrationFlow::CalibrationFlow(FlowHost& flowHost, const FlowLimits& flowLimits)
    : host(flowHost)
    , limits(flowLimits) {
    limitTimer.setSingleShot(true);
    QObject::connect(&limitTimer, &QTimer::timeout, &limitTimer, [this] { timedOut(); });
}

CalibrationFlow::~CalibrationFlow() = default;

void CalibrationFlow::enter(int state, int limitMs) {
    if (state != current)
        qCDebug(lcFlow) << "flow step" << state;
    current = state;
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

void CalibrationFlow::timedOut() {
    if (isRunning())
        host.flowTimedOut(*this);
}
