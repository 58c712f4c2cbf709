#pragma once

#include "device/CalibParameterRecord.h"
#include "device/DevicePacket.h"

#include <cstdint>
#include <initializer_list>

// The packets the tool sends to the module, built as values: no USB, no state, so each one can be
// checked byte for byte.
namespace CommandPackets {

// A command with no payload.
DevicePacket plain(std::uint32_t code);
// A payload of little-endian uint32 values.
DevicePacket words(std::uint32_t code, std::initializer_list<std::uint32_t> values);

DevicePacket setTracking(bool on);
DevicePacket fixCoordRatio(int mode, double ratio);
DevicePacket sendCoord(int a, int x, int y);
// The dark capture's level depends on the lens and, for the wide lens, on the firmware.
DevicePacket blackCapture(int lens, int fwMinor);
DevicePacket calibParameter(const CalibParameterRecord::Inputs& record);
// One camera-register write: address low byte, high byte, value.
DevicePacket registerWrite(std::uint16_t address, std::uint8_t value);
// A whole group of a calibration image, or the blocks first..last of it, asked for again.
DevicePacket imageRequest(std::uint8_t imageId, std::uint8_t group);
DevicePacket partRequest(std::uint32_t imageId, std::uint32_t firstBlock, std::uint32_t lastBlock);

// Whether a packet with this code goes into the packet trace: the frequent ones (live frame requests, the
// keep-alive) would drown it.
bool traced(std::uint32_t code);

} // namespace CommandPackets
