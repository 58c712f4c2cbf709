#include "calibration/TouchFlow.h"

#include "calibration/CalibDlg.h"
#include "calibration/CalibrationAnalysis.h"
#include "calibration/CalibrationRun.h"
#include "calibration/FlowHost.h"
#include "calibration/FlowLimits.h"
#include "calibration/InstallationSettings.h"
#include "calibration/TouchPrediction.h"
#include "calibration/TweakRecord.h"
#include "device/CalibParameterRecord.h"
#include "device/CamDevCtrl.h"
#include "device/TargetCounts.h"
#include "services/GuidanceText.h"
#include "services/LanguageTexts.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcTouch, "vexaro.calibration.touch", QtWarningMsg)

namespace {
constexpr int touchedPointsBytes = 200; // 25 pairs of float32
} // namespace

TouchFlow::TouchFlow(FlowHost& flowHost, const FlowLimits& flowLimits)
    : CalibrationFlow(flowHost, flowLimits) {}

int TouchFlow::targetCount() const {
    return host.run().tuning ? TargetCounts::autoTargetCount.load() : TargetCounts::manualTargetCount.load();
}

void TouchFlow::start(bool semiAutomatic) {
    CalibDlg& window = host.calibrationWindow();
    window.PrepareDisplay(CalibDlg::Instruction);
    window.ComputeTargets(semiAutomatic ? CalibDlg::TargetSet::SemiAutomatic : CalibDlg::TargetSet::Manual);
    advance = false;
    moduleInTargetInput = false;
    window.setTargetCount(targetCount());
    showTarget(0);
    window.ringOff();
    window.clearHint();
    enter(TargetInput);
    window.showAndPaint();
    whenPainted([this] { armFirstTarget(); });
}

// The module switches to target input before it takes the next commands.
void TouchFlow::armFirstTarget() {
    moduleInTargetInput = true;
    host.deviceLink().startManualCalib();
    pauseThen(200, [this] {
        host.deviceLink().setImageReverse(0);
        pauseThen(200, [this] { host.deviceLink().startManualPattern(0); });
    });
}

void TouchFlow::showTarget(int index) {
    target = index;
    host.calibrationWindow().showTarget(index);
}

void TouchFlow::sendStopCommands(bool done) {
    // Closed before the window first painted: the module was never switched to target input.
    if ((state() != TargetInput && state() != CheckingTouch) || !moduleInTargetInput)
        return;
    if (done)
        host.deviceLink().endManualCalib();
    else
        host.deviceLink().cancelManualCalib();
}

// The module saw the pen on the current target: fill the progress ring while it rests there.
void TouchFlow::penSeen() {
    if (state() != TargetInput)
        return;
    advance = false;
    host.calibrationWindow().ringOn();
}

// The ring completed: the window moves on to the next target (none after the last).
void TouchFlow::ringCompleted() {
    if (state() != TargetInput || target >= targetCount())
        return;
    CalibDlg& window = host.calibrationWindow();
    advance = true;
    window.clearHint();
    window.ringOff();
    showTarget(target + 1);
    window.animateForward();
}

void TouchFlow::stepBack() {
    CalibDlg& window = host.calibrationWindow();
    if (state() != TargetInput || target == 0)
        return;
    advance = true;
    window.ringOff();
    showTarget(target - 1);
    window.animateBack();
    moveOn(target); // the target gone back to is armed again, nothing judged
}

void TouchFlow::targetOrPoints(const int* buf, int len) {
    if (state() == TargetInput) {
        targetFinished(buf ? *buf : 0);
    } else if (state() == CheckingTouch) {
        if (len == touchedPointsBytes && buf)
            touchChecked(reinterpret_cast<const float*>(buf));
    } else if (state() == AwaitingPoints) {
        if (len == touchedPointsBytes && buf)
            pointsArrived(reinterpret_cast<const float*>(buf));
    }
}

// The module finished a target. If the window already moved on, the touch is judged against the
// ones before it (from the fifth on: the module's points so far are asked for), then the next
// target is armed or, after the last, the touched points fetched. If the pen left before the ring
// completed, the target is repeated with a hint to hold the pen.
void TouchFlow::targetFinished(int reported) {
    CalibDlg& window = host.calibrationWindow();
    CamDevCtrl& device = host.deviceLink();
    if (advance) {
        const int i = target;
        if (i - 1 >= TouchPrediction::freeTouches && i - 1 < targetCount()) {
            device.getInputPoints();
            enter(CheckingTouch, limits.moduleReplyMs);
            return;
        }
        moveOn(i);
    } else {
        window.ringOff();
        window.showHint(LanguageTexts::guidance(GuidanceText::HoldPen));
        window.repaintAs(CalibDlg::KeepMode);
        whenPainted([this, reported] { host.deviceLink().startManualPattern(reported); });
    }
}

// Arms target `next`, or after the last asks for the touched points.
void TouchFlow::moveOn(int next) {
    CamDevCtrl& device = host.deviceLink();
    if (next == targetCount()) {
        device.getInputPoints();
        enter(AwaitingPoints, limits.moduleReplyMs);
    } else {
        enter(TargetInput);
        advance = false;
        device.startManualPattern(next);
    }
}

// The module's points so far: the last touch is taken, or refused at once and its target shown
// again with a hint. Only the targets before the touched one take part, so a target the person went
// back over no longer counts.
void TouchFlow::touchChecked(const float* moduleSlots) {
    CalibDlg& window = host.calibrationWindow();
    const int touched = target - 1;
    const int n = targetCount();
    if (touched < 0 || touched >= n || n > CalibDlg::maxTargets)
        return; // cannot happen while checking; the time limit ends the run
    const CalibDlg::TargetList& list = window.targetList();
    const std::vector<QPointF> screen(list.begin(), list.begin() + n);
    std::vector<QPointF> taken;
    for (int t = 0; t < touched; ++t)
        taken.emplace_back(moduleSlots[2 * t], moduleSlots[2 * t + 1]);
    const QPointF seen(moduleSlots[2 * touched], moduleSlots[2 * touched + 1]);
    const TouchPrediction::Verdict verdict = TouchPrediction::judge(screen, taken, seen);
    qCDebug(lcTouch) << "touch on target" << touched << (verdict.accepted ? "taken" : "refused") << "off by"
                     << verdict.distance << "tolerance" << verdict.tolerance;
    if (verdict.accepted) {
        moveOn(touched + 1); // after the last, the points are asked for once more, as after any run
        return;
    }
    enter(TargetInput);
    showTarget(touched);
    window.animateBack();
    advance = false;
    window.showHint(LanguageTexts::guidance(GuidanceText::TouchRefused));
    window.repaintAs(CalibDlg::KeepMode);
    whenPainted([this, touched] { host.deviceLink().startManualPattern(touched); });
}

void TouchFlow::pointsArrived(const float* moduleSlots) {
    CalibDlg& window = host.calibrationWindow();
    CamDevCtrl& device = host.deviceLink();
    CalibrationRun& run = host.run();
    const InstallationSettings settings = host.installation();
    const int fwMinor = host.firmwareMinor();
    const QSize screen = window.screenSize();
    const int n = targetCount();
    const CalibrationAnalysis::TouchFit fit = CalibrationAnalysis::fitTouchedPoints(
        moduleSlots, run.tuning, settings.ceiling, settings.rear, n, window.targetList().data(), screen,
        settings.lens, fwMinor, run.detections);
    if (!fit.ordered)
        return; // no order for these flags: the time limit or the user ends the run
    run.fitOk = fit.ok;
    run.accuracy = fit.accuracy;
    run.fitError = fit.fitError;
    qCDebug(lcTouch) << "touched points:" << (fit.ok ? "fit accepted" : "fit failed") << "error"
                     << fit.fitError;
    if (!fit.ok) {
        device.cancelManualCalib();
        finish(FlowOutcome::done(false));
        return;
    }
    const CalibParameterRecord::Screen installedScreen{screen.width(), screen.height(), settings.ceiling,
                                                       settings.rear, settings.lens};
    if (run.tuning) {
        device.setCalibParameter(
            CalibParameterRecord::Inputs::fitted(fit.params.data(), installedScreen, fit.rowLimit, fwMinor)
                .withTweaks(n, fit.tweaks.data()));
        TweakRecord learned;
        learned.lens = static_cast<unsigned char>(settings.lens);
        learned.count = n;
        for (int i = 0; i < n; ++i)
            learned.offsets[static_cast<size_t>(i)] =
                QPointF(fit.tweaks[static_cast<size_t>(2 * i)], fit.tweaks[static_cast<size_t>(2 * i + 1)]);
        host.tweakCache() = learned;
    } else {
        device.setCalibParameter(
            CalibParameterRecord::Inputs::fitted(fit.params.data(), installedScreen, fit.rowLimit, fwMinor));
    }
    finish(FlowOutcome::recordSent());
}
