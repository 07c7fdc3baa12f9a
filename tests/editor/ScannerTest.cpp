#include "editor/LiteralScanner.h"
#include "editor/Scanner.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace bw::detail {
// Defined in Scanner.cpp: the indexed scan (nullopt when it gives up) and the plain one it falls back to.
std::optional<ScanResult> indexedScan(std::string_view page, ScanVariant variant, std::size_t workLimit);
ScanResult plainScan(std::string_view page, ScanVariant variant);
std::size_t defaultWorkLimit(std::size_t pageSize);
} // namespace bw::detail

namespace bw {

static void PrintTo(const ScanResult& r, std::ostream* os)
{
    *os << "{entries:";
    for (const auto& e : r.entries)
        *os << " [" << e << "]";
    *os << ", background: " << r.background << ", remainder: [" << r.remainder << "]}";
}

static bool operator==(const ScanResult& a, const ScanResult& b)
{
    return a.entries == b.entries && a.background == b.background && a.remainder == b.remainder;
}

namespace {

constexpr auto Main = ScanVariant::Main;
constexpr auto Batch = ScanVariant::Batch;
constexpr std::size_t kNoLimit = std::size_t(-1);

const char* name(ScanVariant v) { return v == Main ? "main" : "batch"; }

// Every way the program can scan a page must agree with the reference.
void expectAllAgree(const std::string& page, ScanVariant variant, const ScanResult& expected)
{
    SCOPED_TRACE(testing::Message() << name(variant) << " page [" << page << "]");
    EXPECT_EQ(scanImageTags(page, variant), expected);
    EXPECT_EQ(detail::plainScan(page, variant), expected);
    const auto indexed = detail::indexedScan(page, variant, kNoLimit);
    ASSERT_TRUE(indexed.has_value());
    EXPECT_EQ(*indexed, expected);
}

struct Case {
    const char* what;
    ScanVariant variant;
    std::string page;
    ScanResult expected;
};

TEST(Scanner, PagesWithKnownEntries)
{
    const std::string longName(40000, 'x');
    const std::vector<Case> cases = {
        {"rest of the tag is left", Main, R"(<img SRC="a.gif" width=10>)", {{R"(<img SRC="a.gif")"}, false, "width=10>"}},
        {"rest of the tag is left", Batch, R"(<img SRC="a.gif" width=10>)", {{R"(<img SRC="a.gif")"}, false, "width=10>"}},
        {"byte after the extension taken whatever it is", Main, "<img SRC=a.gif>", {{"<img SRC=a.gif>"}, false, ""}},
        {"png tag runs on to the next gif", Main, R"(<img SRC="a.png"><img SRC="b.gif">)",
         {{R"(<img SRC="a.png"><img SRC="b.gif")"}, false, ">"}},
        {"png tag runs on to the next gif", Batch, R"(<img SRC="a.png"><img SRC="b.gif">)",
         {{R"(<img SRC="a.png"><img SRC="b.gif")"}, false, ">"}},
        {"link to an image before the first tag", Main, R"(<a href="x.jpg"><img SRC="a.gif">)",
         {{}, false, R"(<a href="x.jpg"><img SRC="a.gif">)"}},
        {"background first, later entries lower-cased", Main,
         R"(<body background="bg.gif"><img SRC="a.gif"><img SRC="B.jpg">)",
         {{R"(ckground="bg.gif")", R"(<img src="a.gif")", R"(<img src="b.jpg")"}, true, "<body ba > > >"}},
        {"background first, case kept", Batch, R"(<body background="bg.gif"><img SRC="a.gif"><img SRC="B.jpg">)",
         {{R"(ckground="bg.gif")", R"(<img SRC="a.gif")", R"(<img SRC="B.jpg")"}, true, "<body ba > > >"}},
        {"background after the first file name", Main, R"(<img SRC="a.gif"><body background="bg.gif">)",
         {{}, true, R"(<img SRC="a.gif"><body background="bg.gif">)"}},
        {"same tag three times", Main, R"(<img SRC="a.gif">x<img SRC="a.gif">y<img SRC="a.gif">)",
         {{R"(<img SRC="a.gif")"}, false, ">x >y >"}},
        {"upper case tags", Main, R"(<IMG SRC="Logo.GIF"><IMG SRC="Top.JPG">)",
         {{R"(<IMG SRC="Logo.GIF")", R"(<img src="top.jpg")"}, false, "> >"}},
        {"upper case tags", Batch, R"(<IMG SRC="Logo.GIF"><IMG SRC="Top.JPG">)",
         {{}, false, R"(<IMG SRC="Logo.GIF"><IMG SRC="Top.JPG">)"}},
        {"upper case extension is not one", Batch, R"(<img SRC="A.GIF"><img SRC="b.gif">)",
         {{R"(<img SRC="A.GIF"><img SRC="b.gif")"}, false, ">"}},
        {"tag inside a comment", Main, R"(<!-- <img SRC="a.gif"> -->)", {{R"(<img SRC="a.gif")"}, false, ">"}},
        {"no image: markers blanked, case kept", Main, "  <P>Hi<!-- note --></P>  ", {{}, false, "<P>Hi  note  </P>"}},
        {"empty page", Main, "", {{}, false, ""}},
        {"empty page", Batch, "", {{}, false, ""}},
        {"extension at the very end", Main, "<img SRC=a.gif", {{"<img SRC=a.gif"}, false, ""}},
        {"cut extension at the end", Main, "<img SRC=a.gi", {{}, false, "<img SRC=a.gi"}},
        {"entry longer than 32767 bytes", Batch, R"(<img SRC=")" + longName + R"(.gif">)",
         {{R"(<img SRC=")" + longName + R"(.gif")"}, false, ">"}},
        {"opening made across a removed entry", Batch, R"(<img<img SRC="a.gif"SRC="b.gif")",
         {{R"(<img SRC="a.gif")", R"(<img SRC="b.gif")"}, false, ""}},
        {"opening made across a removed entry", Main, R"(<img<img SRC="a.gif"SRC="b.gif")",
         {{R"(<img SRC="a.gif")", R"(<img src="b.gif")"}, false, ""}},
        {"opening made across a later entry", Batch, R"(<img SRC="w.gif"><img SRC="a.gif"><img<img SRC="a.gif"SRC="b.gif")",
         {{R"(<img SRC="w.gif")", R"(<img SRC="a.gif")", R"(<img SRC="b.gif")"}, false, "> >"}},
        {"<img split by a removed entry stays split", Main, R"(<im<img SRC="a.gif"g src="b.gif")",
         {{R"(<img SRC="a.gif")"}, false, R"(<im g src="b.gif")"}},
        {"overlapping copies: only the first goes", Main, "<img src=a.gif<img src=a.gif<",
         {{"<img src=a.gif<"}, false, "img src=a.gif<"}},
        {"tag without extension joins the next one once its file is gone", Main,
         R"(<img SRC="a.gif"><img x><img SRC="a.gif"><img SRC="b.gif">)",
         {{R"(<img SRC="a.gif")", R"(<img x> ><img src="b.gif")"}, false, "> >"}},
        {"utf-8 bytes are never folded", Main, "<img SRC=\"\xC3\x89t\xC3\xA9.GIF\"><IMG SRC=\"\xC3\x89.JPG\">",
         {{"<img SRC=\"\xC3\x89t\xC3\xA9.GIF\"", "<img src=\"\xC3\x89.jpg\""}, false, "> >"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(literalScan(c.page, c.variant), c.expected) << "reference scanner";
        expectAllAgree(c.page, c.variant, c.expected);
    }
}

// ---- Generated pages -------------------------------------------------------------------------

template <class T>
const T& pick(const std::vector<T>& from, std::mt19937& rng)
{
    return from[rng() % from.size()];
}

// Something shaped like an image tag, often broken in one of the ways pages break.
std::string tagLike(std::mt19937& rng)
{
    static const std::vector<std::string> openings = {
        "<img SRC=\"", "<img SRC=", "<IMG SRC=\"", "<img src=", "<Img sRc=", "<img ", "<img", "<img SRC", "ckground=\""};
    static const std::vector<std::string> names = {"", "a", "B", "a b", "\xC3\xA9", "<img", "x/y", "<img SRC=\"a"};
    static const std::vector<std::string> extensions = {".gif", ".jpg", ".GIF", ".Jpg", ".png", "", ".gif.gif", ".gi"};
    static const std::vector<std::string> closers = {"\"", ">", "\">", "", "<", " w=1>", ".", "\" ALT=\"\">", "SRC"};
    return pick(openings, rng) + pick(names, rng) + pick(extensions, rng) + pick(closers, rng);
}

// Small pages from a small alphabet, so that copies, nesting and odd joints happen often.
std::string nastyPage(std::mt19937& rng)
{
    static const std::vector<std::string> bits = {
        "<img SRC=", "<IMG SRC=", "<img src=", "<img", "<IMG", "<img ", "<img SRC", " SRC=", "SRC=\"", "SRC",
        " ", "  ", "\"", "=", ">", "<", "<p>", "a", "B", "x y", ".gif", ".GIF", ".jpg", ".JPG", ".png", ".gi",
        "f", "g", ".", "<!--", "-->", "<!-", "--", "-", "!", "ckground=", "background=\"bg.gif\"", "BACKGROUND=",
        "\xC3\xA9", "\xC3\x89", "\n"};
    static const std::vector<std::string> heads = {"<img", "<IMG", "<im", "<", "<img ", "ckgr"};
    static const std::vector<std::string> tails = {"SRC=\"b.gif\"", "SRC", " SRC=b.jpg", "g SRC=\"", "src=a.jpg",
                                                   ".gif\"", "gif", "ound=x.gif"};
    std::vector<std::string> pool(1 + rng() % 4);
    for (std::string& tag : pool) {
        tag = tagLike(rng);
        if (rng() % 4 == 0)
            tag += tagLike(rng); // an entry that holds another one
    }
    // Well-formed tags first, so that the rest is scanned as second and later entries.
    std::string page;
    for (int i = int(rng() % 3); i > 0; --i)
        page += "<img SRC=\"w" + std::to_string(rng() % 2) + ".gif\">";
    const int pieces = int(rng() % 24);
    for (int i = 0; i < pieces; ++i) {
        switch (rng() % 7) {
        case 0:
        case 1:
            page += pick(pool, rng);
            break;
        case 2:
            page += "<!--" + pick(pool, rng) + "-->";
            break;
        case 3: // a copy cut out of the middle of something tag-like
            page += pick(heads, rng) + pick(pool, rng) + pick(tails, rng);
            break;
        default:
            page += pick(bits, rng);
        }
    }
    return page;
}

// A page as people write them: text, links, comments, and image tags of which some repeat.
std::string realisticPage(std::mt19937& rng, int tags, bool withOddities)
{
    static const std::vector<std::string> words = {"the", "Garden", "in", "spring", "Photos", "of", "our", "trip",
                                                    "and", "more", "caf\xC3\xA9", "NEW", "a", "view", "from", "hill"};
    static const std::vector<std::string> kinds = {
        "<img SRC=\"pics/%.jpg\" width=\"320\" height=\"240\">",
        "<img SRC=\"pics/%.gif\" WIDTH=16 HEIGHT=16 ALT=\"icon\">",
        "<IMG SRC=\"pics/Banner%.GIF\" width=468 height=60>",
        "<img SRC=\"pics/%.gif\" ALT=\"\" border=0>",
        "<img SRC=\"Pics/Photo%.JPG\">"};
    static const std::vector<std::string> odd = {
        "<img SRC=\"pics/%.png\" width=10>", "<img width=5 SRC=\"pics/%.gif\">", "<body background=\"bg%.gif\">",
        "<a href=\"pics/%.jpg\">big</a>"};
    std::string page = "<HTML><HEAD><TITLE>Pics</TITLE></HEAD>\n<BODY BGCOLOR=\"#FFFFFF\">\n";
    std::vector<std::string> used;
    for (int i = 0; i < tags; ++i) {
        page += "<P>";
        for (int w = int(rng() % 40); w > 0; --w)
            page += pick(words, rng) + " ";
        if (rng() % 5 == 0)
            page += "<!-- section " + std::to_string(i) + " -->\n";
        if (rng() % 4 == 0)
            page += "<a href=\"page" + std::to_string(i) + ".html\">Next</a>\n";
        std::string tag = withOddities && rng() % 6 == 0 ? pick(odd, rng) : pick(kinds, rng);
        tag.replace(tag.find('%'), 1, std::to_string(rng() % (2 * tags + 1)));
        if (!used.empty() && rng() % 8 == 0)
            tag = pick(used, rng); // the same picture shown again
        used.push_back(tag);
        page += tag + "</P>\n";
    }
    return page + "</BODY></HTML>\n";
}

struct Tally {
    int pages = 0, twoOrMore = 0, background = 0, gaveUp = 0, gaveUpTightly = 0;
};

void checkAgainstReference(const std::string& page, ScanVariant variant, Tally& tally)
{
    const ScanResult expected = literalScan(page, variant);
    ++tally.pages;
    tally.twoOrMore += expected.entries.size() >= 2;
    tally.background += expected.background && !expected.entries.empty();
    tally.gaveUp += !detail::indexedScan(page, variant, detail::defaultWorkLimit(page.size())).has_value();
    expectAllAgree(page, variant, expected);

    // With a tight limit the indexed scan often gives up; whenever it finishes it must be right.
    const auto tight = detail::indexedScan(page, variant, page.size() / 2);
    if (tight)
        EXPECT_EQ(*tight, expected);
    else
        ++tally.gaveUpTightly;
}

TEST(Scanner, GeneratedNastyPagesMatchReference)
{
    for (ScanVariant variant : {Main, Batch}) {
        Tally tally;
        for (unsigned seed : {1u, 2u, 3u, 4u, 5u}) {
            std::mt19937 rng(seed);
            for (int i = 0; i < 4000; ++i) {
                checkAgainstReference(nastyPage(rng), variant, tally);
                if (HasFailure())
                    return;
            }
        }
        // The generator must keep producing the interesting cases, and both ways of scanning must run.
        SCOPED_TRACE(name(variant));
        EXPECT_GT(tally.twoOrMore, tally.pages / 20);
        EXPECT_GT(tally.background, tally.pages / 100);
        EXPECT_GT(tally.gaveUp, 0);
        EXPECT_GT(tally.gaveUpTightly, tally.pages / 20);
        EXPECT_LT(tally.gaveUpTightly, tally.pages);
        std::printf("%s: %d pages, %d with 2+ entries, %d with a background entry, "
                    "%d fell back to the plain scan (%d with a tight limit)\n",
                    name(variant), tally.pages, tally.twoOrMore, tally.background, tally.gaveUp,
                    tally.gaveUpTightly);
    }
}

TEST(Scanner, GeneratedRealisticPagesMatchReferenceWithoutFallingBack)
{
    for (ScanVariant variant : {Main, Batch}) {
        std::mt19937 rng(7);
        for (int i = 0; i < 40; ++i) {
            const std::string page = realisticPage(rng, 5 + i * 3, i % 2 == 1);
            Tally tally;
            checkAgainstReference(page, variant, tally);
            EXPECT_EQ(tally.gaveUp, 0) << name(variant) << " page " << i;
            if (HasFailure())
                return;
        }
    }
}

TEST(Scanner, KeysGrowingOverAndOverFallBackToPlainScan)
{
    // Many openings without a file of their own sit before a run of repeated tags: each entry
    // removes the extension their keys end at, so their keys grow with every entry.
    std::string tags;
    for (int i = 0; i < 60; ++i)
        tags += "<img SRC=\"p" + std::to_string(i) + ".gif\">";
    std::string page = tags;
    for (int i = 0; i < 200; ++i)
        page += "<img SRC=x>";
    page += tags;
    for (ScanVariant variant : {Main, Batch}) {
        EXPECT_FALSE(detail::indexedScan(page, variant, detail::defaultWorkLimit(page.size())).has_value());
        expectAllAgree(page, variant, literalScan(page, variant));
    }
}

} // namespace
} // namespace bw
