#pragma once

#include "analysis/MappingModel.h"

#include <cstdint>
#include <vector>

// How the simulated module turns what its camera sees into touch output once it holds a
// calibration record: the record's model maps the camera point into the pattern's frame; the
// record's ceiling and rear flags turn that frame back onto the physical screen (the pattern is
// drawn turned by 180° for ceiling mounting and mirrored for rear projection, so a fit against it
// lands in that turned frame); the screen point is scaled into the 4800 x 3000 output space. The
// output carries the module's own x/y ratio error until the tool's ratio correction cancels it.
class TrackingModel {
public:
    static constexpr double outputWidth = 4800.0;
    static constexpr double outputHeight = 3000.0;

    // Takes the 370-byte calibration record; false (nothing changed) for anything else.
    bool loadRecord(const std::vector<std::uint8_t>& record);
    bool calibrated() const { return hasRecord; }

    // The module's inherent scale error of its output axes (1.0 means none).
    void setRatioError(double x, double y);
    // CMD_SET_FIX_COORD_RATIO: mode 0 clears the correction, 1 corrects x, 2 corrects y.
    void applyRatioFix(int mode, double ratio);

    // Output for a camera point (false before a record is held).
    bool cameraToOutput(double cameraX, double cameraY, double& outX, double& outY) const;
    // Output for an injected touch at device coordinates (ratio error and correction applied).
    void deviceToOutput(double x, double y, double& outX, double& outY) const;

    int screenWidth() const { return width; }
    int screenHeight() const { return height; }

private:
    MappingModel model;
    bool hasRecord = false;
    int width = 0;
    int height = 0;
    bool ceiling = false;
    bool rear = false;
    double errorX = 1.0;
    double errorY = 1.0;
    double fixX = 1.0;
    double fixY = 1.0;
};
