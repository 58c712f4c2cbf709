#pragma once

// The calibration tests run a whole simulated installation.
#include "calibration/CalibDlg.h"
#include "calibration/ZelmoMainCtrl.h"
#include "device/CamDevCtrl.h"
#include "device/DevicePacket.h"
#include "device/PacketCodes.h"
#include "harness/SimulatedInstallation.h"
#include "services/MessageBoxSeam.h"
#include "sim/SimulatedModule.h"
#include "tests/support/EventualAssert.h"

using FlowHarness = SimulatedInstallation;

#include <gtest/gtest.h>
#include <string>

// The four ways to mount the module, for parameterised flow tests.
struct Mounting {
    bool ceiling;
    bool rear;
};

// The positive event a "nothing more happens" check waits for: the module has handled every
// command, and the controller has run the slot of every packet the module sent before an empty
// stored-record block queued after them all.
inline bool moduleSettled(FlowHarness& h) {
    int records = 0;
    const QMetaObject::Connection counting = QObject::connect(
        h.controller->device(), &CamDevCtrl::sigSetPrevTweak, [&records](unsigned char*) { ++records; });
    bool settled = h.module->waitUntilIdle();
    DevicePacket empty = DevicePacket::make(DAT_EEPROM);
    empty.setLength(400);
    h.module->injectPacket(0x83, empty);
    settled = eventsUntil([&records] { return records == 1; }) && settled;
    QObject::disconnect(counting);
    return settled;
}

inline std::string mountingName(const ::testing::TestParamInfo<Mounting>& mounting) {
    return std::string(mounting.param.ceiling ? "Ceiling" : "Floor") +
           (mounting.param.rear ? "Rear" : "Front");
}
