#include "analysis/FailureDiagnosis.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace {

using Stage = AnalysisFailure::Stage;
using Cause = AnalysisFailure::Cause;

const char* const tooDark = "the screen is too dark or its contrast too low";
const char* const covered = "targets are covered (a hand or a cable?) or too blurred to recognise";
const char* const outside = "part of the screen is outside the camera view";

bool found(const cv::Point2f& p) {
    return p.x > 3.0f && p.y > 3.0f;
}

AnalysisFailure::Cause causeOfView(PatternView::Orientation view) {
    switch (view) {
    case PatternView::Turned:
        return AnalysisFailure::Cause::PatternTurned;
    case PatternView::Mirrored:
        return AnalysisFailure::Cause::PatternMirrored;
    case PatternView::MirroredAndTurned:
        return AnalysisFailure::Cause::PatternMirroredAndTurned;
    case PatternView::Upright:
        break;
    }
    return AnalysisFailure::Cause::None;
}

} // namespace

AnalysisFailure FailureDiagnosis::diagnose(const Facts& facts) {
    AnalysisFailure failure;
    if (facts.fitOk)
        return failure;
    const DetectionReport empty;
    const DetectionReport& detection = facts.detection ? *facts.detection : empty;
    const int count =
        facts.count < 0
            ? 0
            : (facts.count > DetectionReport::maxTargets ? DetectionReport::maxTargets : facts.count);
    bool anyOutside = false;
    for (int j = 0; j < count; ++j) {
        const size_t k = static_cast<size_t>(j);
        if (!facts.raw || !found((*facts.raw)[k]) || j == facts.droppedTarget) {
            failure.missingTargets.push_back(j);
            anyOutside = anyOutside || detection.outsideView[k];
        }
    }
    const bool dim = facts.brightRange < dimRange;

    if (count == 0) {
        failure.stage = Stage::Markers;
        failure.cause = Cause::UnknownLens;
        failure.reason = "no targets to look for: the lens type is not one the analysis knows";
    } else if (facts.projectedFraction < minimumProjected) {
        failure.stage = Stage::Normalisation;
        failure.cause = Cause::TooDark;
        failure.reason = std::string(tooDark) + ": the white screen is hardly brighter than the black one";
    } else if (detection.viewKnown && detection.view != PatternView::Upright) {
        failure.stage = Stage::Markers;
        failure.cause = causeOfView(detection.view);
        failure.reason = PatternView::reason(detection.view);
    } else if (!detection.seedSolved) {
        failure.stage = detection.markersFound >= 4 ? Stage::Seed : Stage::Markers;
        failure.cause =
            detection.markersFound >= 4 ? Cause::StrayMarker : (dim ? Cause::TooDark : Cause::Covered);
        if (detection.markersFound >= 4)
            failure.reason = "the markers found do not lie on one screen: one was misread or another "
                             "marker is in view";
        else
            failure.reason = dim ? tooDark : covered;
        if (detection.markersFound < 4 && !dim)
            failure.reason = "too few markers recognised: " + failure.reason;
    } else if (facts.fitRan && facts.fitInconsistent) {
        failure.stage = Stage::FitAcceptance;
        failure.cause = Cause::FitInaccurate;
        failure.reason = "the targets found do not fit one camera model: one is likely found off its place, "
                         "partly covered (a hand or a cable?)";
    } else if (facts.fitRan && facts.fitSpread > 0.0) {
        failure.stage = Stage::FitAcceptance;
        failure.cause = anyOutside ? Cause::OutsideView : Cause::Covered;
        char text[200];
        std::snprintf(text, sizeof text,
                      "the targets found do not cover enough of the screen to place the rest (uncertain by "
                      "%.1f screen pixels): %s",
                      facts.fitSpread, anyOutside ? outside : covered);
        failure.reason = text;
    } else if (facts.fitRan) {
        failure.stage = Stage::FitAcceptance;
        failure.cause = Cause::FitInaccurate;
        char text[160];
        const double mean = facts.fitPoints > 0 ? std::sqrt(facts.fitError / facts.fitPoints) : 0.0;
        std::snprintf(text, sizeof text,
                      "the fit error is too large (%.1f screen pixels per target): the detections do not "
                      "fit one camera model",
                      mean);
        failure.reason = text;
    } else {
        failure.stage = Stage::Discs;
        failure.cause = anyOutside ? Cause::OutsideView : (dim ? Cause::TooDark : Cause::Covered);
        failure.reason = anyOutside ? outside : (dim ? tooDark : covered);
    }
    return failure;
}
