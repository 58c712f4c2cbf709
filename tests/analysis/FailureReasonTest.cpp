// Every stage of the analysis says why it gave up, for a scene built to fail there; and a camera
// that sees the pattern turned or mirrored names the mounting option that looks wrong.
#include "AnalysisScene.h"

#include "analysis/ImageAnalysis.h"

#include <QPainter>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

using Stage = AnalysisFailure::Stage;
using Cause = AnalysisFailure::Cause;

class FailureReason : public testing::Test {
protected:
    AnalysisFailure analyse() {
        std::array<double, 13> params{};
        scene.analyse(params);
        return scene.result.failure;
    }
    static bool mentions(const AnalysisFailure& f, const char* words) {
        return f.reason.find(words) != std::string::npos;
    }

    AnalysisScene scene = AnalysisScene::shortThrow1280x800();
};

// Paints white over the targets listed in ids.
template <int... ids>
void cover(QImage& screen, const AnalysisScene& s) {
    QPainter painter(&screen);
    const std::array<float, 40> t = s.targets();
    for (int id : {ids...}) {
        const float x = t[static_cast<size_t>(2 * id)], y = t[static_cast<size_t>(2 * id + 1)];
        painter.fillRect(QRectF(x - 70.0f, y - 70.0f, 140.0f, 140.0f), Qt::white);
    }
}

TEST_F(FailureReason, AcceptedFitHasNone) {
    scene.photograph();
    const AnalysisFailure f = analyse();
    EXPECT_FALSE(f.failed());
    EXPECT_EQ(f.cause, Cause::None);
    EXPECT_TRUE(f.missingTargets.empty());
}

TEST_F(FailureReason, NormalisationFindsNoScreenWhenWhiteEqualsBlack) {
    scene.photograph();
    scene.bright = scene.dark.clone();
    const AnalysisFailure f = analyse();
    EXPECT_EQ(f.stage, Stage::Normalisation);
    EXPECT_EQ(f.cause, Cause::TooDark);
    EXPECT_TRUE(mentions(f, "too dark")) << f.reason;
    EXPECT_EQ(f.missingTargets.size(), 20u);
}

TEST_F(FailureReason, MarkersCoveredLeaveTooFewMarkers) {
    scene.photograph(cover<6, 7, 8, 11, 12, 13>);
    const AnalysisFailure f = analyse();
    EXPECT_EQ(f.stage, Stage::Markers);
    EXPECT_EQ(f.cause, Cause::Covered);
    EXPECT_TRUE(mentions(f, "covered")) << f.reason;
    EXPECT_EQ(f.missingTargets.size(), 20u);
    EXPECT_STREQ(AnalysisFailure::stageName(f.stage), "markers");
}

TEST_F(FailureReason, DimScreenIsNamedAsTheCause) {
    scene.photograph(cover<6, 7, 8, 11, 12, 13>);
    // Twelve grey levels between black and white.
    scene.bright = scene.dark + (scene.bright - scene.dark) / 15;
    scene.pattern = scene.dark + (scene.pattern - scene.dark) / 15;
    const AnalysisFailure f = analyse();
    EXPECT_EQ(f.stage, Stage::Markers);
    EXPECT_EQ(f.cause, Cause::TooDark);
    EXPECT_TRUE(mentions(f, "too dark or its contrast too low")) << f.reason;
}

// Markers 6 and 18 drawn at each other's place: both decode, but not where the others put them.
void swapCorners(QImage& screen, const AnalysisScene& s) {
    const std::array<float, 40> t = s.targets();
    const QRect a(static_cast<int>(t[12]) - 60, static_cast<int>(t[13]) - 60, 120, 120);
    const QRect b(static_cast<int>(t[36]) - 60, static_cast<int>(t[37]) - 60, 120, 120);
    const QImage first = screen.copy(a), second = screen.copy(b);
    QPainter painter(&screen);
    painter.drawImage(a.topLeft(), second);
    painter.drawImage(b.topLeft(), first);
}

TEST_F(FailureReason, MisplacedMarkersAreDroppedWhileFiveRemain) {
    scene.photograph(swapCorners);
    std::array<double, 13> params{};
    EXPECT_EQ(scene.analyse(params), 18) << "all but the two swapped markers";
    EXPECT_TRUE(scene.result.ok);
    double rms = 0.0, max = 0.0;
    scene.mappingError(params, rms, max);
    EXPECT_LT(rms, 1.0);
}

TEST_F(FailureReason, SeedRejectsMarkersOffOneScreen) {
    // Five markers left, 6 and 8 swapped (no map, turned or mirrored, puts them there): dropping
    // both would leave three.
    scene.photograph([](QImage& screen, const AnalysisScene& s) {
        cover<7, 11, 13, 17>(screen, s);
        const std::array<float, 40> t = s.targets();
        const QRect a(static_cast<int>(t[12]) - 60, static_cast<int>(t[13]) - 60, 120, 120);
        const QRect b(static_cast<int>(t[16]) - 60, static_cast<int>(t[17]) - 60, 120, 120);
        const QImage first = screen.copy(a), second = screen.copy(b);
        QPainter painter(&screen);
        painter.drawImage(a.topLeft(), second);
        painter.drawImage(b.topLeft(), first);
    });
    const AnalysisFailure f = analyse();
    EXPECT_EQ(f.stage, Stage::Seed);
    EXPECT_EQ(f.cause, Cause::StrayMarker);
    EXPECT_TRUE(mentions(f, "do not lie on one screen")) << f.reason;
    EXPECT_FALSE(scene.result.ok);
}

TEST_F(FailureReason, DiscsCoveredAreListed) {
    // Nine discs covered leave eleven targets, one fewer than the automatic fit needs.
    scene.photograph(cover<0, 1, 2, 3, 4, 5, 9, 10, 14>);
    const AnalysisFailure f = analyse();
    EXPECT_EQ(f.stage, Stage::Discs);
    EXPECT_EQ(f.cause, Cause::Covered);
    EXPECT_TRUE(mentions(f, "covered")) << f.reason;
    EXPECT_EQ(f.missingTargets, (std::vector<int>{0, 1, 2, 3, 4, 5, 9, 10, 14}));
}

TEST_F(FailureReason, DiscsOutsideTheCameraViewAreNamedSo) {
    // The screen shifted so far left that its left column is outside the frame; the
    // semi-automatic fit needs every target.
    scene.photograph();
    // The camera turned right: all three frames move left by 250 pixels, the room fills the rest.
    for (cv::Mat* frame : {&scene.dark, &scene.bright, &scene.pattern}) {
        cv::Mat moved(frame->size(), CV_8UC1, cv::Scalar(scene.dark.at<uchar>(0, 1279)));
        (*frame)(cv::Rect(250, 0, 1030, 720)).copyTo(moved(cv::Rect(0, 0, 1030, 720)));
        *frame = moved;
    }
    AnalysisSetup semiAutomatic = scene.setup();
    semiAutomatic.tuning = true;
    const AnalysisResult r = ::analyse({scene.dark, scene.bright, scene.pattern}, semiAutomatic);
    EXPECT_LT(r.found, 20);
    EXPECT_FALSE(r.ok);
    // The automatic fit it falls back to cannot place the column it lacks either.
    const AnalysisFailure f = r.failure;
    EXPECT_EQ(f.stage, Stage::FitAcceptance);
    EXPECT_EQ(f.cause, Cause::OutsideView);
    EXPECT_TRUE(mentions(f, "outside the camera view")) << f.reason;
    EXPECT_NE(std::find(f.missingTargets.begin(), f.missingTargets.end(), 0), f.missingTargets.end());
}

TEST_F(FailureReason, FitAcceptanceReportsTheFitError) {
    scene.photograph();
    // Detections that no camera model explains.
    AnalysisSetup setup = scene.setup();
    for (size_t j : {0u, 4u, 15u, 19u, 7u, 12u})
        setup.faults.detectionShift[j] = cv::Point2f(25.0f, -25.0f);
    const AnalysisResult r = ::analyse({scene.dark, scene.bright, scene.pattern}, setup);
    EXPECT_EQ(r.found, 20);
    EXPECT_FALSE(r.ok);
    const AnalysisFailure f = r.failure;
    EXPECT_EQ(f.stage, Stage::FitAcceptance);
    EXPECT_EQ(f.cause, Cause::FitInaccurate);
    EXPECT_TRUE(mentions(f, "fit error is too large")) << f.reason;
    EXPECT_TRUE(f.missingTargets.empty());
}

TEST_F(FailureReason, UnknownLensHasNoTargets) {
    scene.photograph();
    scene.lens = 0;
    const AnalysisFailure f = analyse();
    EXPECT_EQ(f.stage, Stage::Markers);
    EXPECT_EQ(f.cause, Cause::UnknownLens);
    EXPECT_TRUE(mentions(f, "lens type")) << f.reason;
}

struct MountingCase {
    bool cameraCeiling, cameraRear;
    int drawnCeiling, drawnRear;
    const char* words;
    Cause cause;
};

class MountingCheck : public testing::TestWithParam<MountingCase> {};

TEST_P(MountingCheck, NamesTheOptionThatLooksWrong) {
    const MountingCase& c = GetParam();
    AnalysisScene scene;
    scene.lens = 1;
    scene.width = 1280;
    scene.height = 800;
    scene.ceiling = c.cameraCeiling;
    scene.rear = c.cameraRear;
    scene.drawnCeiling = c.drawnCeiling;
    scene.drawnRear = c.drawnRear;
    scene.photograph();
    std::array<double, 13> params{};
    EXPECT_EQ(scene.analyse(params), 0) << "a turned or mirrored record would send touches astray";
    EXPECT_FALSE(scene.result.ok);
    const AnalysisFailure f = scene.result.failure;
    EXPECT_EQ(f.stage, Stage::Markers);
    EXPECT_NE(f.reason.find(c.words), std::string::npos) << f.reason;
    EXPECT_EQ(f.cause, c.cause);
}

INSTANTIATE_TEST_SUITE_P(
    WrongOptions, MountingCheck,
    testing::Values(
        // A rear camera with the Rear option off, and a front camera with it on: seen mirrored.
        MountingCase{false, true, 0, 0, "mirrored: the Rear Screen option looks wrong",
                     Cause::PatternMirrored},
        MountingCase{false, false, 0, 1, "mirrored: the Rear Screen option looks wrong",
                     Cause::PatternMirrored},
        // A ceiling camera with the Ceiling option off, and the other way round: seen turned.
        MountingCase{true, false, 0, 0, "upside down: the Ceiling option looks wrong", Cause::PatternTurned},
        MountingCase{false, false, 1, 0, "upside down: the Ceiling option looks wrong", Cause::PatternTurned},
        MountingCase{true, true, 0, 0, "the Ceiling and Rear Screen options look wrong",
                     Cause::PatternMirroredAndTurned},
        // Both options ticked for a floor camera in front: seen mirrored and turned, both to untick.
        MountingCase{false, false, 1, 1, "the Ceiling and Rear Screen options look wrong",
                     Cause::PatternMirroredAndTurned},
        // A ceiling camera with Rear ticked instead of Ceiling: both options are off their mark.
        MountingCase{true, false, 0, 1, "the Ceiling and Rear Screen options look wrong",
                     Cause::PatternMirroredAndTurned}));

} // namespace
