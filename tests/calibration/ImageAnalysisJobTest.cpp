// The analysis of an automatic calibration runs on a worker; it must reach exactly what the same
// analysis reaches on the GUI thread, and a start that supersedes another gets its own result.
#include "FlowHarness.h"

#include "calibration/ImageAnalysisJob.h"
#include "device/TargetCounts.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

cv::Mat imageOf(const SimulatedModule& module, int id) {
    std::vector<std::uint8_t> bytes = module.capturedImage(id);
    const int pixels = 1280 * 720;
    cv::Mat image(720, 1280, CV_8UC1, cv::Scalar(0));
    const int step = static_cast<int>(bytes.size()) == 2 * pixels ? 2 : 1;
    if (static_cast<int>(bytes.size()) < step * pixels)
        return image;
    for (int n = 0; n < pixels; ++n)
        image.data[n] = bytes[static_cast<size_t>(step * n)];
    return image;
}

} // namespace

TEST(ImageAnalysisJob, TheWorkerReachesTheParametersOfAnInlineRun) {
    FlowHarness h{VirtualRig()};
    ASSERT_TRUE(h.connected);
    h.controller->StartACalibration();
    ASSERT_TRUE(h.runToEnd());

    ImageAnalysisJob::Input input;
    input.dark = imageOf(*h.module, AcImageId::black);
    input.bright = imageOf(*h.module, AcImageId::white);
    input.pattern = imageOf(*h.module, AcImageId::pattern);
    const CalibDlg::TargetList& targets = h.window()->targetList();
    input.targets.assign(targets.begin(), targets.begin() + TargetCounts::autoTargetCount.load());
    input.screen = h.window()->screenSize();
    input.lens = h.controller->installation().lens;
    const ImageAnalysisJob::Output onGuiThread = ImageAnalysisJob::analyse(input, false);
    ASSERT_TRUE(onGuiThread.fit.ok);

    ImageAnalysisJob job;
    QSignalSpy finished(&job, &ImageAnalysisJob::finished);
    // The first start is superseded at once: only the second reports, with its own result.
    ImageAnalysisJob::Input other = input;
    other.pattern = cv::Mat(input.pattern.size(), CV_8UC1, cv::Scalar(0));
    job.start(other);
    job.start(input);
    EXPECT_TRUE(job.isBusy());
    ASSERT_TRUE(eventsUntil([&] { return finished.count() == 1; }, 60000));
    EXPECT_FALSE(job.isBusy());
    const ImageAnalysisJob::Output worker = job.result();
    ASSERT_TRUE(worker.fit.ok);
    EXPECT_EQ(worker.fit.params, onGuiThread.fit.params); // bit for bit
    EXPECT_EQ(worker.fit.rowLimit, onGuiThread.fit.rowLimit);
    EXPECT_EQ(worker.fit.fitError, onGuiThread.fit.fitError);
    EXPECT_FALSE(worker.details.isNull());
}
