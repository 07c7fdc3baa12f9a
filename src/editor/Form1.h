#pragma once
// The main window: one page at a time, its image tags, and the commands that open,
// clear and close it. All state is here; the Qt view only draws it.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "editor/AltEdit.h"
#include "editor/Controls.h"
#include "editor/Scanner.h"
#include "platform/Platform.h"

namespace bw {

class FtpBatchSource;

struct Version {
    int major = 0, minor = 0, revision = 0;
};

inline constexpr const char* kTitle = "BRINDLEWORK";
inline constexpr const char* kHtmlFilter =
    "HTML Files (*.html)|*.html|HTM Files(*.htm)|*.htm|sHTML Files (*.shtml)|*.shtml";

class Form1 {
public:
    Form1(Platform platform, Version version);
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    // Window and controls, by their control names.
    std::string Caption = "BRINDLEWORK";
    TextBox Text1;           // ALT text box
    TextBox Text2;           // scanner result (hidden)
    TextBox Text3;           // tag log (hidden)
    TextBox Text4;           // search-engine note
    TextBox Text6;           // page path (hidden); empty = no page open
    TextBox Text7;           // spare (hidden)
    TextBox Text8;           // text from ten characters after the current entry (hidden)
    ListBox List1;           // image tag entries; its index is the current image
    ListBox List2;           // image file names, parallel to List1
    ListBox List3;           // batch page paths
    ListBox List4;           // batch page names
    PictureBox Picture1;     // image view
    Label Label1;            // image counter
    Label Label2;            // "Alt text:"
    Label Label3;            // batch progress
    Label Label4;            // version
    Label Label5;            // image name
    Button Command1, Command3, Command4, Command5, Command6, Command7;
    MenuItem n, o, s, sa, e, pr, url, na, pass, l, ftpa, su, ab, h;
    std::vector<ToolbarButton> Toolbar1;
    FileDialog CommonDialog1;

    // Page variables.
    std::string sökvägbild;   // page folder, ending in "/"
    std::string texten10;     // page text as last read
    std::string texten9;      // first the page text, then the text after the current entry
    std::string ejspara;      // page text exactly as first read
    std::string aa;           // length marker of the current tag's ALT attribute
    int bild = 0;
    int nästa = 1;
    int text1lång = 0;
    bool ingenalttext = false;
    bool tomt = false;
    bool bakgrund = false;
    bool visa = true;
    bool ändrat = false;

    // Start and clears.
    void Form_Load();
    void nytt();
    void nytt1();
    // Writes ejspara + CR LF into the page file; says so in a message when it cannot.
    bool writeBackUnedited();

    // Commands.
    void Command1_Click(); // RESET
    void n_Click();        // File > New, toolbar "new"
    void e_Click();        // File > Exit
    void Form_Unload();    // the window is being closed
    void Text1_Change();
    void Toolbar1_ButtonClick(std::string_view key);
    void preview();
    void Command6_Click(); // SUBMIT PAGE
    void su_Click();       // Help > Support
    void ab_Click();       // Help > About

    // FTP > Setup: each asks for one setting and stores the answer as typed.
    void url_Click();
    void na_Click();
    void pass_Click();

    // Opening a page.
    void fileopen();
    // Opens path as if the open dialog had returned it.
    void openPath(const std::string& path);
    std::string RipHTML(std::string_view strPage);

    // Batches.
    void l_Click();        // Batch > New > Local
    void ftpa_Click();     // Batch > New > FTP
    void Command7_Click(); // "Move to next file"
    // "OK" of the batch window: its chosen pages (full paths, file names) become the batch
    // and the first one opens, scanned with the batch window's scanner; `background` is the
    // batch window's own flag, which that scanner sets.
    void startBatch(const ListBox& paths, const ListBox& names, bool& background);
    // The first page of a batch fetched by the FTP window: the page path field holds the
    // page's name, the page lies in the source's temp path.
    void batchopen(const FtpBatchSource& ftp);

    // Image navigation.
    void List1_Click();
    void Command3_Click(); // NEXT
    void Command5_Click(); // BACK

    // Writing ALT texts and saving.
    // Writes the box's text into the current tag and re-reads the page; false when the
    // page file could not be written (the user has been told, nothing changed).
    bool tempspar();
    void Command4_Click(); // "&Save": keep the edits
    void s_Click();        // File > Save
    void sa_Click() { fileSaveas(); }
    void fileSaveas();

    bool pageOpen() const { return !Text6.empty(); }

    static std::string versionLabel(Version v);

private:
    void openChosen(bool useDialog);
    // The page file's bytes, or nothing when it cannot be read or is no page (the user has
    // been told, naming it as shownAs).
    std::optional<ReadResult> readPage(const std::string& path, const std::string& shownAs);
    // Makes the page just read the open page: its path, its texts as read, the check for
    // other programs' changes, its encoding and the tracking of its entries.
    void takePage(const std::string& path, ReadResult&& read);
    // A batch page: read and taken as the open page, its image lists emptied and its
    // counters and flags as a freshly opened page has them; false (the user told, no page
    // open) when it cannot be read.
    bool takeBatchPage(const std::string& path);
    // A page whose first entry is its background: show the image after it, looked up in
    // `folder`. False when there is none (only the background, or nothing, was found).
    bool backgroundEnding(const std::string& folder);
    // The name pass of every opener: each entry's image name, cut by `cut`, selecting the
    // first entry (whose selection handler shows it).
    void listImageNames(std::string (*cut)(std::string_view));
    void move(int step);
    void lastImage();
    enum class Written { Nothing, Unchanged, Done, Failed };
    // Writes the box's text into the current tag and re-reads the page.
    Written writeAlt(EmptyBox empty);
    // False only when the page file could not be written.
    bool writeCurrentAlt(bool decorate);
    void prepareHtmlDialog();
    static bool noFileChosen(const std::string& name);
    bool writePage(const std::string& path, std::string_view text);
    // The page file is still what this window last read or wrote there, or the user agrees
    // to overwrite what another program put there.
    bool mayOverwritePage();
    bool isPageFile(const std::string& path);
    // The page file's text as last read or written by this window.
    enum class Disk { Text, Unedited }; // texten10, or ejspara + CR LF
    Disk disk_ = Disk::Text;
    FileStamp pageStamp_;
    bool written_ = false; // the page file was written since it was opened
    std::string encoding_ = "UTF-8";
    // An ALT value of the page as the box shows it.
    std::string shown(std::string_view value) const;
    // texten10 := the page file again; `written` (what was just written, without the line
    // end) stands in if the file cannot be read back.
    void reread(std::string&& written);
    void cutFollowingText(size_t entryPosition, size_t entryLength);

    // Where entry `index` stands in texten10 now (1-based position and length), or nothing.
    // An entry is looked for in the page as it was opened, at its first occurrence, and
    // followed through every ALT written since: an ALT written inside an entry (before its
    // SRC, or in an unquoted name's tag) changes the entry's own text.
    struct Span {
        size_t position = 0, length = 0;
    };
    std::optional<Span> entrySpan(int index) const;
    // The same for every copy of the entry's tag: the list holds a repeated tag once, and
    // what is written for it goes into each copy.
    std::vector<Span> copySpans(int index) const;
    std::optional<Span> follow(size_t opened, size_t length) const;
    void startTracking();              // the page has just been read whole
    void track(const AltEdit& edit);   // an edit has been written
    std::string opened_;
    std::vector<TextEdit> edits_;
    // Each entry's copies in opened_ (0-based start, length), its first occurrence first:
    // every other tag that is byte for byte the tag holding that occurrence.
    const std::vector<std::pair<size_t, size_t>>& copiesOf(int index) const;
    mutable std::vector<std::optional<std::vector<std::pair<size_t, size_t>>>> copies_;
    // Where an image tag begins in opened_, outside comments.
    const std::vector<size_t>& tagOpenings() const;
    mutable std::optional<std::vector<size_t>> tagOpenings_;
    std::string spare_; // storage handed between page-sized texts
    void showFirstImage();
    void readExistingAlt(size_t entryStart, size_t entryLength);
    std::string imagePath(const std::string& name) const { return sökvägbild + name; }
    // The image's file as it lies on disk, when it is there.
    std::optional<std::string> imageFile(const std::string& name);
    std::optional<std::string> fileIn(const std::string& folder, const std::string& name);
    bool imageExists(const std::string& name) { return imageFile(name).has_value(); }
    void message(const std::string& text);
    void promptSetting(const char* prompt, const char* title, const char* defaultAnswer, const char* key);

    Platform platform_;
    Version version_;
};

// The image file name in an entry: from its 11th character through the image extension.
std::string imageName(std::string_view entry);

// Appends a scan's entries to the main window's tag list and log; shared by the main
// window and the batch window, each with its own variant and background flag.
std::string ripInto(Form1& form, std::string_view page, ScanVariant variant, bool& background);

// Addresses of the product's web site.
namespace site {
inline constexpr const char* kHome = "https://brindlework.example/";
inline constexpr const char* kSubmit = "https://brindlework.example/submit/homepage.html";
inline constexpr const char* kSupport = "https://brindlework.example/bw/alt_support.html";
} // namespace site

} // namespace bw
