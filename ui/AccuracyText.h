#pragma once

#include "analysis/PointingAccuracy.h"

#include <QString>

// The status line's sentence on a stored calibration's accuracy, in the user's language: the
// figure in that language's digits, the grade, and the part of the screen where it is worst.
class AccuracyText {
public:
    static QString of(const PointingAccuracy& accuracy, int languageIndex);
};
