#pragma once
// A point where a thread of the program under test stops while the test holds it, so that the
// test can act while that thread is known to be in the middle of its work.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace bw::test {

class Gate {
public:
    void hold(bool on)
    {
        std::lock_guard lock(mutex_);
        held_ = on;
        changed_.notify_all();
    }
    // Until a thread waits at the gate.
    void waitHeld()
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return waiting_; });
    }
    // Waits while the gate is held or until `cancel` is set; true when cancelled. The flag tells
    // nobody: it is looked at now and then, as a real reader does.
    bool pass(const std::atomic<bool>* cancel = nullptr)
    {
        std::unique_lock lock(mutex_);
        waiting_ = held_;
        changed_.notify_all();
        while (held_ && !(cancel && *cancel))
            changed_.wait_for(lock, std::chrono::milliseconds(1));
        waiting_ = false;
        return cancel && *cancel;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool held_ = false, waiting_ = false;
};

} // namespace bw::test
