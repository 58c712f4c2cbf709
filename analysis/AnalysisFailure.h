#pragma once

#include <string>
#include <vector>

// Why an automatic analysis failed: the stage that gave up, the likely cause in plain words and
// the targets that were not found.
struct AnalysisFailure {
    enum class Stage { None, Normalisation, Markers, Seed, Discs, FitAcceptance };

    Stage stage = Stage::None;
    std::string reason;
    std::vector<int> missingTargets;

    bool failed() const { return stage != Stage::None; }
    // "normalisation", "markers", "seed", "discs", "fit acceptance"; "" for none.
    static const char* stageName(Stage stage);
};
