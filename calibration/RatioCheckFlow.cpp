#include "calibration/RatioCheckFlow.h"

#include "calibration/CalibDlg.h"
#include "calibration/CalibrationRun.h"
#include "calibration/CoordinateRatio.h"
#include "calibration/FlowHost.h"
#include "calibration/FlowLimits.h"
#include "device/CamDevCtrl.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcRatio, "vexaro.calibration.ratio", QtWarningMsg)

RatioCheckFlow::RatioCheckFlow(FlowHost& flowHost, const FlowLimits& flowLimits)
    : CalibrationFlow(flowHost, flowLimits) {}

void RatioCheckFlow::awaitAnswer() {
    enter(RecordSent, limits.moduleReplyMs);
}

void RatioCheckFlow::moduleStepped() {
    if (state() == RecordSent) {
        touchIndex = 0;
        sendTouch(touchIndex);
    } else if (state() == RatioCheck) {
        ++touchIndex;
        if (touchIndex < 2)
            sendTouch(touchIndex);
        else
            correctRatio();
    }
}

// The module ended the run without asking for the ratio check.
void RatioCheckFlow::targetOrPoints(const int* /*buf*/, int /*len*/) {
    if (state() != RecordSent)
        return;
    finish(FlowOutcome::done(host.run().fitOk));
}

// The window reports the next touch release, and the module is asked to inject a touch at a known
// device point; the state's time limit is the wait for that touch.
void RatioCheckFlow::sendTouch(int index) {
    if (index != 0 && index != 1)
        return;
    touchCaptureArmed.store(true);
    enter(RatioCheck, limits.ratioTouchMs);
    host.deviceLink().sendCoord(1, CoordinateRatio::targetX[index], CoordinateRatio::targetY[index]);
}

void RatioCheckFlow::touchArrived(int x, int y) {
    if (state() == RatioCheck)
        disarm();
    if (touchIndex == 0 || touchIndex == 1)
        measured[touchIndex] = QPoint(x, y);
    if (state() == RatioCheck)
        moduleStepped();
}

void RatioCheckFlow::correctRatio() {
    const QSize screen = host.calibrationWindow().screenSize();
    const CoordinateRatio::Correction c =
        CoordinateRatio::compute(measured[0], measured[1], screen.width(), screen.height());
    qCDebug(lcRatio) << "coordinate ratio: mode" << c.mode << "ratio" << c.ratio;
    host.deviceLink().setFixCoordRatio(c.mode, c.ratio);
    finish(FlowOutcome::done(host.run().fitOk, true));
}

void RatioCheckFlow::touchTimedOut() {
    disarm();
    touchCaptureArmed.store(false);
    host.deviceLink().setFixCoordRatio(0, 0.0);
    finish(FlowOutcome::done(host.run().fitOk, true));
}

void RatioCheckFlow::timedOut() {
    if (state() == RatioCheck)
        touchTimedOut();
    else
        CalibrationFlow::timedOut();
}
