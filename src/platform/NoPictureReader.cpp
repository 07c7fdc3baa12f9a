// The reader of a build without Tesseract: pictures are never read, and it says why.
#include "platform/PictureReader.h"

namespace bw {

namespace {

class NoPictureReader final : public PictureReader {
public:
    std::string unavailable() const override
    {
        return "This program was built without Tesseract, so it cannot read the text in pictures.";
    }
    Result read(std::string_view, const std::atomic<bool>*) override
    {
        return {Outcome::Skipped, {}, 0, unavailable()};
    }
};

} // namespace

std::unique_ptr<PictureReader> makePictureReader()
{
    return std::make_unique<NoPictureReader>();
}

} // namespace bw
