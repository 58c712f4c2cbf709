#include "module/TrackingModel.h"

#include "device/CalibParameterRecord.h"

bool TrackingModel::loadRecord(const std::vector<std::uint8_t>& record) {
    CalibParameterRecord::Applied applied;
    if (!CalibParameterRecord::parse(record.data(), record.size(), applied))
        return false;
    if (applied.screen.width <= 0 || applied.screen.height <= 0)
        return false;
    static_assert(CalibParameterRecord::paramCount == MappingModel::parameterCount,
                  "the record carries the whole model");
    model = MappingModel::fromArray(applied.params.data());
    width = applied.screen.width;
    height = applied.screen.height;
    ceiling = applied.screen.ceiling != 0;
    rear = applied.screen.rear != 0;
    hasRecord = true;
    // A new calibration starts without a ratio correction; the ratio check follows it.
    fixX = 1.0;
    fixY = 1.0;
    return true;
}

void TrackingModel::setRatioError(double x, double y) {
    errorX = x > 0.0 ? x : 1.0;
    errorY = y > 0.0 ? y : 1.0;
}

void TrackingModel::applyRatioFix(int mode, double ratio) {
    fixX = 1.0;
    fixY = 1.0;
    if (!hasRecord || !(ratio > 0.0))
        return;
    const double aspect = static_cast<double>(width) / height;
    // The tool measured x (mode 1) or y (mode 2) spacing as ratio / aspect or aspect / ratio times
    // the true spacing; undo exactly that.
    if (mode == 1)
        fixX = aspect / ratio;
    else if (mode == 2)
        fixY = ratio / aspect;
}

bool TrackingModel::cameraToOutput(double cameraX, double cameraY, double& outX, double& outY) const {
    if (!hasRecord)
        return false;
    double x = 0.0;
    double y = 0.0;
    model.cameraToScreen(cameraX, cameraY, x, y);
    if (ceiling) {
        x = width - 1 - x;
        y = height - 1 - y;
    }
    if (rear)
        x = width - 1 - x;
    deviceToOutput(x / width * outputWidth, y / height * outputHeight, outX, outY);
    return true;
}

void TrackingModel::deviceToOutput(double x, double y, double& outX, double& outY) const {
    outX = x * errorX * fixX;
    outY = y * errorY * fixY;
}
