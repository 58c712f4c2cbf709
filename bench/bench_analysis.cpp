// Sweep of virtual-camera scenes through the whole automatic analysis: accuracy of the fitted
// model against the known camera model, and the time of each stage. "floor" (pairing floor) is the
// accuracy the same fit reaches on perfect detections of the pattern as drawn, each paired with the
// screen point the analysis pairs it with: what the pairing and the model leave whatever the
// detection; rms minus floor is what the detection itself costs.
//   bench_analysis [--faults] [--default-tweaks] [--limit N] [--only I]
// --faults also measures the old behaviours behind the analyzer's fault switches: once-only disc
// bounds, a lowered box height kept for the process, and fit steps that keep a rejected step and a
// last worsening one; --default-tweaks applies the lens's default pen offsets (off: the pattern is the
// truth). VEXARO_BENCH_DUMP=DIR writes the three frames and the normalised image of the last scene there.
#include "VirtualScreenSetup.h"
#include "analysis/CircleBounds.h"
#include "analysis/DrawnPattern.h"
#include "analysis/ImageAnalysis.h"
#include "calibration/PatternGeometry.h"
#include "calibration/PatternPainter.h"
#include "sim/VirtualCamera.h"
#include "sim/VirtualScene.h"

#include <QGuiApplication>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <opencv2/imgcodecs.hpp>
#include <string>
#include <vector>

namespace {

struct Scene {
    int width;
    int height;
    eLens lens;
    int fwMinor;
    VirtualPose pose;
    double blur;
    double noise;
    bool ceiling;
    bool rear;
};

struct Outcome {
    int found = 0;
    bool fitOk = false;
    double fitError = 0.0;
    int iterations = 0;
    int rowLimit = -1;
    double rms = 0.0;
    double max = 0.0;
    double floorRms = 0.0; // the same fit on where the camera sees each element drawn: no detection error
    double floorMax = 0.0;
    double msNormalise = 0.0, msDetect = 0.0, msFit = 0.0, msRowLimit = 0.0;
    std::array<double, 13> params{};
    AnalysisResult::PointTable raw{};
};

struct Frames {
    cv::Mat dark, bright, pattern;
};

Frames photograph(const Scene& s, const MappingModel& truth, std::uint32_t seed) {
    const MappingModel physical = VirtualScene::mounted(truth, s.width, s.height, s.ceiling, s.rear);
    const VirtualCamera camera(physical, s.width, s.height, 4);
    VirtualPhotometry light;
    light.blurSigma = s.blur;
    light.noiseSigma = s.noise;
    Frames f;
    light.seed = seed;
    f.dark = camera.renderUniform(0, light);
    light.seed = seed + 1;
    f.bright = camera.renderUniform(255, light);
    light.seed = seed + 2;
    f.pattern = camera.render(PatternPainter::render(s.width, s.height, s.ceiling, s.rear), light);
    return f;
}

// Mapping error of the fitted model over the inner 95 % of the screen, in screen pixels.
void mappingError(const MappingModel& truth, const MappingModel& fitted, const Scene& s, double& rms,
                  double& max) {
    double sum = 0.0;
    int count = 0;
    max = 0.0;
    for (int iy = 0; iy <= 36; ++iy) {
        for (int ix = 0; ix <= 64; ++ix) {
            const double sx = s.width * (0.025 + 0.95 * ix / 64.0) - 0.5;
            const double sy = s.height * (0.025 + 0.95 * iy / 36.0) - 0.5;
            double cx = 0.0, cy = 0.0;
            if (!VirtualCamera::screenToCamera(truth, sx, sy, cx, cy))
                continue;
            double fx = 0.0, fy = 0.0;
            fitted.cameraToScreen(cx, cy, fx, fy);
            const double e2 = (fx - sx) * (fx - sx) + (fy - sy) * (fy - sy);
            sum += e2;
            max = std::max(max, std::sqrt(e2));
            ++count;
        }
    }
    rms = count ? std::sqrt(sum / count) : 0.0;
}

// The fit on perfect detections: each element at the camera point where the window really draws
// it (a disc centred on its target's pixel, a marker's 6m cells from x - 3m to x + 3m - 1, half a
// pixel up and left). Whatever error this leaves comes from how the analysis pairs elements with
// screen points, or from the model itself.
void pairingFloor(const Scene& s, const MappingModel& truth, const AnalysisSetup& setup, double& rms,
                  double& max) {
    const MappingModel physical = VirtualScene::mounted(truth, s.width, s.height, s.ceiling, s.rear);
    const PatternGeometry::AutomaticTargets targets = PatternGeometry::automaticTargets(s.width, s.height);
    AnalysisResult::PointTable perfect{};
    for (int row = 0; row < 4; ++row) {
        for (int position = 0; position < 5; ++position) {
            const int slot = PatternGeometry::slotNumber(row, position, s.ceiling ? 1 : 0, s.rear ? 1 : 0);
            const QPointF& at = targets[static_cast<size_t>(5 * row + position)];
            const cv::Point2d drawn = DrawnPattern::elementCentre(slot, at.x(), at.y());
            double cx = 0.0, cy = 0.0;
            VirtualCamera::screenToCamera(physical, drawn.x, drawn.y, cx, cy);
            perfect[static_cast<size_t>(slot)] = cv::Point2f(static_cast<float>(cx), static_cast<float>(cy));
        }
    }
    const AnalysisResult fit = fitDetections(perfect, setup);
    if (fit.ok)
        mappingError(truth, MappingModel(fit.params), s, rms, max);
    else
        rms = max = 1e9;
}

Outcome analyse(const Scene& s, const Frames& f, const MappingModel& truth, bool defaultTweaks = false,
                AnalysisSetup::Faults faults = {}) {
    Outcome o;
    AnalysisSetup setup =
        virtualScreenSetup(s.width, s.height, s.lens, s.fwMinor, s.ceiling, s.rear, defaultTweaks);
    setup.faults = faults;
    const AnalysisResult r = ::analyse({f.dark, f.bright, f.pattern}, setup);
    if (const char* dump = std::getenv("VEXARO_BENCH_DUMP")) {
        cv::imwrite(std::string(dump) + "/normalised.png", r.normalised);
        cv::imwrite(std::string(dump) + "/dark.png", f.dark);
        cv::imwrite(std::string(dump) + "/bright.png", f.bright);
        cv::imwrite(std::string(dump) + "/pattern.png", f.pattern);
    }
    o.msNormalise = r.ms.normalise;
    o.msDetect = r.ms.detect;
    o.msFit = r.ms.fit;
    o.msRowLimit = r.ms.rowLimit;
    o.found = r.found;
    o.raw = r.rawPoints;
    o.params = r.params;
    o.fitOk = r.ok;
    o.fitError = r.fitError;
    o.iterations = r.fitIterations;
    o.rowLimit = r.rowLimit;
    if (o.fitOk)
        mappingError(truth, MappingModel(o.params), s, o.rms, o.max);
    else
        o.rms = o.max = 1e9;
    pairingFloor(s, truth, setup, o.floorRms, o.floorMax);
    return o;
}

std::vector<Scene> sweep() {
    const int sizes[5][2] = {{1024, 768}, {1280, 800}, {1920, 1080}, {2560, 1440}, {1366, 768}};
    std::vector<Scene> scenes;
    for (int i = 0; i < 36; ++i) {
        Scene s{};
        s.width = sizes[i % 5][0];
        s.height = sizes[i % 5][1];
        s.lens = 1 + i % 3;
        s.fwMinor = (i / 3) % 2 == 0 ? 10 : 8;
        // The wide lens bows the screen outline out to the frame edges already at a smaller fill.
        s.pose.fill = (s.lens == 3 ? 0.72 : 0.80) + 0.02 * (i % 5);
        s.pose.keystone = 0.01 * (i % 7);
        s.pose.rollDegrees = -2.0 + 0.5 * (i % 9);
        s.pose.shiftX = -20.0 + 10.0 * (i % 5);
        s.pose.shiftY = -12.0 + 6.0 * (i % 4);
        s.pose.distortionScale = 0.9 + 0.05 * (i % 5);
        s.pose.centreShiftX = -8.0 + 4.0 * (i % 5);
        s.pose.centreShiftY = 6.0 - 3.0 * (i % 5);
        s.blur = 0.3 + 1.0 * (i % 11) / 10.0;
        s.noise = 3.0 * (i % 7) / 6.0;
        s.ceiling = (i % 4) == 1 || (i % 4) == 3;
        s.rear = (i % 4) >= 2;
        scenes.push_back(s);
    }
    return scenes;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

// The fault measurements: the once-only circle bounds, the lowered box height and the last
// worsening fit step.
void measureFaults() {
    VirtualPose pose;
    const Scene small{1024, 768, 2, 10, pose, 0.8, 1.5, false, false};
    const Scene large{2560, 1440, 2, 10, pose, 0.8, 1.5, false, false};
    const MappingModel smallTruth = VirtualScene::groundTruth(1024, 768, 2, 10, pose);
    const MappingModel largeTruth = VirtualScene::groundTruth(2560, 1440, 2, 10, pose);
    const Frames smallFrames = photograph(small, smallTruth, 11);
    const Frames largeFrames = photograph(large, largeTruth, 21);
    for (int follow = 0; follow < 2; ++follow) {
        CircleBounds carried;
        carried.followScreenSize = follow == 1;
        AnalysisSetup::Faults faults;
        faults.carriedBounds = &carried;
        const Outcome first = analyse(small, smallFrames, smallTruth, false, faults);
        const Outcome second = analyse(large, largeFrames, largeTruth, false, faults);
        std::printf("fault circle-bounds %s: 1024x768 found=%d fitOk=%d rms=%.3f | then 2560x1440 found=%d "
                    "fitOk=%d rms=%.3f\n",
                    follow ? "follow-screen" : "first-calibration", first.found, first.fitOk, first.rms,
                    second.found, second.fitOk, second.rms);
    }
    const Scene lens3{1920, 1080, 3, 10, pose, 0.8, 1.5, false, false};
    const MappingModel lens3Truth = VirtualScene::groundTruth(1920, 1080, 3, 10, pose);
    const Frames lens3Frames = photograph(lens3, lens3Truth, 31);
    for (int keep = 1; keep >= 0; --keep) {
        CircleBounds carried;
        carried.keepLoweredBoxHeight = keep == 1;
        AnalysisSetup::Faults faults;
        faults.carriedBounds = &carried;
        const Outcome fresh = analyse(small, smallFrames, smallTruth, false, faults);
        analyse(lens3, lens3Frames, lens3Truth, false, faults);
        const Outcome after = analyse(small, smallFrames, smallTruth, false, faults);
        double moved = 0.0;
        for (size_t j = 0; j < 20; ++j)
            moved = std::max(moved, static_cast<double>(cv::norm(fresh.raw[j] - after.raw[j])));
        std::printf("fault box-height %s: min height now %d; lens 2 scene before/after a lens 3 calibration: "
                    "found %d/%d rms %.4f/%.4f max point shift %.4f camera px\n",
                    keep ? "kept (old)" : "per pass (default)", carried.minBoxHeight, fresh.found,
                    after.found, fresh.rms, after.rms, moved);
    }
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    bool faults = false;
    size_t limit = 1000;
    int only = -1;
    bool defaultTweaks = false; // the product's offsets for the pen instead of none
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--faults") == 0)
            faults = true;
        else if (std::strcmp(argv[i], "--limit") == 0 && i + 1 < argc)
            limit = static_cast<size_t>(std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--default-tweaks") == 0)
            defaultTweaks = true;
        else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc)
            only = std::atoi(argv[++i]);
    }
    if (faults) {
        measureFaults();
    }
    std::vector<Scene> scenes = sweep();
    if (scenes.size() > limit)
        scenes.resize(limit);
    std::vector<double> totals;
    double rmsWorst = 0.0, maxWorst = 0.0;
    double floorWorst = 0.0, floorMaxWorst = 0.0, excessWorst = 0.0;
    double stepsWorstGain = 0.0, stepsRmsOld = 0.0;
    int stepsChanged = 0;
    std::printf(
        "%-4s %-10s %-4s %-3s %-4s %-5s %-5s %-5s %-6s %-9s %-6s %-7s %-7s %-7s %-7s %-7s %-7s %-7s %-7s\n",
        "n", "screen", "lens", "fw", "mnt", "blur", "noise", "found", "fitOk", "E", "iter", "row", "rms",
        "max", "floor", "norm", "detect", "fit", "rowlim");
    for (size_t i = 0; i < scenes.size(); ++i) {
        if (only >= 0 && static_cast<size_t>(only) != i)
            continue;
        const Scene& s = scenes[i];
        const MappingModel truth = VirtualScene::groundTruth(s.width, s.height, s.lens, s.fwMinor, s.pose);
        const Frames f = photograph(s, truth, static_cast<std::uint32_t>(100 + 10 * i));
        const Outcome o = analyse(s, f, truth, defaultTweaks);
        const double total = o.msNormalise + o.msDetect + o.msFit + o.msRowLimit;
        totals.push_back(total);
        rmsWorst = std::max(rmsWorst, o.rms);
        maxWorst = std::max(maxWorst, o.max);
        floorWorst = std::max(floorWorst, o.floorRms);
        floorMaxWorst = std::max(floorMaxWorst, o.floorMax);
        excessWorst = std::max(excessWorst, o.rms - o.floorRms);
        const char* mount = s.ceiling ? (s.rear ? "C+R" : "C") : (s.rear ? "R" : "-");
        std::printf(
            "%-4zu %4dx%-5d %-4d %-3d %-4s %-5.2f %-5.2f %-5d %-6d %-9.3f %-6d %-7d %-7.3f %-7.3f %-7.3f "
            "%-7.1f %-7.1f %-7.1f %-7.1f\n",
            i, s.width, s.height, s.lens, s.fwMinor, mount, s.blur, s.noise, o.found, o.fitOk, o.fitError,
            o.iterations, o.rowLimit, o.rms, o.max, o.floorRms, o.msNormalise, o.msDetect, o.msFit,
            o.msRowLimit);
        if (o.found < 20) {
            std::printf("     missing targets:");
            for (int j = 0; j < 20; ++j) {
                if (!AnalysisResult::isFound(o.raw[static_cast<size_t>(j)]))
                    std::printf(" %d", j);
            }
            std::printf("\n");
        }
        if (faults) {
            AnalysisSetup::Faults oldSteps;
            oldSteps.soundFitSteps = false;
            const Outcome old = analyse(s, f, truth, defaultTweaks, oldSteps);
            if (old.params != o.params)
                ++stepsChanged;
            stepsWorstGain = std::max(stepsWorstGain, old.fitError - o.fitError);
            stepsRmsOld = std::max(stepsRmsOld, old.rms);
        }
    }
    if (faults)
        std::printf("fault fit-steps: scenes whose result changes with sound steps %d of %zu, largest E gain "
                    "%.6g, rms_worst with the old steps %.3f (sound %.3f)\n",
                    stepsChanged, scenes.size(), stepsWorstGain, stepsRmsOld, rmsWorst);
    std::printf(
        "pairing pairing_floor_rms_worst=%.3f pairing_floor_max_worst=%.3f analysis_excess_rms_worst=%.3f\n",
        floorWorst, floorMaxWorst, excessWorst);
    std::printf("analysis scenes=%zu rms_worst=%.3f max_worst=%.3f median_ms=%.1f\n", scenes.size(), rmsWorst,
                maxWorst, median(totals));
    return 0;
}
