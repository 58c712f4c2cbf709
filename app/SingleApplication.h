#pragma once

#include "app/InstanceChannel.h"

#include <QApplication>
#include <functional>
#include <memory>

class QLockFile;

// The application object with the single-instance guard: a lock file of this user and this display
// session in the user's runtime folder, so that other users' sessions (and other displays of the
// same user) run their own instance, and no other user can create the guard first.
class SingleApplication : public QApplication {
    Q_OBJECT
public:
    SingleApplication(int& argc, char** argv);
    ~SingleApplication() override;

    // True when this process now holds the guard; false when a live instance holds it.
    bool isPrimaryInstance();

    // The guard of this user and display session: "vexaro-<display>.lock" in $XDG_RUNTIME_DIR, or
    // in the user's configuration folder when that variable is unset.
    static QString guardPath();
    static QString guardPathFor(const QString& folder, const QString& displaySession);

    // Takes the lock unless a live instance holds it. A lock whose holder is gone, or that holds
    // nothing readable (a crash while it was written), is taken over. Shared with tests.
    static bool claimGuard(QLockFile& lock);

    // The primary instance listens on the guard's channel; answer is asked, on the GUI thread,
    // whenever another instance starts, and says whether the first brought its window forward.
    void listenForOtherInstances(std::function<bool()> answer);
    // Asked by an instance that is not primary: raised when the first brought its window forward,
    // busy when it keeps a calibration in front, none when it did not answer within timeoutMs.
    static InstanceChannel::Reply askPrimaryToRaise(int timeoutMs);
    // The channel's socket of this user and display session: the guard's path with ".sock".
    static QString channelPath();

private:
    std::unique_ptr<QLockFile> guard;
    InstanceChannel* channel = nullptr; // Qt child
};
