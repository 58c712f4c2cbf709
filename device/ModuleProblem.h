#pragma once

#include <QMetaType>

// Why the module cannot be used, as the device watcher finds it in one cycle; travels by value
// from the watch thread to the settings window.
enum class ModuleProblem {
    none,           // opened, or not looked at yet
    noModule,       // no device with the module's identity on the bus
    noPermission,   // on the bus, but this user may not open it or claim its interfaces
    noHidInterface, // on the bus, but its HID collection is missing or its interfaces are claimed
    openFailed,     // on the bus, and opening it failed for another reason
};
Q_DECLARE_METATYPE(ModuleProblem)
