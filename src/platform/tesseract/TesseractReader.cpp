#include "platform/tesseract/TesseractReader.h"

#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>

#include <dlfcn.h>

#include <algorithm>
#include <cctype>
#include <cmath>

namespace bw {

namespace {

// Tesseract reads letters best when they stand about 30 pixels high; a button's text is
// about half its height.
constexpr int kReadingHeight = 80;
constexpr double kMostUpscale = 4.0;
// How sure Tesseract must be: of the words on average, and of the least sure one.
constexpr float kLeastMeanConfidence = 80;
constexpr float kLeastWordConfidence = 55;

struct PixDeleter {
    void operator()(Pix* pix) const { pixDestroy(&pix); }
};
using PixPtr = std::unique_ptr<Pix, PixDeleter>;

// The mean grey of the picture's edge: its background, for buttons and banners.
double edgeGrey(Pix* grey)
{
    const l_int32 w = pixGetWidth(grey), h = pixGetHeight(grey);
    double sum = 0;
    long count = 0;
    l_uint32 value = 0;
    for (l_int32 x = 0; x < w; ++x)
        for (const l_int32 y : {0, h - 1})
            pixGetPixel(grey, x, y, &value), sum += value, ++count;
    for (l_int32 y = 0; y < h; ++y)
        for (const l_int32 x : {0, w - 1})
            pixGetPixel(grey, x, y, &value), sum += value, ++count;
    return sum / static_cast<double>(count);
}

// Dark letters on a light ground, large enough to read, with a margin: as Tesseract reads best.
PixPtr prepared(Pix* decoded)
{
    PixPtr pix(pixClone(decoded));
    if (pixGetColormap(pix.get()))
        pix.reset(pixRemoveColormap(pix.get(), REMOVE_CMAP_BASED_ON_SRC));
    if (pix && pixGetDepth(pix.get()) == 32 && pixGetSpp(pix.get()) == 4)
        pix.reset(pixAlphaBlendUniform(pix.get(), 0xffffff00)); // transparent parts on white, as pages mostly show them
    if (pix)
        pix.reset(pixConvertTo8(pix.get(), 0));
    if (!pix)
        return nullptr;
    const l_int32 height = pixGetHeight(pix.get());
    if (height < kReadingHeight) {
        const float scale = static_cast<float>(std::min(kMostUpscale, double(kReadingHeight) / height));
        pix.reset(pixScaleGrayLI(pix.get(), scale, scale));
    }
    if (!pix)
        return nullptr;
    double ground = edgeGrey(pix.get());
    if (ground < 128) { // light letters on a dark ground
        pixInvert(pix.get(), pix.get());
        ground = 255 - ground;
    }
    // The margin in the ground's own grey: a white frame around a tinted ground reads as
    // strokes ("|", "J") and spoils the letters beside it.
    pix.reset(pixAddBorder(pix.get(), 16, static_cast<l_uint32>(std::lround(ground))));
    return pix;
}

// Debian's Tesseract spreads the work on a line over ten OpenMP threads, which costs more than
// it gains on pictures this small: on one thread a button reads several times faster, and the
// check reads on every core already. No parallel region is active beyond level 0: in this
// program only Tesseract's are there.
void readOnOneThread()
{
    using SetLevels = void (*)(int);
    if (const auto set = reinterpret_cast<SetLevels>(dlsym(RTLD_DEFAULT, "omp_set_max_active_levels")))
        set(0);
}

bool cancelled(void* flag, int)
{
    return flag && static_cast<const std::atomic<bool>*>(flag)->load();
}

// Letters and digits make most of text; a photo read as text is mostly marks.
bool mostlyLetters(const std::string& text)
{
    size_t letters = 0, marks = 0;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalnum(u) || u >= 0x80)
            ++letters;
        else if (c != ' ')
            ++marks;
    }
    return letters >= 2 && marks * 4 <= letters;
}

} // namespace

TesseractReader::TesseractReader(const char* dataPath)
    : api_(std::make_unique<tesseract::TessBaseAPI>())
{
    readOnOneThread();
    setMsgSeverity(L_SEVERITY_NONE); // a picture that is not one is told in the result, not on standard error
    api_->SetVariable("debug_file", "/dev/null"); // no warnings on the terminal; unavailable() says what is wrong
    // Only English: further languages slow every reading and find letters in photos more often.
    if (api_->Init(dataPath, "eng", tesseract::OEM_LSTM_ONLY) != 0) {
        unavailable_ = "Tesseract's English language data is not installed (tesseract-ocr-eng), so the text in pictures "
                       "cannot be read.";
        api_.reset();
        return;
    }
    api_->SetPageSegMode(tesseract::PSM_SINGLE_BLOCK);
    api_->SetVariable("tessedit_do_invert", "0");       // done once before, not per line
}

TesseractReader::~TesseractReader()
{
    if (api_)
        api_->End();
}

PictureReader::Result TesseractReader::read(std::string_view bytes, const std::atomic<bool>* cancel)
{
    if (!api_)
        return {Outcome::Skipped, {}, 0, unavailable_};
    // The size from the header, before a huge picture is decoded.
    const auto* data = reinterpret_cast<const l_uint8*>(bytes.data());
    l_int32 format = 0, width = 0, height = 0;
    if (bytes.empty() || pixReadHeaderMem(data, bytes.size(), &format, &width, &height, nullptr, nullptr, nullptr) != 0)
        return {Outcome::Unreadable, {}, 0, "not a picture that can be read: its bytes are no GIF, PNG or JPEG"};
    if (width > kLargestSide || height > kLargestSide || long(width) * height > kMostPixels)
        return {Outcome::Skipped, {}, 0, "too large to read: " + std::to_string(width) + " \xC3\x97 " + std::to_string(height) + " pixels"};
    if (width < 8 || height < 6)
        return {}; // no letter fits
    const PixPtr decoded(pixReadMem(data, bytes.size()));
    if (!decoded)
        return {Outcome::Unreadable, {}, 0, "not a picture that can be read: its bytes are damaged"};
    const PixPtr pix = prepared(decoded.get());
    if (!pix)
        return {Outcome::Unreadable, {}, 0, "not a picture that can be read: its colours cannot be taken"};
    api_->SetImage(pix.get());
    api_->SetSourceResolution(300);
    tesseract::ETEXT_DESC monitor;
    monitor.cancel = cancelled;
    monitor.cancel_this = const_cast<std::atomic<bool>*>(cancel);
    if (api_->Recognize(&monitor) != 0 || (cancel && cancel->load())) {
        api_->Clear();
        return {};
    }
    Result result;
    float sum = 0, least = 100;
    int words = 0;
    std::unique_ptr<tesseract::ResultIterator> it(api_->GetIterator());
    if (it) {
        do {
            const std::unique_ptr<char[]> word(it->GetUTF8Text(tesseract::RIL_WORD));
            if (!word || !word[0])
                continue;
            const float confidence = it->Confidence(tesseract::RIL_WORD);
            sum += confidence, least = std::min(least, confidence), ++words;
            result.text += (result.text.empty() ? "" : " ") + std::string(word.get());
        } while (it->Next(tesseract::RIL_WORD));
    }
    api_->Clear();
    if (!words)
        return {};
    result.confidence = static_cast<int>(std::lround(sum / static_cast<float>(words)));
    const bool legible = result.confidence >= kLeastMeanConfidence && least >= kLeastWordConfidence && mostlyLetters(result.text);
    result.outcome = legible ? Outcome::Text : Outcome::NoText;
    if (!legible) {
        result.why = "letters too unsure to offer: \"" + result.text + "\"";
        result.text.clear();
    }
    return result;
}

std::unique_ptr<PictureReader> makePictureReader()
{
    return std::make_unique<TesseractReader>();
}

} // namespace bw
