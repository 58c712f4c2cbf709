#pragma once

#include "module/ManualPenBehaviour.h"

// The default pen: each target is seen shortly after it starts and finished a little later; the
// reported positions form a 4 x 4 grid in the camera image, columns side by side.
class ScriptedPen : public ManualPenBehaviour {
public:
    std::vector<Event> patternStarted(int target) override;
    std::array<float, 50> inputPoints() override;
};
