#include "analysis/PatternAnalyzer.h"

#include "analysis/CirclePass.h"
#include "analysis/DefaultTweakTables.h"
#include "analysis/DetectionMapping.h"
#include "analysis/DrawnPattern.h"
#include "analysis/ElementPlacement.h"
#include "analysis/FailureDiagnosis.h"
#include "analysis/FitResiduals.h"
#include "analysis/FitUncertainty.h"
#include "analysis/HomographySeed.h"
#include "analysis/LensPreset.h"
#include "analysis/MappingFit.h"
#include "analysis/MarkerLayout.h"
#include "analysis/MarkerPass.h"
#include "analysis/ThresholdCandidates.h"
#include "analysis/ViewJudgement.h"

#include <QLoggingCategory>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <opencv2/core.hpp>
#include <vector>

// Silent unless enabled (QT_LOGGING_RULES="vexaro.analysis.debug=true").
Q_LOGGING_CATEGORY(lcAnalysis, "vexaro.analysis", QtWarningMsg)

namespace {

double msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

int clampCount(int count) {
    return std::clamp(count, 0, PatternAnalyzer::maxTargets);
}

} // namespace

bool PatternAnalyzer::normalisePattern(const cv::Mat& dark, const cv::Mat& bright, const cv::Mat& pattern,
                                       cv::Mat& out) {
    return normaliser.normalise(dark, bright, pattern, out);
}

void PatternAnalyzer::clearDetections() {
    rawPoints.fill({0.0f, 0.0f});
    detectionVariances.fill(0.0);
    report = DetectionReport();
    clearCorrected();
}

void PatternAnalyzer::clearCorrected() {
    correctedPoints.fill({0.0f, 0.0f});
    fitOk = false;
    fitError = 0.0;
    fitIterations = 0;
    fitRan = false;
    fitPoints = 0;
    fitSpread = 0.0;
    refusedForSpread = false;
    refusedForResiduals = false;
    droppedTarget = -1;
    lastFitMatched = false;
}

void PatternAnalyzer::setTargets(const float* points, int count, int width, int height, eLens lensType,
                                 int prevCount, const float* prevOffsets, int firmwareMinor) {
    const int n = points ? clampCount(count) : 0;
    targetXY.fill(0.0);
    for (int i = 0; i < 2 * n; ++i)
        targetXY[static_cast<size_t>(i)] = static_cast<double>(points[i]);
    targetCount = n;
    mountCeiling = 0;
    mountRear = 0;
    screenWidth = static_cast<std::uint16_t>(width);
    screenHeight = static_cast<std::uint16_t>(height);
    lens = static_cast<std::uint8_t>(lensType);
    pairWithDrawnCentres();
    // The firmware minor selects the wide lens's preset as well as its default offsets, so it is
    // kept also when stored offsets are given; otherwise a module with stored offsets would be
    // searched and fitted with the other firmware's lens.
    if (lens == 3)
        fwMinor = firmwareMinor;
    factoryOffsets = prevCount < 1 || !prevOffsets;
    if (factoryOffsets) {
        tweakTable.fill({0.0f, 0.0f});
        const DefaultTweakTables::Table& table = DefaultTweakTables::forLens(lens, fwMinor);
        for (size_t i = 0; i < DefaultTweakTables::count; ++i)
            tweakTable[i] = {static_cast<float>(table.x[i]), static_cast<float>(table.y[i])};
    } else {
        const int stored = clampCount(prevCount);
        for (int i = 0; i < stored; ++i)
            tweakTable[static_cast<size_t>(i)] = {prevOffsets[2 * i], prevOffsets[2 * i + 1]};
    }
}

int PatternAnalyzer::autoCount() const {
    return clampCount(automaticTargets);
}

void PatternAnalyzer::setMounting(int ceiling, int rear) {
    mountCeiling = ceiling;
    mountRear = rear;
    pairWithDrawnCentres();
}

void PatternAnalyzer::pairWithDrawnCentres() {
    drawnXY = targetXY;
    penXY = targetXY;
    if (targetCount != DrawnPattern::count)
        return;
    const DrawnPattern::Centres centres =
        DrawnPattern::centres(targetXY.data(), screenWidth, screenHeight, mountCeiling, mountRear);
    const DrawnPattern::Centres pens =
        DrawnPattern::pixelCentres(targetXY.data(), screenWidth, screenHeight, mountCeiling, mountRear);
    for (size_t k = 0; k < centres.size(); ++k) {
        drawnXY[2 * k] = centres[k].x;
        drawnXY[2 * k + 1] = centres[k].y;
        penXY[2 * k] = pens[k].x;
        penXY[2 * k + 1] = pens[k].y;
    }
}

void PatternAnalyzer::detectTargets(const cv::Mat& image) {
    const int count = autoCount();
    for (int i = 0; i < count; ++i) {
        rawPoints[static_cast<size_t>(i)] = {0.0f, 0.0f};
        correctedPoints[static_cast<size_t>(i)] = {0.0f, 0.0f};
    }
    report = DetectionReport();
    report.ran = true;
    if (image.type() != CV_8UC1 || image.empty())
        return;

    const LensPreset preset = LensPreset::forLens(lens, fwMinor);
    const MappingModel presetModel = preset.model();

    const std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
    // A smoothed capture's histogram is two broad peaks: the levels of a clean one would all sit on
    // the lit peak, where the binary image is noise; the levels between the peaks outline the
    // pattern instead.
    std::vector<int> candidates;
    if (normaliser.lastResultSmoothing() > 0.0 && normaliser.lastSize() == image.size())
        candidates = thresholdCandidatesBetweenModes(image, smoothedLevels);
    if (candidates.empty())
        candidates = thresholdCandidates(image);
    MarkerPass markers;
    markers.run(image, candidates);
    qCDebug(lcAnalysis) << "marker pass:" << candidates.size() << "grey levels," << msSince(started) << "ms";

    const MarkerLayout layout(targetXY.data(), count, presetModel,
                              CirclePass::discRadius(screenWidth, screenHeight));
    MarkerLayout::Centres markerCentres{};
    for (int j = 0; j < count; ++j) {
        if (MarkerPass::isMarkerTarget(j))
            markerCentres[static_cast<size_t>(j)] = markers.centre(j);
    }
    HomographySeed seed = layout.seedFrom(markerCentres);
    report.markersFound = seed.count();
    ViewJudgement::judgeLayout(image, candidates, markerCentres, layout, presetModel, report);
    if (!seed.solve()) {
        qCDebug(lcAnalysis) << "only" << seed.count() << "marker targets found: no targets";
        return; // fewer than four markers: every target stays missing
    }
    // The markers of one screen sit on the seed within a few pixels; a marker a disc radius off it
    // was misread or belongs to something else, and every target found through a seed that holds
    // it would be misplaced. The largest subset of at least five markers that agree is kept (with
    // nine markers at most 382 subsets of five or more, each a 9 x 9 solve).
    const MarkerLayout::Flags dropped = layout.dropped(markerCentres);
    report.seedSolved = std::any_of(dropped.begin(), dropped.end(), [](bool d) { return !d; });
    for (int j = 0; j < count; ++j) {
        if (dropped[static_cast<size_t>(j)])
            markerCentres[static_cast<size_t>(j)] = {0.0, 0.0};
    }
    if (report.seedSolved) {
        seed = layout.seedFrom(markerCentres);
        seed.solve();
    }
    normalisedSeed = seed.asStart();
    if (!report.seedSolved) {
        qCDebug(lcAnalysis) << "the markers do not lie on one projective map: no targets";
        return;
    }
    if (report.view != PatternView::Upright) {
        // A turned or mirrored layout fits a projective map as well as the upright one, but the
        // record would then move every touch to the opposite side: no targets.
        qCDebug(lcAnalysis) << PatternView::reason(report.view);
        return;
    }
    const DetectionMapping mapping(preset, seed);

    MarkerLayout::Centres centres = layout.refinedCentres(markers, mapping, dropped);

    // The seed was solved from the area centroids of the marker outlines. Under a strong lens
    // these lie a few camera pixels from the marker centres, and the seed then misplaces and
    // misjudges the size of the discs at the screen edges, which the search drops. The refined
    // centres are true to a fraction of a pixel, so the discs are searched through a seed solved
    // again from them. (The retained fit start stays that of the outline centroids.)
    HomographySeed refinedSeed = layout.seedFrom(centres);
    const DetectionMapping discMapping =
        refinedSeed.solve() ? DetectionMapping(preset, refinedSeed) : mapping;

    CirclePass::Setup setup;
    setup.targetsXY = targetXY.data();
    setup.count = count;
    setup.screenWidth = screenWidth;
    setup.screenHeight = screenHeight;
    setup.lens = lens;
    CirclePass circles(discMapping, setup, bounds);
    const std::chrono::steady_clock::time_point circlesStarted = std::chrono::steady_clock::now();
    circles.run(image, candidates);
    qCDebug(lcAnalysis) << "circle pass:" << msSince(circlesStarted) << "ms";
    bool anyMissing = false;
    for (int j = 0; j < count; ++j) {
        if (CirclePass::isCircleTarget(j))
            centres[static_cast<size_t>(j)] = circles.centre(j);
        const cv::Point2d& c = centres[static_cast<size_t>(j)];
        anyMissing = anyMissing || !(c.x > 3.0 && c.y > 3.0);
    }
    if (anyMissing)
        ViewJudgement::markOutsideView(discMapping, targetXY.data(), count,
                                       CirclePass::discRadius(screenWidth, screenHeight), report);
    // The elements are fitted on the pattern frame itself where it is at hand: the normalised
    // image adds the white and black frames' noise and clips at both ends. Those frames give the
    // levels around each element instead.
    const cv::Mat frame = normaliser.patternFrameOf(image);
    ElementPlacement::Setup placement;
    placement.targetsXY = targetXY.data();
    placement.drawnXY = drawnXY.data();
    placement.count = count;
    placement.screenWidth = screenWidth;
    placement.screenHeight = screenHeight;
    placement.lens = lens;
    placement.fwMinor = fwMinor;
    placement.seedStart = normalisedSeed;
    placement.smoothing = frame.empty() ? normaliser.lastResultSmoothing() : 0.0;
    const cv::Mat white = normaliser.brightFrameOf(image), black = normaliser.darkFrameOf(image);
    placement.white = white.empty() ? nullptr : &white;
    placement.black = black.empty() ? nullptr : &black;
    const std::chrono::steady_clock::time_point placementStarted = std::chrono::steady_clock::now();
    ElementPlacement::refine(frame.empty() ? image : frame, markers, placement, centres, &detectionVariances);
    qCDebug(lcAnalysis) << "element placement:" << msSince(placementStarted) << "ms";

    for (int j = 0; j < count; ++j) {
        const size_t k = static_cast<size_t>(j);
        const cv::Point2f raw(static_cast<float>(centres[k].x), static_cast<float>(centres[k].y));
        cv::Point2f corrected = raw;
        if (centres[k].x > 3.0 && centres[k].y > 3.0) {
            corrected = cv::Point2f(static_cast<float>(centres[k].x + static_cast<double>(tweakTable[k].x)),
                                    static_cast<float>(centres[k].y + static_cast<double>(tweakTable[k].y)));
        }
        rawPoints[k] = raw;
        correctedPoints[k] = corrected;
    }
}

bool PatternAnalyzer::runFit(const PointTable& table, const ScreenPoints& paired, int count, bool allStarts,
                             double* out, bool weighted) {
    std::array<float, 2 * maxTargets> camera{};
    std::array<double, 2 * maxTargets> screen{};
    std::array<double, maxTargets> variance{};
    int n = 0;
    for (int j = 0; j < count; ++j) {
        const size_t k = static_cast<size_t>(j);
        if (!isValid(table[k]))
            continue;
        const size_t i = static_cast<size_t>(n++);
        camera[2 * i] = table[k].x;
        camera[2 * i + 1] = table[k].y;
        screen[2 * i] = paired[2 * k];
        screen[2 * i + 1] = paired[2 * k + 1];
        variance[i] = detectionVariances[k];
    }
    MappingFit fit;
    fit.soundSteps = soundFitSteps_;
    fit.setPoints(camera.data(), screen.data(), n);
    const MappingFit::Result result = fit.fitWeighted(allStarts, LensPreset::forLens(lens, fwMinor),
                                                      normalisedSeed, weighted ? variance.data() : nullptr);
    if (out) {
        for (size_t i = 0; i < result.params.size(); ++i)
            out[i] = result.params[i];
    }
    fitError = result.error;
    fitCameraXY.assign(camera.begin(), camera.begin() + 2 * n);
    fitIterations = result.iterations;
    fitRan = true;
    fitPoints = n;
    fitOk = result.error < 64.0 * n;
    lastFitParams = result.params;
    lastFitMatched = fitOk;
    return fitOk;
}

bool PatternAnalyzer::enoughForAutomatic(const PointTable& table, int count) {
    int valid = 0;
    int validSides = 0;
    for (int j = 0; j < count; ++j) {
        if (!isValid(table[static_cast<size_t>(j)]))
            continue;
        ++valid;
        if (j == 0 || j == 4 || j == 5 || j == 9 || j == 10 || j == 14 || j == 15 || j == 19)
            ++validSides;
    }
    return valid >= count - 8 && validSides >= 2;
}

FitResiduals PatternAnalyzer::scatterOf(const double* params, const PointTable& table, int count) const {
    std::vector<double> camera, screen;
    for (int j = 0; j < count; ++j) {
        const size_t k = static_cast<size_t>(j);
        if (!isValid(table[k]))
            continue;
        camera.push_back(static_cast<double>(table[k].x));
        camera.push_back(static_cast<double>(table[k].y));
        screen.push_back(correctedPairing()[2 * k]);
        screen.push_back(correctedPairing()[2 * k + 1]);
    }
    return FitResiduals(MappingModel::fromArray(params), camera, screen);
}

int PatternAnalyzer::outlierOf(const double* params, const PointTable& table, int count) const {
    const FitResiduals residuals = scatterOf(params, table, count);
    const int odd = residuals.outlier();
    qCDebug(lcAnalysis) << "fit residuals (camera px)" << residuals.inCameraPixels() << "scatter"
                        << residuals.scatter();
    if (odd < 0)
        return -1;
    int seen = 0;
    for (int j = 0; j < count; ++j) {
        if (isValid(table[static_cast<size_t>(j)]) && seen++ == odd)
            return j;
    }
    return -1;
}

bool PatternAnalyzer::fitAutomatic(double* out) {
    const int count = autoCount();
    refusedForSpread = false;
    refusedForResiduals = false;
    droppedTarget = -1;
    fitSpread = 0.0;
    if (!enoughForAutomatic(correctedPoints, count)) {
        fitOk = false;
        fitRan = false;
        return false;
    }
    PointTable table = correctedPoints;
    std::array<double, MappingModel::parameterCount> params{};
    const bool fitted = runFit(table, correctedPairing(), count, true, params.data(), true);
    if (out)
        std::copy(params.begin(), params.end(), out);
    if (!fitted)
        return false;
    // A target found well off the place the others give it (partly covered, or a stray shape) is
    // left out and the rest fitted again; a second one, or too few left, refuses the fit. Only a
    // fit that extrapolates to missing targets is judged so: with all found, one misplaced target
    // moves the model near itself only.
    const bool someMissing = std::count_if(table.begin(), table.begin() + count, isValid) < count;
    const int odd = someMissing ? outlierOf(params.data(), table, count) : -1;
    if (odd >= 0) {
        table[static_cast<size_t>(odd)] = cv::Point2f(0.0f, 0.0f);
        droppedTarget = odd;
        const bool enough = enoughForAutomatic(table, count);
        qCDebug(lcAnalysis) << "target" << odd
                            << "off the fit of the others:" << (enough ? "refit" : "refused");
        if (!enough || !runFit(table, correctedPairing(), count, true, params.data(), true) ||
            outlierOf(params.data(), table, count) >= 0) {
            fitOk = false;
            refusedForResiduals = true;
            return false;
        }
        if (out)
            std::copy(params.begin(), params.end(), out);
    }
    if (someMissing && scatterOf(params.data(), table, count).tooScattered()) {
        qCDebug(lcAnalysis) << "fit refused: its residuals scatter beyond what noise leaves";
        fitOk = false;
        refusedForResiduals = true;
        return false;
    }
    const int valid = static_cast<int>(std::count_if(table.begin(), table.begin() + count, isValid));
    fitSpread = valid < count ? spreadOf(params.data(), table, count) : 0.0;
    // With every target found the screen is covered to its edges; a fit that lacks some
    // extrapolates the screen around them from a model of thirteen parameters, which a few
    // tenths of a pixel of scatter can bend by pixels there.
    if (!(fitSpread <= maximumSpread)) {
        qCDebug(lcAnalysis) << "fit from" << valid << "targets refused: spread" << fitSpread << "px";
        fitOk = false;
        refusedForSpread = true;
    }
    return fitOk;
}

double PatternAnalyzer::spreadOf(const double* params, const PointTable& table, int count) const {
    // The spread of the fit from the targets found, beyond what the same fit from every target
    // would have (the missing ones placed where the fitted model puts them): the part of the
    // uncertainty that comes from the targets missing, not from the detections' own scatter.
    const MappingModel model = MappingModel::fromArray(params);
    std::vector<double> found, all;
    for (int j = 0; j < count; ++j) {
        const size_t k = static_cast<size_t>(j);
        double x = static_cast<double>(table[k].x), y = static_cast<double>(table[k].y);
        if (isValid(table[k])) {
            found.push_back(x);
            found.push_back(y);
        } else if (!FitUncertainty::cameraPointOf(model, correctedPairing()[2 * k],
                                                  correctedPairing()[2 * k + 1], x, y)) {
            continue;
        }
        all.push_back(x);
        all.push_back(y);
    }
    return FitUncertainty(model, found, fitError).spreadBeyond(all, screenWidth, screenHeight);
}

bool PatternAnalyzer::fitAllTargets(bool useRawDetections, double* out) {
    const int count = autoCount();
    const PointTable& table = useRawDetections ? rawPoints : correctedPoints;
    const bool allValid = std::all_of(table.begin(), table.begin() + count, isValid);
    if (count == 0 || !allValid) {
        fitOk = false;
        fitRan = false;
        return false;
    }
    // Detections are where the elements are drawn; touched points where the pen picture was.
    return runFit(table, useRawDetections ? drawnXY : penXY, count, useRawDetections, out, useRawDetections);
}

bool PatternAnalyzer::fitManualPoints(double* out) {
    const int count = clampCount(manualTargets);
    const bool allValid = std::all_of(correctedPoints.begin(), correctedPoints.begin() + count, isValid);
    if (count == 0 || !allValid) {
        fitOk = false;
        fitRan = false;
        return false;
    }
    return runFit(correctedPoints, targetXY, count, false, out);
}

AnalysisFailure PatternAnalyzer::failure() const {
    FailureDiagnosis::Facts facts;
    facts.brightRange = normaliser.lastBrightRange();
    facts.projectedFraction = normaliser.lastProjectedFraction();
    facts.detection = &report;
    facts.count = autoCount();
    facts.raw = &rawPoints;
    facts.fitRan = fitRan;
    facts.fitOk = fitOk;
    facts.fitError = fitError;
    facts.fitPoints = fitPoints;
    facts.fitSpread = refusedForSpread ? fitSpread : 0.0;
    facts.fitInconsistent = refusedForResiduals;
    facts.droppedTarget = droppedTarget;
    return FailureDiagnosis::diagnose(facts);
}

DetectionReport PatternAnalyzer::markedDetection() const {
    DetectionReport marked = report;
    const int count = autoCount();
    marked.targetCount = count;
    // A fit that matched its points places the targets best; a refused one may still have (it
    // lacked targets or held one off its place). Without it the markers' seed through the lens
    // preset does, once the markers agreed on one screen.
    const bool placed = lastFitMatched || report.seedSolved;
    const MappingModel model = lastFitMatched
                                   ? MappingModel(lastFitParams)
                                   : LensPreset::forLens(lens, fwMinor).model(normalisedSeed.data());
    for (int j = 0; j < count; ++j) {
        const size_t k = static_cast<size_t>(j);
        DetectionReport::TargetMark& mark = marked.marks[k];
        mark = DetectionReport::TargetMark();
        if (isValid(rawPoints[k])) {
            mark.found = rawPoints[k];
            mark.status = j == droppedTarget ? DetectionReport::TargetStatus::Dropped
                                             : DetectionReport::TargetStatus::Found;
        }
        double x = 0.0, y = 0.0;
        if (placed && FitUncertainty::cameraPointOf(model, correctedPairing()[2 * k],
                                                    correctedPairing()[2 * k + 1], x, y)) {
            mark.expected = cv::Point2f(static_cast<float>(x), static_cast<float>(y));
            mark.expectedKnown = true;
        }
    }
    return marked;
}
