#pragma once

#include <string>
#include <vector>

// Why an automatic analysis failed: the stage that gave up, the likely cause (for the user's
// message), the same in plain words (for the logs and the kept result) and the targets that were
// not found.
struct AnalysisFailure {
    enum class Stage { None, Normalisation, Markers, Seed, Discs, FitAcceptance };
    enum class Cause {
        None,
        // The pattern's layout seen turned or mirrored: a mounting option does not match.
        PatternTurned,
        PatternMirrored,
        PatternMirroredAndTurned,
        OutsideView,   // part of the screen is outside the camera view
        TooDark,       // too dark or too little contrast
        Covered,       // targets covered or unrecognisable
        FitInaccurate, // the targets found do not fit one camera model well enough
        StrayMarker,   // the markers found do not lie on one screen
        UnknownLens,   // no targets for the lens type
    };

    Stage stage = Stage::None;
    Cause cause = Cause::None;
    std::string reason;
    std::vector<int> missingTargets;

    bool failed() const { return stage != Stage::None; }
    // "normalisation", "markers", "seed", "discs", "fit acceptance"; "" for none.
    static const char* stageName(Stage stage);
    // A short fixed name for the kept result ("pattern turned", "too dark", ...); "" for none.
    static const char* causeName(Cause cause);
};
