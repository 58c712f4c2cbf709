#pragma once

#include "usbemu/EmulatedBus.h"

#include <string>
#include <vector>

// The command line of vexaro-emulate-module: bus options, then "--" and the command to run.
class EmulateOptions {
public:
    // False (with the reason in error) when the line cannot be used.
    bool parse(const std::vector<std::string>& args);

    EmulatedBus::Options bus;
    double unplugAfterSeconds = -1.0; // negative: never
    bool screenCamera = false;        // the modules' cameras photograph the X display
    bool helpAsked = false;           // --help or -h: print the usage and run nothing
    bool versionAsked = false;        // --version: print the version and run nothing
    std::vector<std::string> command;
    std::string error;

    static const char* usage();
};
