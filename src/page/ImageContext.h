#pragma once
// Where an image stands in its page: the link it sits in, its figure's caption and the text
// around it, shown beside the picture and compared with its ALT by the rules. Found by one
// walk over the page with the finder's tokenizer and a browser's rules for where elements end.
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "page/ImageFinder.h"

namespace bw {

// Where an image stands in its page, as a reader meets it.
struct ImageContext {
    std::optional<std::string> linkHref; // the href of the <a> the image sits in, references resolved
    std::string linkText;                // that link's text, tags stripped, white space folded
    bool inFigure = false;               // the image sits in a <figure>
    std::string caption;                 // that figure's <figcaption> text; empty when none
    std::string before, after;           // about 100 characters of the page's text before and after the image
};

// The context of every image findImages() found, in its order, in one pass over the whole page.
std::vector<ImageContext> imageContexts(std::string_view page, const FoundImages& found, const std::string& encoding);

// The same without before and after, for readers of every page of a site that need only the
// links and captions.
std::vector<ImageContext> imageLinksAndCaptions(std::string_view page, const FoundImages& found, const std::string& encoding);

// A reader of every image of a page in one pass that holds none of them long: told each image
// as it is met, and, in page order, the context of those that want it once their link and
// figure have ended.
class ImageReader {
public:
    enum class Wants { Nothing, Caption, LinkAndCaption };
    virtual ~ImageReader() = default;
    // The image found `index`-th (a body background is not told); the tag lasts the call.
    // `outside`: it stands in no link and no figure, so that its context is known now: none.
    virtual Wants met(size_t index, const FoundImage& image, bool outside) = 0;
    virtual void graphic(const FoundGraphic& graphic) = 0;
    // Its link's text and its caption, as imageContexts() gives them, as far as wanted.
    virtual void settled(size_t index, const ImageContext& context) = 0;
};

// Reads the page once, telling `reader` its images and their links and captions.
void readImages(std::string_view page, const std::string& encoding, ImageReader& reader);

class ContextWalk;
class PageWalker;

// The context of one image at a time, read when it is asked for: the walk over the page goes only
// as far as that image's link, figure and the text after it reach, and on from there for later
// images. Gives what imageContexts() gives for the same image.
class ContextReader {
public:
    ContextReader(std::shared_ptr<const std::string> page, const FoundImages& found, std::string encoding);
    ContextReader(const ContextReader&) = delete;
    ContextReader& operator=(const ContextReader&) = delete;
    ~ContextReader();
    // The context of found.images[tag].
    ImageContext contextOf(size_t tag);

private:
    std::shared_ptr<const std::string> page_;
    std::unique_ptr<ContextWalk> walk_;
    std::unique_ptr<PageWalker> walker_;
};

} // namespace bw
