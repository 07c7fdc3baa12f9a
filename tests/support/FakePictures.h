#pragma once
// Readers of the text in pictures for tests: a test picture holds the text written after
// "text:" in its bytes, and none without. Readings can be held, to cancel one deterministically.
#include <memory>
#include <string>

#include "platform/PictureReader.h"
#include "support/Gate.h"

namespace bw::test {

// Each reading passes the gate first.
class FakePictures : public Gate {
public:
    // A reader for ShownPictureTexts; unavailable ones read nothing, as where Tesseract is missing.
    std::unique_ptr<PictureReader> reader(bool available = true) { return std::make_unique<Reader>(*this, available); }

    // "read TEXT" ("read -" for none) and "cancelled TEXT", in order since last asked.
    std::string readings()
    {
        std::lock_guard lock(mutex_);
        return std::exchange(readings_, {});
    }

private:
    class Reader final : public PictureReader {
    public:
        Reader(FakePictures& pictures, bool available) : pictures_(pictures), available_(available) {}
        std::string unavailable() const override { return available_ ? "" : "No language data."; }
        Result read(std::string_view bytes, const std::atomic<bool>* cancel) override
        {
            if (bytes.find("large:") != std::string_view::npos)
                return {Outcome::Skipped, {}, 0, "too large to read"};
            const size_t at = bytes.find("text:");
            const std::string text = at == std::string_view::npos ? "" : std::string(bytes.substr(at + 5));
            const bool cancelled = pictures_.pass(cancel);
            std::lock_guard lock(pictures_.mutex_);
            pictures_.readings_ += (pictures_.readings_.empty() ? "" : "; ") + std::string(cancelled ? "cancelled " : "read ") + (text.empty() ? "-" : text);
            if (cancelled || text.empty())
                return {Outcome::NoText, {}, 0, {}};
            return {Outcome::Text, text, 90, {}};
        }

    private:
        FakePictures& pictures_;
        bool available_;
    };

    std::mutex mutex_;
    std::string readings_;
};

} // namespace bw::test
