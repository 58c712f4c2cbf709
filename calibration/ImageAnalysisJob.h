#pragma once

#include "calibration/CalibrationAnalysis.h"
#include "calibration/TweakRecord.h"

#include <QImage>
#include <QObject>
#include <QPointF>
#include <QSize>
#include <QThreadPool>
#include <atomic>
#include <memory>
#include <mutex>
#include <opencv2/core/mat.hpp>
#include <vector>

// The image analysis of an automatic calibration on a worker thread, so that the calibration
// window repaints and takes Escape while it runs. One analysis at a time: a new start or a cancel
// drops the one before, which ends at its next step. The kept last calibration is written on the
// worker too.
class ImageAnalysisJob : public QObject {
    Q_OBJECT
public:
    // Everything the analysis reads, owned: the flow may fetch the next run's images meanwhile.
    struct Input {
        cv::Mat dark, bright, pattern;
        std::vector<QPointF> targets; // the window's automatic targets, row by row
        QSize screen;
        int lens = 0;
        int ceiling = 0;
        int rear = 0;
        int fwMinor = 0;
        TweakRecord stored;
        bool tuning = false;
    };
    struct Output {
        CalibrationAnalysis::AutoFit fit;
        QImage details; // the pattern frame with every target marked
    };

    explicit ImageAnalysisJob(QObject* parent = nullptr);
    // Cancels and waits for the worker.
    ~ImageAnalysisJob() override;

    // finished() follows on this object's thread unless the job is cancelled or started again first.
    void start(Input input);
    void cancel();
    // True from start until finished() or cancel().
    bool isBusy() const { return busy; }
    // No analysis runs on the worker, not even a cancelled one still on its way to its next step.
    bool workerIdle() const { return worker.activeThreadCount() == 0; }
    // The last finished analysis.
    Output result() const;

    // The analysis itself, as the worker runs it; keep: also write the kept last calibration.
    static Output analyse(const Input& input, bool keep, const std::atomic<bool>* cancelled = nullptr);

signals:
    void finished();

private:
    QThreadPool worker;                          // one thread: analyses never overlap
    std::shared_ptr<std::atomic<bool>> stopFlag; // the running analysis's cancel request
    int serial = 0;                              // of the last start; GUI thread only
    bool busy = false;                           // GUI thread only
    mutable std::mutex resultLock;               // guards output and outputSerial
    Output output;
    int outputSerial = 0;
};
