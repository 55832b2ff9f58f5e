#pragma once
// The calling thread pinned to the first processor it may run on, for a test that reads one core
// live, and given its whole set back however the test ends (an ASSERT, a skip), so no later test
// in the program runs pinned.

#include <vector>

#include "probe/platform/platform.h"

namespace talvex::testing {

class PinnedThread {
public:
    explicit PinnedThread(Platform& os) : os_(os), allowed_(os.ThreadAffinity()) {
        if (!allowed_.empty()) pinned_ = os_.SetThreadAffinity({allowed_.front()});
    }
    ~PinnedThread() {
        if (pinned_) os_.SetThreadAffinity(allowed_);
    }
    PinnedThread(const PinnedThread&) = delete;
    PinnedThread& operator=(const PinnedThread&) = delete;

    // Whether the thread runs on allowed().front() alone now.
    bool pinned() const { return pinned_; }
    // The processors the thread was allowed before; empty when the system would not say.
    const std::vector<unsigned>& allowed() const { return allowed_; }

private:
    Platform& os_;
    std::vector<unsigned> allowed_;
    bool pinned_ = false;
};

}  // namespace talvex::testing
