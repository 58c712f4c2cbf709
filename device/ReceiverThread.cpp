#include "device/ReceiverThread.h"

ReceiverThread::ReceiverThread(Body body)
    : thread([this, run = std::move(body)] {
        run(*this);
        done.store(true);
    }) {}

ReceiverThread::~ReceiverThread() {
    join();
}

void ReceiverThread::join() {
    if (thread.joinable())
        thread.join();
}
