#pragma once

#include "calibration/CalibrationFlow.h"

#include <QElapsedTimer>
#include <memory>
#include <opencv2/core.hpp>

class ImageAnalysisJob;

// Automatic and semi-automatic calibration up to the record: black, white and pattern are put up
// in turn, the module captures each, the three images are fetched and analysed. A semi-automatic
// run ends needing the touch phase, an automatic one with its record sent; a failed analysis ends
// the run. Each new screen colour is waited for by the window's paint, not by a spinning loop.
class AutomaticFlow : public CalibrationFlow {
public:
    enum State {
        Idle = idle,
        BlackCapture = 6,    // dark screen up, the module captures it
        DarkImage = 7,       // white up, the black image is fetched
        WhiteCapture = 8,    // the module captures white
        BrightImage = 9,     // pattern up, the white image is fetched
        PatternCapture = 10, // the module captures the pattern
        PatternImage = 11,   // the pattern image is fetched
        Analysing = 12,      // the three images are analysed on the worker
    };
    static constexpr int imageWidth = 1280;
    static constexpr int imageHeight = 720;

    AutomaticFlow(FlowHost& host, const FlowLimits& limits);
    ~AutomaticFlow() override;

    void start(bool semiAutomatic);
    // One calibration image, stored by the id last requested whether or not the run still goes on;
    // false for a size that is not an image (ignored).
    bool takeImage(const unsigned char* buf, int size);
    void moduleStepped() override;
    // No image analysis runs, not even a cancelled one still on its way to its next step.
    bool analysisIdle() const;

private:
    void blackShown();
    void blackCaptured();
    void darkImageIn();
    void whiteCaptured();
    void brightImageIn();
    void patternCaptured();
    void patternImageIn();
    void requestImage(int id, State next);
    void analysed();
    void leaving(int step) override;

    int imageId = 0;
    QElapsedTimer stepStart; // when the current screen colour was put up
    // The three captured images, 1280 x 720 grey.
    cv::Mat darkImage, brightImage, patternImage;
    std::unique_ptr<ImageAnalysisJob> analysis;
};
