#include "module/ImageBlocks.h"

#include "device/ImageReassembly.h"

#include <algorithm>
#include <cstring>

void ImageBlocks::cut(std::uint32_t code, const std::vector<std::uint8_t>& image, std::uint32_t first,
                      std::uint32_t last, const std::function<void(const DevicePacket&)>& take) {
    constexpr std::uint32_t groupBytes = ImageReassembly::groupBytes;
    constexpr std::uint32_t blockBytes = ImageReassembly::blockBytes;
    constexpr std::uint32_t blocksPerGroup = ImageReassembly::blocksPerGroup;
    const auto size = static_cast<std::uint32_t>(image.size());
    for (std::uint32_t b = first; b <= last; ++b) {
        const std::uint32_t inGroup = (b % blocksPerGroup) * blockBytes;
        const std::uint32_t offset = (b / blocksPerGroup) * groupBytes + inGroup;
        if (offset >= size)
            break;
        const std::uint32_t n = std::min({blockBytes, groupBytes - inGroup, size - offset});
        DevicePacket p;
        p.setCode(code);
        p.setLength(8 + n);
        p.setU32(8, b);
        p.setU32(12, size);
        std::memcpy(p.data() + 16, image.data() + offset, n);
        take(p);
    }
}
