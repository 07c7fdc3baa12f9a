#pragma once
// The main window: one page at a time, its image tags, and the commands that open,
// clear and close it. All state is here; the Qt view only draws it.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Controls.h"
#include "page/ImageContext.h"
#include "page/PageDocument.h"
#include "site/SiteEdits.h"
#include "site/SiteIndex.h"
#include "platform/Platform.h"

namespace bw {

class FtpBatchSource;
class RemotePages;

struct Version {
    int major = 0, minor = 0, revision = 0;
};

inline constexpr const char* kTitle = "BRINDLEWORK";
inline constexpr const char* kHtmlFilter =
    "HTML Files (*.html)|*.html|HTM Files(*.htm)|*.htm|sHTML Files (*.shtml)|*.shtml";

class EditorSession {
public:
    EditorSession(Platform platform, Version version);

private:
    Platform platform_;
    Version version_;
    PageDocument doc_; // the open page; declared first, as the page fields below refer to it
    // The site's pictures and the ALTs written to other pages with "Use for every page".
    SiteIndex site_;
    SiteEdits siteEdits_;

public:
    EditorSession(const EditorSession&) = delete;
    EditorSession& operator=(const EditorSession&) = delete;

    // Window and controls, by their control names.
    std::string Caption = "BRINDLEWORK";
    TextBox Text1;           // ALT text box
    TextBox Text3;           // tag log (hidden); no longer written: a copy of every tag no one reads
    TextBox Text4;           // search-engine note
    TextBox Text6;           // page path (hidden); empty = no page open
    ListBox List1;           // image tags, up to the name of the picture; its index is the current image
    ListBox List2;           // image names as the tags write them, parallel to List1
    ListBox List3;           // batch page paths
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

    // Help around the ALT box.
    CheckBox Decorative;  // "Decorative (no ALT)": the image gets ALT="" and the box is off
    CheckBox MissingOnly; // the overview lists only images without an ALT
    Label Hint;           // what the ALT rules say of the box's text, each with its rule id
    Label Length;         // the box's length in characters, from 125 on
    Label Offer;          // "used on N other pages" while the box holds the ALT other pages give
    Button UseEverywhere; // "Use for every page"
    Label Indexing;       // the site index's progress; empty once it is done
    ImageContext Context; // where the image shown stands in its page

    // Page variables.
    std::string pageFolder;   // page folder, ending in "/"
    int shownImage = 0;
    int batchPage = 1;
    bool hasBackground = false;
    bool showsPicture = true;
    bool editsKept = false;

    // Start and clears.
    void load();
    void clearAll();
    void clearImages();
    // Puts the page as first read back into the page file, byte for byte; says so in a message when it cannot.
    [[nodiscard]] bool putPageBack();

    // Commands.
    void reset(); // RESET
    void newPage();        // File > New, toolbar "new"
    void exitProgram();        // File > Exit
    [[nodiscard]] bool mayClose();    // the window is being closed; false: the user cancelled
    void altTextChanged();
    void toolbarButton(std::string_view key);
    void preview();
    void submitPage(); // SUBMIT PAGE
    void openSupport();       // Help > Support
    void showAbout();       // Help > About

    // FTP > Setup: each asks for one setting and stores the answer as typed.
    void askSiteAddress();
    void askUserName();
    void askPassword();

    // Opening a page.
    void openPage();
    // Opens path as if the open dialog had returned it.
    void openPath(const std::string& path);
    // Lists the open page's images: their tags and the background flag.
    void listImages();
    const PageDocument& document() const { return doc_; }
    // Views hear when the page was opened, written (which image's ALT), put back or closed,
    // which image is shown and when the batch changed, whoever caused it; until the
    // subscription is destroyed.
    [[nodiscard]] Subscription subscribe(PageDocument::Listener listener) { return notices_.subscribe(std::move(listener)); }

    // Batches.
    void newLocalBatch();        // Batch > New > Local
    void newFtpBatch();     // Batch > New > FTP
    void nextFile(); // "Move to next file"
    // "OK" of the batch window: these pages (full paths) become the batch and the first opens.
    void startBatch(const std::vector<std::string>& pages);
    // "Start Batching" of the FTP window: these pages, downloaded into the source's temp
    // path, become the batch and the first opens.
    void startFtpBatch(const FtpBatchSource& ftp, const std::vector<std::string>& names);
    // The first page of a batch fetched by the FTP window: the page path field holds the
    // page's name, the page lies in the source's temp path.
    void openFtpBatchPage(const FtpBatchSource& ftp);
    // Batch > Upload edited pages and Show changes, there while a batch from the FTP window is open.
    MenuItem up{"&Upload edited pages", true, false}, sc{"Show &changes", true, false};
    void uploadEdited();
    void showChanges();

    // The image overview: a row per image of the page (a background is none), in page order;
    // with "Missing only", the images without an ALT and the image shown.
    struct OverviewRow {
        int index = 0; // the image, its row in List1
        std::string name; // the picture's name as the tag writes it
        enum class State { Described, Decorative, Missing } state = State::Missing;
        std::string alt;
    };
    // The images listed, in page order: read when the page or the filter changes.
    std::vector<int> overviewImages() const;
    // Whether image `index` is listed now: a notice about it may add or take its row.
    bool overviewLists(int index) const;
    OverviewRow overviewRow(int index) const;
    // The picture for a row's thumbnail, looked up once per page; nothing when the file is missing.
    const std::optional<PictureBox>& overviewPicture(int index);
    // A row was chosen: what the box holds is written first, as NEXT writes it.
    void jumpTo(int index);
    // The user turned Decorative (its Value is already the new one).
    void decorativeToggled();
    // Writes the box's ALT into the picture's uses without one on the site's other pages.
    void useForEveryPage();
    // Called now and then while the site index is built: its progress, and an ALT for the
    // image shown that the index has found meanwhile.
    void siteIndexTick();
    bool siteIndexing() const { return !site_.progress().finished; }

    // Image navigation.
    void showSelectedImage();
    void next(); // NEXT
    void back(); // BACK

    // Writing ALT texts and saving.
    // Writes the box's text into the current tag and re-reads the page; false when the
    // page file could not be written (the user has been told, nothing changed).
    [[nodiscard]] bool writeTypedAlt();
    void keep(); // "&Save": keep the edits
    void save();        // File > Save
    void saveAs() { saveAsChosen(); }
    void saveAsChosen();

    bool pageOpen() const { return !Text6.empty(); }

    static std::string versionLabel(Version v);

private:
    // RESET and New: the page put back and the window cleared, once the user said Yes.
    void clearAfterAsking(const char* question);
    void openChosen(bool useDialog);
    // Before Exit or closing: asks whether ALTs written since the page was opened are kept or
    // taken out; false when the user cancelled (or taking them out failed).
    [[nodiscard]] bool mayClosePage();
    // The page file's bytes, or nothing when it cannot be read or is no page (the user has
    // been told, naming it as shownAs).
    std::optional<ReadResult> readPage(const std::string& path, const std::string& shownAs);
    // Makes the page just read the open page.
    void takePage(const std::string& path, ReadResult&& read);
    // A batch page: read and taken as the open page, its image lists emptied and its
    // counters and flags as a freshly opened page has them; false (the user told, no page
    // open) when it cannot be read.
    [[nodiscard]] bool takeBatchPage(const std::string& path);
    // A page whose first entry is its background: show the image after it. False when there
    // is none (only the background, or nothing, was found).
    bool backgroundEnding();
    // The name pass of every opener: each image's name, selecting the first image (whose
    // selection handler shows it).
    void listImageNames();
    void move(int step);
    void lastImage();
    // Writes the box's text into the current image's tags; false when nothing may be written
    // on (the user has been told, or said No).
    [[nodiscard]] bool writeAlt(EmptyBox empty);
    void prepareHtmlDialog();
    static bool noFileChosen(const std::string& name);
    void showFirstImage();
    void readExistingAlt(int index);
    void updateHints();
    // What the site gives the image shown: an ALT to offer when it has none, and whether
    // "Use for every page" has uses to write.
    void offerSiteAlt(bool untouchedBox);
    // Indexes the batch's pages and the open page's folder, unless that is under way.
    void indexSite();
    std::optional<ContextReader> contexts_; // the open page's, read as its images are shown
    std::vector<std::optional<std::optional<PictureBox>>> overviewPictures_; // by image; outer: looked up
    Notices<PageDocument::Notice> notices_;
    Subscription pageHeard_, pageRelayed_; // the document's notices, for this editor and then its views
    std::string offered_;                // the ALT offered in the box, while it stands
    int offeredFor_ = -1;                // the image that was offered one; never twice
    bool siteStale_ = false;             // the open page was written since the index read it
    std::pair<std::vector<std::string>, std::string> indexed_; // the pages and folder indexed
    RemotePages* ftpPages_ = nullptr; // the FTP window's downloads, while its batch is open
    void batchChanged();
    // Decorative as image `index` stands (-1: no image), and the box on or off with it.
    void showDecorative(int index);
    // The box's text before Decorative emptied it, for the image it was set on.
    std::pair<int, std::string> undecorated_{-1, {}};
    // What the view shows for image `index`; nothing when its file is missing.
    std::optional<PictureBox> picture(int index);
    bool imageExists(int index) { return picture(index).has_value(); }
    void showPicture(int index);
    void message(const std::string& text);
    void promptSetting(const char* prompt, const char* title, const char* defaultAnswer, const char* key,
                       bool masked = false);
};

// Addresses of the product's web site.
namespace site {
inline constexpr const char* kHome = "https://brindlework.example/";
inline constexpr const char* kSubmit = "https://brindlework.example/submit/homepage.html";
inline constexpr const char* kSupport = "https://brindlework.example/bw/alt_support.html";
} // namespace site

} // namespace bw
