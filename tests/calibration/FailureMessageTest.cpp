// The failure message names the cause and what to do, in the chosen language; for a pattern seen
// turned or mirrored it says which mounting option to tick or untick against the current choice.
#include "calibration/FailureMessage.h"
#include "calibration/RunFailure.h"
#include "services/LanguageTexts.h"

#include <gtest/gtest.h>

namespace {

using Cause = AnalysisFailure::Cause;

const QString failed = QStringLiteral("Calibration failed. Please try again.\n\n");

class FailureMessageTest : public ::testing::Test {
protected:
    void SetUp() override { LanguageTexts().loadLanguage(LanguageTexts::englishIndex + 1); }

    static QString textFor(Cause cause, int ceiling = 0, int rear = 0) {
        RunFailure failure;
        failure.analysisCause = cause;
        failure.settings.ceiling = ceiling;
        failure.settings.rear = rear;
        return FailureMessage::text(failure);
    }
};

TEST_F(FailureMessageTest, EachCauseAddsItsGuidance) {
    const std::pair<Cause, const char*> cases[] = {
        {Cause::OutsideView, "Part of the screen is outside the camera view. Open the Alignment View and aim "
                             "the camera so that the whole picture is inside it."},
        {Cause::TooDark, "The picture is too dark, or its contrast is too low. Dim the room light or turn up "
                         "the projector's brightness."},
        {Cause::Covered,
         "Some targets were covered or could not be recognised. Keep hands and cables away from "
         "the screen while the calibration runs."},
        {Cause::FitInaccurate, "The targets found do not fit together accurately enough. Make sure that the "
                               "camera and the projector do not move, then try again."},
        {Cause::StrayMarker,
         "The camera sees a marker that is not part of the picture, or misread one. Remove "
         "reflections and other pictures from the camera view."},
        {Cause::UnknownLens, "The lens type is not known. Choose the model under “Model Selection”, then try "
                             "again."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(textFor(c.first), failed + QString::fromUtf8(c.second))
            << AnalysisFailure::causeName(c.first);
}

TEST_F(FailureMessageTest, RunCausesNeedNoAnalysis) {
    RunFailure failure;
    failure.cause = RunFailure::Cause::ImageTransfer;
    EXPECT_EQ(FailureMessage::text(failure),
              failed +
                  "The camera image did not arrive from the module. Check the USB cable, or plug it into "
                  "a port directly on the computer.");
    failure.cause = RunFailure::Cause::ModuleStopped;
    EXPECT_EQ(FailureMessage::text(failure),
              failed + "The module stopped answering or was unplugged. Check the USB cable, then try again.");
    // Nothing known: M14 alone rather than a guessed cause.
    EXPECT_EQ(FailureMessage::text(RunFailure()), QStringLiteral("Calibration failed. Please try again."));
}

// The advice flips the option against what is ticked now: ticked options are unticked.
TEST_F(FailureMessageTest, MountingAdviceFlipsTheOptionThatDoesNotMatch) {
    const QString turned = QStringLiteral("The camera sees the picture upside down.\n");
    const QString mirrored = QStringLiteral("The camera sees the picture mirrored.\n");
    const QString both = QStringLiteral("The camera sees the picture mirrored and upside down.\n");
    const QString tickCeiling =
        QStringLiteral("Tick “Ceiling Mount Mode” in the settings window, then try again.");
    const QString untickCeiling =
        QStringLiteral("Untick “Ceiling Mount Mode” in the settings window, then try again.");
    const QString tickRear =
        QStringLiteral("Tick “Rear Screen Mode” in the settings window, then try again.");
    const QString untickRear =
        QStringLiteral("Untick “Rear Screen Mode” in the settings window, then try again.");

    EXPECT_EQ(textFor(Cause::PatternTurned, 1, 0), failed + turned + untickCeiling);
    EXPECT_EQ(textFor(Cause::PatternTurned, 0, 1), failed + turned + tickCeiling);
    EXPECT_EQ(textFor(Cause::PatternMirrored, 0, 0), failed + mirrored + tickRear);
    EXPECT_EQ(textFor(Cause::PatternMirrored, 1, 1), failed + mirrored + untickRear);
    EXPECT_EQ(textFor(Cause::PatternMirroredAndTurned, 0, 0), failed + both + tickCeiling + '\n' + tickRear);
    EXPECT_EQ(textFor(Cause::PatternMirroredAndTurned, 1, 0),
              failed + both + untickCeiling + '\n' + tickRear);
    EXPECT_EQ(textFor(Cause::PatternMirroredAndTurned, 1, 1),
              failed + both + untickCeiling + '\n' + untickRear);
}

} // namespace
