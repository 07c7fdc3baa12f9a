// Pages of the classic kind (upper-case SRC, .gif and .jpg, one tag per entry) behave exactly as
// they did under the substring finder and the entry-based writer, kept in tests/oracle.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "editor/Encoding.h"
#include "editor/Text.h"
#include "oracle/OldAltEdit.h"
#include "oracle/OldScanner.h"
#include "oracle/OldTag.h"
#include "page/PageDocument.h"
#include "support/Doubles.h"

namespace bw {
namespace {

struct ClassicPage {
    std::string html;
};

ClassicPage makeClassicPage(std::mt19937& rng)
{
    auto pick = [&](size_t n) { return static_cast<size_t>(std::uniform_int_distribution<size_t>(0, n - 1)(rng)); };
    static const char* const names[] = {"a.gif", "B.JPG", "pics/c.gif", "d.jpg", "../e.gif", "f.g.jpg", "h.GIF"};
    static const char* const openings[] = {"<img SRC=", "<IMG SRC="};
    static const char* const before[] = {"", " ALT=\"first\""};
    static const char* const after[] = {"", " width=10", " ALT=\"Old\" width=10", " ALT=\"x\"", " height=\"20\" ALT=''",
                                        " ALT=\"\" border=0", " ALT=\"a\" ALT=\"b\"", "\r\n  ALT=\"long text\"\r\n  border=0"};
    static const char* const texts[] = {"<p>Hello</p>\r\n", "\r\n", "<a href=\"x.html\">link</a>", "<br>", " a > b ",
                                        "<table><tr><td>cell</td></tr></table>"};
    // One tag per picture name, whatever its case: the old finder merged tags that begin alike.
    std::vector<std::string> tagOf(std::size(names));
    ClassicPage page;
    page.html = "<html><head><title>t</title></head>";
    page.html += pick(4) == 0 ? "<body background=\"bg.gif\">\r\n" : "<body>\r\n";
    const size_t count = pick(8);
    for (size_t i = 0; i < count; ++i) {
        page.html += texts[pick(std::size(texts))];
        const size_t n = pick(std::size(names));
        if (tagOf[n].empty()) {
            const bool quoted = pick(3) != 0;
            const std::string name = quoted ? "\"" + std::string(names[n]) + "\"" : std::string(names[n]);
            // The old finder began at the first "<img SRC=": an ALT before the first SRC hid all.
            const bool altFirst = quoted && i > 0 && pick(4) == 0;
            tagOf[n] = std::string(openings[pick(2)]).insert(4, altFirst ? before[1] : "") + name +
                       (quoted ? after[pick(std::size(after))] : std::string(pick(2) ? "" : " width=5")) + ">";
        }
        page.html += tagOf[n];
    }
    page.html += "</body></html>\r\n";
    return page;
}

// The old editor on one page: entries found once, each written at its first occurrence and into
// the identical copies of that tag, positions followed through every edit.
class OldEditor {
public:
    explicit OldEditor(std::string page) : opened_(page), page_(std::move(page))
    {
        entries_ = oracle::literalScan(opened_, oracle::ScanVariant::Main);
        for (const std::string& entry : entries_.entries) {
            std::vector<oracle::EntryAt> copies;
            const size_t first = text::inStrNoCase(opened_, entry) - 1;
            copies.push_back({first, entry.size()});
            const oracle::TagSpan tag = oracle::tagOfEntry(opened_, first, entry.size());
            const std::string tagText = opened_.substr(tag.start, tag.end + 1 - tag.start);
            for (size_t at = opened_.find(tagText); at != std::string::npos; at = opened_.find(tagText, at + 1))
                if (at != tag.start)
                    copies.push_back({at, first + entry.size() - tag.start});
            copies_.push_back(copies);
            tagStarts_.push_back(text::equalsNoCase(entry.substr(0, 4), "<img") ? tag.start : std::string::npos);
        }
    }
    const std::vector<std::string>& entries() const { return entries_.entries; }
    bool background() const { return entries_.background; }
    size_t tagStart(size_t i) const { return tagStarts_[i]; }
    const std::string& page() const { return page_; }

    void write(size_t i, const std::string& typed, oracle::EmptyBox empty)
    {
        if (tagStarts_[i] == std::string::npos)
            return;
        std::vector<oracle::EntryAt> now;
        for (oracle::EntryAt e : copies_[i]) {
            size_t start = e.start, end = e.start + e.length;
            for (const oracle::TextEdit& edit : edits_) {
                start = edit.map(start);
                end = edit.map(end);
            }
            now.push_back({start, end - start});
        }
        const oracle::TagSpan tag = oracle::tagOfEntry(page_, now[0].start, now[0].length);
        if (const oracle::TagAttribute* alt = tag.find(page_, "alt"))
            if (decodeReferences(fromPageEncoding(page_.substr(alt->valueStart, alt->valueEnd - alt->valueStart),
                                                  "UTF-8")) == typed)
                return;
        oracle::AltEdit edit = oracle::withAltValue(page_, now, oracle::altValue(withoutControls(typed)), empty);
        page_ = edit.page;
        edits_.insert(edits_.end(), edit.edits.rbegin(), edit.edits.rend());
    }

private:
    std::string opened_, page_;
    oracle::ScanResult entries_;
    std::vector<std::vector<oracle::EntryAt>> copies_;
    std::vector<size_t> tagStarts_;
    std::vector<oracle::TextEdit> edits_;
};

std::string withoutLineEnds(std::string text)
{
    while (text.ends_with("\r\n"))
        text.resize(text.size() - 2);
    return text;
}

TEST(ClassicPages, ListTheSameImagesAndWriteTheSameBytesAsBefore)
{
    std::mt19937 rng(20261207);
    static const char* const typed[] = {"Logo", "", "A \"quoted\" sun", "x < y", "Old", "caf\xc3\xa9", "first"};
    for (int round = 0; round < 400; ++round) {
        const ClassicPage page = makeClassicPage(rng);
        SCOPED_TRACE(page.html);
        OldEditor old(page.html);
        test::MemoryFileSystem files;
        files.files["/p.html"] = page.html;
        PageDocument doc(files);
        doc.open("/p.html", files.readFile("/p.html"));

        ASSERT_EQ(doc.images().size(), old.entries().size());
        for (size_t i = 0; i < old.entries().size(); ++i) {
            const bool background = doc.images()[i].kind == ImageKind::Background;
            EXPECT_EQ(background, old.tagStart(i) == std::string::npos);
            if (!background) {
                EXPECT_EQ(doc.tagOf(i).tag.whole.begin, old.tagStart(i)) << "image " << i;
            }
        }
        for (int step = 0; step < 6 && !old.entries().empty(); ++step) {
            const size_t i = std::uniform_int_distribution<size_t>(0, old.entries().size() - 1)(rng);
            const std::string text = typed[std::uniform_int_distribution<size_t>(0, std::size(typed) - 1)(rng)];
            const bool decorate = std::uniform_int_distribution<int>(0, 3)(rng) == 0;
            old.write(i, text, decorate ? oracle::EmptyBox::Decorate : oracle::EmptyBox::Remove);
            doc.writeAlt(i, text, decorate ? EmptyBox::Decorate : EmptyBox::Remove);
            ASSERT_EQ(withoutLineEnds(doc.text()), withoutLineEnds(old.page())) << "writing \"" << text << "\" to " << i;
        }
    }
}

// Views redraw from these notices, whichever window changed the page.
TEST(PageDocument, TellsItsListenersWhatHappened)
{
    test::MemoryFileSystem files;
    files.files["/p.html"] = "<img src=a.png>";
    PageDocument doc(files);
    std::vector<PageDocument::Change> heard;
    doc.subscribe([&](PageDocument::Change change) { heard.push_back(change); });
    doc.open("/p.html", files.readFile("/p.html"));
    doc.writeAlt(0, "A", EmptyBox::Remove);
    doc.writeAlt(0, "A", EmptyBox::Remove); // unchanged: nothing to tell
    doc.putBack();
    doc.close();
    using C = PageDocument::Change;
    EXPECT_EQ(heard, (std::vector<C>{C::Opened, C::Written, C::PutBack, C::Closed}));
}

} // namespace
} // namespace bw
