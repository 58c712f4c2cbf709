// The virtual camera: forward and inverse mapping agree, mounting turns the view as the module's
// camera sees it, and frames are reproducible.
#include "sim/VirtualCamera.h"
#include "calibration/PatternGeometry.h"
#include "sim/VirtualScene.h"

#include <gtest/gtest.h>
#include <opencv2/core.hpp>

namespace {

TEST(VirtualCamera, InverseMappingMatchesTheModel) {
    for (eLens lens : {1, 2, 3}) {
        VirtualPose pose;
        pose.keystone = 0.05;
        pose.rollDegrees = -1.5;
        const MappingModel model = VirtualScene::groundTruth(1920, 1080, lens, 10, pose);
        for (double sx : {0.0, 500.0, 1919.0}) {
            for (double sy : {0.0, 540.0, 1079.0}) {
                double cx = 0.0, cy = 0.0;
                ASSERT_TRUE(VirtualCamera::screenToCamera(model, sx, sy, cx, cy));
                EXPECT_GT(cx, 0.0);
                EXPECT_LT(cx, 1279.0);
                EXPECT_GT(cy, 0.0);
                EXPECT_LT(cy, 719.0);
                double bx = 0.0, by = 0.0;
                model.cameraToScreen(cx, cy, bx, by);
                EXPECT_NEAR(bx, sx, 1e-6);
                EXPECT_NEAR(by, sy, 1e-6);
            }
        }
    }
}

TEST(VirtualCamera, MountingTurnsThePatternFrame) {
    const MappingModel upright = VirtualScene::groundTruth(1280, 800, 1, 10, VirtualPose{});
    const PatternGeometry::AutomaticTargets t = PatternGeometry::automaticTargets(1280, 800);
    double cx = 0.0, cy = 0.0;
    ASSERT_TRUE(VirtualCamera::screenToCamera(upright, t[0].x(), t[0].y(), cx, cy));
    // Where the upright camera sees target 0, a ceiling camera sees the physical target 19 and a
    // rear camera target 4, the slots the window draws there for those mountings.
    const struct {
        bool ceiling, rear;
        int physical;
    } cases[] = {{true, false, 19}, {false, true, 4}, {true, true, 15}, {false, false, 0}};
    for (const auto& c : cases) {
        const MappingModel mounted = VirtualScene::mounted(upright, 1280, 800, c.ceiling, c.rear);
        double x = 0.0, y = 0.0;
        mounted.cameraToScreen(cx, cy, x, y);
        EXPECT_NEAR(x, t[static_cast<size_t>(c.physical)].x(), 1e-6);
        EXPECT_NEAR(y, t[static_cast<size_t>(c.physical)].y(), 1e-6);
    }
}

TEST(VirtualCamera, FramesAreReproducibleAndSized) {
    const MappingModel model = VirtualScene::groundTruth(1024, 768, 2, 10, VirtualPose{});
    const VirtualCamera camera(model, 1024, 768, 2);
    cv::Mat screen(768, 1024, CV_8UC1, cv::Scalar(255));
    screen(cv::Rect(100, 100, 300, 200)).setTo(0);
    VirtualPhotometry light;
    light.seed = 42;
    const cv::Mat a = camera.render(screen, light);
    const cv::Mat b = camera.render(screen, light);
    ASSERT_EQ(a.size(), cv::Size(1280, 720));
    ASSERT_EQ(a.type(), CV_8UC1);
    EXPECT_EQ(cv::countNonZero(a != b), 0);
    light.seed = 43;
    EXPECT_GT(cv::countNonZero(a != camera.render(screen, light)), 0);
    const cv::Mat live = camera.renderLive(screen, light);
    EXPECT_EQ(live.size(), cv::Size(640, 360));
    EXPECT_TRUE(camera.render(cv::Mat(10, 10, CV_8UC1), light).empty()) << "wrong screen size";

    // Photometry: the screen centre is white plus ambient, the frame corner off-screen is ambient.
    light.noiseSigma = 0.0;
    light.blurSigma = 0.0;
    const cv::Mat white = camera.renderUniform(255, light);
    EXPECT_NEAR(white.at<uchar>(360, 640), light.ambient + light.white, 2.0);
    EXPECT_NEAR(white.at<uchar>(0, 0), light.ambient, 1.0);
}

} // namespace
