#include "SoakRunner.h"

#include "ProcessProbe.h"
#include "SoakBus.h"
#include "SoakWatchClient.h"
#include "device/CamDevCtrl.h"
#include "device/PacketCodes.h"
#include "platform/Pacing.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QThread>
#include <algorithm>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

Q_LOGGING_CATEGORY(lcSoak, "vexaro.soak", QtWarningMsg)

namespace {

constexpr int stepTimeoutMs = 10000;

// Runs the GUI thread's events until the condition holds or the time is up.
bool waitFor(const std::function<bool()>& done, int timeoutMs = stepTimeoutMs) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
        QThread::usleep(200);
    }
    return true;
}

// Keeps the GUI thread's events flowing for a while (the random moment of the unplug).
void runEventsFor(int ms) {
    QElapsedTimer t;
    t.start();
    waitFor([&] { return t.elapsed() >= ms; }, ms + 1000);
}

// The watch thread as the controller runs it.
class WatchThread {
public:
    WatchThread(CamDevCtrl& link, SoakWatchClient& client)
        : watchClient(client)
        , thread([&link, &client] { link.deviceWatchLoop(client); }) {}
    ~WatchThread() {
        watchClient.stop.store(true);
        thread.join();
    }
    WatchThread(const WatchThread&) = delete;
    WatchThread& operator=(const WatchThread&) = delete;

private:
    SoakWatchClient& watchClient;
    std::thread thread;
};

} // namespace

QString SoakRunner::Result::line() const {
    return QStringLiteral(
               "soak cycles=%1 failures=%2 stuck_threads=%3 rss_growth_kb=%4 fd_growth=%5 seconds=%6")
        .arg(cycles)
        .arg(failures)
        .arg(stuckThreads)
        .arg(rssGrowthKb)
        .arg(fdGrowth)
        .arg(seconds, 0, 'f', 1);
}

SoakRunner::SoakRunner(SoakBus& soakBus, std::uint32_t seed)
    : bus(soakBus)
    , random(seed) {}

int SoakRunner::randomBelow(int bound) {
    return static_cast<int>(random() % static_cast<std::uint32_t>(bound));
}

SoakRunner::Result SoakRunner::run(int cycles) {
    Result result;
    QElapsedTimer clock;
    clock.start();
    // Every fixed pause of the program (watch cycle, open delays) shrinks a hundredfold.
    Pacing::setScale(0.01);
    const int threadsBefore = ProcessProbe::threadCount();
    long rssMark = 0;
    int fdMark = 0;
    int orphans = 0;
    {
        auto link = std::make_unique<CamDevCtrl>(bus.createTransport());
        // Each live frame asks for the next while the stream is open, as the controller does.
        QObject::connect(link.get(), &CamDevCtrl::sigNewFrame, link.get(), [&link](unsigned char*, int) {
            if (link->liveStreamStopped() == 0)
                link->requestLiveFrame();
        });
        SoakWatchClient client;
        {
            WatchThread watch(*link, client);
            if (!reconnect(client, 0, 0))
                ++result.failures;
            for (int i = 1; i <= cycles; ++i) {
                if (!runCycle(*link, client, i)) {
                    ++result.failures;
                    qCWarning(lcSoak) << "cycle" << i << "failed";
                }
                result.cycles = i;
                if (i == 1)
                    fdMark = ProcessProbe::openFileDescriptors();
                if (i == std::min(cycles, 50))
                    rssMark = ProcessProbe::residentKb();
            }
            result.rssGrowthKb = ProcessProbe::residentKb() - rssMark;
            result.fdGrowth = ProcessProbe::openFileDescriptors() - fdMark;
        }
        orphans = link->orphanedReceivers();
    }
    // Every thread the link and the watch started must be gone again.
    result.stuckThreads = orphans + std::max(0, ProcessProbe::threadCount() - threadsBefore);
    Pacing::setScale(1.0);
    result.seconds = static_cast<double>(clock.elapsed()) / 1000.0;
    return result;
}

bool SoakRunner::runCycle(CamDevCtrl& link, SoakWatchClient& client, int index) {
    bus.forgetHistory();
    const auto moment = static_cast<Moment>(randomBelow(4));
    enter(link, moment);
    runEventsFor(randomBelow(30));
    const int openedBefore = client.opened.load();
    bus.unplug();
    // Mostly the watch loop sees the module gone; sometimes it is back before the next look.
    const bool awaitUnplug = randomBelow(5) != 0;
    if (awaitUnplug && !waitFor([&] { return !client.connected.load(); })) {
        qCWarning(lcSoak) << "cycle" << index << ": the unplug was not noticed";
        return false;
    }
    bus.setAnswerDelayMs(0.0);
    // Counted before the plug: the watch may reopen the module before this thread looks again.
    const int eepromBefore = bus.commandCount(CMD_GET_EEPROM);
    bus.plug();
    // As the application does once it has seen the module leave: the stream stops and the next
    // open reads the replies (a reopen keeps the mode last asked for).
    link.setLiveStreamStopped(1);
    link.setReceiveMode(0);
    if (!reconnect(client, openedBefore, eepromBefore)) {
        qCWarning(lcSoak) << "cycle" << index << ": no reconnect; moment" << static_cast<int>(moment)
                          << "unplug awaited" << awaitUnplug << "opened"
                          << client.opened.load() - openedBefore << "connected" << client.connected.load()
                          << "absent" << client.absent.load() << "open failures" << client.openFailed.load()
                          << "stored-record requests" << bus.commandCount(CMD_GET_EEPROM);
        return false;
    }
    if (!nextImageArrivesWhole(link)) {
        qCWarning(lcSoak) << "cycle" << index << ": the next image did not arrive whole";
        return false;
    }
    return true;
}

void SoakRunner::enter(CamDevCtrl& link, Moment moment) {
    switch (moment) {
    case Moment::Idle:
        break;
    case Moment::LiveStream:
        link.stopReceiver();
        link.setReceiveMode(1);
        link.startReceiver();
        link.setLiveStreamStopped(0);
        link.requestLiveFrame();
        break;
    case Moment::MidImage:
        // Slow answers spread the 1,944 blocks of the transfer over the random moment.
        bus.setAnswerDelayMs(0.2);
        link.startWhiteCapture(1);
        link.requestAcImage(AcImageId::white, 0);
        break;
    case Moment::MidCalibration:
        if (randomBelow(2) == 0) {
            link.startBlackCapture(3, 12);
            link.requestAcImage(AcImageId::black, 0);
        } else {
            link.startManualCalib();
            link.startManualPattern(0);
        }
        break;
    }
}

bool SoakRunner::reconnect(SoakWatchClient& client, int openedBefore, int eepromBefore) {
    // Opened anew, and the connect sequence's last request has reached the module.
    return waitFor([&] { return client.opened.load() > openedBefore && client.connected.load(); }) &&
           waitFor([&] { return bus.commandCount(CMD_GET_EEPROM) > eepromBefore || openedBefore == 0; });
}

bool SoakRunner::nextImageArrivesWhole(CamDevCtrl& link) {
    const std::vector<std::uint8_t> before = bus.capturedImage(AcImageId::white);
    link.startWhiteCapture(1);
    // Each capture takes a new random image, so a changed one is this capture's.
    if (!waitFor([&] { return bus.capturedImage(AcImageId::white) != before; })) {
        qCWarning(lcSoak) << "the module never took the capture";
        return false;
    }
    const std::vector<std::uint8_t> expected = bus.capturedImage(AcImageId::white);
    bool arrived = false;
    bool identical = false;
    const auto c =
        QObject::connect(&link, &CamDevCtrl::sigACNewFrame, &link, [&](unsigned char* image, int size) {
            if (arrived)
                return;
            arrived = true;
            identical = static_cast<std::size_t>(size) == expected.size() &&
                        std::equal(expected.begin(), expected.end(), image);
        });
    link.requestAcImage(AcImageId::white, 0);
    const bool done = waitFor([&] { return arrived; });
    QObject::disconnect(c);
    if (!done)
        qCWarning(lcSoak) << "no image arrived; image requests the module saw:"
                          << bus.commandCount(CMD_AC_SENDIMG);
    else if (!identical)
        qCWarning(lcSoak) << "the image arrived but differs from the capture";
    return done && identical;
}
