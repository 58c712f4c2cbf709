#pragma once

#include <QLoggingCategory>
#include <cstdint>
#include <string>

class DevicePacket;

Q_DECLARE_LOGGING_CATEGORY(lcDeviceTrace)

// The protocol name of a code, or "Invalid Command" for codes this lookup does not know.
const char* commandName(std::uint32_t code);

// The one-line trace text of a packet (at most 1023 characters); empty for codes that have no
// trace line.
std::string tracePacket(const DevicePacket& packet);

// Writes the trace line to the vexaro.device.trace category (off by default). Formats nothing
// while the category is off, so tracing costs nothing on the packet path.
void logPacketTrace(const DevicePacket& packet);
