#pragma once

// The calibration tests run a whole simulated installation.
#include "analysis/PatternAnalyzer.h"
#include "app/MessageBoxSeam.h"
#include "calibration/CalibDlg.h"
#include "calibration/ZelmoMainCtrl.h"
#include "device/CamDevCtrl.h"
#include "device/DevicePacket.h"
#include "device/PacketCodes.h"
#include "sim/SimulatedInstallation.h"
#include "sim/SimulatedModule.h"

using FlowHarness = SimulatedInstallation;
