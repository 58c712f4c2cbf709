#pragma once

// How the module reports it is set up (its option block): the controller keeps the last report,
// takes the mounting and lens into the installation, and the settings window shows it.
struct ModuleOptions {
    unsigned char ceiling = 0;
    unsigned char rear = 0;
    unsigned char finger = 0; // 1: finger touch, 0: pen
    unsigned char lens = 0;   // as reported; 5 and above say nothing about the lens

    bool reportsLens() const { return lens < 5; }
    // The lens a calibration uses after this report: the reported one when the program calibrates
    // it (ultra short throw, the one the settings window offers), none (0) otherwise.
    int chosenLens() const { return lens == 3 ? 3 : 0; }
};
