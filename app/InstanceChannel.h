#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QLocalServer;

// The line between two instances of one session: the first listens on a local socket, a later one
// asks it to bring its window forward and learns whether it did. One short request, one answer.
class InstanceChannel : public QObject {
    Q_OBJECT
public:
    enum class Reply { raised, busy, none };

    explicit InstanceChannel(QObject* parent = nullptr);

    // Listens at path (replacing a socket left there: the caller holds the instance guard).
    // answer runs on this object's thread for each request: true when the window came forward.
    bool listen(const QString& path, std::function<bool()> answer);
    // Asks the instance listening at path; none when nobody answers within timeoutMs.
    static Reply ask(const QString& path, int timeoutMs);

private:
    void answerConnections();

    QLocalServer* server = nullptr; // Qt child
    std::function<bool()> answerRaise;
};
