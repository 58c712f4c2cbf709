#pragma once

// The fixed blocking pauses between device steps. Tests shrink them with a scale factor so that
// multi-second sequences run in milliseconds; the product always runs at scale 1.
class Pacing {
public:
    static void pause(int milliseconds);
    static void setScale(double scale);
    static double scale();
    // A pause length after scaling, in microseconds.
    static long long scaledMicroseconds(int milliseconds);
};
