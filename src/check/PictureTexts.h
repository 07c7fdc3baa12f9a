#pragma once
// The text in the pictures of a site, for the check: each picture read once per run, whatever
// its names and folders (a logo copied into every folder is one picture), on the threads that
// read the pages.
#include <cstddef>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/PictureReader.h"

namespace bw {

class PictureTexts {
public:
    using MakeReader = std::function<std::unique_ptr<PictureReader>()>;
    // `progress` hears of each picture read: how many so far, of how many met so far. It is
    // called on the reading threads, one call at a time.
    explicit PictureTexts(MakeReader makeReader = makePictureReader, std::function<void(size_t read, size_t met)> progress = {});
    ~PictureTexts();

    // Empty when pictures can be read; else why not, as a sentence.
    std::string unavailable();
    // The legible text of the picture file at `path`; empty for none, and for a file that
    // cannot be read, is not a plain file or is over 64 MB. Any thread; a picture another
    // thread is reading is waited for.
    std::string textOf(const std::string& path);

private:
    std::unique_ptr<PictureReader> takeReader();

    MakeReader makeReader_;
    std::function<void(size_t, size_t)> progress_;
    std::mutex mutex_;
    std::vector<std::unique_ptr<PictureReader>> idle_; // one for each thread reading at once
    std::unordered_map<std::string, std::shared_future<std::string>> byPath_, byContent_;
    size_t read_ = 0;
};

} // namespace bw
