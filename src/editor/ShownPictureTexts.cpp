#include "editor/ShownPictureTexts.h"

#include <algorithm>
#include <sys/resource.h>
#include <unistd.h>

#include "text/ContentKey.h"

namespace bw {

void ShownPictureTexts::stop()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        cancel_ = true;
    }
    wake_.notify_all();
    if (worker_.joinable())
        worker_.join();
}

void ShownPictureTexts::readWith(MakeReader make)
{
    stop();
    std::lock_guard lock(mutex_);
    make_ = std::move(make);
    wanted_.clear();
    keyOf_.clear();
    read_.clear();
    unavailable_ = stopping_ = false;
}

void ShownPictureTexts::want(std::vector<std::string> paths)
{
    std::lock_guard lock(mutex_);
    if (!make_ || unavailable_)
        return;
    for (const std::string& path : paths)
        if (std::find(wanted_.begin(), wanted_.end(), path) == wanted_.end())
            keyOf_.erase(path);
    wanted_ = std::move(paths);
    if (!reading_.empty() && std::find(wanted_.begin(), wanted_.end(), reading_) == wanted_.end())
        cancel_ = true;
    if (!worker_.joinable())
        worker_ = std::thread(&ShownPictureTexts::work, this);
    wake_.notify_all();
}

std::optional<PictureReader::Result> ShownPictureTexts::textOf(const std::string& path) const
{
    std::lock_guard lock(mutex_);
    const auto key = keyOf_.find(path);
    if (key == keyOf_.end())
        return std::nullopt;
    const auto read = read_.find(key->second);
    return read == read_.end() ? std::nullopt : std::optional(read->second);
}

bool ShownPictureTexts::reads() const
{
    std::lock_guard lock(mutex_);
    return make_ && !unavailable_;
}

const std::string* ShownPictureTexts::nextToRead() const
{
    const auto next = std::find_if(wanted_.begin(), wanted_.end(), [this](const std::string& p) { return !keyOf_.contains(p); });
    return next == wanted_.end() ? nullptr : &*next;
}

void ShownPictureTexts::work()
{
    // Reading takes a core for a while: the window and its picture decoder come first.
    (void)setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 10);
    std::unique_ptr<PictureReader> reader;
    std::string buffer;
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || (!unavailable_ && nextToRead()); });
        if (stopping_)
            return;
        const std::string path = *nextToRead();
        reading_ = path;
        cancel_ = false;
        const MakeReader make = make_;
        lock.unlock();
        if (!reader)
            reader = make();
        if (!reader || !reader->unavailable().empty()) {
            // Nothing offered and nothing said: the program works as it does without.
            lock.lock();
            unavailable_ = true;
            reading_.clear();
            continue;
        }
        PictureReader::Result result;
        std::string key;
        ReadResult read = files_.readPicture(path, std::move(buffer));
        if (read.tooLarge) {
            result = {PictureReader::Outcome::Skipped, {}, 0, "too large to read"};
        } else if (read.ok) {
            key = contentKey(read.bytes);
            lock.lock();
            const auto known = read_.find(key);
            const bool seen = known != read_.end();
            if (seen)
                result = known->second;
            lock.unlock();
            if (!seen)
                result = reader->read(read.bytes, &cancel_);
        } else {
            result = {PictureReader::Outcome::Unreadable, {}, 0, read.error};
        }
        buffer = std::move(read.bytes);
        lock.lock();
        reading_.clear();
        if (cancel_)
            continue; // cut short: what it answered is not what the picture holds
        if (key.empty())
            key = "\n" + path; // no bytes to know it by: its own entry, read again when wanted anew
        read_[key] = std::move(result);
        keyOf_[path] = std::move(key);
    }
}

} // namespace bw
