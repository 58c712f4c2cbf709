#include "device/ReceiverRuns.h"

#include "platform/Pacing.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcReceiver, "vexaro.device.receiver", QtWarningMsg)

void ReceiverRuns::start(ReceiverThread::Body body) {
    if (current) {
        // Still here only if never stopped: stop it like stop() would.
        current->requestStop();
        kept.push_back(std::move(current));
    }
    reap(true);
    current = std::make_unique<ReceiverThread>(std::move(body));
}

void ReceiverRuns::stop() {
    if (!current)
        return;
    current->requestStop();
    // Looked at every 10 ms, so the caller (often the GUI thread) waits no longer than the thread
    // takes to end.
    for (int i = 0; i < 1000 && !current->finished(); ++i)
        Pacing::pause(10);
    if (current->finished()) {
        current->join();
        current.reset();
    } else {
        qCWarning(lcReceiver) << "Receive thread still running after the stop wait; kept for joining";
        kept.push_back(std::move(current));
    }
}

void ReceiverRuns::reap(bool abortRunning) {
    for (auto& run : kept) {
        if (abortRunning)
            run->requestAbort();
    }
    for (auto it = kept.begin(); it != kept.end();) {
        if (abortRunning || (*it)->finished()) {
            (*it)->join();
            it = kept.erase(it);
        } else {
            ++it;
        }
    }
}
