#pragma once
// What makes an ALT text a poor one: one table of rules, read by the hints under the ALT box
// and by the site check alike, so both always say the same.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "page/ImageFinder.h"

namespace bw {

enum class Severity { Error, Warning, Note };

struct AltRule {
    const char* id;
    Severity severity;
    const char* message;
};

// Every rule, in the order findings are reported.
const std::vector<AltRule>& altRules();
const AltRule* altRule(std::string_view id);

// What stands around an image: the picture's file name as written, the text of the link it
// sits in, and its figure's caption (empty when there is none); the tag's aria-label,
// aria-labelledby and title, as written.
struct AltContext {
    std::string_view fileName, linkText, caption;
    std::string_view ariaLabel = {}, ariaLabelledby = {}, title = {};
};

// The rules one image breaks: a few at most, held without the heap, as the check asks for every image.
class AltFindings {
public:
    const AltRule* const* begin() const { return rules_; }
    const AltRule* const* end() const { return rules_ + size_; }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    void add(const AltRule* rule) { rules_[size_++] = rule; }

private:
    const AltRule* rules_[8];
    size_t size_ = 0;
};

// The rules an image breaks, given its ALT as the box shows it (nullopt: the tag has no alt at
// all). An empty ALT marks a decorative image and breaks none. alt-conflict is a site rule and
// never comes from here. With `folded`: the ALT as foldedAlt() gives it is left there, so that
// it is folded once.
AltFindings altFindings(std::optional<std::string_view> alt, const AltContext& context, std::string* folded = nullptr);

// The rule an element with role="img" (an svg with it, or another element) breaks when nothing
// names it: aria-label, aria-labelledby, title, or an svg's <title>. Null when it has a name.
const AltRule* graphicFinding(std::string_view page, const FoundGraphic& graphic);

// alt-misses-picture-text, or null: the ALT leaves out words of the text read from its picture.
const AltRule* pictureTextFinding(std::optional<std::string_view> alt, std::string_view pictureText);

// Lowercase ASCII, white space runs made one space, ends trimmed: how the rules compare texts.
std::string foldedAlt(std::string_view s);
// The same into `out`, whose storage is reused.
void foldAlt(std::string_view s, std::string& out);

// ALT length as a reader hears it: characters, not bytes, with white space collapsed as a
// browser collapses it (the page's own line breaks and indentation count as one space).
size_t altLength(std::string_view alt);

} // namespace bw
