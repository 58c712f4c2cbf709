#include "calibration/AutomaticFlow.h"

#include "analysis/DetectionAnnotation.h"
#include "analysis/PatternAnalyzer.h"
#include "calibration/CalibDlg.h"
#include "calibration/CalibrationAnalysis.h"
#include "calibration/CalibrationRun.h"
#include "calibration/FlowHost.h"
#include "calibration/FlowLimits.h"
#include "calibration/InstallationSettings.h"
#include "calibration/LastCalibration.h"
#include "calibration/RunFailure.h"
#include "device/CalibParameterRecord.h"
#include "device/CamDevCtrl.h"
#include "device/PacketCodes.h"
#include "device/TargetCounts.h"
#include "platform/Pacing.h"

#include <QLoggingCategory>
#include <cstring>

Q_LOGGING_CATEGORY(lcAutomatic, "vexaro.calibration.automatic", QtWarningMsg)

namespace {

// A deep copy: the picture outlives the matrix.
QImage toImage(const cv::Mat& bgr) {
    if (bgr.type() != CV_8UC3 || bgr.empty())
        return QImage();
    return QImage(bgr.data, bgr.cols, bgr.rows, static_cast<int>(bgr.step), QImage::Format_BGR888).copy();
}

} // namespace

AutomaticFlow::AutomaticFlow(FlowHost& flowHost, const FlowLimits& flowLimits)
    : CalibrationFlow(flowHost, flowLimits) {
    darkImage = cv::Mat::zeros(imageHeight, imageWidth, CV_8UC1);
    brightImage = cv::Mat::zeros(imageHeight, imageWidth, CV_8UC1);
    patternImage = cv::Mat::zeros(imageHeight, imageWidth, CV_8UC1);
    workImage = cv::Mat::zeros(imageHeight, imageWidth, CV_8UC1);
}

void AutomaticFlow::start(bool semiAutomatic) {
    CalibDlg& window = host.calibrationWindow();
    CamDevCtrl& device = host.deviceLink();
    const int lens = host.installation().lens;
    host.run().tuning = semiAutomatic;
    host.run().tuningFellBack = false;
    window.PrepareDisplay(CalibDlg::Black);
    window.ComputeTargets(CalibDlg::TargetSet::Automatic);
    window.ShowAndWait();
    device.setImageReverse(0);
    Pacing::pause(200);
    device.startBlackCapture(lens, host.firmwareMinor());
    enter(BlackCapture, limits.captureMs);
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
    host.calibrationWindow().SetPaintModeAndWait(CalibDlg::White);
    if (state() != BlackCapture)
        return; // closed while the window repainted
    stepStart.start();
    requestImage(AcImageId::black, DarkImage);
}

// The module is told how long the new colour has already been on the screen.
void AutomaticFlow::darkImageIn() {
    host.deviceLink().startWhiteCapture(static_cast<int>(stepStart.elapsed()));
    enter(WhiteCapture, limits.captureMs);
}

void AutomaticFlow::whiteCaptured() {
    disarm();
    host.calibrationWindow().SetPaintModeAndWait(CalibDlg::Pattern);
    if (state() != WhiteCapture)
        return;
    stepStart.start();
    requestImage(AcImageId::white, BrightImage);
}

void AutomaticFlow::brightImageIn() {
    host.deviceLink().startPatternCapture(static_cast<int>(stepStart.elapsed()));
    enter(PatternCapture, limits.captureMs);
}

void AutomaticFlow::patternCaptured() {
    disarm();
    Pacing::pause(100);
    requestImage(AcImageId::pattern, PatternImage);
}

void AutomaticFlow::requestImage(int id, State next) {
    imageId = id;
    host.deviceLink().requestAcImage(static_cast<std::uint8_t>(id), 0);
    enter(next, limits.imageTransferMs);
}

void AutomaticFlow::patternImageIn() {
    disarm();
    CalibDlg& window = host.calibrationWindow();
    CalibrationRun& run = host.run();
    const InstallationSettings settings = host.installation();
    const int fwMinor = host.firmwareMinor();
    const QSize screen = window.screenSize();
    const CalibrationAnalysis::AutoFit fit = CalibrationAnalysis::analyseImages(
        darkImage, brightImage, patternImage, workImage, window.targetList().data(),
        TargetCounts::autoTargetCount.load(), screen, settings.lens, settings.ceiling, settings.rear,
        host.tweakCache(), fwMinor, run.tuning);
    // One picture for the kept set and the failure details.
    const cv::Mat annotated = DetectionAnnotation::draw(patternImage, fit.detection);
    LastCalibration::keep(darkImage, brightImage, patternImage,
                          {screen.width(),
                           screen.height(),
                           settings.lens,
                           fwMinor,
                           settings.ceiling == 1,
                           settings.rear == 1,
                           run.tuning,
                           {}},
                          fit, annotated);
    run.fitOk = fit.ok;
    run.accuracy = fit.accuracy;
    qCDebug(lcAutomatic) << "image analysis:" << (fit.ok ? "fit accepted" : "fit failed") << "error"
                         << PatternAnalyzer::instance().fitError << "row limit" << fit.rowLimit;
    run.tuning = fit.tuning;
    if (fit.fellBack)
        run.tuningFellBack = true;
    halt();
    if (!fit.ok) {
        window.hide();
        RunFailure failure;
        failure.analysisCause = fit.failure.cause;
        failure.settings = settings;
        failure.details = toImage(annotated);
        host.showFailure(failure);
        return;
    }
    if (run.tuning) {
        window.hide();
        host.continueWithTouchPhase();
        return;
    }
    host.deviceLink().setCalibParameter(CalibParameterRecord::Inputs::fitted(
        fit.params.data(), {screen.width(), screen.height(), settings.ceiling, settings.rear, settings.lens},
        fit.rowLimit, fwMinor));
    host.continueAfterRecord();
}
