#pragma once
// Random pages and random editing sessions, with one property checked after every step:
// the page file is the page as first read with only ALT attributes of listed tags changed,
// plus line ends appended at the end. Shared by the property test and the fuzzer.
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "editor/Form1.h"
#include "support/Doubles.h"

namespace bw::test {

class Choices {
public:
    virtual ~Choices() = default;
    virtual uint32_t pick(uint32_t n) = 0; // 0 .. n-1
    virtual bool done() const { return false; }
};

class SeededChoices final : public Choices {
public:
    explicit SeededChoices(uint32_t seed) : rng_(seed) {}
    uint32_t pick(uint32_t n) override { return std::uniform_int_distribution<uint32_t>(0, n - 1)(rng_); }

private:
    std::mt19937 rng_;
};

class ByteChoices final : public Choices {
public:
    ByteChoices(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint32_t pick(uint32_t n) override { return pos_ < size_ ? data_[pos_++] % n : 0; }
    bool done() const override { return pos_ >= size_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

std::string makePage(Choices& c);

// The image tags of a page in page order, as the finder sees them.
std::vector<ByteRange> imageTags(const std::string& page);

// Empty when `now` is `first` with only ALT attributes of the allowed image tags changed (their
// places in imageTags(first)) plus line ends at the end; else what differs.
std::string intactProblem(const std::string& first, const std::string& now, const std::vector<size_t>& allowed);

// The image tags of the open page (places in imageTags) that may get ALT attributes, and the
// copies of one tag, which must change alike (one group per listed image).
struct ListedTags {
    std::vector<size_t> allowed;
    std::vector<std::vector<size_t>> copies;
};
ListedTags listedTags(const PageDocument& page);

// The editing commands every session mixes in; runs one and says which.
enum class Edit { Type, Next, Back, Keep, Save };
std::string runEdit(Form1& form, Choices& c, Edit edit);

class PageSession {
public:
    explicit PageSession(Choices& c);
    // Runs up to `steps` random commands; returns the first broken property, or "".
    std::string run(int steps);
    int stepsRun() const { return steps_; }

private:
    void openPage();
    std::string check(const std::string& what);
    // What closing the page must leave: untouched when nothing was written, else put back.
    std::string restoredFrom(const std::string& before) const;
    int64_t pageWrites() const;

    Choices& c_;
    ScriptedDialogs dialogs_;
    MemoryFileSystem files_;
    RecordingShell shell_;
    FakeHost host_;
    MemorySettings settings_;
    Form1 form_;
    std::string original_, copyOriginal_;
    std::string baseline_;  // what closing puts back: the first-read text, or what Save As saved over it
    std::string encoding_;  // the page's, as a browser reads it
    std::vector<size_t> allowed_, copyAllowed_;
    std::vector<std::vector<size_t>> copies_; // per listed tag: the identical copies' token numbers
    std::string exact_; // when set, the page file must be exactly this after the step
    std::string foreign_; // when set, another program wrote this into the page file
    std::string known_;   // the page file as this program last left it
    int64_t writesAtOpen_ = 0;
    bool askedChange_ = false, allowedChange_ = false;
    int closingChoice_ = -1; // the answer to the last "taken out again" question: Keep, Take Out, Cancel
    int steps_ = 0;
};

} // namespace bw::test
