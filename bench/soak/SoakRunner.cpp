#include "SoakRunner.h"

#include "ProcessProbe.h"
#include "SoakBus.h"
#include "SoakImageDiff.h"
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
                const auto moment = static_cast<Moment>(randomBelow(4));
                const QString failure = runCycle(*link, client, moment);
                if (!failure.isEmpty()) {
                    ++result.failures;
                    qCWarning(lcSoak).noquote()
                        << QStringLiteral("cycle %1 (%2): %3").arg(i).arg(momentName(moment), failure);
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

QString SoakRunner::momentName(Moment moment) {
    switch (moment) {
    case Moment::Idle:
        return QStringLiteral("idle");
    case Moment::LiveStream:
        return QStringLiteral("live stream");
    case Moment::MidImage:
        return QStringLiteral("mid-image");
    case Moment::MidCalibration:
        return QStringLiteral("mid-calibration");
    }
    return QString();
}

QString SoakRunner::runCycle(CamDevCtrl& link, SoakWatchClient& client, Moment moment) {
    bus.forgetHistory();
    enter(link, moment);
    runEventsFor(randomBelow(30));
    const int openedBefore = client.opened.load();
    bus.unplug();
    // Mostly the watch loop sees the module gone; sometimes it is back before the next look.
    const bool awaitUnplug = randomBelow(5) != 0;
    if (awaitUnplug && !waitFor([&] { return !client.connected.load(); }))
        return QStringLiteral("the unplug was not noticed");
    bus.setAnswerDelayMs(0.0);
    // Counted before the plug: the watch may reopen the module before this thread looks again.
    const int eepromBefore = bus.commandCount(CMD_GET_EEPROM);
    bus.plug();
    // As the application does once it has seen the module leave: the stream stops and the next
    // open reads the replies (a reopen keeps the mode last asked for).
    link.setLiveStreamStopped(1);
    link.setReceiveMode(0);
    if (!reconnect(client, openedBefore, eepromBefore)) {
        return QStringLiteral("no reconnect; unplug awaited %1, opened %2, connected %3, absent %4, "
                              "open failures %5, stored-record requests %6")
            .arg(awaitUnplug)
            .arg(client.opened.load() - openedBefore)
            .arg(client.connected.load())
            .arg(client.absent.load())
            .arg(client.openFailed.load())
            .arg(bus.commandCount(CMD_GET_EEPROM));
    }
    return nextImageFailure(link);
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

QString SoakRunner::nextImageFailure(CamDevCtrl& link) {
    const int id = AcImageId::white;
    const int capturesBefore = bus.captureCount(id);
    const std::vector<std::uint8_t> previous = bus.capturedImage(id);
    link.startWhiteCapture(1);
    if (!waitFor([&] { return bus.captureCount(id) > capturesBefore; }))
        return QStringLiteral("the module never took the capture of image %1").arg(id);
    // Exactly this capture, or the comparison would be with an image the soak did not ask for.
    const int capturesTaken = bus.captureCount(id);
    if (capturesTaken != capturesBefore + 1)
        return QStringLiteral("%1 captures of image %2 landed for one request")
            .arg(capturesTaken - capturesBefore)
            .arg(id);
    const std::vector<std::uint8_t> expected = bus.capturedImage(id);
    const int groupsBefore = bus.commandCount(CMD_AC_SENDIMG);
    const int partsBefore = bus.commandCount(CMD_AC_SENDIMG_PART);
    bool arrived = false;
    std::vector<std::uint8_t> image;
    const auto c =
        QObject::connect(&link, &CamDevCtrl::sigACNewFrame, &link, [&](unsigned char* data, int size) {
            if (arrived)
                return;
            arrived = true;
            image.assign(data, data + std::max(0, size));
        });
    link.requestAcImage(static_cast<std::uint8_t>(id), 0);
    const bool done = waitFor([&] { return arrived; });
    QObject::disconnect(c);
    const QString counters = QStringLiteral("group requests %1, part requests %2")
                                 .arg(bus.commandCount(CMD_AC_SENDIMG) - groupsBefore)
                                 .arg(bus.commandCount(CMD_AC_SENDIMG_PART) - partsBefore);
    if (!done)
        return QStringLiteral("image %1 never arrived; %2").arg(id).arg(counters);
    if (bus.captureCount(id) != capturesTaken)
        return QStringLiteral("another capture of image %1 landed during the transfer; %2")
            .arg(id)
            .arg(counters);
    if (image == expected)
        return QString();
    return QStringLiteral("image %1 arrived but differs from the capture; %2; %3")
        .arg(id)
        .arg(counters, SoakImageDiff::describe(image, expected, previous));
}
