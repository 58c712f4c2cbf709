#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QSocketNotifier;

// The test hook of a --simulate run. Commands arrive two ways:
//  - POSIX signals: SIGUSR1 runs "unplug", SIGUSR2 runs "replug". The handler only writes one
//    byte into a self-pipe; a socket notifier turns it into the command on the GUI thread, so no
//    Qt code runs inside the signal handler.
//  - lines on standard input ("view", "ok", "close", "unplug", "replug", ...), each running the
//    command registered under that name. End of input just stops listening.
// Unknown commands are ignored. One instance at a time.
class SimulationHooks : public QObject {
    Q_OBJECT
public:
    explicit SimulationHooks(QObject* parent = nullptr);
    ~SimulationHooks() override;

    void addCommand(const QString& name, std::function<void()> action);
    // Installs the signal handlers and starts listening (stdin only when readStdin is set).
    bool start(bool readStdin);
    // Runs a command by name; false when none is registered under it.
    bool run(const QString& name);

private:
    void onSignalByte();
    void onStdin();

    QHash<QString, std::function<void()>> commands;
    int pipeFds[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> signalNotifier;
    std::unique_ptr<QSocketNotifier> stdinNotifier;
    QByteArray pendingInput;
};
