#pragma once

#include <QApplication>

class QSharedMemory;

// The application object with the single-instance guard: a 1-byte shared-memory segment "Vexaro"
// of this user and this display session, so that other users' sessions (and other displays of
// the same user) run their own instance.
class SingleApplication : public QApplication {
    Q_OBJECT
public:
    SingleApplication(int& argc, char** argv);
    ~SingleApplication() override;

    // True when this process now holds the guard; false when a live instance holds it.
    bool isPrimaryInstance();

    // "Vexaro" followed by the user id and the display session of this process.
    static QString guardKey();
    static QString guardKeyFor(unsigned int userId, const QString& displaySession);

    // The guard test on any segment: attach read-only to see whether a live instance holds it,
    // else create the 1-byte segment. Shared with tests, which use a key of their own.
    static bool claimGuard(QSharedMemory& segment);

private:
    QSharedMemory* guard; // Qt child of the application
};
