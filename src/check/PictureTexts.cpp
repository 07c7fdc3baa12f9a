#include "check/PictureTexts.h"

#include "platform/FileSystem.h"
#include "text/ContentKey.h"

namespace bw {

PictureTexts::PictureTexts(MakeReader makeReader, std::function<void(size_t, size_t)> progress)
    : makeReader_(std::move(makeReader)), progress_(std::move(progress))
{
}

PictureTexts::~PictureTexts() = default;

std::unique_ptr<PictureReader> PictureTexts::takeReader()
{
    {
        const std::lock_guard lock(mutex_);
        if (!idle_.empty()) {
            std::unique_ptr<PictureReader> reader = std::move(idle_.back());
            idle_.pop_back();
            return reader;
        }
    }
    return makeReader_(); // outside the lock: a reader takes a while to make
}

std::string PictureTexts::unavailable()
{
    std::unique_ptr<PictureReader> reader = takeReader();
    std::string why = reader->unavailable();
    const std::lock_guard lock(mutex_);
    idle_.push_back(std::move(reader));
    return why;
}

std::string PictureTexts::textOf(const std::string& path)
{
    std::shared_future<std::string> known;
    {
        const std::lock_guard lock(mutex_);
        if (const auto at = byPath_.find(path); at != byPath_.end())
            known = at->second;
    }
    if (known.valid())
        return known.get();
    // readFile refuses a pipe or a device itself.
    const ReadResult file = RealFileSystem().readPicture(path);
    std::promise<std::string> reading;
    bool mine = false;
    {
        const std::lock_guard lock(mutex_);
        if (file.ok) {
            auto [at, fresh] = byContent_.try_emplace(contentKey(file.bytes));
            if ((mine = fresh))
                at->second = reading.get_future().share();
            known = at->second;
        } else {
            std::promise<std::string> none;
            none.set_value({});
            known = none.get_future().share();
        }
        byPath_.try_emplace(path, known);
    }
    if (!mine)
        return known.get();
    std::unique_ptr<PictureReader> reader = takeReader();
    const PictureReader::Result result = reader->read(file.bytes);
    reading.set_value(result.outcome == PictureReader::Outcome::Text ? result.text : std::string());
    const std::lock_guard lock(mutex_);
    idle_.push_back(std::move(reader));
    if (progress_)
        progress_(++read_, byContent_.size());
    return known.get();
}

} // namespace bw
