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

inline std::string mountingName(const ::testing::TestParamInfo<Mounting>& mounting) {
    return std::string(mounting.param.ceiling ? "Ceiling" : "Floor") +
           (mounting.param.rear ? "Rear" : "Front");
}
