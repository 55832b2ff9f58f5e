#include "main/window/workers.h"

#include <QPointer>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <list>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "main/window/application.h"

namespace talvex {

namespace {

// The workers whose threads exist: one entry each, which the worker's thread removes as it ends.
// Threads are detached: a worker ends on its own, and this list is how the end of the program knows
// that it has, and how it asks those still running to stop.
struct Running {
    std::mutex lock;
    std::condition_variable ended;
    std::list<std::stop_source> workers;
};

// Never destroyed, so a worker still ending as the program exits finds it whole.
Running& Workers() {
    static Running* const running = new Running;
    return *running;
}

// A worker's entry in the list, removed when this goes: as the worker's thread ends, or with the
// thread's closure when the thread cannot be started.
class Entry {
public:
    explicit Entry(const std::stop_source& stop) {
        Running& running = Workers();
        const std::lock_guard hold(running.lock);
        at_ = running.workers.insert(running.workers.end(), stop);
    }
    Entry(Entry&& other) noexcept : at_(other.at_), held_(std::exchange(other.held_, false)) {}
    Entry(const Entry&) = delete;
    Entry& operator=(const Entry&) = delete;
    Entry& operator=(Entry&&) = delete;
    ~Entry() {
        if (!held_) return;
        Running& running = Workers();
        const std::lock_guard hold(running.lock);
        running.workers.erase(at_);
        running.ended.notify_all();
    }

private:
    std::list<std::stop_source>::iterator at_;
    bool held_ = true;
};

}  // namespace

std::stop_source StartWorker(std::function<void(std::stop_token)> work) {
    std::stop_source stop;
    // Listed before the thread exists, so that the end of the program cannot miss it; should the
    // thread not start, its closure, and the entry with it, goes before std::thread throws.
    std::thread([work = std::move(work), token = stop.get_token(), entry = Entry(stop)]() mutable {
        try {
            work(token);
        } catch (...) {
            // The worker's own code hands its errors to its window; nothing may end the program here.
        }
        work = nullptr;  // what it holds goes before the worker counts as ended
        { [[maybe_unused]] const Entry ending = std::move(entry); }
    }).detach();
    return stop;
}

bool StopWorkers(std::chrono::milliseconds bound) {
    Running& running = Workers();
    {
        const std::lock_guard hold(running.lock);
        for (std::stop_source& worker : running.workers) worker.request_stop();
    }
    return WaitForWorkers(bound);
}

void FinishWorkers(int status) {
    if (StopWorkers(kExitWait)) return;
    std::fflush(nullptr);
    std::_Exit(status);
}

bool WaitForWorkers(std::chrono::milliseconds bound) {
    Running& running = Workers();
    std::unique_lock hold(running.lock);
    return running.ended.wait_for(hold, bound, [&] { return running.workers.empty(); });
}

void WaitForWorkers() {
    Running& running = Workers();
    std::unique_lock hold(running.lock);
    running.ended.wait(hold, [&] { return running.workers.empty(); });
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
