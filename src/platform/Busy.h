#pragma once
// What the user sees while a long action runs: what is being done, how far it got, and a
// way to stop it.
#include <cstdint>
#include <string>

namespace bw {

class Busy {
public:
    virtual ~Busy() = default;
    // An action starts; `what` says what it does ("Downloading index.html").
    virtual void begin(const std::string& what) = 0;
    // Called now and then while it runs: bytes so far and the total (0 while unknown).
    // False when the user asked to stop it.
    [[nodiscard]] virtual bool progress(std::uint64_t done, std::uint64_t total) = 0;
    // The action has ended.
    virtual void end() = 0;
};

// For callers that show nothing and never stop an action.
class NoBusy final : public Busy {
public:
    void begin(const std::string&) override {}
    bool progress(std::uint64_t, std::uint64_t) override { return true; }
    void end() override {}
};

} // namespace bw
