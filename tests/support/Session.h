#pragma once
// Random pages and random sessions of the main window, on one page or walking batches. After
// every step each page file is its text as first read with only ALT attributes of listed tags
// changed, and closing leaves it as it was or as first read.
// Shared by the property tests and the fuzz targets.
#include <cstdint>
#include <random>
#include <span>
#include <string>

namespace bw::test {

struct Choices {
    virtual ~Choices() = default;
    virtual uint32_t pick(uint32_t n) = 0; // 0 .. n-1
    virtual bool done() const { return false; }
};

struct SeededChoices final : Choices {
    explicit SeededChoices(uint32_t seed) : rng(seed) {}
    uint32_t pick(uint32_t n) override { return std::uniform_int_distribution<uint32_t>(0, n - 1)(rng); }
    std::mt19937 rng;
};

// A fuzzer's bytes; once they run out every choice is the first.
struct ByteChoices final : Choices {
    ByteChoices(const uint8_t* data, size_t size) : bytes(data, size) {}
    uint32_t pick(uint32_t n) override { return at < bytes.size() ? bytes[at++] % n : 0; }
    bool done() const override { return at >= bytes.size(); }
    std::span<const uint8_t> bytes;
    size_t at = 0;
};

// Runs up to `steps` random commands on one page (or walking batches), Undo and Redo among
// them unless `undo` is false (as the fuzzer's early findings were made); returns the first
// broken property, or "".
std::string runSession(Choices& c, bool batch, int steps, bool undo = true);

} // namespace bw::test
