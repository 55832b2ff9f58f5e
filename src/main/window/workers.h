#pragma once
// The windows' worker threads, and the inbox through which a worker's result reaches the GUI thread.
//
// One model for every worker: it runs on a thread of its own with a std::stop_token, and whoever
// starts it keeps the std::stop_source StartWorker returns. Nothing on the GUI thread waits for a
// worker: a window that no longer wants a result asks its workers to stop (and drops its inbox), and
// each ends on its own at its next look at the token. What a worker may touch is its own data, shared
// with nobody but through an inbox, and the processor and platform of the window's Probe, which the
// program keeps until the workers have ended. At the end of the program FinishWorkers asks every
// worker to stop and waits a bounded time: one stuck where no token reaches it (a read the kernel
// does not end) ends with the process.

#include <QObject>

#include <chrono>
#include <functional>
#include <memory>
#include <stop_token>

namespace talvex {

// Runs `work` on a thread of its own and returns what asks it to stop. The thread starts on the
// processors of the thread that starts it (a pinned GUI thread's one processor), so a worker sets its
// own first. An exception escaping `work` ends that worker only. A thread that cannot be started
// throws std::system_error here, and leaves nothing for the end of the program to wait for.
std::stop_source StartWorker(std::function<void(std::stop_token)> work);

// Asks every worker still running to stop and waits up to `bound` for all of them to end; true when
// they have.
bool StopWorkers(std::chrono::milliseconds bound);
// How long the end of the program waits for its workers.
inline constexpr std::chrono::milliseconds kExitWait{500};
// The end of the program, once its windows are gone: returns when every worker has ended within
// kExitWait, so that what they use may go; otherwise ends the process at once with `status` (its
// threads with it), output flushed, without running a destructor a stuck worker might still need.
void FinishWorkers(int status);
// Waits, without asking any to stop, up to `bound` for every worker started to end; true when they
// have. Without a bound: for tests and benchmarks, which keep what the workers use until then.
bool WaitForWorkers(std::chrono::milliseconds bound);
void WaitForWorkers();

// Where workers post results for the thread the inbox lives on (the GUI thread). A posted delivery
// runs there, in the order posted, unless the inbox is gone first: then it never runs. Make it a child
// of the window the deliveries act on, so they can use the window freely.
class Inbox final : public QObject {
    Q_OBJECT

public:
    explicit Inbox(QObject* parent);
    ~Inbox() override;
    Inbox(const Inbox&) = delete;
    Inbox& operator=(const Inbox&) = delete;

    // A worker's way to this inbox: a value, safe to copy, keep and use from any thread, also after
    // the inbox is gone.
    class Address {
    public:
        // Runs `delivery` on the inbox's thread, unless the inbox is gone before it runs.
        void Post(std::function<void()> delivery) const;

    private:
        friend class Inbox;
        struct Slot;
        std::shared_ptr<Slot> slot_;
    };
    Address address() const { return address_; }

private:
    // Runs what has been posted; woken by name, so the wake-up itself carries no data of ours.
    Q_INVOKABLE void Deliver();

    Address address_;
};

}  // namespace talvex
