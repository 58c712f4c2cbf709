#pragma once

#include "device/DevicePacket.h"
#include "device/StoredTuningRecord.h"
#include "module/FrameSource.h"
#include "module/TrackingModel.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

// What the simulated module remembers and reports about itself: firmware version, options, the
// stored tuning block, the last calibration record and the tracking it drives, the camera
// registers and whether it tracks. Any thread; one lock guards it all.
class ModuleMemory {
public:
    struct Options {
        std::uint8_t ceiling = 0, rear = 0, finger = 0, lens = 3;
    };

    ModuleMemory();

    void setFirmwareVersion(int major, int minor);
    void setOptions(const Options& options);
    Options options() const;
    void setFingerMode(bool finger);
    StoredTuningRecord::Bytes storedRecord() const;
    std::vector<std::uint8_t> lastCalibRecord() const;

    // The answers to the connect sequence's questions.
    DevicePacket versionPacket() const;
    DevicePacket optionPacket() const;
    DevicePacket eepromPacket() const;

    // A calibration record arrives: it drives the tracking, sets the mounting and lens options,
    // and the stored block keeps its lens and the tuning offsets of the last record that had any.
    void storeCalibRecord(const DevicePacket& request);

    void writeRegister(std::uint16_t address, std::uint8_t value);
    void setBlackLevel(std::uint8_t level);
    unsigned sensorGain() const;
    FrameSource::Sensor sensor() const;

    bool tracking() const;
    void setTracking(bool on);
    // Where a pen tip seen at a camera point comes out (false before a record is held).
    bool cameraToOutput(double cameraX, double cameraY, double& outX, double& outY) const;
    // The same for a touch the module reports: only while tracking, and only on the screen.
    bool touchAt(double cameraX, double cameraY, double& outX, double& outY) const;
    void deviceToOutput(double x, double y, double& outX, double& outY) const;
    void setRatioError(double x, double y);
    void applyRatioFix(int mode, double ratio);

private:
    unsigned sensorGainLocked() const;

    mutable std::mutex memoryLock; // guards everything below
    int fwMajor = 51, fwMinor = 12;
    Options opts;
    StoredTuningRecord::Bytes stored{};
    std::vector<std::uint8_t> calibRecord;
    std::map<std::uint16_t, std::uint8_t> registers;
    std::uint8_t blackLevel = 0;
    bool trackingOn = true;
    TrackingModel trackingModel;
};
