#include "support/PageSession.h"

#include <algorithm>
#include <utility>

#include "editor/Encoding.h"
#include "editor/Text.h"
#include "page/ImageFinder.h"

namespace bw::test {
namespace {

const char* const kPage = "/site/page.html";
const char* const kCopy = "/site/copy.html";

template <size_t N> const char* any(Choices& c, const char* const (&options)[N]) { return options[c.pick(N)]; }

std::string fill(std::string layout, const std::string& name, const std::string& value)
{
    for (size_t at; (at = layout.find("%N")) != std::string::npos;)
        layout.replace(at, 2, name);
    for (size_t at; (at = layout.find("%V")) != std::string::npos;)
        layout.replace(at, 2, value);
    return layout;
}

const char* const kNames[] = {"a.gif",     "b.jpg",   "pics/c.gif", "D.GIF",          "e.JPG",
                              "f.png",     "g.svg",   "a.gif",      "../h.i.gif",     "x.webp?v=2",
                              "a&amp;b.png", "/f.png", "https://e.example/z.png", "data:image/gif;base64,R0lGODlhAQABAAAAACw="};
const char* const kValues[] = {"Logo", "", "A sun", "Brindlew\xc3\xb6rk", "x > y", "it's", "a  b", "caf\xe9 &#8364;", "x < y"};
const char* const kLayouts[] = {
    "<img SRC=\"%N\">",
    "<img SRC=\"%N\" width=10 height=20>",
    "<img SRC=\"%N\" ALT=\"%V\" width=10>",
    "<img SRC=\"%N\" width=10 ALT=\"%V\">",
    "<IMG SRC=\"%N\" ALT=\"\">",
    "<img SRC=%N>",
    "<img SRC=%N width=5>",
    "<img src=\"%N\" alt='%V'>",
    "<img ALT=\"%V\" SRC=\"%N\">",
    "<img SRC=\"%N\"\r\n  ALT=\"%V\"\r\n  border=0>",
    "<Img Src=\"%N\" Alt=%V>",
    "<img SRC=\"%N\" ALT=\"%V\" ALT=\"%V\">",
    "<img SRC=\"%N\"ALT=\"%V\">",
    "<img SRC=\"%N\" ALT=\"%V\"/>",
    "<img src=%N/>",
    "<img/src=\"%N\"/alt=\"%V\">",
    "<img alt src=\"%N\">",
    "<img data-src=\"%N\" class=lazy>",
    "<img srcset=\"%N 1x, big.png 2x\" />",
    "<picture><source srcset=\"%N\"><img src=\"%N\" alt=\"%V\"></picture>",
    "<input type=image src=\"%N\" alt=\"%V\">",
    "<INPUT TYPE=\"IMAGE\" SRC=%N>",
    "<map><area shape=rect href=\"%N\" alt=\"%V\"><area nohref></map>",
    "<img title='a > b' src=\"%N\" alt='%V'>",
    "<img src=\"%N\" alt=\"%V\" alt=\"%V\">",
    "<img>",
};
const char* const kText[] = {
    "<p>Hello world</p>\r\n", "Brindlew\xc3\xb6rk v\xc3\xa4gar ", " a < b and c > d ", "<a href=\"page.html\">link</a>",
    "\t", "<br>", "<!-- note -->", "\r\n", "<p>see x.jpg</p>", "<!-- <img SRC=\"a.gif\" ALT=\"c\"> -->",
    "<script>var s = \"<img src=a.gif>\";</script >", "<style>img{}</style>", "<textarea><img src=a.gif></textarea>",
    "<!--><img src=\"b.jpg\">", "<svg><![CDATA[<img src=a.gif>]]></svg>", "<?php echo '<img src=a.gif>'; ?>",
    "<a href=\"x.html\" title=\"<img src=a.gif>\">t</a>", "<title>a <img src=a.gif></title>",
};
const char* const kTyped[] = {"A", "b", " ", "\"", "<", ">", "\xc3\xb6", "'", "=", "&", "x.gif", "ALT=\"q\"", "\r\n",
                              "\xe2\x82\xac", "\t", "\x01", "\x7f", "\xc2\x85", "&#233;"};
const char* const kHeads[] = {"", "<meta charset=\"iso-8859-1\">", "<meta charset=utf-8>",
                              "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1252\">"};
const char* const kChange = "was changed by another program";

// Bytes no page of ours holds and no typed text may bring in: NUL and the other controls.
size_t controls(const std::string& s)
{
    return static_cast<size_t>(std::count_if(s.begin(), s.end(), [](char ch) {
        const auto c = static_cast<unsigned char>(ch);
        return (c < 0x20 && c != '\r' && c != '\n' && c != '\t') || c == 0x7f;
    }));
}

size_t occurrences(const std::string& hay, const std::string& needle)
{
    size_t n = 0;
    for (size_t at = hay.find(needle); at != std::string::npos; at = hay.find(needle, at + 1))
        ++n;
    return n;
}


// A tag's text without white space and without its ALT attributes.
std::string stripped(std::string_view tag)
{
    std::string out(tag);
    const FoundImages found = findImages(tag);
    if (!found.images.empty() && found.images.front().tag.whole.begin == 0) {
        const auto& attributes = found.images.front().tag.attributes;
        for (auto a = attributes.rbegin(); a != attributes.rend(); ++a)
            if (a->named(tag, "alt"))
                out.erase(a->whole.begin, a->whole.size());
    }
    std::erase_if(out, text::isHtmlSpace);
    return out;
}

std::string visible(const std::string& s)
{
    std::string out;
    for (char ch : s)
        out += ch == '\r' ? std::string("\\r") : ch == '\n' ? std::string("\\n") : std::string(1, ch);
    return out;
}

} // namespace

std::string makePage(Choices& c)
{
    std::string page;
    if (c.pick(2))
        page += std::string("<html><head>") + any(c, kHeads) + "<title>T</title></head>\r\n";
    page += c.pick(4) == 0 ? "<body background=\"bg.gif\">\r\n" : "<body>\n";
    std::string last;
    const uint32_t parts = 1 + c.pick(10);
    for (uint32_t i = 0; i < parts; ++i) {
        switch (c.pick(5)) {
        case 0:
        case 1: {
            // One pick after the other: argument order differs between compilers, and a
            // finding must replay the same page everywhere.
            const char* layout = any(c, kLayouts);
            const char* name = any(c, kNames);
            last = fill(layout, name, any(c, kValues));
            page += last;
            break;
        }
        case 2:
            page += last; // the same tag written again
            break;
        default:
            page += any(c, kText);
        }
    }
    if (c.pick(5))
        page += "</body></html>";
    if (c.pick(4) == 0)
        page += "\r\n<!-- after the end -->";
    else if (c.pick(8) == 0)
        page += "\r\n<!-- never closed <img src=a.gif>";
    if (c.pick(2))
        page += "\r\n";
    return page;
}

std::vector<ByteRange> imageTags(const std::string& page)
{
    std::vector<ByteRange> tags;
    for (const FoundImage& image : findImages(page).images)
        tags.push_back(image.tag.whole);
    std::sort(tags.begin(), tags.end(), [](ByteRange a, ByteRange b) { return a.begin < b.begin; });
    return tags;
}

std::string intactProblem(const std::string& first, const std::string& now, const std::vector<size_t>& allowed)
{
    const auto before = imageTags(first);
    std::string why = "the page file is not the page as first read";
    {
        const std::string& candidate = now;
        const auto after = imageTags(candidate);
        bool same = after.size() == before.size();
        if (!same)
            why = "the page's image tags changed:\n  was [" + visible(first) + "]\n  now [" + visible(candidate) + "]";
        // The bytes between image tags stay; an allowed tag changes in its ALT attributes only.
        for (size_t k = 0; same && k <= before.size(); ++k) {
            const size_t from = k == 0 ? 0 : before[k - 1].end, to = k < before.size() ? before[k].begin : first.size();
            const size_t nowFrom = k == 0 ? 0 : after[k - 1].end;
            const size_t nowTo = k < after.size() ? after[k].begin : candidate.size();
            const std::string_view a = std::string_view(first).substr(from, to - from);
            const std::string_view b = std::string_view(candidate).substr(nowFrom, nowTo - nowFrom);
            if (a != b) {
                same = false;
                why = "text before image tag " + std::to_string(k) + " changed:\n  was [" + visible(std::string(a)) +
                      "]\n  now [" + visible(std::string(b)) + "]";
                break;
            }
            if (k == before.size())
                break;
            const std::string_view tagA = before[k].of(first), tagB = after[k].of(candidate);
            if (tagA == tagB)
                continue;
            const bool editable = std::find(allowed.begin(), allowed.end(), k) != allowed.end();
            if (!editable || stripped(tagA) != stripped(tagB)) {
                same = false;
                why = "image tag " + std::to_string(k) + " changed:\n  was [" + visible(std::string(tagA)) +
                      "]\n  now [" + visible(std::string(tagB)) + "]";
            }
        }
        if (same)
            return {};
    }
    return why;
}

ListedTags listedTags(const PageDocument& page)
{
    ListedTags listed;
    // Places in page order of the document's tags.
    std::vector<size_t> order(page.tags().size()), place(page.tags().size());
    for (size_t k = 0; k < order.size(); ++k)
        order[k] = k;
    std::sort(order.begin(), order.end(),
              [&](size_t a, size_t b) { return page.tags()[a].tag.whole.begin < page.tags()[b].tag.whole.begin; });
    for (size_t k = 0; k < order.size(); ++k)
        place[order[k]] = k;
    for (const PageDocument::Image& image : page.images()) {
        if (image.kind == ImageKind::Background)
            continue;
        std::vector<size_t> group;
        for (size_t k : image.copies)
            group.push_back(place[k]);
        listed.allowed.insert(listed.allowed.end(), group.begin(), group.end());
        listed.copies.push_back(std::move(group));
    }
    return listed;
}

std::string runEdit(Form1& form, Choices& c, Edit edit)
{
    switch (edit) {
    case Edit::Type: {
        std::string typed;
        for (uint32_t k = c.pick(4); k > 0; --k)
            typed += any(c, kTyped);
        form.Text1.setText(typed);
        return "typing";
    }
    case Edit::Next:
        form.Command3_Click();
        return "NEXT";
    case Edit::Back:
        form.Command5_Click();
        return "BACK";
    case Edit::Keep:
        form.Command4_Click();
        return "&Save";
    case Edit::Save:
        form.s_Click();
        return "File > Save";
    }
    return {};
}

PageSession::PageSession(Choices& c) : c_(c), form_(Platform{dialogs_, files_, shell_, host_, settings_}, Version{1, 0, 0})
{
    form_.Form_Load();
    for (const char* image : {"/site/a.gif", "/site/b.jpg", "/site/pics/c.gif", "/site/bg.gif", "/site/f.png", "/h.i.gif"})
        files_.files[image] = "GIF89a";
    files_.files[kPage] = makePage(c_);
    dialogs_.answerer = [this] {
        const Answer answer = c_.pick(2) ? Answer::Yes : Answer::No;
        if (dialogs_.shown.back().text.find(kChange) != std::string::npos) {
            askedChange_ = true;
            allowedChange_ = answer == Answer::Yes;
        }
        return answer;
    };
    dialogs_.chooseAnswerer = [this] { return closingChoice_ = static_cast<int>(c_.pick(3)); };
    dialogs_.chooser = [this]() -> std::optional<std::string> {
        switch (c_.pick(3)) {
        case 0: return std::nullopt;
        case 1: return std::string(kCopy);
        default: return std::string(kPage);
        }
    };
    openPage();
}

void PageSession::openPage()
{
    form_.nytt();
    dialogs_.chosen.push_back(std::string(kPage));
    form_.fileopen();
    original_ = baseline_ = files_.files[kPage];
    encoding_ = pageEncoding(original_);
    writesAtOpen_ = pageWrites();
    foreign_.clear();
    known_ = original_;
    // The tags that may change, and the copies that must change alike.
    ListedTags listed = listedTags(form_.document());
    allowed_ = std::move(listed.allowed);
    copies_ = std::move(listed.copies);
}

int64_t PageSession::pageWrites() const
{
    auto it = files_.writes.find(kPage);
    return it == files_.writes.end() ? 0 : it->second;
}

std::string PageSession::restoredFrom(const std::string& before) const
{
    return pageWrites() == writesAtOpen_ ? before : baseline_;
}

std::string PageSession::check(const std::string& what)
{
    const std::string& now = files_.files[kPage];
    const bool asked = std::exchange(askedChange_, false);
    if (!foreign_.empty()) {
        // Another program's bytes go only when the user said so.
        if (now == foreign_)
            return {};
        if (!asked || !allowedChange_)
            return what + ": another program's change was overwritten without asking";
        foreign_.clear();
    } else if (asked) {
        return what + ": asked about another program's change, but there was none";
    }
    known_ = now;
    if (!exact_.empty() && now != exact_)
        return what + ": the page file should be back to its first-read text";
    if (std::string problem = intactProblem(original_, now, allowed_); !problem.empty())
        return what + ": " + problem;
    if (controls(now) != controls(original_))
        return what + ": control characters reached the page";
    if (encoding_ == "UTF-8" ? validUtf8(original_) && !validUtf8(now)
                             : occurrences(now, "\xc3\xb6") > occurrences(original_, "\xc3\xb6"))
        return what + ": typed text was not written in the page's encoding " + encoding_;
    const auto all = imageTags(now);
    for (const auto& group : copies_)
        for (size_t k : group)
            if (all.size() > k && all[k].of(now) != all[group[0]].of(now))
                return what + ": copies of one tag differ: [" + std::string(all[k].of(now)) + "] [" +
                       std::string(all[group[0]].of(now)) + "]";
    if (files_.files.count(kCopy) && !copyOriginal_.empty())
        if (std::string problem = intactProblem(copyOriginal_, files_.files[kCopy], copyAllowed_); !problem.empty())
            return what + " (the saved copy): " + problem;
    return {};
}

std::string PageSession::run(int steps)
{
    for (int i = 0; i < steps && !c_.done(); ++i) {
        ++steps_;
        exact_.clear();
        std::string what;
        const std::string before = files_.files[kPage];
        const bool wasOpen = form_.pageOpen();
        switch (c_.pick(15)) {
        case 0:
        case 1:
        case 2:
            what = runEdit(form_, c_, Edit::Type);
            break;
        case 3:
        case 4:
            what = runEdit(form_, c_, Edit::Next);
            break;
        case 5:
            what = runEdit(form_, c_, Edit::Back);
            break;
        case 6:
            what = runEdit(form_, c_, Edit::Keep);
            break;
        case 7:
            what = runEdit(form_, c_, Edit::Save);
            break;
        case 8: {
            const std::string before = files_.files.count(kCopy) ? files_.files[kCopy] : "";
            form_.fileSaveas();
            what = "Save As";
            // Saved over the page itself: that text is what closing puts back from now on.
            if (wasOpen && form_.pageOpen() && form_.ejspara != baseline_) {
                if (files_.files[kPage] != form_.ejspara)
                    return what + ": the page is put back to a text it never held";
                baseline_ = form_.ejspara;
            }
            if (files_.files.count(kCopy) && files_.files[kCopy] != before) {
                copyOriginal_ = original_;
                copyAllowed_ = allowed_;
            }
            break;
        }
        case 9: {
            form_.Command1_Click();
            what = "RESET";
            if (!form_.pageOpen())
                exact_ = restoredFrom(before);
            break;
        }
        case 10:
            form_.n_Click();
            what = "New";
            // No changes nothing; Yes puts the page back.
            exact_ = form_.pageOpen() ? before : restoredFrom(before);
            break;
        case 11: {
            closingChoice_ = -1;
            const bool closed = form_.Form_Unload();
            what = "closing the window";
            // Written ALTs are taken out only when the user says so.
            if (closingChoice_ != 1)
                exact_ = before;
            else if (foreign_.empty() || allowedChange_)
                exact_ = restoredFrom(before);
            if (closed ? closingChoice_ == 2 : closingChoice_ < 1)
                return what + ": Cancel did not cancel, or the window would not close";
            if (std::string problem = check(what); !problem.empty())
                return problem;
            if (closed)
                openPage();
            continue;
        }
        case 12:
        case 13: {
            // Another program changes the page: a letter, or an addition at the end. (Quotes
            // and angle brackets stay: a page whose quotes do not pair is a page of another kind.)
            std::string changed = before;
            char* byte = changed.empty() ? nullptr : &changed[c_.pick(static_cast<uint32_t>(changed.size()))];
            if (c_.pick(2) && byte && std::isalpha(static_cast<unsigned char>(*byte)))
                *byte = *byte == 'Z' ? 'Y' : 'Z';
            else
                changed += "<!-- another editor -->";
            // Changed back to what this program knows, it is no change at all.
            files_.files[kPage] = changed;
            foreign_ = changed == known_ ? std::string() : changed;
            what = "another program's change";
            break;
        }
        default: {
            const int ended = host_.ended;
            closingChoice_ = -1;
            form_.e_Click();
            what = "Exit";
            if (closingChoice_ != 1)
                exact_ = before;
            if (host_.ended != ended) {
                if (closingChoice_ == 2)
                    return what + ": Cancel ended the program";
                if (closingChoice_ == 1)
                    exact_ = restoredFrom(before);
                if (std::string problem = check(what); !problem.empty())
                    return problem;
                openPage();
                continue;
            }
        }
        }
        if (std::string problem = check(what); !problem.empty())
            return problem;
        if (!form_.pageOpen())
            openPage();
    }
    return {};
}

} // namespace bw::test
