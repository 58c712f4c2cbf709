#pragma once

// How the module is installed, as chosen in the settings window: the controller owns it, the
// flows put it into the record and the calibration window draws the pattern for it.
struct InstallationSettings {
    int ceiling = 0; // 1: mounted on the ceiling (the camera sees the screen upside down)
    int rear = 0;    // 1: rear projection (the camera sees the screen mirrored)
    int lens = 0;    // lens type, 0 while none is chosen
};
