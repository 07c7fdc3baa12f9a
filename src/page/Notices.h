#pragma once
// Telling listeners what changed. A listener hears notices for as long as the Subscription
// it was given lives; the teller may go first, and a listener may end its own or another's
// subscription while a notice is being told.
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace bw {

class Subscription {
public:
    Subscription() = default;
    explicit Subscription(std::function<void()> end) : end_(std::move(end)) {}
    Subscription(Subscription&& other) noexcept : end_(std::exchange(other.end_, {})) {}
    Subscription& operator=(Subscription&& other) noexcept
    {
        if (this != &other) {
            reset();
            end_ = std::exchange(other.end_, {});
        }
        return *this;
    }
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;
    ~Subscription() { reset(); }
    void reset()
    {
        if (auto end = std::exchange(end_, {}))
            end();
    }

private:
    std::function<void()> end_;
};

template <class Notice> class Notices {
public:
    using Listener = std::function<void(const Notice&)>;

    [[nodiscard]] Subscription subscribe(Listener listener)
    {
        auto entry = std::make_shared<Entry>(Entry{std::move(listener), true});
        entries_->push_back(entry);
        std::weak_ptr<std::vector<std::shared_ptr<Entry>>> entries = entries_;
        return Subscription([entries, entry] {
            entry->live = false;
            if (auto all = entries.lock())
                std::erase(*all, entry);
        });
    }
    void tell(const Notice& notice) const
    {
        // A copy: a listener may subscribe or end subscriptions meanwhile.
        const std::vector<std::shared_ptr<Entry>> now = *entries_;
        for (const auto& entry : now)
            if (entry->live)
                entry->listener(notice);
    }

private:
    struct Entry {
        Listener listener;
        bool live;
    };
    std::shared_ptr<std::vector<std::shared_ptr<Entry>>> entries_ = std::make_shared<std::vector<std::shared_ptr<Entry>>>();
};

} // namespace bw
