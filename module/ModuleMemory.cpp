#include "module/ModuleMemory.h"

#include "device/CalibParameterRecord.h"
#include "device/PacketCodes.h"

#include <algorithm>

ModuleMemory::ModuleMemory() {
    StoredTuningRecord::writeLens(stored, opts.lens);
}

void ModuleMemory::setFirmwareVersion(int major, int minor) {
    std::lock_guard<std::mutex> l(memoryLock);
    fwMajor = major;
    fwMinor = minor;
}

void ModuleMemory::setOptions(const Options& options) {
    std::lock_guard<std::mutex> l(memoryLock);
    opts = options;
}

ModuleMemory::Options ModuleMemory::options() const {
    std::lock_guard<std::mutex> l(memoryLock);
    return opts;
}

void ModuleMemory::setFingerMode(bool finger) {
    std::lock_guard<std::mutex> l(memoryLock);
    opts.finger = finger ? 1 : 0;
}

StoredTuningRecord::Bytes ModuleMemory::storedRecord() const {
    std::lock_guard<std::mutex> l(memoryLock);
    return stored;
}

std::vector<std::uint8_t> ModuleMemory::lastCalibRecord() const {
    std::lock_guard<std::mutex> l(memoryLock);
    return calibRecord;
}

DevicePacket ModuleMemory::versionPacket() const {
    std::lock_guard<std::mutex> l(memoryLock);
    const std::uint8_t v[2] = {static_cast<std::uint8_t>(fwMajor), static_cast<std::uint8_t>(fwMinor)};
    return DevicePacket::make(DAT_VERSION, v, 2);
}

DevicePacket ModuleMemory::optionPacket() const {
    std::lock_guard<std::mutex> l(memoryLock);
    const std::uint8_t o[4] = {opts.ceiling, opts.rear, opts.finger, opts.lens};
    return DevicePacket::make(DAT_OPTION, o, 4);
}

DevicePacket ModuleMemory::eepromPacket() const {
    std::lock_guard<std::mutex> l(memoryLock);
    return DevicePacket::make(DAT_EEPROM, stored.data(), StoredTuningRecord::size);
}

void ModuleMemory::storeCalibRecord(const DevicePacket& request) {
    const auto n = std::min<std::uint32_t>(request.length(), CalibParameterRecord::size);
    const std::uint8_t* payload = request.data() + DevicePacket::headerSize;
    std::lock_guard<std::mutex> l(memoryLock);
    calibRecord.assign(payload, payload + n);
    calibRecord.resize(CalibParameterRecord::size, 0);
    CalibParameterRecord::Applied applied;
    CalibParameterRecord::parse(calibRecord.data(), calibRecord.size(), applied);
    if (applied.tweakCount > 0)
        StoredTuningRecord::writeTweaks(stored, applied.tweakCount, applied.tweaks.data());
    StoredTuningRecord::writeLens(stored, static_cast<std::uint8_t>(applied.screen.lens));
    trackingModel.loadRecord(calibRecord);
    opts.ceiling = static_cast<std::uint8_t>(applied.screen.ceiling);
    opts.rear = static_cast<std::uint8_t>(applied.screen.rear);
    opts.lens = static_cast<std::uint8_t>(applied.screen.lens);
}

void ModuleMemory::writeRegister(std::uint16_t address, std::uint8_t value) {
    std::lock_guard<std::mutex> l(memoryLock);
    registers[address] = value;
}

void ModuleMemory::setBlackLevel(std::uint8_t level) {
    std::lock_guard<std::mutex> l(memoryLock);
    blackLevel = level;
}

unsigned ModuleMemory::sensorGainLocked() const {
    const auto hi = registers.find(0x350A), lo = registers.find(0x350B);
    return (hi == registers.end() ? 0u : hi->second) * 256u + (lo == registers.end() ? 0x40u : lo->second);
}

unsigned ModuleMemory::sensorGain() const {
    std::lock_guard<std::mutex> l(memoryLock);
    return sensorGainLocked();
}

FrameSource::Sensor ModuleMemory::sensor() const {
    std::lock_guard<std::mutex> l(memoryLock);
    FrameSource::Sensor s;
    s.gain = sensorGainLocked();
    s.blackLevel = blackLevel;
    return s;
}

bool ModuleMemory::tracking() const {
    std::lock_guard<std::mutex> l(memoryLock);
    return trackingOn;
}

void ModuleMemory::setTracking(bool on) {
    std::lock_guard<std::mutex> l(memoryLock);
    trackingOn = on;
}

bool ModuleMemory::cameraToOutput(double cameraX, double cameraY, double& outX, double& outY) const {
    std::lock_guard<std::mutex> l(memoryLock);
    return trackingModel.cameraToOutput(cameraX, cameraY, outX, outY);
}

bool ModuleMemory::touchAt(double cameraX, double cameraY, double& outX, double& outY) const {
    std::lock_guard<std::mutex> l(memoryLock);
    if (!trackingOn || !trackingModel.cameraToOutput(cameraX, cameraY, outX, outY))
        return false; // a module that does not track sends nothing
    // A tip beyond the screen's edge (or a degenerate mapping) is no touch.
    return outX >= 0.0 && outX <= TrackingModel::outputWidth && outY >= 0.0 &&
           outY <= TrackingModel::outputHeight;
}

void ModuleMemory::deviceToOutput(double x, double y, double& outX, double& outY) const {
    std::lock_guard<std::mutex> l(memoryLock);
    trackingModel.deviceToOutput(x, y, outX, outY);
}

void ModuleMemory::setRatioError(double x, double y) {
    std::lock_guard<std::mutex> l(memoryLock);
    trackingModel.setRatioError(x, y);
}

void ModuleMemory::applyRatioFix(int mode, double ratio) {
    std::lock_guard<std::mutex> l(memoryLock);
    trackingModel.applyRatioFix(mode, ratio);
}
