#pragma once

#include <QString>
#include <QStringList>

struct InstallationSettings;
struct RunFailure;

// The text the user sees when an automatic calibration fails: M14, then why and what to do, from
// the language tables.
class FailureMessage {
public:
    static QString text(const RunFailure& failure);

private:
    // What the camera saw, then which mounting options to tick or untick. The window draws the
    // pattern turned for Ceiling and mirrored for Rear, so a camera sees it turned (or mirrored)
    // exactly when the option differs from how it is mounted: the advice is to flip the option.
    static QStringList mountingAdvice(bool turned, bool mirrored, const InstallationSettings& settings);
};
