#include "analysis/AnalysisFailure.h"

const char* AnalysisFailure::stageName(Stage stage) {
    switch (stage) {
    case Stage::Normalisation:
        return "normalisation";
    case Stage::Markers:
        return "markers";
    case Stage::Seed:
        return "seed";
    case Stage::Discs:
        return "discs";
    case Stage::FitAcceptance:
        return "fit acceptance";
    case Stage::None:
        break;
    }
    return "";
}
