#include "calibration/FailureMessage.h"

#include "calibration/RunFailure.h"
#include "services/LanguageTexts.h"

namespace {

// Indices of the option names in the configuration texts (C19, C20, C25).
constexpr int ceilingOptionText = 18;
constexpr int rearOptionText = 19;
constexpr int modelSelectionText = 24;

GuidanceText guidanceFor(AnalysisFailure::Cause cause) {
    using Cause = AnalysisFailure::Cause;
    switch (cause) {
    case Cause::OutsideView:
        return GuidanceText::OutsideView;
    case Cause::TooDark:
        return GuidanceText::TooDark;
    case Cause::Covered:
        return GuidanceText::Covered;
    case Cause::FitInaccurate:
        return GuidanceText::FitInaccurate;
    case Cause::StrayMarker:
        return GuidanceText::StrayMarker;
    case Cause::UnknownLens:
        return GuidanceText::UnknownLens;
    case Cause::PatternTurned:
        return GuidanceText::MountingTurned;
    case Cause::PatternMirrored:
        return GuidanceText::MountingMirrored;
    case Cause::PatternMirroredAndTurned:
        return GuidanceText::MountingMirroredAndTurned;
    case Cause::None:
        break;
    }
    return GuidanceText::Covered; // not reached for a failed analysis
}

} // namespace

QString FailureMessage::text(const RunFailure& failure) {
    const LanguageTexts texts; // the tables are process-wide
    QStringList lines;
    if (failure.cause == RunFailure::Cause::ImageTransfer) {
        lines << LanguageTexts::guidance(GuidanceText::TransferFailed);
    } else if (failure.cause == RunFailure::Cause::ModuleStopped) {
        lines << LanguageTexts::guidance(GuidanceText::ModuleStopped);
    } else if (failure.cause == RunFailure::Cause::AnalysisTooLong) {
        lines << LanguageTexts::guidance(GuidanceText::AnalysisTooLong);
    } else if (failure.analysisCause != AnalysisFailure::Cause::None) {
        using Cause = AnalysisFailure::Cause;
        const Cause cause = failure.analysisCause;
        QString line = LanguageTexts::guidance(guidanceFor(cause));
        if (cause == Cause::UnknownLens)
            line = line.arg(texts.getConfigText(modelSelectionText));
        lines << line;
        const bool turned = cause == Cause::PatternTurned || cause == Cause::PatternMirroredAndTurned;
        const bool mirrored = cause == Cause::PatternMirrored || cause == Cause::PatternMirroredAndTurned;
        lines << mountingAdvice(turned, mirrored, failure.settings);
    }
    const QString failed = LanguageTexts::getMessageText(13);
    return lines.isEmpty() ? failed : failed + QStringLiteral("\n\n") + lines.join(QLatin1Char('\n'));
}

QStringList FailureMessage::mountingAdvice(bool turned, bool mirrored, const InstallationSettings& settings) {
    const LanguageTexts texts;
    const auto advice = [&texts](bool ticked, int optionText) {
        return LanguageTexts::guidance(ticked ? GuidanceText::UntickOption : GuidanceText::TickOption)
            .arg(texts.getConfigText(optionText));
    };
    QStringList lines;
    if (turned)
        lines << advice(settings.ceiling == 1, ceilingOptionText);
    if (mirrored)
        lines << advice(settings.rear == 1, rearOptionText);
    return lines;
}
