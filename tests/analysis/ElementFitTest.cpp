// One element placed by fitting it as drawn: drawn here with a known sub-pixel centre, softened,
// on a lit level that slopes, with and without noise, and a marker in each way it can lie.
#include "AnalysisScene.h"

#include "analysis/AnalysisResult.h"
#include "analysis/ElementFit.h"
#include "analysis/MarkerPass.h"

#include <cmath>
#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

namespace {

// Camera and screen the same: a model without distortion and with the identity projective map.
DetectionMapping identity() {
    MappingModel model;
    model.p[MappingModel::H0] = 1.0;
    model.p[MappingModel::H4] = 1.0;
    model.p[MappingModel::Cx] = 640.0;
    model.p[MappingModel::Cy] = 360.0;
    return DetectionMapping(model);
}

// A 240 x 240 image: lit at 180 + slope * (x - 120), dark where inside(x, y) holds, each pixel
// the share of 8 x 8 sub-samples inside, then a blur (sigma 1 unless given) and optional noise.
cv::Mat draw(const std::function<bool(double, double)>& inside, double slope = 0.0, double noise = 0.0,
             std::uint64_t seed = 7, double blur = 1.0) {
    cv::Mat image(240, 240, CV_64FC1);
    for (int y = 0; y < image.rows; ++y) {
        for (int x = 0; x < image.cols; ++x) {
            int dark = 0;
            for (int sy = 0; sy < 8; ++sy) {
                for (int sx = 0; sx < 8; ++sx)
                    dark += inside(x - 0.5 + (sx + 0.5) / 8.0, y - 0.5 + (sy + 0.5) / 8.0) ? 1 : 0;
            }
            const double lit = 180.0 + slope * (x - 120);
            image.at<double>(y, x) = lit - (lit - 30.0) * dark / 64.0;
        }
    }
    cv::GaussianBlur(image, image, cv::Size(), blur);
    if (noise > 0.0) {
        cv::Mat n(image.size(), CV_64FC1);
        cv::RNG random(seed);
        random.fill(n, cv::RNG::NORMAL, 0.0, noise);
        image += n;
    }
    cv::Mat grey;
    image.convertTo(grey, CV_8UC1);
    return grey;
}

cv::Point2d fitDisc(const cv::Mat& image, const cv::Point2d& start) {
    ElementFit::Shape shape;
    shape.discRadius = 30.0;
    ElementFit::Window window;
    window.camera = start;
    window.radius = 42.0;
    window.blur = 1.0;
    cv::Point2d found(-1.0, -1.0);
    EXPECT_TRUE(ElementFit::fit(image, identity(), shape, window, found));
    return found;
}

} // namespace

TEST(ElementFit, DiscIsPlacedToAHundredthOfAPixel) {
    const cv::Point2d centre(120.37, 119.81);
    const auto disc = [&](double x, double y) {
        return std::hypot(x - centre.x, y - centre.y) < 30.0;
    };
    // Started most of a pixel off, as the outlines may leave it.
    cv::Point2d found = fitDisc(draw(disc), {121.0, 119.2});
    EXPECT_NEAR(found.x, centre.x, 0.01);
    EXPECT_NEAR(found.y, centre.y, 0.01);

    // A lit level that falls by a tenth across the window weighs one side's edge less: the plane
    // and the contrast that follow it keep the centre.
    found = fitDisc(draw(disc, -0.2), {121.0, 119.2});
    EXPECT_NEAR(found.x, centre.x, 0.02);
    EXPECT_NEAR(found.y, centre.y, 0.02);

    // Noise of sigma 12 on a 150-level step: averaged over the whole edge.
    found = fitDisc(draw(disc, 0.0, 12.0), {121.0, 119.2});
    EXPECT_NEAR(found.x, centre.x, 0.08);
    EXPECT_NEAR(found.y, centre.y, 0.08);
}

TEST(ElementFit, DiscNearTheImageBorderIsFittedOnTheRingInView) {
    // The window's ring of screen leaves the image on the left, the disc itself does not: it is
    // fitted on what is in view, as precisely as in the middle.
    const cv::Point2d centre(35.37, 119.81);
    const cv::Mat image =
        draw([&](double x, double y) { return std::hypot(x - centre.x, y - centre.y) < 30.0; });
    const cv::Point2d found = fitDisc(image, {36.0, 119.2});
    EXPECT_NEAR(found.x, centre.x, 0.02);
    EXPECT_NEAR(found.y, centre.y, 0.02);
}

TEST(ElementFit, ReportedVarianceMatchesTheScatterOverNoiseDraws) {
    // The same disc under thirty draws of noise: the variance each fit reports from its own
    // residuals is what the centres really scatter by (the fits weigh detections by it). Also
    // through a camera more than twice as blurred as assumed: the fit finds the edges' softness,
    // where a model of the assumed one reported half the true variance.
    const cv::Point2d centre(120.37, 119.81);
    const auto disc = [&](double x, double y) {
        return std::hypot(x - centre.x, y - centre.y) < 30.0;
    };
    for (const double blur : {1.0, 2.3}) {
        const cv::Mat clean = draw(disc, 0.0, 0.0, 7, blur);
        ElementFit::Shape shape;
        shape.discRadius = 30.0;
        ElementFit::Window window;
        window.camera = {121.0, 119.2};
        window.radius = 42.0;
        double scatter = 0.0, reported = 0.0;
        constexpr int draws = 30;
        for (int k = 0; k < draws; ++k) {
            cv::Mat noise(clean.size(), CV_32FC1), noisy;
            cv::RNG(100 + k).fill(noise, cv::RNG::NORMAL, 0.0, 20.0);
            clean.convertTo(noisy, CV_32FC1);
            noisy += noise;
            noisy.convertTo(noisy, CV_8UC1);
            cv::Point2d found;
            double variance = -1.0;
            ASSERT_TRUE(ElementFit::fit(noisy, identity(), shape, window, found, &variance));
            scatter +=
                (found.x - centre.x) * (found.x - centre.x) + (found.y - centre.y) * (found.y - centre.y);
            reported += variance;
        }
        EXPECT_GT(reported, 0.0);
        EXPECT_NEAR(std::sqrt(scatter / reported), 1.0, 0.3) << "blur " << blur;
    }
}

TEST(ElementFit, LevelsFromTheWhiteAndBlackFramesHoldTheCentreAndNarrowItsScatter) {
    // Light that falls steeply across the window, and a pattern frame exposed 6 % brighter than
    // the white and black frames: their levels, scaled, are what the element lies between.
    const cv::Point2d centre(120.37, 119.81);
    const auto disc = [&](double x, double y) {
        return std::hypot(x - centre.x, y - centre.y) < 30.0;
    };
    const auto nothing = [](double, double) {
        return false;
    };
    const auto everything = [](double, double) {
        return true;
    };
    const cv::Mat white = draw(nothing, -0.4), black = draw(everything, -0.4);
    cv::Mat pattern;
    draw(disc, -0.4).convertTo(pattern, CV_8UC1, 1.06);
    ElementFit::Shape shape;
    shape.discRadius = 30.0;
    ElementFit::Window window;
    window.camera = {121.0, 119.2};
    window.radius = 42.0;
    window.white = &white;
    window.black = &black;
    cv::Point2d found;
    ASSERT_TRUE(ElementFit::fit(pattern, identity(), shape, window, found));
    EXPECT_NEAR(found.x, centre.x, 0.02);
    EXPECT_NEAR(found.y, centre.y, 0.02);

    // A dim capture under noise, every frame its own draw, the disc near the image's border so
    // its ring of screen is cut on one side: with the levels' slopes known, the centre no longer
    // shares its edges' information with them.
    const cv::Point2d nearBorder(33.37, 119.81);
    const auto edgeDisc = [&](double x, double y) {
        return std::hypot(x - nearBorder.x, y - nearBorder.y) < 30.0;
    };
    window.camera = {34.0, 119.2};
    double framed = 0.0, alone = 0.0;
    constexpr int draws = 30;
    for (int k = 0; k < draws; ++k) {
        cv::Mat noisyWhite, noisyBlack, noisyPattern;
        draw(nothing, 0.0, 18.0, 300 + k).convertTo(noisyWhite, CV_8UC1, 0.25, 20.0);
        draw(everything, 0.0, 18.0, 400 + k).convertTo(noisyBlack, CV_8UC1, 0.25, 20.0);
        draw(edgeDisc, 0.0, 18.0, 500 + k).convertTo(noisyPattern, CV_8UC1, 0.25, 20.0);
        window.white = &noisyWhite;
        window.black = &noisyBlack;
        ASSERT_TRUE(ElementFit::fit(noisyPattern, identity(), shape, window, found));
        framed += std::pow(found.x - nearBorder.x, 2) + std::pow(found.y - nearBorder.y, 2);
        window.white = window.black = nullptr;
        ASSERT_TRUE(ElementFit::fit(noisyPattern, identity(), shape, window, found));
        alone += std::pow(found.x - nearBorder.x, 2) + std::pow(found.y - nearBorder.y, 2);
    }
    EXPECT_LT(std::sqrt(framed / alone), 0.9);
}

TEST(ElementFit, MarkerIsPlacedInEachWayItCanLie) {
    const MarkerPass markers;
    const int id = 12;
    const std::array<bool, 36> cells = markers.blackCells(id);
    const double cell = 10.0;
    const cv::Point2d centre(119.62, 120.27);
    // Its own x and y along each screen direction (turned, mirrored, both).
    const cv::Point2d axes[][2] = {
        {{cell, 0}, {0, cell}}, {{-cell, 0}, {0, -cell}}, {{-cell, 0}, {0, cell}}, {{0, cell}, {cell, 0}}};
    for (const auto& axis : axes) {
        const auto marker = [&](double x, double y) {
            const cv::Point2d d(x - centre.x, y - centre.y);
            const double u = d.dot(axis[0]) / (cell * cell) + 3.0;
            const double v = d.dot(axis[1]) / (cell * cell) + 3.0;
            if (u < 0.0 || v < 0.0 || u >= 6.0 || v >= 6.0)
                return false;
            return cells[static_cast<size_t>(6 * static_cast<int>(v) + static_cast<int>(u))];
        };
        ElementFit::Shape shape;
        shape.marker = true;
        shape.blackCells = cells;
        shape.cellX = axis[0];
        shape.cellY = axis[1];
        ElementFit::Window window;
        window.camera = {120.5, 119.6};
        window.radius = 50.0;
        window.blur = 1.0;
        cv::Point2d found(-1.0, -1.0);
        ASSERT_TRUE(ElementFit::fit(draw(marker, 0.1), identity(), shape, window, found));
        EXPECT_NEAR(found.x, centre.x, 0.02) << axis[0] << axis[1];
        EXPECT_NEAR(found.y, centre.y, 0.02) << axis[0] << axis[1];
    }
}

TEST(ElementFit, RefusesWhatItCannotMeasure) {
    const auto disc = [](double x, double y) {
        return std::hypot(x - 120.0, y - 120.0) < 30.0;
    };
    const cv::Mat image = draw(disc);
    ElementFit::Shape shape;
    shape.discRadius = 30.0;
    ElementFit::Window window;
    window.radius = 42.0;
    cv::Point2d found;
    // The window would leave the image.
    window.camera = {20.0, 120.0};
    EXPECT_FALSE(ElementFit::fit(image, identity(), shape, window, found));
    // A lit screen with nothing drawn on it.
    window.camera = {120.0, 120.0};
    const cv::Mat blank(240, 240, CV_8UC1, cv::Scalar(180));
    EXPECT_FALSE(ElementFit::fit(blank, identity(), shape, window, found));
    // A bright disc on a dark screen is not a pattern element.
    cv::Mat inverted;
    cv::bitwise_not(image, inverted);
    EXPECT_FALSE(ElementFit::fit(inverted, identity(), shape, window, found));
}

// Photographs the scene, analyses it with every target found, and measures the fitted model
// against the truth.
::testing::AssertionResult photographedAndFitted(AnalysisScene& scene, double& rms, double& max) {
    scene.photograph();
    std::array<double, 13> params{};
    const int found = scene.analyse(params);
    if (found != 20 || !scene.result.ok)
        return ::testing::AssertionFailure() << found << " found; " << scene.result.failure.reason;
    scene.mappingError(params, rms, max);
    return ::testing::AssertionSuccess();
}

TEST(ElementFitScene, NoisyLargeScreenUnderAStrongLensIsPlacedToTheDrawing) {
    // A 2560 x 1440 screen, a lens whose distortion is well off the preset's, a dim screen in a
    // bright room with noise sigma 3: one camera pixel spans about three screen pixels, so every
    // hundredth of a camera pixel in a centre shows (0.05 and at most 0.17 here).
    AnalysisScene scene;
    scene.width = 2560;
    scene.height = 1440;
    scene.pose.distortionScale = 1.12;
    scene.pose.fill = 0.75;
    scene.pose.keystone = 0.05;
    scene.pose.rollDegrees = -4.0;
    scene.light.black = 10.0;
    scene.light.white = 60.0;
    scene.light.vignetting = 0.2;
    scene.light.ambient = 12.0;
    scene.light.noiseSigma = 3.0;
    double rms = 0.0, max = 0.0;
    ASSERT_TRUE(photographedAndFitted(scene, rms, max));
    EXPECT_LT(rms, 0.1);
    EXPECT_LT(max, 0.3);
}

TEST(ElementFitScene, BlurredCameraOnADimScreenIsPlacedToWhatItsNoiseAllows) {
    // A 3840 x 2160 screen 18 levels bright under noise sigma 4, through a camera blurred nearly
    // twice as much as the fit expects: four screen pixels to a camera pixel, and noise is all
    // that limits the centres. Fitted between levels of their own and with the assumed softness,
    // they left 0.21; with the white and black frames' levels and the softness found, 0.17.
    AnalysisScene scene;
    scene.width = 3840;
    scene.height = 2160;
    scene.lens = 1;
    scene.pose.fill = 0.8;
    scene.pose.rollDegrees = 6.0;
    scene.light.black = 8.0;
    scene.light.white = 26.0;
    scene.light.ambient = 5.0;
    scene.light.vignetting = 0.35;
    scene.light.blurSigma = 1.8;
    scene.light.noiseSigma = 4.0;
    double rms = 0.0, max = 0.0;
    ASSERT_TRUE(photographedAndFitted(scene, rms, max));
    EXPECT_LT(rms, 0.19);
}
