// The failure details picture marks every target as the analysis saw it: its colours at the
// reported places are the report's, and a missing target's ring sits where the target really is.
#include "AnalysisScene.h"

#include "analysis/AnalysisResult.h"
#include "analysis/DetectionAnnotation.h"

#include <QPainter>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <opencv2/core.hpp>

namespace {

using Status = DetectionReport::TargetStatus;

// The picture's colour on the ring to the right of a mark.
cv::Vec3b ringColourAt(const cv::Mat& picture, const cv::Point2f& at) {
    const int x = cvRound(at.x) + DetectionAnnotation::ringRadius, y = cvRound(at.y);
    if (x < 0 || y < 0 || x >= picture.cols || y >= picture.rows)
        return cv::Vec3b(0, 0, 0);
    return picture.at<cv::Vec3b>(y, x);
}

bool looksLike(const cv::Vec3b& pixel, const cv::Scalar& colour) {
    for (int c = 0; c < 3; ++c) {
        if (std::abs(pixel[c] - static_cast<int>(colour[c])) > 40)
            return false;
    }
    return true;
}

void coverDiscs(QImage& screen, const AnalysisScene& s) {
    QPainter painter(&screen);
    const std::array<float, 40> t = s.targets();
    for (int id : {0, 1, 2, 3, 4, 5, 9, 10, 14}) {
        const float x = t[static_cast<size_t>(2 * id)], y = t[static_cast<size_t>(2 * id + 1)];
        painter.fillRect(QRectF(x - 70.0f, y - 70.0f, 140.0f, 140.0f), Qt::white);
    }
}

class DetectionAnnotationTest : public testing::Test {
protected:
    AnalysisScene scene = AnalysisScene::shortThrow1280x800();
};

TEST_F(DetectionAnnotationTest, MarksFoundAndMissingTargetsWhereTheyAre) {
    scene.photograph(coverDiscs);
    std::array<double, 13> params{};
    ASSERT_EQ(scene.analyse(params), 11);
    const DetectionReport report = scene.result.detection;
    ASSERT_EQ(report.targetCount, 20);
    const cv::Mat picture = DetectionAnnotation::draw(scene.pattern, report);
    ASSERT_EQ(picture.type(), CV_8UC3);
    ASSERT_EQ(picture.size(), scene.pattern.size());

    const std::vector<int> missing = scene.result.failure.missingTargets;
    const std::array<float, 40> targets = scene.targets();
    for (int j = 0; j < 20; ++j) {
        SCOPED_TRACE(j);
        const DetectionReport::TargetMark& mark = report.marks[static_cast<size_t>(j)];
        const bool isMissing = std::find(missing.begin(), missing.end(), j) != missing.end();
        if (!isMissing) {
            EXPECT_EQ(mark.status, Status::Found);
            EXPECT_EQ(mark.found, scene.result.rawPoints[static_cast<size_t>(j)]);
            EXPECT_TRUE(looksLike(ringColourAt(picture, mark.found), DetectionAnnotation::foundColour));
            continue;
        }
        // Placed by the markers' seed (no fit ran), within a ring's radius of the real target.
        EXPECT_EQ(mark.status, Status::Missing);
        ASSERT_TRUE(mark.expectedKnown);
        double x = 0.0, y = 0.0;
        ASSERT_TRUE(VirtualCamera::screenToCamera(scene.truth, targets[static_cast<size_t>(2 * j)],
                                                  targets[static_cast<size_t>(2 * j + 1)], x, y));
        EXPECT_LT(
            std::hypot(static_cast<double>(mark.expected.x) - x, static_cast<double>(mark.expected.y) - y),
            DetectionAnnotation::ringRadius);
        EXPECT_TRUE(looksLike(ringColourAt(picture, mark.expected), DetectionAnnotation::missingColour));
    }
}

// Without four markers on one screen nothing places the missing targets: no ring is guessed.
TEST_F(DetectionAnnotationTest, NoSeedLeavesMissingTargetsUnplaced) {
    scene.photograph([](QImage& screen, const AnalysisScene&) { screen.fill(Qt::white); });
    std::array<double, 13> params{};
    ASSERT_EQ(scene.analyse(params), 0);
    const DetectionReport report = scene.result.detection;
    const cv::Mat picture = DetectionAnnotation::draw(scene.pattern, report);
    cv::Mat channels[3];
    cv::split(picture, channels);
    EXPECT_EQ(cv::norm(channels[0], channels[2], cv::NORM_INF), 0.0) << "grey only: nothing drawn";
    for (int j = 0; j < report.targetCount; ++j)
        EXPECT_FALSE(report.marks[static_cast<size_t>(j)].expectedKnown) << j;
}

// A report from anywhere (a kept run, a fuzzer) is drawn within bounds whatever it holds.
TEST(DetectionAnnotation, DrawsDroppedTargetsAndSurvivesWildReports) {
    DetectionReport report;
    report.targetCount = 3;
    report.marks[0] = {Status::Dropped, cv::Point2f(400.0f, 300.0f), cv::Point2f(410.0f, 300.0f), true};
    report.marks[1] = {Status::Missing, cv::Point2f(), cv::Point2f(1e30f, -1e30f), true};
    report.marks[2] = {Status::Found, cv::Point2f(std::numeric_limits<float>::quiet_NaN(), 5.0f), {}, false};
    const cv::Mat frame(720, 1280, CV_8UC1, cv::Scalar(90));
    cv::Mat picture = DetectionAnnotation::draw(frame, report);
    EXPECT_TRUE(looksLike(ringColourAt(picture, {400.0f, 300.0f}), DetectionAnnotation::droppedColour));

    for (int count : {-7, 1000}) {
        report.targetCount = count;
        picture = DetectionAnnotation::draw(cv::Mat(), report);
        EXPECT_EQ(picture.size(), cv::Size(1280, 720));
        EXPECT_EQ(picture.type(), CV_8UC3);
    }
}

} // namespace
