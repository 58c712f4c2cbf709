#pragma once

#include "device/DevicePacket.h"

#include <cstdint>
#include <functional>
#include <vector>

// How the module cuts an image into blocks: 496 bytes each, 24 to a group of 11,520 bytes, each
// block carrying its index and the whole image's size.
namespace ImageBlocks {

// Hands blocks first..last of the image to take, in order, stopping at the image's end.
void cut(std::uint32_t code, const std::vector<std::uint8_t>& image, std::uint32_t first, std::uint32_t last,
         const std::function<void(const DevicePacket&)>& take);

} // namespace ImageBlocks
