#pragma once

#include <QtGlobal>
#include <algorithm>

// The sanitizer builds run several times slower and say so in VEXARO_WAIT_STRETCH; a condition wait
// gives up only after its time limit stretched by that factor. The waits end as soon as their
// condition holds, so the stretch costs nothing in a passing run.
inline int stretchedWaitMs(int timeoutMs) {
    return timeoutMs * std::max(1, qEnvironmentVariableIntValue("VEXARO_WAIT_STRETCH"));
}
