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

const char* AnalysisFailure::causeName(Cause cause) {
    switch (cause) {
    case Cause::PatternTurned:
        return "pattern turned";
    case Cause::PatternMirrored:
        return "pattern mirrored";
    case Cause::PatternMirroredAndTurned:
        return "pattern mirrored and turned";
    case Cause::OutsideView:
        return "outside view";
    case Cause::TooDark:
        return "too dark";
    case Cause::Covered:
        return "covered";
    case Cause::FitInaccurate:
        return "fit inaccurate";
    case Cause::StrayMarker:
        return "stray marker";
    case Cause::UnknownLens:
        return "unknown lens";
    case Cause::None:
        break;
    }
    return "";
}
