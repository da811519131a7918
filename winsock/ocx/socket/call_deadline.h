#pragma once
// CallDeadline: the one time-out of a blocking call that waits more than once.
//
//   CallDeadline deadline(record->timeoutSeconds);
//   while (more) waitOnRecord(record, WaitFor::Writable, deadline, wrStatusWrite);

#include <chrono>
#include <cstdint>

namespace kvlink {

// One time-out for a whole call that waits more than once (a send that goes out in parts): each
// wait gets what is left of it, so the call takes the time-out once, not once per part.
class CallDeadline {
  public:
    // timeoutSeconds 0 (or below): no limit.
    explicit CallDeadline(int timeoutSeconds)
        : m_limited(timeoutSeconds > 0),
          m_end(std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds)) {}

    // leftMs: the milliseconds left (0 once it passed), or -1 without a limit.
    int64_t leftMs() const {
        if (!m_limited) return -1;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            m_end - std::chrono::steady_clock::now());
        return left.count() > 0 ? left.count() : 0;
    }

  private:
    bool m_limited;
    std::chrono::steady_clock::time_point m_end;
};

}  // namespace kvlink
