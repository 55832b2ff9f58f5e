#include "main/window/workers.h"

#include <QPointer>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "main/window/application.h"

namespace talvex {

namespace {

// The workers still running. Threads are detached: a worker ends on its own, and the count is how
// the end of the program knows that it has.
struct Running {
    std::mutex lock;
    std::condition_variable ended;
    unsigned count = 0;
};

// Never destroyed, so a worker still ending as the program exits finds it whole.
Running& Workers() {
    static Running* const running = new Running;
    return *running;
}

}  // namespace

void StartWorker(std::function<void()> work) {
    Running& running = Workers();
    {
        const std::lock_guard hold(running.lock);
        ++running.count;
    }
    std::thread([work = std::move(work), &running]() mutable {
        try {
            work();
        } catch (...) {
            // The worker's own code hands its errors to its window; nothing may end the program here.
        }
        work = nullptr;  // what it holds goes before the worker counts as ended
        const std::lock_guard hold(running.lock);
        --running.count;
        running.ended.notify_all();
    }).detach();
}

void WaitForWorkers() {
    Running& running = Workers();
    std::unique_lock hold(running.lock);
    running.ended.wait(hold, [&] { return running.count == 0; });
}

struct Inbox::Address::Slot {
    std::mutex lock;
    Inbox* inbox = nullptr;  // nullptr once the inbox is gone
    std::vector<std::function<void()>> posted;
};

void Inbox::Address::Post(std::function<void()> delivery) const {
    const std::lock_guard hold(slot_->lock);
    if (slot_->inbox == nullptr) return;
    slot_->posted.push_back(std::move(delivery));
    // One wake-up for all posted before it runs. Under the lock, so the inbox cannot go meanwhile.
    if (slot_->posted.size() == 1) QMetaObject::invokeMethod(slot_->inbox, "Deliver", Qt::QueuedConnection);
}

Inbox::Inbox(QObject* parent) : QObject(parent) {
    address_.slot_ = std::make_shared<Address::Slot>();
    address_.slot_->inbox = this;
}

Inbox::~Inbox() {
    std::vector<std::function<void()>> dropped;
    const std::lock_guard hold(address_.slot_->lock);
    address_.slot_->inbox = nullptr;
    dropped.swap(address_.slot_->posted);
}

void Inbox::Deliver() {
    std::vector<std::function<void()>> posted;
    {
        const std::lock_guard hold(address_.slot_->lock);
        posted.swap(address_.slot_->posted);
    }
    // A delivery may close the window and with it this inbox: the rest are then dropped.
    const QPointer<Inbox> alive(this);
    for (std::function<void()>& delivery : posted) {
        if (alive.isNull()) return;
        RunHandler(delivery);
    }
}

}  // namespace talvex
