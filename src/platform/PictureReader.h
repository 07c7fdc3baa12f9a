#pragma once
// Reading the text drawn in a picture: buttons, banners, headings and logos made of letters,
// whose right ALT is the text they show.
#include <atomic>
#include <memory>
#include <string>
#include <string_view>

namespace bw {

class PictureReader {
public:
    enum class Outcome {
        Text,       // legible text: `text` holds it
        NoText,     // none legible (a photo, or letters too unsure to offer)
        Skipped,    // not read: `why` says so ("too large to read: 20000 × 20000 pixels")
        Unreadable, // not a picture this reader decodes: `why` says so
    };
    struct Result {
        Outcome outcome = Outcome::NoText;
        std::string text;   // the words read, in reading order, lines joined by one space
        int confidence = 0; // 0 to 100: how sure the reader is of them
        std::string why;
    };

    virtual ~PictureReader() = default;
    // Empty when pictures can be read here; else why not, as a sentence for the user
    // ("Tesseract's English language data is not installed (tesseract-ocr-eng).").
    virtual std::string unavailable() const = 0;
    // The legible text of a picture file's bytes (GIF, PNG, JPEG, ...). Takes tens of
    // milliseconds: never on the window's thread. One thread at a time per reader. When
    // `cancel` turns true the reading stops early and answers NoText.
    virtual Result read(std::string_view bytes, const std::atomic<bool>* cancel = nullptr) = 0;
};

// A new reader as this build has it: Tesseract's where it was built with it, else one that
// is always unavailable.
std::unique_ptr<PictureReader> makePictureReader();

} // namespace bw
