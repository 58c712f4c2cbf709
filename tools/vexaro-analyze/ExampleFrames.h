#pragma once

#include "analysis/LensType.h"

#include <QString>

// Writes dark.png, bright.png and pattern.png as the module's camera would capture them from a
// simulated screen (virtual camera, plausible pose, moderate blur and noise); false with a reason.
// Frames already in the directory are replaced only when replace is set, and never through a link
// or over something other than a regular file.
bool writeExampleFrames(const QString& directory, int screenWidth, int screenHeight, eLens lens, int fwMinor,
                        bool replace, QString& error);
