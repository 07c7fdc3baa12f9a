// The main window on one page: what each session shows, asks and leaves in the files.
#include <gtest/gtest.h>

#include "support/EditorFixture.h"

namespace bw {
namespace {

using namespace std::string_literals;
using test::readAll;

struct Editing : test::EditorFixture {
    Editing() { images({"a.gif", "b.gif", "c.jpg", "bg.gif", "Pics/Photo.GIF", "site/logo.gif", "my.photo.gif", "sub/b.jpg"}); }
};

// Views: page|counter|box|picture name|picture file. Boxes: title: text [default].
// ASCII as UTF-16, little-endian: what a page in UTF-16 holds.
std::string utf16(std::string_view ascii)
{
    std::string out;
    for (const char c : ascii)
        out += {c, '\0'};
    return out;
}

TEST_F(Editing, Sessions)
{
    const std::string two = "<img SRC=\"a.gif\"><img SRC=\"b.gif\"></html>";
    const std::string three = "<img SRC=\"a.gif\"><img SRC=\"b.gif\"><img SRC=\"c.jpg\"></html>";
    const std::string one = "<html><img SRC=\"a.gif\"></html>", edited = "<html><img SRC=\"a.gif\" ALT=\"edited\"></html>", theirs = two + "<!-- from vi -->";
    const char *last = "BRINDLEWORK: Last Image", *none = "|Image of|||";
    const char *reset = "BRINDLEWORK: Do you want to reset ? [No]", *load = "BRINDLEWORK: Do you want to Load New Page ? [No]";
    const char* takeOut = "BRINDLEWORK: The ALT texts written to page.html since you opened it will be taken out again. [Keep/Take Out/Cancel]";
    const char *sure = "BRINDLEWORK: Are you sure you want to do this ? [Yes]", *saved = "File Saved: File saved, do u want to reset the app ? [Yes]";
    const char* changed = " was changed by another program since it was opened. Overwrite it with this window's text? [No]", *kept =
        "was not put back: it keeps that program's text.\n\nThe page stays open."; // closing stops where another program's text was kept
    const std::string missesText = "The picture shows text that its ALT text leaves out; a picture of text needs that text. [alt-misses-picture-text]";
    const std::string page16 = "\xFF\xFE" + utf16("<img SRC=\"a.gif\" ALT=\"caf") + "\xE9"s + '\0' + utf16("\"><img SRC=\"b.gif\">");
    const Row rows[] = {
        // Writing: each ALT into its own tag, the rest of the page as it was.
        {"NEXT writes into the tag", "<html><img SRC=\"a.gif\" width=10><img SRC=\"b.gif\"></html>", {"=Logo", ">"},
         {"page.html|Image 2 of 2||b.gif|b.gif"}, {"page.html=<html><img SRC=\"a.gif\" ALT=\"Logo\" width=10><img SRC=\"b.gif\"></html>"}},
        {"replace, then empty removes", "<img SRC=\"a.gif\" ALT=\"Old\" width=10><img SRC=\"b.gif\" ALT=\"Old2\"></html>",
         {"=New", ">", "=", "<", "=", ">"}, {"page.html|Image 2 of 2||b.gif|b.gif"}, {"page.html=<img SRC=\"a.gif\"width=10><img SRC=\"b.gif\"></html>"}},
        {"both ends", three, {"=T0", ">", "=T1", ">", "=T2", ">", "<", "<", "<"}, {last, last, "page.html|Image 1 of 3|T0|a.gif|a.gif"},
         {"page.html=<img SRC=\"a.gif\" ALT=\"T0\"><img SRC=\"b.gif\" ALT=\"T1\"><img SRC=\"c.jpg\" ALT=\"T2\"></html>"}},
        {"the same text twice in a row", "<img SRC=\"a.gif\" ALT=\"Same\"><img SRC=\"b.gif\"><img SRC=\"c.jpg\"></html>", {">", "=Same", ">"},
         {"page.html|Image 3 of 3||c.jpg|c.jpg"}, {"page.html=<img SRC=\"a.gif\" ALT=\"Same\"><img SRC=\"b.gif\" ALT=\"Same\"><img SRC=\"c.jpg\"></html>"}},
        {"written twice into an unquoted tag", "<img SRC=a.gif></html>", {"=x", ">", "=y", ">"}, {last, last, "page.html|Image 1 of 1|y|a.gif|a.gif"},
         {"page.html=<img SRC=a.gif ALT=\"y\"></html>"}},
        {"an ALT before the name, written twice", "<p><img src=\"b.gif\"></p><img ALT=\"x\" SRC=\"a.gif\"><img ALT=\"x\" SRC=\"a.gif\"></html>",
         {">", "=one", ">", "=two", ">", "<", ">"}, {last, last, "page.html|Image 2 of 2|two|a.gif|a.gif"},
         {"page.html=<p><img src=\"b.gif\"></p><img ALT=\"two\" SRC=\"a.gif\"><img ALT=\"two\" SRC=\"a.gif\"></html>"}},
        {"no end tag, text after the end", "<img SRC=\"a.gif\"> no end tag\n<!-- after -->\n", {"=A", ">"}, {last, "page.html|Image 1 of 1|A|"},
         {"page.html=<img SRC=\"a.gif\" ALT=\"A\"> no end tag\n<!-- after -->\n"}},
        {"one tag, its copies alike", "<!-- <img SRC=\"a.gif\"> --><img SRC=\"a.gif\"><p>x</p><img SRC=\"a.gif\"><img SRC=\"a.gif\" width=1><img SRC=\"b.gif\">",
         {"=Dot", ">", "<", "=", ">", "<", "=*", ">"}, {"page.html|Image 2 of 3||a.gif|a.gif"},
         {"page.html=<!-- <img SRC=\"a.gif\"> --><img SRC=\"a.gif\" ALT=\"*\"><p>x</p><img SRC=\"a.gif\" ALT=\"*\"><img SRC=\"a.gif\" width=1><img SRC=\"b.gif\">"}},
        {"eight-bit page", "<meta charset=\"iso-8859-1\"><img SRC=\"a.gif\" ALT=\"caf\xe9\"></html>", {"?", "=Cr\xc3\xa8me \xe2\x82\xac" "5", ">", "<"},
         {"page.html|Image 1 of 1|caf\xc3\xa9|", last, last, "page.html|Image 1 of 1|Cr\xc3\xa8me \xe2\x82\xac" "5|"},
         {"page.html=<meta charset=\"iso-8859-1\"><img SRC=\"a.gif\" ALT=\"Cr\xe8me &#8364;5\"></html>"}},
        {"references shown decoded, left as written, typed ones written to read back as typed",
         "<img SRC=\"a.gif\" ALT=\"Brindle &amp; Co caf&eacute;\"><img SRC=\"b.gif\">", {"?", ">", "=&copy team <b> \"q\"", ">"},
         {"page.html|Image 1 of 2|Brindle & Co caf\xc3\xa9|", last, "page.html|Image 2 of 2|&copy team <b> \"q\"|"},
         {"page.html=<img SRC=\"a.gif\" ALT=\"Brindle &amp; Co caf&eacute;\"><img SRC=\"b.gif\" ALT=\"&amp;copy team &lt;b> &quot;q&quot;\">"}},
        {"a page in UTF-16 is shown and written in UTF-16", page16,
         {"?", "=Cr\xc3\xa8me \xf0\x9f\x8e\x89", ">"}, {"page.html|Image 1 of 2|caf\xc3\xa9|", "page.html|Image 2 of 2||b.gif|b.gif"},
         {"page.html=\xFF\xFE" + utf16("<img SRC=\"a.gif\" ALT=\"Cr") + "\xE8"s + '\0' + utf16("me ") + "\x3C\xD8\x89\xDF" + utf16("\"><img SRC=\"b.gif\">")}},
        {"a page in UTF-16 is put back byte for byte", page16, {"=x", ">", "y", "R"}, {reset, none}, {"page.html=" + page16}},
        {"a background never gets an ALT", "<body background=\"bg.gif\"><p>text</p></body>", {"=typed", ">", "y", "K"},
         {last, sure, "page.html|Image 0 of 0|typed|bg.gif|"}, {"page.html=<body background=\"bg.gif\"><p>text</p></body>"}},
        {"a background is never selected", "<body background=\"bg.gif\"><img SRC=\"a.gif\"><img SRC=\"b.gif\"></body></html>",
         {">", ">", "<", "<"}, {last, last, "page.html|Image 1 of 2||a.gif|a.gif"}},
        {"no images", "<html><p>none</p></html>", {"=x", ">", "<"}, {last, last, "page.html|Image 0 of 0|x||"}, {"page.html=<html><p>none</p></html>"}},
        {"a <base> after an edited tag still names the folder", "", {"w:sub/a.gif=x", "w:sub/b.gif=x",
         "w:p.html=<img SRC=\"a.gif\"><base href=\"sub/\"><img SRC=\"b.gif\">", "O:p.html", "=Longer text", ">"}, {"p.html|Image 2 of 2||b.gif|sub/b.gif"}},
        // The overview, Decorative and the hints.
        {"the overview jumps and filters", "<img SRC=\"a.gif\"><img SRC=\"b.gif\" ALT=\"\"><img SRC=\"c.jpg\" ALT=\"Cup\">",
         {"v", "=Apple", "J:2", "v", "m", "v", "J:1", "v", "m"},
         {"0:a.gif=missing* 1:b.gif=decorative 2:c.jpg=Cup box|", "0:a.gif=Apple 1:b.gif=decorative 2:c.jpg=Cup* box|", "2:c.jpg=Cup* box|",
          "1:b.gif=decorative* no box decorative|", "page.html|Image 2 of 3||b.gif|b.gif"},
         {"page.html=<img SRC=\"a.gif\" ALT=\"Apple\"><img SRC=\"b.gif\" ALT=\"\"><img SRC=\"c.jpg\" ALT=\"Cup\">"}},
        {"decorative writes an empty ALT and gives the box back", "<img SRC=\"a.gif\" ALT=\"\"><img SRC=\"b.gif\">",
         {"D", "f", "D", "f", ">", "=typed", "D", "v", "f", "D", "v"},
         {"file <img SRC=\"a.gif\"><img SRC=\"b.gif\">", "file <img SRC=\"a.gif\" ALT=\"\"><img SRC=\"b.gif\">",
          "0:a.gif=decorative 1:b.gif=decorative* no box decorative||", "file <img SRC=\"a.gif\" ALT=\"\"><img SRC=\"b.gif\" ALT=\"\">",
          "0:a.gif=decorative 1:b.gif=typed* box|", "page.html|Image 2 of 2|typed|b.gif|b.gif"},
         {"page.html=<img SRC=\"a.gif\" ALT=\"\"><img SRC=\"b.gif\" ALT=\"typed\">"}},
        {"an ALT from another page: offered when shown, never over typed text", "",
         {"w:late.gif=x", "w:late.html=<img SRC=\"late.gif\" ALT=\"Ours\">", "h+", "w:p.html=<img SRC=\"late.gif\"><img SRC=\"late.gif\" width=1>",
          "O:p.html", "=mine", "h-", "i", "?", ">"},
         {"p.html|Image 1 of 2|mine|", "p.html|Image 2 of 2|Ours|"}, {"p.html=<img SRC=\"late.gif\" ALT=\"mine\"><img SRC=\"late.gif\" width=1>"}},
        // The offer, in order: another page's ALT (under any name), else the text in the picture, else nothing.
        {"another page's ALT, then the text in the picture, then nothing", "",
         {"w:buy.gif=GIF89a text:Buy now", "w:t/buy-copy.gif=GIF89a text:Buy now", "w:ban.gif=GIF89a text:Sale", "w:plain.gif=GIF89a plain",
          "w:t/late.html=<img SRC=\"buy-copy.gif\" ALT=\"Purchase\">", "w:p.html=<img SRC=\"buy.gif\"><img SRC=\"ban.gif\"><img SRC=\"plain.gif\">",
          "h+", "O:p.html", "p=", "v", "h-", "i", "v", ">", "i", "v", ">", "i", "v"},
         {"0:buy.gif=missing* 1:ban.gif=missing 2:plain.gif=missing box|||text in the picture|",
          "0:buy.gif=missing* 1:ban.gif=missing 2:plain.gif=missing box|" + missesText + "||used on 1 other page|Used in 2 places on 2 pages",
          "0:buy.gif=Purchase 1:ban.gif=missing* 2:plain.gif=missing box|||text in the picture|Used in 1 place on 1 page",
          "2:plain.gif=missing* box||||Used in 1 place on 1 page", "p.html|Image 3 of 3||plain.gif|plain.gif"}},
        {"the text in the picture: cancelled when left, read once per content, never over typed text, a hint when left out", "",
         {"w:r2/a.gif=GIF89a text:Open", "w:r2/b.gif=GIF89a text:Half price", "w:r2/c.gif=GIF89a text:Open",
          "w:r2/q.html=<img SRC=\"a.gif\"><img SRC=\"b.gif\"><img SRC=\"c.gif\">", "p+", "O:r2/q.html", "p?", "=Big", "J:2", "p?", "p-",
          "i", "v", "r", "p+", "J:1", "=x", "=", "p-", "i", "v", "J:0", "i", "v", "r"},
         {"0:a.gif=Big 1:b.gif=missing 2:c.gif=missing* box|||text in the picture|Used in 2 places on 1 page", "readings: cancelled Open; read Open.",
          "0:a.gif=Big 1:b.gif=missing* 2:c.gif=Open box||||Used in 1 place", "0:a.gif=Big* 1:b.gif=missing 2:c.gif=Open box|" + missesText + "||",
          "readings: read Half price.", "r2/q.html|Image 1 of 3|Big|a.gif|r2/a.gif"}},
        {"a picture too large to read is said to be", "",
         {"w:r4/big.gif=GIF89a large:", "w:r4/q.html=<img SRC=\"big.gif\">", "O:r4/q.html", "p=", "i", "v"},
         {"0:big.gif=missing* box|||too large to read the text in the picture|Used in 1 place on 1 page", "r4/q.html|Image 1 of 1||"}},
        {"where pictures cannot be read nothing is offered and nothing said", "",
         {"w:r3/shut.gif=GIF89a text:Closed", "w:r3/q.html=<img SRC=\"shut.gif\">", "p!", "O:r3/q.html", "i", "v"}, {"0:shut.gif=missing* box||||Used in 1 place on 1 page", "r3/q.html|Image 1 of 1||"}},
        {"the site reaches up to its index page: an ALT from two folders above is offered", "",
         {"w:site/logo.gif=x", "w:site/index.html=<img SRC=\"logo.gif\" ALT=\"Brindle logo\">", "w:site/news/2024/menu.htm=<img SRC=\"../../logo.gif\">",
          "O:site/news/2024/menu.htm", "i"},
         {"site/news/2024/menu.htm|Image 1 of 1|Brindle logo|../../logo.gif|site/news/2024/../../logo.gif"}},
        {"a site folder chosen by hand: refused when it does not hold the page, kept for its pages", "",
         {"L:", "w:s/a/x.gif=x", "w:s/a/p.html=<img SRC=\"x.gif\">", "w:s/a/q.html=<img SRC=\"x.gif\">", "O:s/a/p.html", "L:", "L:t/", "L:s/", "y", "O:s/a/q.html", "L:"},
         {"no site", "Open a page first", "(not asked)", "Site: s/a/", "Site: s/a/", "does not hold the open page, so it cannot be its site. Nothing was changed.",
          "Site: s/", "Load New Page ? [Yes]", "Site: s/", "s/a/q.html|Image 1 of 1||x.gif|s/a/x.gif"}},
        {"hints follow the box", "<img SRC=\"a.gif\">", {"=a.gif", "v", "=Image of a cup", "v", "=" + std::string(126, 'w'), "v", "=" + std::string(151, 'w'), "v", "=" + std::string(100000, 'w'), "v"},
         {"box|The ALT text is a file name; say what the picture shows or does. [alt-is-filename]|", "box|Screen readers already say it is an image; leave out \"image of\". [alt-image-of]|",
          "box||126 / 150", "[alt-too-long]|151 / 150", "[alt-too-long]|4096+ / 150", "page.html|Image 1 of 1|"}},
        // Opening: the first image shown, what is missing told.
        {"a page in a folder", "", {"w:site/p.html=<img SRC=\"logo.gif\" ALT=\"Logo\" width=10><p>x</p><img SRC=\"b.gif\">", "O:site/p.html"},
         {"site/p.html|Image 1 of 2|Logo|logo.gif|site/logo.gif"}},
        {"a missing picture", "<img SRC=\"gone.gif\"><img SRC=\"b.gif\"></html>", {">", "<"},
         {"BRINDLEWORK: UNABLE TO DISPLAY IMAGES, IMAGES NOT FOUND", "page.html|Image 1 of 2||gone.gif|"}},
        {"letter case and backslashes", "<img SRC=\"pics\\photo.gif\"></html>", {}, {"page.html|Image 1 of 1||pics\\photo.gif|Pics/Photo.GIF"}},
        {"dots and relative folders", "", {"w:sub/p.html=<img SRC=\"../my.photo.gif\"><img SRC=\"./b.jpg\">", "O:sub/p.html", "?", ">"},
         {"sub/p.html|Image 1 of 2||../my.photo.gif|sub/../my.photo.gif", "sub/p.html|Image 2 of 2||./b.jpg|sub/./b.jpg"}},
        {"a background, the first picture missing", "<body background=\"bg.gif\"><img SRC=\"gone.gif\"><img SRC=\"b.gif\"></body>", {},
         {"Pic Not Found: BRINDLEWORK", "page.html|Image 1 of 2||gone.gif|"}},
        {"only a background", "<body background=\"bg.gif\"><p>x</p></body></html>", {}, {"page.html|Image 0 of 0||bg.gif|"}},
        {"cancelled and bad files open nothing; no page, nothing to save", "",
         {"O", "O:*.HTML", "O:missing.html", "w:folder.html/x=", "O:folder.html", "w:png.html="s + std::string("\x89PNG\r\n\x1a\n\0\0", 10), "O:png.html", "S", "A", "X"},
         {"File Not Found: BRINDLEWORK", "could not be read", "not an HTML page", "(not asked)", "(ended)", "||||"}},
        {"a refused page leaves no count behind", "", {"O:missing.html", "?", "w:png.html="s + std::string("\x89PNG\r\n\x1a\n\0\0", 10), "O:png.html"},
         {"File Not Found: BRINDLEWORK", "||||", "not an HTML page", "||||"}},
        {"No keeps the page, Cancel in the open dialog cancels", "<html></html>", {"n", "o", "?", "y", "O"},
         {"BRINDLEWORK: Load New Page ?", "page.html|Image 0 of 0|", "BRINDLEWORK: Load New Page ?", none}},
        {"the page left is not put back", "<html>first</html>", {"~<html>edited</html>", "w:b.html=<img SRC=\"a.gif\">", "y", "O:b.html"},
         {"Load New Page ?", "b.html|Image 1 of 1||a.gif|a.gif"}, {"page.html=<html>edited</html>"}},
        // Every way out of an edited page: what is asked, with which default, and what the file holds.
        {"No and Cancel keep the edits", one, {"=edited", ">", "n", "R", "n", "N", "2", "X", "2", "C"},
         {last, reset, load, takeOut, takeOut, "(stays)", "page.html|Image 1 of 1|edited|"}, {"page.html=" + edited}},
        {"RESET, Yes", one, {"=edited", ">", "y", "R"}, {last, reset, none}, {"page.html=" + one}},
        {"RESET, Yes, kept", one, {"=edited", ">", "y", "K", "y", "R"}, {last, sure, reset, none}, {"page.html=" + one}},
        {"New, Yes", one, {"=edited", ">", "y", "N"}, {last, load, none}, {"page.html=" + one}},
        {"Exit, Return", one, {"=edited", ">", "d", "X"}, {last, takeOut, "(ended)", "page.html|"}, {"page.html=" + edited}},
        {"Exit, Keep", one, {"=edited", ">", "0", "X", "C"}, {last, takeOut, "(ended)", "page.html|"}, {"page.html=" + edited}},
        {"Exit, Take Out", one, {"=edited", ">", "1", "X"}, {last, takeOut, "(ended)", "page.html|"}, {"page.html=" + one}},
        {"Exit, kept", one, {"=edited", ">", "y", "K", "X"}, {last, sure, "(ended)", "page.html|"}, {"page.html=" + edited}},
        {"closing, Take Out", one, {"=edited", ">", "1", "C"}, {last, takeOut, "page.html|"}, {"page.html=" + one}},
        {"closing, saved", one, {"=edited", "S", "C"}, {"page.html|Image 1 of 1|edited|"}, {"page.html=" + edited}},
        {"a Keep: decorative, and closing asks nothing", three, {">", "y", "K", ">", "C"}, {sure, "page.html|Image 3 of 3||c.jpg|c.jpg"},
         {"page.html=<img SRC=\"a.gif\"><img SRC=\"b.gif\" ALT=\"\"><img SRC=\"c.jpg\"></html>"}},
        {"a page that cannot be written: nothing changes", two, {"=A", ">", "/", "=B", "y", "<", "?", "y", "y", "R", "1", "y", "X"},
         {"page.html" + std::string(changed), "could not be written", "page.html|Image 2 of 2|B|b.gif|b.gif", reset, changed,
          "could not be put back", takeOut, changed, "could not be put back", "page.html|Image 2 of 2|B|"}},
        // Save As.
        {"Save As a new name, then reset", two, {"=A", ">", "=B", "y", "A:copy.html"}, {saved, none},
         {"copy.html=<img SRC=\"a.gif\" ALT=\"A\"><img SRC=\"b.gif\" ALT=\"B\"></html>", "page.html=" + two}},
        {"Save As answered No, then cancelled", two, {"=A", "w:copy.html=keep me", "n", "A:copy.html", "A"},
         {"BRINDLEWORK: Are you sure you want to do this ? [No]", "page.html|Image 1 of 2|A|"}, {"copy.html=keep me", "page.html=" + two}},
        {"Save As over the page", two, {"=A", "y", "y", "A:page.html"}, {"Are you sure", saved, none},
         {"page.html=<img SRC=\"a.gif\" ALT=\"A\"><img SRC=\"b.gif\"></html>"}},
        {"Save As keeps a Keep", two, {"=K", "y", "K", "n", "A:kept.html", "C"}, {sure, saved, "page.html|"},
         {"page.html=<img SRC=\"a.gif\" ALT=\"K\"><img SRC=\"b.gif\"></html>", "kept.html=<img SRC=\"a.gif\" ALT=\"K\"><img SRC=\"b.gif\"></html>"}},
        {"saved over the page: Take Out puts that back", two, {"=S", "y", "n", "A:page.html", "=L", ">", "1", "X"},
         {"Are you sure", saved, takeOut, "(ended)", "page.html|Image 2 of 2|"}, {"page.html=<img SRC=\"a.gif\" ALT=\"S\"><img SRC=\"b.gif\"></html>"}},
        {"names are taken exactly", two, {"w:copy.html=someone else's", "=A", "n", "A:Copy.html", "y", "A:PAGE.html"}, {saved, saved, none},
         {"copy.html=someone else's", "Copy.html=<img SRC=\"a.gif\" ALT=\"A\"><img SRC=\"b.gif\"></html>", "page.html=" + two,
          "PAGE.html=<img SRC=\"a.gif\" ALT=\"A\"><img SRC=\"b.gif\"></html>"}},
        // Another program's change is never overwritten unasked.
        {"another program's change kept, then overwritten", two, {"=A", "~" + theirs, "n", ">", "f", "y", ">"},
         {"page.html" + std::string(changed), "file " + theirs, changed, "page.html|Image 2 of 2|"}, {"page.html=<img SRC=\"a.gif\" ALT=\"A\"><img SRC=\"b.gif\"></html>"}},
        {"touched, not changed", two, {"=A", "t", ">"}, {"page.html|Image 2 of 2|"}, {"page.html=<img SRC=\"a.gif\" ALT=\"A\"><img SRC=\"b.gif\"></html>"}},
        // Undo and redo: each command's writes taken back byte for byte and made again, its image shown.
        {"NEXT and BACK undone and redone", two, {"=A", ">", "=B", "<", "Z", "?", "Z", "f", "Y", "Y", "?"},
         {"page.html|Image 2 of 2||b.gif|b.gif|Z|Y", "file " + two, "page.html|Image 2 of 2|B|b.gif|b.gif|Z", "page.html|Image 2 of 2|B|b.gif|b.gif|Z"},
         {"page.html=<img SRC=\"a.gif\" ALT=\"A\"><img SRC=\"b.gif\" ALT=\"B\"></html>"}},
        {"a replaced and a removed ALT come back as written; a new write ends redo", "<img SRC=\"a.gif\" ALT='Old' width=10><img SRC=\"b.gif\" alt=x></html>",
         {"=New", ">", "=", "<", "Z", "Z", "f", "=Other", ">", "Y"},
         {"file <img SRC=\"a.gif\" ALT='Old' width=10><img SRC=\"b.gif\" alt=x></html>", "page.html|Image 2 of 2|x|b.gif|b.gif|Z"},
         {"page.html=<img SRC=\"a.gif\" ALT=\"Other\" width=10><img SRC=\"b.gif\" alt=x></html>"}},
        {"Decorative and a Keep undone: the Keep no longer keeps", three, {"D", "J:2", "=C", "y", "K", "Z", "?", "Z", "f", "Y", "1", "C"},
         {sure, "page.html|Image 3 of 3||c.jpg|c.jpg|Z|Y", "file " + three, takeOut, "page.html|"}, {"page.html=" + three}},
        {"a jump undone over another program's change, asked first", two, {"=A", "J:1", "~" + theirs, "n", "Z", "f", "y", "Z", "f", "Y", "?"},
         {"page.html" + std::string(changed), "file " + theirs, changed, "file " + two, "page.html|Image 1 of 2|A|a.gif|a.gif|Z", "page.html|Image 1 of 2|A|a.gif|a.gif|Z"},
         {"page.html=<img SRC=\"a.gif\" ALT=\"A\"><img SRC=\"b.gif\"></html>"}},
        {"a page opened anew has nothing to undo", two, {"=A", ">", "w:b.html=<img SRC=\"b.gif\">", "y", "O:b.html", "Z"},
         {"Load New Page ?", "b.html|Image 1 of 1||b.gif|b.gif"}},
        {"every way of putting back asks too", two, {"=A", ">", "~" + theirs, "y", "n", "R", "y", "n", "N", "1", "n", "X", "1", "n", "C"},
         {reset, changed, load, changed, takeOut, changed, kept, takeOut, changed, kept, "(stays)", "page.html|Image 2 of 2|"}, {"page.html=" + theirs}},
    };
    for (const Row& row : rows)
        play(row);
}

// "Use for every page" on a site: shown first, then written, taken back and made again on every page.
TEST_F(Editing, UseForEveryPageShownFirstAndUndone)
{
    const std::string u1 = "<p>\n<img src=\"u.gif\"></p>", u2 = "<img SRC=u.gif><img SRC=u.gif>", open = "<img SRC=\"u.gif\">";
    const std::string shown = "BRINDLEWORK: The ALT text \"Sun\" will be written into these 3 tags on other pages:\n"
                              "u1.html, line 2: <img src=\"u.gif\">\nu2.html, line 1: <img SRC=u.gif>\nu2.html, line 1: <img SRC=u.gif>\n";
    play({"Cancel writes nothing; undone on every page, with another program's change asked about", "",
          {"w:u.gif=x", "w:u1.html=" + u1, "w:u2.html=" + u2, "w:uo.html=" + open, "O:uo.html", "i", "=Sun", "n", "E", "f", "y", "E", "Z", "?", "Y",
           "?", "w:u2.html=" + u2 + "<!-- theirs -->", "n", "Z", "f", "y", "Z"},
          {shown, "file " + open, shown, "BRINDLEWORK: The ALT text was written to 2 other pages.", "uo.html|Image 1 of 1||u.gif|u.gif|Y",
           "uo.html|Image 1 of 1|Sun|u.gif|u.gif|Z", "u2.html" + std::string(" was changed by another program"), "file <img SRC=\"u.gif\" ALT=\"Sun\">",
           " was changed by another program", "uo.html|Image 1 of 1||u.gif|u.gif|Y"},
          {"u1.html=" + u1, "u2.html=" + u2, "uo.html=" + open}});
}

// One tag: what the box shows of it, and the tag after the typed text was written.
TEST_F(Editing, TagsReadAndWritten)
{
    const struct {
        std::string tag, shown, typed, written;
    } rows[] = {
        {"<img SRC=\"a.gif\" ALT=\"Logo\" height=10>", "Logo", "Logo", "<img SRC=\"a.gif\" ALT=\"Logo\" height=10>"},
        {"<img SRC=\"a.gif\" width=10 ALT=\"x y\">", "x y", "", "<img SRC=\"a.gif\" width=10>"},
        {"<img SRC=\"a.gif\" ALT='it''s'>", "it", "it", "<img SRC=\"a.gif\" ALT='it''s'>"},
        {"<img SRC=\"a.gif\" ALT=\"a > b\" border=0>", "a > b", "c", "<img SRC=\"a.gif\" ALT=\"c\" border=0>"},
        {"<img SRC=\"a.gif\" ALT>", "", "x", "<img SRC=\"a.gif\" ALT=\"x\">"},
        {"<img SRC=\"a.gif\"><p ALT=\"next\">", "", "x", "<img SRC=\"a.gif\" ALT=\"x\"><p ALT=\"next\">"},
        {"<img SRC=a.gif>", "", "x", "<img SRC=a.gif ALT=\"x\">"},
        {"<img SRC=\"a.gif\" alt=old width=1>", "old", "new", "<img SRC=\"a.gif\" alt=\"new\" width=1>"},
        // Tags written today: the new ALT follows the name in its letter case, stays before a
        // closing "/", and an ALT without a value gets one.
        {"<img src=\"a.png\" class=x>", "", "x", "<img src=\"a.png\" alt=\"x\" class=x>"},
        {"<img Src=a.svg />", "", "x", "<img Src=a.svg Alt=\"x\" />"},
        {"<img src=a.png/>", "", "x", "<img src=a.png alt=\"x\"/>"},
        {"<img class=x/>", "", "x", "<img class=x alt=\"x\"/>"},
        {"<IMG>", "", "x", "<IMG ALT=\"x\">"},
        {"<img alt src=\"a.webp\">", "", "x", "<img alt=\"x\" src=\"a.webp\">"},
        {"<img data-src=\"a.png\" src=\"\">", "", "x", "<img data-src=\"a.png\" alt=\"x\" src=\"\">"},
        {"<input type=image src=go.png>", "", "Go", "<input type=image src=go.png alt=\"Go\">"},
        {"<img alt=\"x\"src=\"a.png\">", "x", "", "<img src=\"a.png\">"},
        {"<img title=\"a > b\" src=\"a.png\">", "", "x", "<img title=\"a > b\" src=\"a.png\" alt=\"x\">"},
        {"<img SRC=\"a.gif\" ALT=\"a\" ALT=\"b\">", "a", "c", "<img SRC=\"a.gif\" ALT=\"c\">"},
        {"<img SRC=\"a.gif\" ALT=\"\">", "", "", "<img SRC=\"a.gif\" ALT=\"\">"},
        {"<img SRC=\"a.gif\">", "", "say \"hi\" <b>", "<img SRC=\"a.gif\" ALT=\"say &quot;hi&quot; &lt;b>\">"},
        {"<img SRC=\"a.gif\" ALT=\"Brindlew\xc3\xb6rk\">", "Brindlew\xc3\xb6rk", "\xc3\xb6", "<img SRC=\"a.gif\" ALT=\"\xc3\xb6\">"},
        // Into the tag that is shown, never into the next one or inside a value.
        {"<img SRC=\"x.png\"><img SZC=\"a.gif.bak\" width=1>", "", "x", "<img SRC=\"x.png\" ALT=\"x\"><img SZC=\"a.gif.bak\" width=1>"},
        // Pasted control characters: breaks and tabs are one space each, the rest go.
        {"<img SRC=\"a.gif\">", "", "a\0b\r\nc\td\x7f\x01\xc2\x85" "e\xc2\x9f\n"s, "<img SRC=\"a.gif\" ALT=\"ab c d e \">"},
        // An ALT the box shows as it stands is not touched, not even re-escaped.
        {"<img SRC=\"a.gif\" ALT=\"x < y\" alt=dup>", "x < y", "x < y", "<img SRC=\"a.gif\" ALT=\"x < y\" alt=dup>"},
        {"<img SRC=\"a.gif\" ALT=\"&#8364; &quot;\">", "\xe2\x82\xac \"", "\xe2\x82\xac \"", "<img SRC=\"a.gif\" ALT=\"&#8364; &quot;\">"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.tag);
        form.clearAll();
        run("O:" + dir.write("page.html", "<p>" + row.tag + "</p>").substr(dir.path().size()));
        EXPECT_EQ(form.view().altBox.Text(), row.shown);
        run("=" + row.typed);
        run(">");
        EXPECT_EQ(readAll(dir.path("page.html")), "<p>" + row.written + "</p>");
    }
}

// A read-only page, opened and left: every way out leaves it untouched (not even replaced by
// the same bytes) and works.
TEST_F(Editing, NothingWrittenMeansNothingToPutBack)
{
    const std::string page = "<html><img SRC=\"a.gif\"></html>";
    const std::string ro = dir.write("ro.html", page);
    std::filesystem::permissions(ro, std::filesystem::perms::owner_read);
    const FileStamp before = files.stamp(ro);
    for (const char* way : {"R", "N", "X", "C"}) {
        form.clearAll();
        for (const std::string step : {"O:ro.html", "y", way})
            run(step);
    }
    EXPECT_EQ(log, (std::vector<std::string>{"BRINDLEWORK: Do you want to reset ? [No]", "BRINDLEWORK: Do you want to Load New Page ? [No]", "(not asked)", "(ended)",
                                             "(not asked)"}));
    EXPECT_EQ(readAll(ro), page);
    EXPECT_TRUE(files.stamp(ro).sameLook(before));
}

// Views redraw from these notices, whichever window changed the page.
TEST(PageDocument, TellsItsListenersWhatHappened)
{
    test::MemoryFileSystem files;
    files.files["/p.html"] = "<img src=a.png>";
    PageDocument doc(files);
    files.files["/q.html"] = "<img src=b.png>";
    std::vector<std::pair<PageDocument::Change, int>> heard;
    Subscription subscription, ended; // ended at the first notice, by the listener before it
    auto ender = doc.subscribe([&](const PageDocument::Notice&) { ended.reset(); });
    ended = doc.subscribe([&](const PageDocument::Notice& n) { heard.emplace_back(n.change, -2); });
    subscription = doc.subscribe([&](const PageDocument::Notice& n) { heard.emplace_back(n.change, n.image); });
    doc.open("/p.html", files.readFile("/p.html"));
    for (int twice = 0; twice < 2; ++twice) // the second time nothing changes: nothing to tell
        EXPECT_TRUE(doc.writeAlt(0, "A", EmptyBox::Remove).ok());
    EXPECT_TRUE(doc.putBack().ok());
    EXPECT_TRUE(doc.saveAs("/p.html").ok());
    doc.close();
    subscription.reset(); // a listener gone hears nothing more
    doc.open("/q.html", files.readFile("/q.html"));
    using C = PageDocument::Change;
    EXPECT_EQ(heard, (std::vector<std::pair<C, int>>{{C::Opened, -1}, {C::Written, 0}, {C::PutBack, -1}, {C::Written, -1}, {C::Closed, -1}}));
}

// Undo's writes: a patch goes only over the bytes it replaces, and the tags after it move along.
TEST(PageDocument, WritesAPatchOnlyOverWhatItReplaces)
{
    test::MemoryFileSystem files;
    files.files["/p.html"] = "<img src=a.png><img src=b.png>";
    PageDocument doc(files);
    doc.open("/p.html", files.readFile("/p.html"));
    ASSERT_EQ(doc.writeAlt(1, "B", EmptyBox::Remove).kind, PageDocument::Outcome::Written);
    const Patch b = doc.lastPatch();
    ASSERT_EQ(doc.writeAlt(0, "A", EmptyBox::Remove).kind, PageDocument::Outcome::Written);
    const Patch a = doc.lastPatch();
    using O = PageDocument::Outcome;
    const struct {
        Patch patch;
        O::Kind kind;
        std::string file, alts;
    } rows[] = {
        {b.inverse(), O::Failed, "<img src=a.png alt=\"A\"><img src=b.png alt=\"B\">", "A,B"}, // placed before a was written
        {a.inverse(), O::Written, "<img src=a.png><img src=b.png alt=\"B\">", "-,B"},
        {a.inverse(), O::Failed, "<img src=a.png><img src=b.png alt=\"B\">", "-,B"},
        {b.inverse(), O::Written, "<img src=a.png><img src=b.png>", "-,-"},
        {a, O::Written, "<img src=a.png alt=\"A\"><img src=b.png>", "A,-"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        EXPECT_EQ(doc.apply(row.patch, 0).kind, row.kind);
        EXPECT_EQ(files.files["/p.html"], row.file);
        EXPECT_EQ(doc.altShown(0).value_or("-") + "," + doc.altShown(1).value_or("-"), row.alts);
    }
}

} // namespace
} // namespace bw
