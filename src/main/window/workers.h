#pragma once
// The windows' worker threads, and the inbox through which a worker's result reaches the GUI thread.
// Nothing on the GUI thread waits for a worker: a window that no longer wants a result drops interest
// (its inbox goes, or it marks the work abandoned), and the worker runs to its end on its own. What a
// worker may touch is its own data, shared with nobody but through an inbox, and the processor and
// platform of the window's Probe, which the program keeps until every worker has ended (WaitForWorkers
// before they go).

#include <QObject>

#include <functional>
#include <memory>

namespace talvex {

// Runs `work` on a thread of its own. The thread starts on the processors of the thread that starts
// it (a pinned GUI thread's one processor), so a worker sets its own first. An exception escaping
// `work` ends that worker only.
void StartWorker(std::function<void()> work);
// Blocks until every worker started has ended: for the end of the program (or of a test), once its
// windows are gone and no new worker can start.
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
