#include "calibration/AutomaticFlow.h"

#include "calibration/CalibDlg.h"
#include "calibration/CalibrationAnalysis.h"
#include "calibration/CalibrationRun.h"
#include "calibration/FlowHost.h"
#include "calibration/FlowLimits.h"
#include "calibration/ImageAnalysisJob.h"
#include "calibration/InstallationSettings.h"
#include "device/CalibParameterRecord.h"
#include "device/CamDevCtrl.h"
#include "device/PacketCodes.h"
#include "device/TargetCounts.h"

#include <QLoggingCategory>
#include <algorithm>
#include <cstring>

Q_LOGGING_CATEGORY(lcAutomatic, "vexaro.calibration.automatic", QtWarningMsg)

AutomaticFlow::AutomaticFlow(FlowHost& flowHost, const FlowLimits& flowLimits)
    : CalibrationFlow(flowHost, flowLimits)
    , analysis(std::make_unique<ImageAnalysisJob>()) {
    darkImage = cv::Mat::zeros(imageHeight, imageWidth, CV_8UC1);
    brightImage = cv::Mat::zeros(imageHeight, imageWidth, CV_8UC1);
    patternImage = cv::Mat::zeros(imageHeight, imageWidth, CV_8UC1);
    QObject::connect(analysis.get(), &ImageAnalysisJob::finished, analysis.get(), [this] { analysed(); });
}

AutomaticFlow::~AutomaticFlow() = default;

void AutomaticFlow::start(bool semiAutomatic) {
    CalibDlg& window = host.calibrationWindow();
    host.run().tuning = semiAutomatic;
    host.run().tuningFellBack = false;
    window.PrepareDisplay(CalibDlg::Black);
    window.ComputeTargets(CalibDlg::TargetSet::Automatic);
    enter(BlackCapture);
    window.showAndPaint();
    whenPainted([this] { blackShown(); });
}

// The dark screen settles before the module is told to capture it.
void AutomaticFlow::blackShown() {
    const int lens = host.installation().lens;
    const int fwMinor = host.firmwareMinor();
    host.deviceLink().setImageReverse(0);
    enter(BlackCapture, limits.captureMs);
    pauseThen(200, [this, lens, fwMinor] { host.deviceLink().startBlackCapture(lens, fwMinor); });
}

// 1280 x 720 with one byte a pixel, or two bytes a pixel of which the first counts.
bool AutomaticFlow::takeImage(const unsigned char* buf, int size) {
    const int pixels = imageWidth * imageHeight;
    if (!buf || (size != pixels && size != 2 * pixels))
        return false;
    cv::Mat* target = imageId == AcImageId::black     ? &darkImage
                      : imageId == AcImageId::white   ? &brightImage
                      : imageId == AcImageId::pattern ? &patternImage
                                                      : nullptr;
    if (target) {
        if (size == pixels) {
            std::memcpy(target->data, buf, static_cast<size_t>(pixels));
        } else {
            for (int n = 0; n < pixels; ++n)
                target->data[n] = buf[2 * n];
        }
    }
    return true;
}

void AutomaticFlow::moduleStepped() {
    switch (state()) {
    case BlackCapture:
        blackCaptured();
        break;
    case DarkImage:
        darkImageIn();
        break;
    case WhiteCapture:
        whiteCaptured();
        break;
    case BrightImage:
        brightImageIn();
        break;
    case PatternCapture:
        patternCaptured();
        break;
    case PatternImage:
        if (imageId == AcImageId::pattern)
            patternImageIn();
        break;
    default:
        break;
    }
}

// Each new colour goes up as soon as the previous capture is reported, and that capture's image is
// fetched while the new colour settles.
void AutomaticFlow::blackCaptured() {
    disarm();
    host.calibrationWindow().repaintAs(CalibDlg::White);
    whenPainted([this] {
        stepStart.start();
        requestImage(AcImageId::black, DarkImage);
    });
}

// The module is told how long the new colour has already been on the screen.
void AutomaticFlow::darkImageIn() {
    host.deviceLink().startWhiteCapture(static_cast<int>(stepStart.elapsed()));
    enter(WhiteCapture, limits.captureMs);
}

void AutomaticFlow::whiteCaptured() {
    disarm();
    host.calibrationWindow().repaintAs(CalibDlg::Pattern);
    whenPainted([this] {
        stepStart.start();
        requestImage(AcImageId::white, BrightImage);
    });
}

void AutomaticFlow::brightImageIn() {
    host.deviceLink().startPatternCapture(static_cast<int>(stepStart.elapsed()));
    enter(PatternCapture, limits.captureMs);
}

void AutomaticFlow::patternCaptured() {
    imageId = AcImageId::pattern;
    enter(PatternImage, limits.imageTransferMs);
    pauseThen(100, [this] { requestImage(AcImageId::pattern, PatternImage); });
}

void AutomaticFlow::requestImage(int id, State next) {
    imageId = id;
    host.deviceLink().requestAcImage(static_cast<std::uint8_t>(id), 0);
    enter(next, limits.imageTransferMs);
}

// The analysis runs on the worker; the window shows that it is analysing, and Escape or the time
// limit drops its result.
void AutomaticFlow::patternImageIn() {
    CalibDlg& window = host.calibrationWindow();
    const InstallationSettings settings = host.installation();
    ImageAnalysisJob::Input input;
    input.dark = darkImage.clone();
    input.bright = brightImage.clone();
    input.pattern = patternImage.clone();
    const int count = std::clamp(TargetCounts::autoTargetCount.load(), 0, CalibDlg::maxTargets);
    input.targets.assign(window.targetList().begin(), window.targetList().begin() + count);
    input.screen = window.screenSize();
    input.lens = settings.lens;
    input.ceiling = settings.ceiling;
    input.rear = settings.rear;
    input.fwMinor = host.firmwareMinor();
    input.stored = host.tweakCache();
    input.tuning = host.run().tuning;
    enter(Analysing, limits.analysisMs);
    window.repaintAs(CalibDlg::Analysing);
    whenPainted([this, input] { analysis->start(input); });
}

bool AutomaticFlow::analysisIdle() const {
    return analysis->workerIdle();
}

// Escape, the time limit, an unplug or a new start: a result still to come is dropped, and the
// worker stops at its next step.
void AutomaticFlow::leaving(int step) {
    if (step == Analysing)
        analysis->cancel();
}

void AutomaticFlow::analysed() {
    if (state() != Analysing)
        return;
    disarm();
    CalibDlg& window = host.calibrationWindow();
    CalibrationRun& run = host.run();
    const InstallationSettings settings = host.installation();
    const int fwMinor = host.firmwareMinor();
    const QSize screen = window.screenSize();
    const ImageAnalysisJob::Output out = analysis->result();
    const CalibrationAnalysis::AutoFit& fit = out.fit;
    run.fitOk = fit.ok;
    run.accuracy = fit.accuracy;
    run.fitError = fit.fitError;
    qCDebug(lcAutomatic) << "image analysis:" << (fit.ok ? "fit accepted" : "fit failed") << "error"
                         << fit.fitError << "row limit" << fit.rowLimit;
    run.tuning = fit.tuning;
    run.detections = fit.rawPoints;
    if (fit.fellBack)
        run.tuningFellBack = true;
    if (!fit.ok) {
        RunFailure failure;
        failure.analysisCause = fit.failure.cause;
        failure.settings = settings;
        failure.details = out.details;
        finish(FlowOutcome::failed(failure));
        return;
    }
    if (run.tuning) {
        finish(FlowOutcome::needsTouchPhase());
        return;
    }
    host.deviceLink().setCalibParameter(CalibParameterRecord::Inputs::fitted(
        fit.params.data(), {screen.width(), screen.height(), settings.ceiling, settings.rear, settings.lens},
        fit.rowLimit, fwMinor));
    finish(FlowOutcome::recordSent());
}
