#pragma once

#include <QString>
#include <cstdint>
#include <vector>

// Tells where an image that arrived differs from the capture it should be: which blocks, and
// whether each holds the module's previous capture (a stale block), zeros (a block that never
// arrived) or anything else (a mixed or damaged one).
class SoakImageDiff {
public:
    static QString describe(const std::vector<std::uint8_t>& arrived,
                            const std::vector<std::uint8_t>& expected,
                            const std::vector<std::uint8_t>& previous);
};
