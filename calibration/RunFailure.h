#pragma once

#include "analysis/AnalysisFailure.h"
#include "calibration/InstallationSettings.h"

#include <QImage>

// Why an automatic calibration run failed, as the user is told: the analysis's cause, or one of
// the run's own when no analysis took place.
struct RunFailure {
    enum class Cause {
        Analysis,        // the images were analysed: see analysisCause
        ImageTransfer,   // an image did not arrive in time (the transfer stalled or broke)
        ModuleStopped,   // the module did not answer a capture or record in time, or was unplugged
        AnalysisTooLong, // the analysis did not end within its time limit
    };

    Cause cause = Cause::Analysis;
    AnalysisFailure::Cause analysisCause = AnalysisFailure::Cause::None;
    InstallationSettings settings; // as the run used them: the mounting advice depends on them
    QImage details;                // the pattern frame with every target marked; null without one
};
