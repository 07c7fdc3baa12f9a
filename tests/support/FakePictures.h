#pragma once
// Readers of the text in pictures for tests: a test picture holds the text written after
// "text:" in its bytes, and none without. Readings can be held, to cancel one deterministically.
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/PictureReader.h"

namespace bw::test {

class FakePictures {
public:
    // A reader for ShownPictureTexts; unavailable ones read nothing, as where Tesseract is missing.
    std::unique_ptr<PictureReader> reader(bool available = true) { return std::make_unique<Reader>(*this, available); }

    void hold(bool on)
    {
        std::lock_guard lock(mutex_);
        held_ = on;
    }
    // Waits until a reading waits on the hold.
    void waitHeld()
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return waiting_; });
    }
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
            std::unique_lock lock(pictures_.mutex_);
            pictures_.waiting_ = pictures_.held_;
            pictures_.changed_.notify_all();
            // The cancel flag tells nobody: it is looked at now and then, as a real reader does.
            while (pictures_.held_ && !(cancel && *cancel))
                pictures_.changed_.wait_for(lock, std::chrono::milliseconds(1));
            pictures_.waiting_ = false;
            const bool cancelled = cancel && *cancel;
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
    std::condition_variable changed_;
    bool held_ = false, waiting_ = false;
    std::string readings_;
};

} // namespace bw::test
