#include "device/CalibParameterRecord.h"

#include <algorithm>
#include <cstring>

namespace {

void putU16(std::uint8_t* at, std::uint16_t v) {
    at[0] = static_cast<std::uint8_t>(v & 0xFF);
    at[1] = static_cast<std::uint8_t>(v >> 8);
}

void putI32(std::uint8_t* at, std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<std::uint8_t>((u >> (8 * i)) & 0xFF);
}

template <typename T>
void putRaw(std::uint8_t* at, T v) {
    // Every supported host is little-endian, as the record is.
    std::memcpy(at, &v, sizeof v);
}

template <typename T>
T getRaw(const std::uint8_t* at) {
    T v;
    std::memcpy(&v, at, sizeof v);
    return v;
}

struct LensBytes {
    std::uint8_t e, f0, f1, g;
};

LensBytes lensBytes(int lens, int v) {
    switch (lens) {
    case 3:
        if (v > 10)
            return {0x18, 0x04, 0x05, 0x32};
        if (v == 10)
            return {0x18, 0x08, 0x0B, 0x28};
        return {0x10, 0x07, 0x0C, 0x50};
    case 1:
        return {0x18, 0x07, 0x0C, 0x50};
    case 2:
        if (v <= 10)
            return {0x20, 0x08, 0x0B, 0x28};
        return {0x20, 0x0B, 0x0C, 0x14};
    default:
        return {0x20, 0x03, 0x04, 0x1E};
    }
}

// Row value split as the module expects: truncating signed division and remainder.
void putRow(std::uint8_t* at, int row) {
    at[0] = static_cast<std::uint8_t>(row % 256);
    at[1] = static_cast<std::uint8_t>(row / 256);
}

void writeSensorBlock(std::uint8_t* record, const CalibParameterRecord::Inputs& in) {
    const int t = in.screen.lens;
    const int v = in.fwMinor;
    const LensBytes lb = lensBytes(t, v);
    const bool knownLens = t == 1 || t == 2 || t == 3;

    const std::uint8_t head[] = {0x01, 0x01, 0x00, 0x50, 0x00, 0x00, 0x27, 0x00, 0x00};
    std::memcpy(record + CalibParameterRecord::Offset::sensorBlock, head, sizeof head);
    record[325] = lb.e;
    record[326] = lb.f0;
    record[327] = lb.f1;
    record[328] = lb.g;
    const std::uint8_t middle[] = {0x05, 0x00, 0x1E, 0x00, 0x00, 0x1E, 0x00, 0x00, 0x05, 0x01, 0x00, 0x00};
    std::memcpy(record + 329, middle, sizeof middle);
    record[341] = knownLens ? 0x19 : 0x1E;
    const std::uint8_t after[] = {0x00, 0x01, 0x01, 0x00, 0x50, 0x00, 0x00, 0xA7, 0x00, 0x00};
    std::memcpy(record + 342, after, sizeof after);

    int tail = 352;
    if (knownLens) {
        std::uint8_t lensBlock[4];
        if (t == 3 && v <= 10)
            std::memcpy(lensBlock, "\x20\x02\x03\x0C", 4);
        else if (t == 3)
            std::memcpy(lensBlock, "\x18\x05\x06\x28", 4);
        else if (t == 1)
            std::memcpy(lensBlock, "\x18\x07\x0C\x50", 4);
        else
            std::memcpy(lensBlock, "\x20\x02\x03\x0C", 4);
        std::memcpy(record + 352, lensBlock, 4);
        tail = 356;
    }
    std::uint8_t* p = record + tail;
    p[0] = 0x05;
    p[1] = 0x18;
    p[2] = 0x1E;
    putRow(p + 3, in.rowLimit1);
    p[5] = 0x1E;
    putRow(p + 6, in.rowLimit2);
    const std::uint8_t end[] = {0x05, 0x01, 0x00, 0x05, 0x0A, 0x05};
    std::memcpy(p + 8, end, sizeof end);
}

} // namespace

CalibParameterRecord::Inputs CalibParameterRecord::Inputs::fitted(const double* params, const Screen& screen,
                                                                  int rowLimit, int fwMinor) {
    Inputs in;
    if (params)
        std::copy(params, params + paramCount, in.params.begin());
    in.screen = screen;
    in.hasSensorBlock = true;
    in.rowLimit1 = rowLimit;
    in.rowLimit2 = rowLimit;
    in.fwMinor = fwMinor;
    return in;
}

CalibParameterRecord::Inputs& CalibParameterRecord::Inputs::withTweaks(int count, const float* pairs) {
    const int n = pairs ? std::clamp(count, 0, maxTweaks) : 0;
    hasTweaks = n > 0;
    tweakCount = n;
    tweaks.fill(0.0f);
    if (n > 0)
        std::copy(pairs, pairs + 2 * n, tweaks.begin());
    return *this;
}

CalibParameterRecord::Bytes CalibParameterRecord::build(const Inputs& in) {
    Bytes record{};
    std::uint8_t* r = record.data();
    for (int i = 0; i < paramCount; ++i)
        putRaw(r + Offset::params + 8 * i, in.params[static_cast<std::size_t>(i)]);
    putU16(r + Offset::screenWidth, static_cast<std::uint16_t>(in.screen.width & 0xFFFF));
    putU16(r + Offset::screenHeight, static_cast<std::uint16_t>(in.screen.height & 0xFFFF));
    r[Offset::ceiling] = static_cast<std::uint8_t>(in.screen.ceiling);
    r[Offset::rear] = static_cast<std::uint8_t>(in.screen.rear);
    r[Offset::lens] = static_cast<std::uint8_t>(in.screen.lens);
    r[Offset::reserved] = static_cast<std::uint8_t>(in.reserved);
    if (in.hasTweaks && in.tweakCount > 0) {
        const int n = std::min(in.tweakCount, maxTweaks);
        putI32(r + Offset::tweakCount, n);
        for (int i = 0; i < 2 * n; ++i)
            putRaw(r + Offset::tweakOffsets + 4 * i, in.tweaks[static_cast<std::size_t>(i)]);
    }
    if (in.hasSensorBlock)
        writeSensorBlock(r, in);
    return record;
}

bool CalibParameterRecord::parse(const std::uint8_t* bytes, std::size_t length, Applied& out) {
    if (!bytes || length != static_cast<std::size_t>(size))
        return false;
    Applied a;
    for (int i = 0; i < paramCount; ++i)
        a.params[static_cast<std::size_t>(i)] = getRaw<double>(bytes + Offset::params + 8 * i);
    a.screen.width = bytes[Offset::screenWidth] | (bytes[Offset::screenWidth + 1] << 8);
    a.screen.height = bytes[Offset::screenHeight] | (bytes[Offset::screenHeight + 1] << 8);
    a.screen.ceiling = bytes[Offset::ceiling];
    a.screen.rear = bytes[Offset::rear];
    a.screen.lens = bytes[Offset::lens];
    a.tweakCount = std::clamp(getRaw<std::int32_t>(bytes + Offset::tweakCount), 0, maxTweaks);
    for (int i = 0; i < 2 * a.tweakCount; ++i)
        a.tweaks[static_cast<std::size_t>(i)] = getRaw<float>(bytes + Offset::tweakOffsets + 4 * i);
    out = a;
    return true;
}
