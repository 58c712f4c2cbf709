#include "SoakImageDiff.h"

#include "device/ImageReassembly.h"

#include <QStringList>
#include <algorithm>
#include <cstring>

namespace {
// The bytes of block b within a calibration image: offset and count, as the module sends them.
bool blockSpan(std::uint32_t block, std::size_t size, std::size_t& offset, std::size_t& count) {
    const std::uint32_t inGroup = (block % ImageReassembly::blocksPerGroup) * ImageReassembly::blockBytes;
    offset = static_cast<std::size_t>(block / ImageReassembly::blocksPerGroup) * ImageReassembly::groupBytes +
             inGroup;
    if (offset >= size)
        return false;
    count = std::min<std::size_t>(
        {ImageReassembly::blockBytes, ImageReassembly::groupBytes - inGroup, size - offset});
    return true;
}

bool sameSpan(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b, std::size_t offset,
              std::size_t count) {
    return a.size() >= offset + count && b.size() >= offset + count &&
           std::memcmp(a.data() + offset, b.data() + offset, count) == 0;
}
} // namespace

QString SoakImageDiff::describe(const std::vector<std::uint8_t>& arrived,
                                const std::vector<std::uint8_t>& expected,
                                const std::vector<std::uint8_t>& previous) {
    if (arrived.size() != expected.size())
        return QStringLiteral("size %1, expected %2").arg(arrived.size()).arg(expected.size());
    int stale = 0, zero = 0, other = 0;
    QStringList first;
    for (std::uint32_t b = 0; b < static_cast<std::uint32_t>(ImageReassembly::acBlockCount); ++b) {
        std::size_t offset = 0, count = 0;
        if (!blockSpan(b, expected.size(), offset, count) || sameSpan(arrived, expected, offset, count))
            continue;
        if (sameSpan(arrived, previous, offset, count))
            ++stale;
        else if (std::all_of(arrived.begin() + static_cast<long>(offset),
                             arrived.begin() + static_cast<long>(offset + count),
                             [](std::uint8_t v) { return v == 0; }))
            ++zero;
        else
            ++other;
        if (first.size() < 8)
            first << QString::number(b);
    }
    return QStringLiteral("%1 blocks differ (%2 hold the previous capture, %3 are zero, %4 other), first %5")
        .arg(stale + zero + other)
        .arg(stale)
        .arg(zero)
        .arg(other)
        .arg(first.join(QStringLiteral(", ")));
}
