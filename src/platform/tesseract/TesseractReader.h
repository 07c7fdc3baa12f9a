#pragma once
// The picture reader on Tesseract (libtesseract 5, English) and leptonica, which decodes the
// pictures from memory (GIF, PNG, JPEG, BMP, TIFF, WebP as leptonica was built).
#include <memory>

#include "platform/PictureReader.h"

namespace tesseract {
class TessBaseAPI;
}

namespace bw {

class TesseractReader final : public PictureReader {
public:
    // Pictures beyond these are not read: a photo of a page, not a button.
    static constexpr int kLargestSide = 4000;
    static constexpr long kMostPixels = 16'000'000;

    // `dataPath`: where the language data stands; null for Tesseract's own place
    // (TESSDATA_PREFIX, else the one it was built with).
    explicit TesseractReader(const char* dataPath = nullptr);
    ~TesseractReader() override;
    std::string unavailable() const override { return unavailable_; }
    Result read(std::string_view bytes, const std::atomic<bool>* cancel = nullptr) override;

private:
    std::unique_ptr<tesseract::TessBaseAPI> api_; // made once: loading the model takes a tenth of a second
    std::string unavailable_;
};

} // namespace bw
