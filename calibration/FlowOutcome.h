#pragma once

#include "calibration/RunFailure.h"

// How a calibration flow ended. A flow reports exactly one outcome per run, after it went idle;
// the controller decides what follows (the next flow, a message, the end of the run).
struct FlowOutcome {
    enum class Kind {
        Failed,          // the analysis failed: see failure
        NeedsTouchPhase, // a semi-automatic analysis was accepted, the targets are touched next
        RecordSent,      // the record went to the module, its answer is awaited next
        Done,            // the run ended: stored says whether the record was taken
        TimedOut,        // the module did not answer within step's time limit
    };

    Kind kind = Kind::Done;
    RunFailure failure;        // Failed
    bool stored = false;       // Done
    bool ratioChecked = false; // Done: after the coordinate-ratio check (the automatic run's end)
    int step = 0;              // TimedOut: the flow step whose limit passed

    static FlowOutcome failed(const RunFailure& why) {
        FlowOutcome outcome;
        outcome.kind = Kind::Failed;
        outcome.failure = why;
        return outcome;
    }
    static FlowOutcome needsTouchPhase() { return of(Kind::NeedsTouchPhase); }
    static FlowOutcome recordSent() { return of(Kind::RecordSent); }
    static FlowOutcome done(bool stored, bool ratioChecked = false) {
        FlowOutcome outcome = of(Kind::Done);
        outcome.stored = stored;
        outcome.ratioChecked = ratioChecked;
        return outcome;
    }
    static FlowOutcome timedOut(int step) {
        FlowOutcome outcome = of(Kind::TimedOut);
        outcome.step = step;
        return outcome;
    }

private:
    static FlowOutcome of(Kind kind) {
        FlowOutcome outcome;
        outcome.kind = kind;
        return outcome;
    }
};
