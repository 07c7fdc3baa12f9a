#include "support/PageSession.h"

#include <algorithm>
#include <utility>

#include "editor/Encoding.h"

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

const char* const kNames[] = {"a.gif", "b.jpg", "pics/c.gif", "D.GIF", "e.JPG", "f.png", "g.gif.bak", "a.gif", "../h.i.gif"};
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
};
const char* const kText[] = {
    "<p>Hello world</p>\r\n", "Brindlew\xc3\xb6rk v\xc3\xa4gar ", " a < b and c > d ", "<a href=\"page.html\">link</a>",
    "\t", "<br>", "<!-- note -->", "\r\n", "<p>see x.jpg</p>", "<!-- <img SRC=\"a.gif\" ALT=\"c\"> -->",
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

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

// A tag's text without white space and without its ALT attributes.
std::string stripped(const std::string& tag)
{
    std::string out;
    size_t i = 0;
    const size_t n = tag.size();
    while (i < n) {
        if (isSpace(tag[i])) {
            ++i;
            continue;
        }
        // An attribute (or the element name): its name, then perhaps "=" and a value.
        size_t nameStart = i;
        while (i < n && !isSpace(tag[i]) && tag[i] != '=' && tag[i] != '>')
            ++i;
        std::string name = tag.substr(nameStart, i - nameStart);
        std::string lower = name;
        for (char& ch : lower)
            ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        std::string piece = name;
        size_t j = i;
        while (j < n && isSpace(tag[j]))
            ++j;
        if (j < n && tag[j] == '=' && !name.empty()) {
            ++j;
            while (j < n && isSpace(tag[j]))
                ++j;
            size_t valueStart = j;
            if (j < n && (tag[j] == '"' || tag[j] == '\'')) {
                size_t close = tag.find(tag[j], j + 1);
                j = close == std::string::npos ? n : close + 1;
            } else {
                while (j < n && !isSpace(tag[j]) && tag[j] != '>')
                    ++j;
            }
            piece += "=" + tag.substr(valueStart, j - valueStart);
            i = j;
        } else if (i < n && tag[i] == '>') {
            if (name.empty()) {
                out += '>';
                ++i;
                continue;
            }
        }
        if (lower == "alt")
            continue;
        out += piece;
        if (name.empty() && i < n) // a stray "=" on its own
            out += tag[i++];
    }
    return out;
}

std::string visible(const std::string& s)
{
    std::string out;
    for (char ch : s)
        out += ch == '\r' ? std::string("\\r") : ch == '\n' ? std::string("\\n") : std::string(1, ch);
    return out;
}

size_t tokenAt(const std::vector<Token>& all, size_t pos)
{
    for (size_t k = 0; k < all.size(); ++k)
        if (pos >= all[k].start && pos < all[k].end)
            return k;
    return all.size();
}

size_t findNoCase(const std::string& hay, const std::string& needle)
{
    auto it = std::search(hay.begin(), hay.end(), needle.begin(), needle.end(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    });
    return it == hay.end() ? std::string::npos : static_cast<size_t>(it - hay.begin());
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
    if (c.pick(2))
        page += "\r\n";
    return page;
}

std::vector<Token> tokens(const std::string& page)
{
    std::vector<Token> out;
    size_t i = 0, textStart = 0;
    const size_t n = page.size();
    while (i < n) {
        if (page[i] == '<' && i + 1 < n && (std::isalpha(static_cast<unsigned char>(page[i + 1])) || page[i + 1] == '/' || page[i + 1] == '!')) {
            if (i > textStart)
                out.push_back({false, textStart, i});
            size_t j = i + 1;
            bool afterEquals = false;
            while (j < n && page[j] != '>') {
                if ((page[j] == '"' || page[j] == '\'') && afterEquals) {
                    size_t close = page.find(page[j], j + 1);
                    j = close == std::string::npos ? n : close + 1;
                    afterEquals = false;
                    continue;
                }
                if (page[j] == '=')
                    afterEquals = true;
                else if (!isSpace(page[j]))
                    afterEquals = false;
                ++j;
            }
            size_t end = j < n ? j + 1 : n;
            out.push_back({true, i, end});
            i = textStart = end;
            continue;
        }
        ++i;
    }
    if (textStart < n)
        out.push_back({false, textStart, n});
    return out;
}

std::string intactProblem(const std::string& first, const std::string& now, const std::vector<size_t>& allowed)
{
    const auto before = tokens(first);
    std::string why = "the page file is not the page as first read";
    for (std::string candidate = now;;) {
        const auto after = tokens(candidate);
        bool same = after.size() == before.size();
        if (!same)
            why = "the page's pieces changed:\n  was [" + visible(first) + "]\n  now [" + visible(candidate) + "]";
        for (size_t k = 0; same && k < before.size(); ++k) {
            const std::string a = first.substr(before[k].start, before[k].end - before[k].start);
            const std::string b = candidate.substr(after[k].start, after[k].end - after[k].start);
            if (a == b)
                continue;
            const bool editable = before[k].tag && after[k].tag &&
                                  std::find(allowed.begin(), allowed.end(), k) != allowed.end();
            if (!editable || stripped(a) != stripped(b)) {
                same = false;
                why = "piece " + std::to_string(k) + " changed:\n  was [" + visible(a) + "]\n  now [" + visible(b) + "]";
            }
        }
        if (same)
            return {};
        // Each write appends a line end; try without one more.
        if (candidate.size() < 2 || candidate.compare(candidate.size() - 2, 2, "\r\n") != 0)
            return why;
        candidate.resize(candidate.size() - 2);
    }
}

ListedTags listedTags(const std::string& page, const std::vector<std::string>& entries)
{
    ListedTags listed;
    const auto all = tokens(page);
    auto text = [&](size_t k) { return page.substr(all[k].start, all[k].end - all[k].start); };
    auto commented = [&](size_t k) { return k < all.size() && text(k).compare(0, 4, "<!--") == 0; };
    for (const auto& entry : entries) {
        size_t at = findNoCase(page, entry);
        if (at == std::string::npos)
            continue;
        // A tag in a comment is no tag: the first one outside comments is the one written.
        for (size_t next = at; commented(tokenAt(all, next + entry.size() - 1));) {
            const size_t later = findNoCase(page.substr(next + 1), entry);
            if (later == std::string::npos)
                break;
            next += later + 1;
            if (!commented(tokenAt(all, next + entry.size() - 1)))
                at = next;
        }
        const size_t first = tokenAt(all, at + entry.size() - 1);
        listed.allowed.push_back(first);
        if (first == all.size() || !all[first].tag || findNoCase(entry.substr(0, 4), "<img") != 0)
            continue;
        std::vector<size_t> group{first};
        for (size_t k = 0; k < all.size(); ++k)
            if (k != first && all[k].tag && !commented(k) && text(k) == text(first)) {
                group.push_back(k);
                listed.allowed.push_back(k);
            }
        listed.copies.push_back(group);
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
    ListedTags listed = listedTags(original_, form_.List1.items());
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
    return pageWrites() == writesAtOpen_ ? before : baseline_ + "\r\n";
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
    const auto all = tokens(now);
    for (const auto& group : copies_)
        for (size_t k : group)
            if (all.size() > k && now.compare(all[k].start, all[k].end - all[k].start, now, all[group[0]].start,
                                              all[group[0]].end - all[group[0]].start) != 0)
                return what + ": copies of one tag differ: [" + now.substr(all[k].start, all[k].end - all[k].start) +
                       "] [" + now.substr(all[group[0]].start, all[group[0]].end - all[group[0]].start) + "]";
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
            if (wasOpen && form_.ejspara != baseline_) {
                if (files_.files[kPage] != form_.ejspara + "\r\n")
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
            break;
        case 11: {
            const bool kept = form_.ändrat;
            form_.Form_Unload();
            what = "closing the window";
            if (!kept && (foreign_.empty() || allowedChange_))
                exact_ = restoredFrom(before);
            if (std::string problem = check(what); !problem.empty())
                return problem;
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
            const bool kept = form_.ändrat;
            form_.e_Click();
            what = "Exit";
            if (host_.ended != ended) {
                if (!kept)
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
