#include "calibration/ImageAnalysisJob.h"

#include "analysis/DetectionAnnotation.h"
#include "calibration/LastCalibration.h"

#include <QMetaObject>

namespace {

// A deep copy: the picture outlives the matrix.
QImage toImage(const cv::Mat& bgr) {
    if (bgr.type() != CV_8UC3 || bgr.empty())
        return QImage();
    return QImage(bgr.data, bgr.cols, bgr.rows, static_cast<int>(bgr.step), QImage::Format_BGR888).copy();
}

} // namespace

ImageAnalysisJob::ImageAnalysisJob(QObject* parent)
    : QObject(parent) {
    worker.setMaxThreadCount(1);
}

ImageAnalysisJob::~ImageAnalysisJob() {
    cancel();
    worker.waitForDone();
}

void ImageAnalysisJob::start(Input input) {
    cancel();
    busy = true;
    const int mine = ++serial;
    auto flag = std::make_shared<std::atomic<bool>>(false);
    stopFlag = flag;
    auto owned = std::make_shared<Input>(std::move(input));
    worker.start([this, mine, flag, owned] {
        Output out = analyse(*owned, true, flag.get());
        {
            const std::lock_guard<std::mutex> lock(resultLock);
            output = std::move(out);
            outputSerial = mine;
        }
        // Delivered on this object's thread; dropped with the object if it is gone by then.
        QMetaObject::invokeMethod(
            this,
            [this, mine, flag] {
                if (mine != serial || flag->load())
                    return; // cancelled or started again meanwhile
                busy = false;
                emit finished();
            },
            Qt::QueuedConnection);
    });
}

void ImageAnalysisJob::cancel() {
    if (stopFlag)
        stopFlag->store(true);
    stopFlag.reset();
    busy = false;
}

ImageAnalysisJob::Output ImageAnalysisJob::result() const {
    const std::lock_guard<std::mutex> lock(resultLock);
    return outputSerial == serial ? output : Output();
}

ImageAnalysisJob::Output ImageAnalysisJob::analyse(const Input& input, bool keep,
                                                   const std::atomic<bool>* cancelled) {
    Output out;
    out.fit = CalibrationAnalysis::analyseImages(input.dark, input.bright, input.pattern,
                                                 input.targets.data(), static_cast<int>(input.targets.size()),
                                                 input.screen, input.lens, input.ceiling, input.rear,
                                                 input.stored, input.fwMinor, input.tuning, cancelled);
    if (out.fit.cancelled)
        return out;
    // One picture for the kept set and the failure details.
    const cv::Mat annotated = DetectionAnnotation::draw(input.pattern, out.fit.detection);
    if (keep) {
        LastCalibration::keep(input.dark, input.bright, input.pattern,
                              {input.screen.width(),
                               input.screen.height(),
                               input.lens,
                               input.fwMinor,
                               input.ceiling == 1,
                               input.rear == 1,
                               input.tuning,
                               {}},
                              out.fit, annotated);
    }
    out.details = toImage(annotated);
    return out;
}
