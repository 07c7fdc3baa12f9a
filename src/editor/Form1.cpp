#include "editor/Form1.h"

#include <algorithm>

#include "editor/Encoding.h"
#include "editor/Tag.h"
#include "editor/Text.h"

namespace bw {

using text::number;

Form1::Form1(Platform platform, Version version) : platform_(platform), version_(version)
{
    Text1.Change = [this] { Text1_Change(); };
    List1.Click = [this] { List1_Click(); };

    Text4.setText("Information on submitting your page to the Search Engines");
    Label2.Caption = "Alt text:";
    Label3.Visible = false;
    Label1.Caption = "Image of";
    Command1.Caption = "RESET";
    Command3.Caption = "NEXT";
    Command4.Caption = "&Save";
    Command5.Caption = "BACK";
    Command6.Caption = "SUBMIT PAGE";
    Command7.Caption = "Move to next file";
    Command7.Visible = false;
    n.Caption = "New";
    o.Caption = "Open";
    s.Caption = "Save";
    sa.Caption = "Save As";
    e.Caption = "Exit";
    pr.Caption = "Preferences";
    url.Caption = "URL";
    na.Caption = "User Name";
    pass.Caption = "Password";
    l.Caption = "Local";
    ftpa.Caption = "FTP";
    su.Caption = "Support";
    ab.Caption = "About";
    h.Caption = "&Help";
}

std::string Form1::versionLabel(Version v)
{
    return "Ver. " + number(v.major) + "." + number(v.minor) + "." + number(v.revision);
}

void Form1::Form_Load()
{
    Label4.Caption = versionLabel(version_);
    Label5.Caption = "";
    Toolbar1 = {
        {},
        {"new", "new", "New File"},
        {"open", "open", "Open File"},
        {"save", "save", "Save File"},
        {},
        {"Preview", "Preview", "Preview"},
        {},
    };
    platform_.host.loadSplash();
    Text6.setText("");
    Text7.setText("");
    nästa = 1;
    bakgrund = false;
    visa = true;
    bild = 0;
    ändrat = false;
    Label1.Caption = "Image of";
}

void Form1::nytt()
{
    Text1.setText("");
    Text2.setText("");
    Text3.setText("");
    texten9.clear();
    Text6.setText("");
    Text7.setText("");
    Text8.setText("");
    texten10.clear();
    List1.Clear();
    List2.Clear();
    List3.Clear();
    List4.Clear();
    Picture1.clear();
    aa.clear();
    nästa = 1;
    bakgrund = false;
    visa = true;
    Label1.Caption = "Image of";
    bild = 0;
    ändrat = false;
    Caption = "BRINDLEWORK Beta";
    tomt = false;
    Label5.Caption = "";
}

void Form1::nytt1()
{
    Text1.setText("");
    Text2.setText("");
    Text3.setText("");
    texten9.clear();
    Text7.setText("");
    Text8.setText("");
    texten10.clear();
    List1.Clear();
    List2.Clear();
    Picture1.Visible = false;
}

void Form1::message(const std::string& text) { platform_.dialogs.msgBox(text, Buttons::Ok, kTitle); }

bool Form1::writeBackUnedited()
{
    // Nothing written since the page was opened: nothing to put back (and a read-only page
    // can still be closed).
    if (!written_)
        return true;
    const std::string& path = Text6.Text();
    if (!mayOverwritePage())
        return false;
    WriteResult written = platform_.files.writeFile(path, ejspara, "\r\n");
    if (written.ok) {
        pageStamp_ = written.stamp;
        disk_ = Disk::Unedited;
        return true;
    }
    message("The page file\n" + path + "\ncould not be put back to its text as first read: " + written.error +
            ".\n\nThe file was left as it was and the page stays open.");
    return false;
}

void Form1::Command1_Click()
{
    if (!pageOpen()) {
        nytt();
        return;
    }
    if (platform_.dialogs.msgBox("Do you want to reset ?", Buttons::YesNo, kTitle) == Answer::Yes &&
        writeBackUnedited())
        nytt();
}

void Form1::n_Click()
{
    if (!pageOpen()) {
        nytt();
        return;
    }
    Answer answer = platform_.dialogs.msgBox("Do you want to Load New Page ?", Buttons::YesNo, kTitle);
    if (answer == Answer::Yes) {
        if (writeBackUnedited())
            nytt();
    } else if (!ändrat) {
        writeBackUnedited();
    } else {
        nytt();
    }
}

void Form1::e_Click()
{
    if (!pageOpen()) {
        platform_.host.endProgram();
        return;
    }
    // Kept edits stay in the page file; otherwise it is put back first.
    if (ändrat || writeBackUnedited())
        platform_.host.endProgram();
}

void Form1::Form_Unload()
{
    if (!ändrat && pageOpen())
        writeBackUnedited();
}

void Form1::Text1_Change() { ingenalttext = Text1.empty(); }

void Form1::Toolbar1_ButtonClick(std::string_view key)
{
    if (text::equalsNoCase(key, "new")) {
        n_Click();
    } else if (text::equalsNoCase(key, "open")) {
        fileopen();
        platform_.host.setFocus("Text1");
    } else if (text::equalsNoCase(key, "save")) {
        fileSaveas();
    } else if (text::equalsNoCase(key, "preview")) {
        preview();
    }
}

void Form1::preview()
{
    if (pageOpen())
        platform_.shell.open(Text6.Text());
}

void Form1::Command6_Click() { platform_.shell.open(site::kSubmit); }
void Form1::su_Click() { platform_.shell.open(site::kSupport); }
void Form1::ab_Click() { platform_.host.showAbout(); }

// ---- Opening a page ----

void Form1::prepareHtmlDialog()
{
    CommonDialog1.Flags = FileDialog::HideReadOnly;
    CommonDialog1.Filter = kHtmlFilter;
    CommonDialog1.FilterIndex = 1;
}

// An empty name, or the filter pattern itself, is what a dialog left unused reports.
bool Form1::noFileChosen(const std::string& name) { return name.empty() || text::equalsNoCase(name, "*.html"); }

void Form1::fileopen() { openChosen(true); }

void Form1::openPath(const std::string& path)
{
    CommonDialog1.FileName = path;
    size_t slash = path.find_last_of('/');
    CommonDialog1.FileTitle = slash == std::string::npos ? path : path.substr(slash + 1);
    openChosen(false);
}

void Form1::openChosen(bool useDialog)
{
    if (!pageOpen()) {
        if (Text1.empty())
            ingenalttext = true;
    } else {
        if (platform_.dialogs.msgBox("Load New Page ?", Buttons::YesNo, kTitle) != Answer::Yes)
            return;
        nytt();
    }
    Label1.Caption = "Image of";
    if (useDialog) {
        prepareHtmlDialog();
        platform_.dialogs.showOpen(CommonDialog1);
    }
    const std::string chosen = CommonDialog1.FileName;
    Caption = "BRINDLEWORK Beta " + chosen;
    texten10.clear();
    if (noFileChosen(chosen))
        return;
    // Found without regard to letter case, as pages were named on older systems; from here
    // on the page is the file as it lies on disk, and every write goes there.
    const auto found = platform_.files.resolve(chosen);
    if (!found) {
        platform_.dialogs.msgBox(kTitle, Buttons::OkCancel, "File Not Found");
        return;
    }
    // Read before taking the page on, so that a file we cannot read leaves no page open.
    auto read = readPage(*found, chosen);
    if (!read)
        return;
    takePage(*found, std::move(*read));
    size_t titleLength = CommonDialog1.FileTitle.size();
    sökvägbild = chosen.substr(0, chosen.size() > titleLength ? chosen.size() - titleLength : 0);

    Text2.setText(RipHTML(texten10));
    Label1.Caption = "Image " + number(List1.ListIndex() + 1) + " of " + number(List1.ListCount());
    for (int i = 0; i <= List1.ListCount(); ++i) {
        const std::string entry = List1.List(i);
        if (entry.empty())
            break;
        List2.AddItem(imageName(entry));
        List1.setListIndex(0);
    }
    showFirstImage();
}

std::optional<ReadResult> Form1::readPage(const std::string& path, const std::string& shownAs)
{
    ReadResult read = platform_.files.readFile(path);
    if (!read.ok) {
        message("The page\n" + shownAs + "\ncould not be read: " + read.error + ".");
        return std::nullopt;
    }
    if (read.bytes.find('\0') != std::string::npos) {
        message("The file\n" + shownAs + "\nis not an HTML page: it holds binary data. It was not opened.");
        return std::nullopt;
    }
    return read;
}

void Form1::takePage(const std::string& path, ReadResult&& read)
{
    // Copies left by a run that was killed while writing this page.
    platform_.files.removeStaleCopies(path);
    Text6.setText(path);
    texten10 = std::move(read.bytes);
    ejspara = texten10;
    texten9 = texten10;
    pageStamp_ = read.stamp;
    disk_ = Disk::Text;
    written_ = false;
    encoding_ = pageEncoding(texten10);
    startTracking();
}

void Form1::showFirstImage()
{
    if (!bakgrund) {
        const std::string name = List2.List(List1.ListIndex());
        // A page without image tags has nothing to look for.
        if (List1.ListCount() > 0 && !imageExists(name)) {
            visa = false;
            platform_.dialogs.msgBox("UNABLE TO DISPLAY IMAGES, IMAGES NOT FOUND", Buttons::OkCancel, kTitle);
        }
        if (Text1.empty())
            ingenalttext = false;
        return;
    }

    const int next = List1.ListIndex() + 1;
    if (next >= List1.ListCount()) {
        // Only the background image (or nothing at all) was found: stay where we are.
        Picture1.clear();
        Label1.Caption = "Image 0 of 0";
        Picture1.Visible = true;
        if (Text1.empty())
            ingenalttext = false;
        return;
    }
    if (!imageExists(List2.List(next))) {
        visa = false;
        List1.setListIndex(next);
        platform_.dialogs.msgBox(kTitle, Buttons::OkCancel, "Pic Not Found");
        if (Text1.empty()) {
            ingenalttext = false;
            tomt = true;
        }
    } else {
        List1.setListIndex(next);
        if (Text1.empty())
            tomt = true;
    }
    if (auto file = imageFile(List2.List(List1.ListIndex()))) {
        Picture1.Picture = std::move(*file);
        if (Text1.empty())
            ingenalttext = false;
    } else {
        visa = false;
    }
    Label1.Caption = "Image " + number(List1.ListIndex()) + " of " + number(List1.ListCount() - 1);
    Picture1.Visible = true;
    if (Text1.empty())
        ingenalttext = false;
}

std::string ripInto(Form1& form, std::string_view page, ScanVariant variant, bool& background)
{
    ScanResult result = scanImageTags(page, variant);
    std::string log = form.Text3.Text();
    for (auto& entry : result.entries) {
        log += entry;
        log += "\r\n";
        form.List1.AddItem(std::move(entry));
    }
    form.Text3.setText(std::move(log));
    if (result.background)
        background = true;
    return std::move(result.remainder);
}

std::string imageName(std::string_view entry)
{
    const size_t gif = text::inStrNoCase(entry, ".gif"), jpg = text::inStrNoCase(entry, ".jpg");
    return text::mid(entry, 11, static_cast<long long>(std::max(gif, jpg)) - 7);
}

std::string Form1::RipHTML(std::string_view strPage) { return ripInto(*this, strPage, ScanVariant::Main, bakgrund); }

// ---- Image navigation ----

std::optional<std::string> Form1::imageFile(const std::string& name) { return fileIn(sökvägbild, name); }

std::optional<std::string> Form1::fileIn(const std::string& folder, const std::string& name)
{
    auto found = platform_.files.resolve(folder + name);
    if (found && platform_.files.isFile(*found))
        return found;
    return std::nullopt;
}

void Form1::List1_Click()
{
    const int i = List1.ListIndex();
    if (i == -1)
        return;
    const int count = List1.ListCount();
    texten9.clear();
    Label1.Caption = bakgrund ? "Image " + number(i) + " of " + number(count - 1)
                              : "Image " + number(i + 1) + " of " + number(count);
    const std::string& name = List2.List(i);
    auto file = visa ? imageFile(name) : std::nullopt;
    Picture1.Picture = file ? std::move(*file) : std::string();

    const auto span = entrySpan(i);
    if (!span) {
        // The entry is not in the page: nothing to read, nothing to cut.
        Text8.setText("");
        Text1.setText("");
        text1lång = 1;
        return;
    }
    cutFollowingText(span->position, span->length);
    readExistingAlt(span->position - 1, span->length);
}

void Form1::cutFollowingText(size_t entryPosition, size_t entryLength)
{
    // The whole rest of the page, however long; storage is reused from image to image.
    const size_t after = entryPosition + entryLength - 1; // 0-based
    const std::string_view page = texten10;
    Text8.assign(after + 10 <= page.size() ? page.substr(after + 10) : std::string_view());
    texten9.assign(after <= page.size() ? page.substr(after) : std::string_view());
}

void Form1::readExistingAlt(size_t entryStart, size_t entryLength)
{
    const TagSpan tag = tagOfEntry(texten10, entryStart, entryLength);
    const TagAttribute* alt = tag.holdsEntry ? tag.find(texten10, "alt") : nullptr;
    if (!alt) {
        Text1.setText("");
        text1lång = 1;
        return;
    }
    const std::string_view value =
        std::string_view(texten10).substr(alt->valueStart, alt->hasValue ? alt->valueEnd - alt->valueStart : 0);
    Text1.setText(shown(value));
    if (Text1.empty()) {
        ingenalttext = true;
        aa = "1";
        text1lång = 1;
    } else {
        aa = number(static_cast<long long>(value.size()) + 8);
    }
    visa = true;
}

} // namespace bw
