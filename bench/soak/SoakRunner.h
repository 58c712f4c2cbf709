#pragma once

#include <QString>
#include <cstdint>
#include <random>

class CamDevCtrl;
class SoakBus;
class SoakWatchClient;

// Unplugs and replugs the module again and again at random moments (idle, live stream open,
// inside an image transfer, inside a calibration) while the device link's watch loop runs as in the
// program. A cycle succeeds when the link reconnects and the next calibration image arrives
// byte-identical to what the module captured.
class SoakRunner {
public:
    struct Result {
        int cycles = 0;
        int failures = 0;
        int stuckThreads = 0;
        long rssGrowthKb = 0; // from the end of cycle 50 (or the last, if fewer) to the end
        int fdGrowth = 0;     // from the end of the first cycle to the end
        double seconds = 0.0;
        QString line() const;
    };
    enum class Moment { Idle, LiveStream, MidImage, MidCalibration };

    SoakRunner(SoakBus& bus, std::uint32_t seed);
    Result run(int cycles);

    static QString momentName(Moment moment);

private:
    // What failed in one cycle; empty when it succeeded.
    QString runCycle(CamDevCtrl& link, SoakWatchClient& client, Moment moment);
    void enter(CamDevCtrl& link, Moment moment);
    bool reconnect(SoakWatchClient& client, int openedBefore, int eepromBefore);
    // Takes a white capture and fetches it; what went wrong, or empty when it arrived identical.
    QString nextImageFailure(CamDevCtrl& link);
    int randomBelow(int bound);

    SoakBus& bus;
    std::mt19937 random;
};
