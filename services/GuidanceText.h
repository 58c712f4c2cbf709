#pragma once

// The texts that tell the user why something failed and what to do, how good a calibration is, and
// the touch test's; the [GUIDANCE] section of every language table (G1 is MountingTurned).
enum class GuidanceText : int {
    None = 0, // no text
    // What the camera saw of the pattern, then which mounting option to change (%1: its name).
    MountingTurned = 1,
    MountingMirrored,
    MountingMirroredAndTurned,
    TickOption,
    UntickOption,
    // Why an automatic calibration failed, each with what to do.
    OutsideView,
    TooDark,
    Covered,
    FitInaccurate,
    StrayMarker,
    UnknownLens, // %1: the model selection's title
    TransferFailed,
    ModuleStopped,
    // The failure details window.
    DetailsButton,
    DetailsTitle,
    DetailsLegend,
    // Why the module cannot be used.
    NoModule,
    NoPermission,
    NoHidInterface,
    // Quality after an accepted calibration: %1 pixels, %2 the word, %3 the region.
    Accuracy,
    AccuracyExcellent,
    AccuracyGood,
    AccuracyPoor,
    // Regions of the screen, row by row from the top left.
    RegionTopLeft,
    RegionTop,
    RegionTopRight,
    RegionLeft,
    RegionMiddle,
    RegionRight,
    RegionBottomLeft,
    RegionBottom,
    RegionBottomRight,
    // The touch test.
    TestButton,
    TestInstructions,
    TestSummary, // %1 of %2 crosses touched, %3 the largest offset in pixels
    // No permission although the udev rule is installed: it has not reached the module yet.
    RuleNotApplied,
    // The touch phases of calibration: a touch far from where the camera must see the target, and
    // how to touch (also shown after the pen was lifted too early).
    TouchRefused = 37,
    HoldPen,
    // The alignment view's AV mode line (%1: the mode, 1 or 2), shown after F11.
    AlignmentAvMode = 41,
    // Why calibration is switched off while no model is chosen (%1: the model selection's title).
    ModelNotChosen = 43,
    // The alignment view closed because the module left the bus.
    AlignmentClosedUnplugged = 45,
    // A calibration the user ended: the module keeps the calibration it had, or already holds
    // the run's new record.
    CancelledPreviousKept,
    CancelledNewStored,
    // The calibration window while the captured images are analysed, and an analysis that did not
    // end within its time limit.
    Analysing,
    AnalysisTooLong,
};
