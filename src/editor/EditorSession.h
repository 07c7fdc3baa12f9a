#pragma once
// The main window: one page at a time, its image tags, and the commands that open,
// clear and close it. All state is here; the Qt view only draws it.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "editor/EditorView.h"
#include "editor/ShownPictureTexts.h"
#include "platform/Controls.h"
#include "page/ImageContext.h"
#include "page/PageDocument.h"
#include "site/SiteEdits.h"
#include "site/SiteIndex.h"
#include "platform/Platform.h"

namespace bw {

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
    // The text in the picture shown, read in the background.
    ShownPictureTexts pictureTexts_;

public:
    EditorSession(const EditorSession&) = delete;
    EditorSession& operator=(const EditorSession&) = delete;

    // What the window shows; it draws this and reports input through the commands below.
    const EditorView& view() const { return view_; }
    // The user's input.
    void typeAlt(std::string text)
    {
        typedFor_ = imageList_.index();
        view_.altBox.setText(std::move(text));
    }
    void setDecorative(bool on);
    void setMissingOnly(bool on) { view_.missingOnly.Value = on; }

    // The open page's path; empty when no page is open.
    const std::string& pagePath() const { return pagePath_; }
    int imageCount() const { return imageList_.count(); }
    // The image shown, its index in page order; -1 when none.
    int shownIndex() const { return imageList_.index(); }

    // Start, and RESET or New once answered: the window as the program starts it.
    void load();
    void clearAll();

    // Commands.
    void reset(); // RESET
    void newPage();        // File > New, toolbar "new"
    void exitProgram();        // File > Exit
    [[nodiscard]] bool mayClose();    // the window is being closed; false: the user cancelled
    void toolbarButton(std::string_view key);
    void preview();
    void submitPage(); // SUBMIT PAGE
    void openSupport();       // Help > Support
    void showAbout();       // Help > About

    // FTP > Setup: each asks for one setting and stores the answer as typed.
    void askSiteAddress();
    void askUserName();
    void askPassword();

    // File > Site folder...: the folder the open page's site is read from, chosen and
    // remembered for every page in it.
    void chooseSiteFolder();

    // Opening a page.
    void openPage();
    // Opens path as if the open dialog had returned it.
    void openPath(const std::string& path);
    const PageDocument& document() const { return doc_; }
    // Views hear when the page was opened, written (which image's ALT), put back or closed,
    // which image is shown and when the batch changed, whoever caused it; until the
    // subscription is destroyed.
    [[nodiscard]] Subscription subscribe(PageDocument::Listener listener) { return notices_.subscribe(std::move(listener)); }

    // Batch > New: the windows that choose a batch's pages.
    void newLocalBatch();
    void newFtpBatch();
    // A batch takes over the window: the page shown is closed.
    void beginBatch();
    // Opens a page of a batch as the open page, its first image shown: the batch's first
    // page, the one after ("Move to next file" has left the page shown) or a page fetched by
    // the FTP window (whose pictures were downloaded beside it). False (the user told, no page
    // open) when it cannot be read.
    enum class BatchPage { First, Next, Fetched };
    [[nodiscard]] bool openBatchPage(const std::string& path, BatchPage which);
    // The batch's pages: the site index reads them beside the open page's folder.
    void indexAlso(std::vector<std::string> pages) { batchPages_ = std::move(pages); }

    // The image overview: a row per image of the page (a background is none), in page order;
    // with "Missing only", the images without an ALT and the image shown.
    struct OverviewRow {
        int index = 0; // the image, by its index in page order
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
    // Writes the box's ALT into the picture's uses without one on the site's other pages.
    void useForEveryPage();
    // Where the readers of the text in pictures come from (none: pictures are not read).
    void readPicturesWith(ShownPictureTexts::MakeReader make) { pictureTexts_.readWith(std::move(make)); }
    // Called now and then while the site index is built or the picture shown is read: the
    // index's progress, and an ALT for the image shown that the index or the picture gave meanwhile.
    void siteIndexTick();
    bool siteIndexing() const { return pageOpen() && !indexed_.second.empty() && !site_.progress().finished; }
    // The window still owes a tick: the index is reading, or it ended unheard, or the text of
    // the picture shown is still to come.
    bool siteIndexTickDue() const { return siteIndexing() || (pageOpen() && !indexed_.second.empty() && !siteEndHeard_) || pictureTextDue(); }
    bool pictureTextDue() const { return pageOpen() && !pictureFile_.empty() && !pictureTextHeard_ && pictureTexts_.reads(); }

    // Image navigation.
    void next(); // NEXT
    void back(); // BACK

    // Writing ALT texts and saving.
    // Writes the box's text into the current tag and re-reads the page; false when the
    // page file could not be written (the user has been told, nothing changed).
    [[nodiscard]] bool writeTypedAlt();
    void keep(); // "&Save": keep the edits
    // Edit > Undo and Redo: the last write the user caused (a command's writes on every page
    // together) is taken back, or made again, and its image shown.
    void undo();
    void redo();
    void save();        // File > Save
    void saveAs();

    bool pageOpen() const { return !pagePath_.empty(); }


private:
    void clearImages();
    // Puts the page as first read back into the page file, byte for byte; says so in a message when it cannot.
    [[nodiscard]] bool putPageBack(bool closing = false);
    void altTextChanged();
    // Takes the open page's images: their number and whether the first is a background.
    void listImages();
    void showSelectedImage();
    static std::string versionLabel(Version v);
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
    // Selects the first image, if any, which shows it.
    void selectFirstImage();
    void move(int step);
    void lastImage();
    // Writes the box's text into the current image's tags; false when nothing may be written
    // on (the user has been told, or said No).
    [[nodiscard]] bool writeAlt(EmptyBox empty);
    void prepareHtmlDialog();
    // The writes of one command, taken back and made again together.
    struct UndoStep {
        int image = -1; // the image shown when the command began
        bool keptBefore = false, keptAfter = false;
        std::vector<std::pair<std::string, Patch>> writes; // by page (empty: the open page), in order
    };
    std::vector<UndoStep> undoable_, redoable_;
    UndoStep step_;     // the command under way
    int stepDepth_ = 0; // its commands, one inside the other
    // A command whose writes are one step, from its making to its end.
    class Step {
    public:
        explicit Step(EditorSession& editor);
        ~Step();
        Step(const Step&) = delete;
        Step& operator=(const Step&) = delete;

    private:
        EditorSession& editor_;
    };
    // A write made: part of the command under way, or a step of its own.
    void recordWrite(std::string page, const PageDocument::Outcome& outcome, const Patch& patch);
    void forgetSteps();
    void showUndoState();
    // Takes the last step of `from` back (or makes it again), moving what was done to `to`.
    void replay(std::vector<UndoStep>& from, std::vector<UndoStep>& to, bool back);
    static bool noFileChosen(const std::string& name);
    void showFirstImage();
    void readExistingAlt(int index);
    void updateHints();
    // What the site gives the image shown: an ALT to offer when it has none (another page's,
    // else the text in its picture), how far the picture reaches, and whether "Use for every
    // page" has uses to write.
    void offerSiteAlt(bool untouchedBox);
    void offerAlt(std::string alt, std::string caption, bool fromPicture);
    // Asks for the text in the picture of image `index` (and of the next one), and takes it
    // when it has been read; true when it came now.
    void readPictureText(int index);
    bool takePictureText();
    std::string pictureFile(int index);
    // Indexes the batch's pages and the open page's site, unless that is under way.
    void indexSite();
    // The site folders the user chose, as stored and in this run.
    std::vector<std::string> chosenSiteFolders();
    std::vector<std::string> siteFoldersThisRun_;
    std::optional<ContextReader> contexts_; // the open page's, read as its images are shown
    std::vector<std::optional<std::optional<PictureBox>>> overviewPictures_; // by image; outer: looked up
    Notices<PageDocument::Notice> notices_;
    Subscription pageHeard_, pageRelayed_; // the document's notices, for this editor and then its views
    std::string offered_;                // the ALT offered in the box, while it stands
    int offeredFor_ = -1;                // the image that was offered one; never twice
    bool offeredPictureText_ = false;    // the one offered is the picture's text: another page's takes over
    int typedFor_ = -1;                  // the image the user typed for since it was shown
    std::string pictureFile_;            // the file of the picture shown, whose text was asked for
    std::string pictureText_;            // the legible text read in it; empty: none (yet)
    bool pictureTextHeard_ = false;      // what was read of it has been taken
    bool pictureTooLarge_ = false;       // the reader passed it over for its size
    bool siteStale_ = false;             // the open page was written since the index read it
    std::pair<std::vector<std::string>, std::string> indexed_; // the pages and folder indexed
    bool siteEndHeard_ = false; // a tick has seen the index of indexed_ end
    void setPagePath(std::string path) { pagePath_ = std::move(path); }

    EditorView view_;
    std::string pagePath_;
    // The page's images, by their index in page order, and the one shown. Selecting one from
    // code shows it at once, as a click does. Only their number is kept: the page holds the tags.
    class ImageList {
    public:
        std::function<void()> selected;
        void clear() { count_ = 0, index_ = -1; }
        void setCount(int count) { count_ = count, index_ = -1; }
        int count() const { return count_; }
        int index() const { return index_; }
        // Only -1 and existing images can be selected; anything else is refused.
        bool select(int i)
        {
            if (i < -1 || i >= count_)
                return false;
            if (std::exchange(index_, i) != i && selected)
                selected();
            return true;
        }

    private:
        int count_ = 0, index_ = -1;
    };
    ImageList imageList_;
    FileDialog fileDialog_;
    std::string pageFolder_; // ends in "/"
    int shownImage_ = 0;
    bool hasBackground_ = false;
    bool showsPicture_ = true;
    bool editsKept_ = false;
    std::vector<std::string> batchPages_;
    // Decorative as image `index` stands (-1: no image), and the box on or off with it.
    void showDecorative(int index);
    // The user turned Decorative (its Value is already the new one).
    void decorativeToggled();
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
