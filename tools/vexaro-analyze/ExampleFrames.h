#pragma once

#include "analysis/LensType.h"

#include <QString>

// Writes dark.png, bright.png and pattern.png as the module's camera would capture them from a
// simulated screen (virtual camera, plausible pose, moderate blur and noise); false with a reason.
bool writeExampleFrames(const QString& directory, int screenWidth, int screenHeight, eLens lens, int fwMinor,
                        QString& error);
// False with a reason when the directory holds one of those frames and replace is not set, or holds
// a link or something other than a regular file under one of their names.
bool checkExampleFolder(const QString& directory, bool replace, QString& error);
