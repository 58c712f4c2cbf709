#include "calibration/TweakRecord.h"

#include "device/StoredTuningRecord.h"

TweakRecord TweakRecord::fromEeprom(const unsigned char* block) {
    const StoredTuningRecord::Content content = StoredTuningRecord::parse(block);
    TweakRecord record;
    for (int i = 0; i < content.count; ++i) {
        const auto at = static_cast<std::size_t>(i);
        record.offsets[at] = QPointF(static_cast<double>(content.offsets[2 * at]),
                                     static_cast<double>(content.offsets[2 * at + 1]));
    }
    record.count = content.count;
    record.lens = content.lens;
    return record;
}
