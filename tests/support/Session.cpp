#include "support/Session.h"

#include <algorithm>
#include <map>
#include <tuple>
#include <utility>

#include "batch/BatchSession.h"
#include "batch/LocalBatch.h"
#include "text/Text.h"
#include "page/ImageContext.h"
#include "page/ImageFinder.h"
#include "support/Doubles.h"

namespace bw::test {
namespace {

const char *const kPage = "/site/page.html", *const kCopy = "/site/copy.html";

// The parts pages are made of. A fuzzer finding replays only while these stay as they are.
const char* const kNames[] = {"a.gif", "b.jpg", "pics/c.gif", "D.GIF", "e.JPG", "f.png", "g.svg", "a.gif", "../h.i.gif", "x.webp?v=2",
                              "a&amp;b.png", "/f.png", "https://e.example/z.png", "data:image/gif;base64,R0lGODlhAQABAAAAACw="};
const char* const kValues[] = {"Logo", "", "A sun", "Brindlew\xc3\xb6rk", "x > y", "it's", "a  b", "caf\xe9 &#8364;", "x < y"};
const char* const kLayouts[] = {
    "<img SRC=\"%N\">", "<img SRC=\"%N\" width=10 height=20>", "<img SRC=\"%N\" ALT=\"%V\" width=10>", "<img SRC=\"%N\" width=10 ALT=\"%V\">",
    "<IMG SRC=\"%N\" ALT=\"\">", "<img SRC=%N>", "<img SRC=%N width=5>", "<img src=\"%N\" alt='%V'>", "<img ALT=\"%V\" SRC=\"%N\">",
    "<img SRC=\"%N\"\r\n  ALT=\"%V\"\r\n  border=0>", "<Img Src=\"%N\" Alt=%V>", "<img SRC=\"%N\" ALT=\"%V\" ALT=\"%V\">",
    "<img SRC=\"%N\"ALT=\"%V\">", "<img SRC=\"%N\" ALT=\"%V\"/>", "<img src=%N/>", "<img/src=\"%N\"/alt=\"%V\">", "<img alt src=\"%N\">",
    "<img data-src=\"%N\" class=lazy>", "<img srcset=\"%N 1x, big.png 2x\" />", "<picture><source srcset=\"%N\"><img src=\"%N\" alt=\"%V\"></picture>",
    "<input type=image src=\"%N\" alt=\"%V\">", "<INPUT TYPE=\"IMAGE\" SRC=%N>", "<map><area shape=rect href=\"%N\" alt=\"%V\"><area nohref></map>",
    "<img title='a > b' src=\"%N\" alt='%V'>", "<img src=\"%N\" alt=\"%V\" alt=\"%V\">", "<img>"};
const char* const kText[] = {
    "<p>Hello world</p>\r\n", "Brindlew\xc3\xb6rk v\xc3\xa4gar ", " a < b and c > d ", "<a href=\"page.html\">link</a>", "\t", "<br>",
    "<!-- note -->", "\r\n", "<p>see x.jpg</p>", "<!-- <img SRC=\"a.gif\" ALT=\"c\"> -->", "<script>var s = \"<img src=a.gif>\";</script >",
    "<style>img{}</style>", "<textarea><img src=a.gif></textarea>", "<!--><img src=\"b.jpg\">", "<svg><![CDATA[<img src=a.gif>]]></svg>",
    "<?php echo '<img src=a.gif>'; ?>", "<a href=\"x.html\" title=\"<img src=a.gif>\">t</a>", "<title>a <img src=a.gif></title>"};
const char* const kTyped[] = {"A", "b", " ", "\"", "<", ">", "\xc3\xb6", "'", "=", "&", "x.gif", "ALT=\"q\"", "\r\n", "\xe2\x82\xac", "\t",
                              "\x01", "\x7f", "\xc2\x85", "&#233;"};
const char* const kHeads[] = {"", "<meta charset=\"iso-8859-1\">", "<meta charset=utf-8>",
                              "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1252\">"};

template <size_t N> const char* any(Choices& c, const char* const (&options)[N]) { return options[c.pick(N)]; }

std::string makePage(Choices& c)
{
    std::string page, last;
    if (c.pick(2))
        page += std::string("<html><head>") + any(c, kHeads) + "<title>T</title></head>\r\n";
    page += c.pick(4) == 0 ? "<body background=\"bg.gif\">\r\n" : "<body>\n";
    for (uint32_t parts = 1 + c.pick(10); parts > 0; --parts) {
        if (const uint32_t kind = c.pick(5); kind < 2) {
            // One pick after the other: argument order differs between compilers, and a
            // finding must replay the same page everywhere.
            std::string tag = any(c, kLayouts);
            const std::string name = any(c, kNames), value = any(c, kValues);
            for (size_t at; (at = tag.find("%N")) != std::string::npos;)
                tag.replace(at, 2, name);
            for (size_t at; (at = tag.find("%V")) != std::string::npos;)
                tag.replace(at, 2, value);
            page += last = tag;
        } else {
            page += kind == 2 ? last : any(c, kText); // 2: the same tag written again
        }
    }
    if (c.pick(5))
        page += "</body></html>";
    if (c.pick(4) == 0)
        page += "\r\n<!-- after the end -->";
    else if (c.pick(8) == 0)
        page += "\r\n<!-- never closed <img src=a.gif>";
    return c.pick(2) ? page + "\r\n" : page;
}

// Bytes no page of ours holds and no typed text may bring in: NUL and the other controls.
size_t controls(const std::string& s)
{
    return std::count_if(s.begin(), s.end(), [](char c) { return (c >= 0 && c < 0x20 && c != '\r' && c != '\n' && c != '\t') || c == 0x7f; });
}

// The image tags of a page in page order, as the finder sees them.
std::vector<ByteRange> imageTags(std::string_view page)
{
    std::vector<ByteRange> tags;
    for (const FoundImage& image : findImages(page).images)
        tags.push_back(image.tag.whole);
    std::sort(tags.begin(), tags.end(), [](ByteRange a, ByteRange b) { return a.begin < b.begin; });
    return tags;
}

// A tag's text without white space and without its ALT attributes.
std::string stripped(std::string_view tag)
{
    std::string out(tag);
    const FoundImages found = findImages(tag);
    if (!found.images.empty() && found.images.front().tag.whole.begin == 0)
        for (auto a = found.images.front().tag.attributes.rbegin(); a != found.images.front().tag.attributes.rend(); ++a)
            if (a->named(tag, "alt"))
                out.erase(a->whole.begin, a->whole.size());
    std::erase_if(out, text::isHtmlSpace);
    return out;
}

// Empty when `now` is `first` with only ALT attributes of the allowed image tags changed (their
// places in page order); else what differs.
std::string intactProblem(const std::string& first, const std::string& now, const std::vector<size_t>& allowed)
{
    const auto before = imageTags(first), after = imageTags(now);
    if (after.size() != before.size())
        return "the page's image tags changed:\n  was [" + first + "]\n  now [" + now + "]";
    // The bytes between image tags stay; an allowed tag changes in its ALT attributes only.
    for (size_t k = 0; k <= before.size(); ++k) {
        const size_t from = k == 0 ? 0 : before[k - 1].end, to = k < before.size() ? before[k].begin : first.size();
        const size_t nowFrom = k == 0 ? 0 : after[k - 1].end, nowTo = k < after.size() ? after[k].begin : now.size();
        const std::string a = first.substr(from, to - from), b = now.substr(nowFrom, nowTo - nowFrom);
        if (a != b)
            return "text before image tag " + std::to_string(k) + " changed:\n  was [" + a + "]\n  now [" + b + "]";
        if (k == before.size())
            break;
        const std::string_view tagA = before[k].of(first), tagB = after[k].of(now);
        const bool editable = std::find(allowed.begin(), allowed.end(), k) != allowed.end();
        if (tagA != tagB && (!editable || stripped(tagA) != stripped(tagB)))
            return "image tag " + std::to_string(k) + " changed:\n  was [" + std::string(tagA) + "]\n  now [" + std::string(tagB) + "]";
    }
    return {};
}

class Session {
public:
    Session(Choices& c, bool batch, bool undo)
        : c_(c), batch_(batch), undo_(undo), form_(desk_.platform(), Version{1, 0, 0}),
          batchSession_(desk_.platform(), form_)
    {
        form_.load();
        for (const char* folder : {"/site/", "/other/"})
            for (const char* image : {"a.gif", "b.jpg", "pics/c.gif", "bg.gif", "f.png"})
                files_.files[std::string(folder) + image] = "GIF89a";
        files_.files["/h.i.gif"] = "GIF89a";
        // One page; or pages of one or two folders.
        pages_ = batch_ ? std::vector<std::string>{"/site/p0.html", "/site/p1.html"} : std::vector<std::string>{kPage};
        if (batch_ && c_.pick(2))
            pages_.push_back("/other/p2.html");
        for (const std::string& page : pages_)
            files_.files[page] = original_[page] = makePage(c_);
        dialogs_.answerer = [this] {
            const Answer answer = c_.pick(2) ? Answer::Yes : Answer::No;
            if (dialogs_.shown.back().text.find("was changed by another program") != std::string::npos)
                asked_ = true, overwrite_ = answer == Answer::Yes;
            return answer;
        };
        dialogs_.chooseAnswerer = [this] { return choice_ = static_cast<int>(c_.pick(3)); };
        dialogs_.chooser = [this] { return std::vector<std::optional<std::string>>{std::nullopt, kCopy, kPage}[c_.pick(3)]; };
        open();
    }

    // Runs up to `steps` random commands; returns the first broken property, or "".
    std::string run(int steps)
    {
        // One command a letter: Type, Next, Back, Keep, Save, save As, Reset, neW, Close, another
        // program's change (F), eXit, Move to next file, OK, Undo, redo (Y).
        const std::string commands = std::string(batch_ ? "TTNNBKSMMOORWCX" : "TTTNNBKSARWCFFX") + (undo_ ? "UUY" : "");
        for (int i = 0; i < steps && !c_.done(); ++i) {
            const std::string onScreen = visited_, before = text(onScreen);
            const int64_t writtenBefore = writes(onScreen);
            const int ended = desk_.host.ended, at = batchSession_.pageNumber();
            bool closed = false, putBack = false, kept = false;
            choice_ = -1;
            const char command = commands[c_.pick(static_cast<uint32_t>(commands.size()))];
            switch (command) {
            case 'T': {
                std::string typed;
                for (uint32_t k = c_.pick(4); k > 0; --k)
                    typed += any(c_, kTyped);
                form_.typeAlt(typed);
                break;
            }
            case 'N': form_.next(); break;
            case 'B': form_.back(); break;
            case 'K': form_.keep(); break;
            case 'S': form_.save(); break;
            case 'A':
                form_.saveAs();
                // Saved over the page itself: that text is what closing puts back from now on.
                if (form_.pageOpen())
                    baseline_ = form_.document().firstRead();
                break;
            case 'R': form_.reset(); putBack = !form_.pageOpen(); break;
            case 'W': form_.newPage(); putBack = !form_.pageOpen(), kept = !putBack; break;
            case 'C':
            case 'X':
                closed = command == 'C' ? form_.mayClose() : (form_.exitProgram(), desk_.host.ended != ended);
                // Written ALTs are taken out only when the user says so; Cancel cancels.
                if (closed ? choice_ == 2 : choice_ < 1)
                    return std::string(1, command) + ": Cancel did not cancel, or the page would not close";
                putBack = choice_ == 1, kept = !putBack;
                break;
            case 'F': {
                // Another program changes the page: a letter, or an addition at the end. (Quotes
                // and angle brackets stay: a page whose quotes do not pair is a page of another kind.)
                std::string changed = before;
                char* byte = changed.empty() ? nullptr : &changed[c_.pick(static_cast<uint32_t>(changed.size()))];
                if (c_.pick(2) && byte && std::isalpha(static_cast<unsigned char>(*byte)))
                    *byte = *byte == 'Z' ? 'Y' : 'Z';
                else
                    changed += "<!-- another editor -->";
                files_.files[kPage] = changed;
                foreign_ = changed == known_ ? std::string() : changed; // changed back, it is no change
                break;
            }
            case 'M': {
                // What was typed (in plain letters) for the image shown is written before the batch moves on.
                const std::string typed = form_.view().altBox.Text();
                const int image = form_.shownIndex();
                const bool due = image >= 0 && form_.document().images()[static_cast<size_t>(image)].kind != ImageKind::Background &&
                                 form_.document().altShown(static_cast<size_t>(image)) != typed && !typed.empty() &&
                                 std::all_of(typed.begin(), typed.end(), [](char c) { return std::isalpha(static_cast<unsigned char>(c)); });
                batchSession_.nextFile();
                if (due && text(onScreen).find("=\"" + typed + "\"") == std::string::npos)
                    return "M: the ALT typed on " + onScreen + " was not written";
                if (batchSession_.pageNumber() != at)
                    visit();
                break;
            }
            case 'O': open(); break;
            case 'U': {
                // Taken back and made again, the page is byte for byte as it was; then taken back.
                const bool undoable = form_.view().undoItem.Enabled;
                form_.undo();
                if (undoable && foreign_.empty() && (form_.redo(), text(onScreen) != before))
                    return "U: undone and redone, " + onScreen + " is not as it was";
                if (undoable && foreign_.empty())
                    form_.undo();
                break;
            }
            case 'Y': form_.redo(); break;
            }
            const std::string what(1, command);
            if (putBack && form_.pageOpen()) // the page is read again as it stands
                readContexts();
            if (std::string problem = check(what); !problem.empty())
                return problem;
            // Closing leaves the page as it was, or back at this visit's first-read text.
            const std::string expected = putBack && writtenBefore != writesAtVisit_ ? baseline_ : before;
            if ((putBack || kept) && !onScreen.empty() && foreign_.empty() && text(onScreen) != expected)
                return what + ": " + onScreen + (putBack ? " is not back at its first-read text" : " changed though nothing was taken out");
            if (closed || !form_.pageOpen())
                open();
        }
        return {};
    }

private:
    // Read without adding files: a file that is there changes what the program asks.
    std::string text(const std::string& path) const { return files_.files.count(path) ? files_.files.at(path) : ""; }
    int64_t writes(const std::string& path) const { return files_.writes.count(path) ? files_.writes.at(path) : 0; }

    // The one page, or a new batch.
    void open()
    {
        form_.clearAll();
        if (batch_) {
            // One to four pages of the local folders, the same page perhaps twice, now and then
            // one that is not there.
            LocalBatch window(desk_.platform(), batchSession_);
            auto& chosen = dialogs_.chosenMany.emplace_back();
            for (uint32_t n = 1 + c_.pick(4); n > 0; --n)
                chosen.push_back(c_.pick(8) == 0 ? "/site/gone.html" : pages_[c_.pick(static_cast<uint32_t>(pages_.size()))]);
            window.addFiles();
            window.ok();
        } else {
            dialogs_.chosen.push_back(std::string(kPage));
            form_.openPage();
            original_[kPage] = text(kPage); // another program's change, kept, is the page now
            foreign_.clear();
        }
        visit();
    }

    // Takes note of the page just opened.
    void visit()
    {
        visited_ = form_.pagePath();
        known_ = baseline_ = form_.document().firstRead();
        writesAtVisit_ = writes(visited_);
        readContexts();
        const auto& tags = form_.document().tags();
        auto place = [&](size_t k) {
            return static_cast<size_t>(std::count_if(tags.begin(), tags.end(), [&](const FoundImage& t) { return t.tag.whole.begin < tags[k].tag.whole.begin; }));
        };
        for (const PageDocument::Image& image : form_.document().images())
            for (size_t k : image.copies)
                if (image.kind != ImageKind::Background)
                    allowed_[visited_].push_back(place(k));
    }

    // The context of every image as the whole page gives it, against which the one shown is checked.
    void readContexts() { contexts_ = imageContexts(form_.document().text(), form_.document().found(), form_.document().encoding()); }

    std::string check(const std::string& what)
    {
        const auto& images = form_.document().images();
        if (const auto shown = static_cast<size_t>(form_.shownIndex()); form_.pageOpen() && shown < images.size()) {
            const ImageContext &c = form_.view().context, &whole = contexts_[images[shown].copies.front()];
            if (std::tie(c.linkHref, c.linkText, c.inFigure, c.caption, c.before, c.after) !=
                std::tie(whole.linkHref, whole.linkText, whole.inFigure, whole.caption, whole.before, whole.after))
                return what + ": the context shown is not the one the whole page gives";
        }
        const bool asked = std::exchange(asked_, false);
        const std::string shown = text(visited_);
        // Another program's bytes go only when the user said so, and only after asking.
        if (!foreign_.empty() && shown == foreign_)
            return {};
        if (foreign_.empty() ? asked : !asked || !overwrite_)
            return what + (foreign_.empty() ? ": asked about a change of another program's that it never made" : ": another program's change was overwritten unasked");
        foreign_.clear();
        known_ = shown;
        for (const std::string& page : pages_) {
            const std::string &first = original_[page], now = text(page);
            if (std::string problem = intactProblem(first, now, allowed_[page]); !problem.empty())
                return what + ": " + page + ": " + problem;
            if (controls(now) != controls(first))
                return what + ": control characters reached " + page;
        }
        return files_.files.count("/site/gone.html") ? what + ": a page that was not there was written" : "";
    }

    Choices& c_;
    const bool batch_, undo_;
    Desktop<MemoryFileSystem> desk_;
    ScriptedDialogs& dialogs_ = desk_.dialogs;
    MemoryFileSystem& files_ = desk_.files;
    EditorSession form_;
    BatchSession batchSession_;
    std::vector<std::string> pages_;
    std::map<std::string, std::string> original_;
    std::map<std::string, std::vector<size_t>> allowed_; // tags listed by any visit
    std::string visited_, baseline_; // the page on screen, and what putting it back writes
    std::string foreign_, known_;    // what another program wrote; the file as this program left it
    int64_t writesAtVisit_ = 0;
    std::vector<ImageContext> contexts_; // by tag, as the page read at this visit
    bool asked_ = false, overwrite_ = false;
    int choice_ = -1; // the answer to the last "taken out again": Keep, Take Out, Cancel
};

} // namespace

std::string runSession(Choices& c, bool batch, int steps, bool undo) { return Session(c, batch, undo).run(steps); }

} // namespace bw::test
