#pragma once
// The text drawn in the pictures the window shows, read off the window's thread: one worker
// with one reader, the picture shown first and perhaps the next one, each content read once.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/PictureReader.h"

namespace bw {

class ShownPictureTexts {
public:
    using MakeReader = std::function<std::unique_ptr<PictureReader>()>;
    // `files` is used from the worker while the window uses it too: one that allows that.
    explicit ShownPictureTexts(FileSystem& files) : files_(files) {}
    ~ShownPictureTexts() { stop(); }
    ShownPictureTexts(const ShownPictureTexts&) = delete;
    ShownPictureTexts& operator=(const ShownPictureTexts&) = delete;

    // Where readers come from; none (the start): no picture is read. The reader is made on the
    // worker, at the first picture wanted, since making one may take a while.
    void readWith(MakeReader make);
    // The pictures wanted now, by path, the one shown first; reading one no longer wanted
    // is cancelled. A picture wanted anew is read again from its file, found by its bytes.
    void want(std::vector<std::string> paths);
    // What was read of a wanted picture; nothing while it is still to be read, or when no
    // picture can be read here (no reader, or one that is unavailable).
    std::optional<PictureReader::Result> textOf(const std::string& path) const;
    // Pictures are read here: a reader was given and has not said it is unavailable.
    bool reads() const;

private:
    void work();
    void stop();
    // The first wanted picture not read yet; under mutex_.
    const std::string* nextToRead() const;

    FileSystem& files_;
    MakeReader make_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<std::string> wanted_;
    std::unordered_map<std::string, std::string> keyOf_; // a wanted picture read: its bytes' key
    std::unordered_map<std::string, PictureReader::Result> read_; // by bytes' key
    std::string reading_;          // the picture the worker reads now
    std::atomic<bool> cancel_ = false;
    bool unavailable_ = false, stopping_ = false;
    std::thread worker_;
};

} // namespace bw
