// The line between two instances: the first answers whether it came forward; an instance with
// nobody listening, or a request that is not the one line, gets no answer.
#include "app/InstanceChannel.h"
#include "tests/support/EventualAssert.h"

#include <QLocalSocket>
#include <QTemporaryDir>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace {

// Asks from another thread, as a second process would, while this thread's event loop answers.
InstanceChannel::Reply askWhileAnswering(const QString& path) {
    std::atomic<bool> done{false};
    InstanceChannel::Reply reply = InstanceChannel::Reply::none;
    std::thread asker([&] {
        reply = InstanceChannel::ask(path, 3000);
        done.store(true);
    });
    eventsUntil([&] { return done.load(); }, 10000);
    asker.join();
    return reply;
}

} // namespace

TEST(InstanceChannel, TheFirstSaysWhetherItCameForward) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString path = folder.filePath(QStringLiteral("vexaro-test.lock.sock"));
    EXPECT_EQ(InstanceChannel::ask(path, 500), InstanceChannel::Reply::none) << "nobody listens";

    bool calibrating = false;
    int asked = 0;
    InstanceChannel first;
    ASSERT_TRUE(first.listen(path, [&] {
        ++asked;
        return !calibrating;
    }));
    EXPECT_EQ(askWhileAnswering(path), InstanceChannel::Reply::raised);
    calibrating = true;
    EXPECT_EQ(askWhileAnswering(path), InstanceChannel::Reply::busy);
    EXPECT_EQ(asked, 2);

    // Anything else is dropped unanswered, and the first asks its window nothing.
    std::atomic<bool> done{false};
    QByteArray answer;
    std::thread stranger([&] {
        QLocalSocket socket;
        socket.connectToServer(path);
        if (socket.waitForConnected(3000)) {
            socket.write(QByteArray(200, 'x') + '\n');
            socket.waitForBytesWritten(3000);
            if (socket.waitForReadyRead(1000))
                answer = socket.readAll();
        }
        done.store(true);
    });
    eventsUntil([&] { return done.load(); }, 10000);
    stranger.join();
    EXPECT_TRUE(answer.isEmpty());
    EXPECT_EQ(asked, 2);

    // A socket left behind by a crashed first instance does not stop the next one listening.
    InstanceChannel next;
    EXPECT_TRUE(next.listen(path, [] { return true; }));
}
