// NEXT and BACK, the write-back of the ALT text, "&Save", Save and Save As.
#include <algorithm>

#include "editor/AltEdit.h"
#include "editor/Encoding.h"
#include "editor/Form1.h"
#include "editor/Tag.h"
#include "editor/Text.h"

namespace bw {

void Form1::lastImage() { platform_.dialogs.msgBox("Last Image", Buttons::OkCancel, kTitle); }

void Form1::Command3_Click()
{
    platform_.host.setFocus("Text1");
    if (!pageOpen())
        return;
    // The image being left is written first, the last one too.
    if (!tempspar())
        return;
    const int count = List1.ListCount();
    if (count == 0 || (bakgrund && bild == count - 2)) {
        lastImage();
        return;
    }
    if (bild == count - 1) {
        lastImage();
        if (Text1.empty())
            tomt = true;
        return;
    }
    move(+1);
}

void Form1::Command5_Click()
{
    platform_.host.setFocus("Text1");
    if (!pageOpen())
        return;
    // On the first image nothing is written.
    if (bild == 0 || List1.ListCount() == 0) {
        lastImage();
        if (!bakgrund && Text1.empty())
            tomt = true;
        return;
    }
    if (!tempspar())
        return;
    move(-1);
}

void Form1::move(int step)
{
    const int target = List1.ListIndex() + step;
    if (target < 0 || target >= List1.ListCount())
        return;
    bild += step;
    const std::string& name = List2.List(target);
    auto file = imageFile(name);
    if (!file)
        visa = false;
    List1.setListIndex(target); // a missing picture is cleared by the selection handler
    if (file)
        Picture1.Picture = std::move(*file);
    Label5.Caption = name;
    if (Text1.empty())
        tomt = true;
}

bool Form1::isPageFile(const std::string& path)
{
    return path == Text6.Text() || platform_.files.sameFile(path, Text6.Text());
}

bool Form1::mayOverwritePage()
{
    const std::string& path = Text6.Text();
    const FileStamp now = platform_.files.stamp(path);
    if (now.sameLook(pageStamp_) && !pageStamp_.racy)
        return true;
    // The look changed, or cannot tell: the bytes decide, so that a mere touch asks nothing.
    if (now.exists) {
        ReadResult read = platform_.files.readFile(path, std::move(spare_));
        const std::string_view onDisk = read.bytes;
        const bool same = disk_ == Disk::Text
                              ? onDisk == texten10
                              : onDisk.size() == ejspara.size() + 2 && onDisk.substr(0, ejspara.size()) == ejspara &&
                                    onDisk.substr(ejspara.size()) == "\r\n";
        spare_ = std::move(read.bytes);
        if (read.ok && same) {
            pageStamp_ = read.stamp;
            return true;
        }
    }
    return platform_.dialogs.msgBox(path + " was changed by another program since it was opened. Overwrite it with "
                                           "this window's text?",
                                    Buttons::YesNo, kTitle) == Answer::Yes;
}

bool Form1::writePage(const std::string& path, std::string_view text)
{
    const bool page = isPageFile(path);
    if (page && !mayOverwritePage())
        return false;
    WriteResult written = platform_.files.writeFile(path, text, "\r\n");
    if (!written.ok) {
        message("The page file\n" + path + "\ncould not be written: " + written.error +
                ".\n\nThe file was left as it was.");
        return false;
    }
    if (page) {
        pageStamp_ = written.stamp;
        written_ = true;
        // Until it is read back the file holds text + CR LF, which is neither of the two
        // known texts; the reread that follows every such write settles it.
        disk_ = Disk::Text;
    }
    return true;
}

void Form1::reread(std::string&& written)
{
    ReadResult read = platform_.files.readFile(Text6.Text(), std::move(texten10));
    if (read.ok) {
        texten10 = std::move(read.bytes);
        pageStamp_ = read.stamp;
        disk_ = Disk::Text;
        spare_ = std::move(written);
        return;
    }
    // What was just written is what the file holds.
    texten10 = std::move(written);
    texten10 += "\r\n";
    message("The page file\n" + Text6.Text() + "\ncould not be read back: " + read.error +
            ".\n\nWork goes on with the text that was written to it.");
}

std::optional<Form1::Span> Form1::follow(size_t opened, size_t length) const
{
    size_t start = opened, end = opened + length;
    for (const TextEdit& e : edits_) {
        start = e.map(start);
        end = e.map(end);
    }
    if (end > texten10.size() || end <= start)
        return std::nullopt;
    return Span{start + 1, end - start};
}

const std::vector<std::pair<size_t, size_t>>& Form1::copiesOf(int index) const
{
    static const std::vector<std::pair<size_t, size_t>> none;
    const std::string& entry = List1.List(index);
    if (entry.empty())
        return none;
    // The opened page never changes, so each entry is searched in it once.
    if (static_cast<size_t>(index) >= copies_.size())
        copies_.resize(static_cast<size_t>(index) + 1);
    auto& known = copies_[static_cast<size_t>(index)];
    if (known)
        return *known;
    known.emplace();
    size_t first = text::inStrNoCase(opened_, entry);
    if (first == 0)
        return *known;
    // A background entry gets no ALT; a tag entry's copies are the identical tags.
    if (!text::equalsNoCase(std::string_view(entry).substr(0, 4), "<img")) {
        known->emplace_back(first - 1, entry.size());
        return *known;
    }
    const std::string_view page = opened_;
    const auto& openings = tagOpenings();
    // The first occurrence a browser shows: a tag in a comment is no tag.
    for (auto it = std::lower_bound(openings.begin(), openings.end(), first - 1); it != openings.end(); ++it)
        if (text::equalsNoCase(page.substr(*it, entry.size()), entry)) {
            first = *it + 1;
            break;
        }
    known->emplace_back(first - 1, entry.size());
    const TagSpan tag = tagOfEntry(opened_, first - 1, entry.size());
    if (!tag.holdsEntry || tag.end >= opened_.size())
        return *known;
    const std::string_view tagText = page.substr(tag.start, tag.end + 1 - tag.start);
    // Where the entry ends, counted from its tag's "<": the same in every copy.
    const size_t end = first - 1 + entry.size() - tag.start;
    for (size_t at : openings)
        if (at != tag.start && page.substr(at, tagText.size()) == tagText && lexTag(page, at).end == at + tagText.size() - 1)
            known->emplace_back(at, end);
    return *known;
}

const std::vector<size_t>& Form1::tagOpenings() const
{
    if (tagOpenings_)
        return *tagOpenings_;
    tagOpenings_.emplace();
    const std::string_view page = opened_;
    size_t comment = page.find("<!--"), commentEnd = 0;
    for (size_t at = text::inStrNoCase(page, "<img"); at != 0; at = text::inStrNoCase(page, "<img", at + 4)) {
        while (comment != std::string_view::npos && comment < at - 1) {
            const size_t close = page.find("-->", comment + 4);
            commentEnd = close == std::string_view::npos ? page.size() : close + 3;
            if (commentEnd > at - 1)
                break;
            comment = page.find("<!--", commentEnd);
        }
        const bool commented = comment != std::string_view::npos && comment < at - 1 && at - 1 < commentEnd;
        if (!commented)
            tagOpenings_->push_back(at - 1);
    }
    return *tagOpenings_;
}

std::optional<Form1::Span> Form1::entrySpan(int index) const
{
    const auto& copies = copiesOf(index);
    if (copies.empty())
        return std::nullopt;
    return follow(copies.front().first, copies.front().second);
}

std::vector<Form1::Span> Form1::copySpans(int index) const
{
    std::vector<Span> spans;
    for (auto [at, length] : copiesOf(index))
        if (auto span = follow(at, length))
            spans.push_back(*span);
    return spans;
}

void Form1::startTracking()
{
    opened_ = texten10;
    edits_.clear();
    copies_.clear();
    tagOpenings_.reset();
}

void Form1::track(const AltEdit& edit)
{
    // Each write's edits are in the old page's positions: replay them from the back.
    edits_.insert(edits_.end(), edit.edits.rbegin(), edit.edits.rend());
}

std::string Form1::shown(std::string_view value) const { return decodeReferences(fromPageEncoding(value, encoding_)); }

Form1::Written Form1::writeAlt(EmptyBox empty)
{
    const int index = List1.ListIndex();
    const auto spans = copySpans(index);
    if (spans.empty() || !text::equalsNoCase(std::string_view(List1.List(index)).substr(0, 4), "<img"))
        return Written::Nothing; // no image, its entry is not in the page, or a background
    // An ALT the box shows as it stands is left byte for byte as it is.
    const Span first = spans.front();
    const TagSpan tag = tagOfEntry(texten10, first.position - 1, first.length);
    if (const TagAttribute* alt = tag.holdsEntry ? tag.find(texten10, "alt") : nullptr)
        if (shown(std::string_view(texten10).substr(alt->valueStart, alt->valueEnd - alt->valueStart)) == Text1.Text())
            return Written::Unchanged;

    std::vector<EntryAt> entries;
    for (const Span& span : spans)
        entries.push_back({span.position - 1, span.length});
    const std::string value = toPageEncoding(altValue(withoutControls(Text1.Text())), encoding_);
    AltEdit edit = withAltValue(texten10, entries, value, empty, std::move(spare_));
    if (edit.edits.empty()) {
        spare_ = std::move(edit.page);
        return Written::Unchanged;
    }
    if (!writePage(Text6.Text(), edit.page)) {
        spare_ = std::move(edit.page);
        return Written::Failed;
    }
    track(edit);
    reread(std::move(edit.page));
    return Written::Done;
}

bool Form1::tempspar()
{
    h.Enabled = !texten10.empty();
    if (aa.empty())
        aa.assign(1, '1');
    const Written written = writeAlt(EmptyBox::Remove);
    if (written == Written::Nothing || written == Written::Failed)
        return written == Written::Nothing;
    const bool typedNothing = Text1.empty();
    if (!ingenalttext && !typedNothing && text1lång != 1)
        ingenalttext = true;
    if (ingenalttext && typedNothing)
        tomt = false;
    text1lång = 0;
    return true;
}

bool Form1::writeCurrentAlt(bool decorate)
{
    h.Enabled = !texten10.empty();
    const Written written = writeAlt(decorate ? EmptyBox::Decorate : EmptyBox::Remove);
    if (written == Written::Done)
        if (const auto now = entrySpan(List1.ListIndex()))
            cutFollowingText(now->position, now->length);
    return written != Written::Failed;
}

void Form1::Command4_Click()
{
    if (!pageOpen())
        return;
    if (platform_.files.exists(Text6.Text()) &&
        platform_.dialogs.msgBox("Are you sure you want to do this ?", Buttons::YesNo, kTitle) == Answer::No)
        return;
    if (writeCurrentAlt(true))
        ändrat = true;
}

void Form1::s_Click()
{
    if (!pageOpen())
        return;
    writeCurrentAlt(true);
}

void Form1::fileSaveas()
{
    if (!pageOpen())
        return;
    // Edits kept with "&Save" stay kept: saving a copy does not take them back.
    prepareHtmlDialog();
    platform_.dialogs.showSave(CommonDialog1);
    const std::string chosen = CommonDialog1.FileName;
    if (noFileChosen(chosen))
        return;
    if (platform_.files.exists(chosen) &&
        platform_.dialogs.msgBox("Are you sure you want to do this ?", Buttons::YesNo, kTitle) == Answer::No)
        return;
    if (!tempspar())
        return;
    const bool overPage = isPageFile(chosen);
    if (!writePage(chosen, texten10))
        return;
    if (overPage) {
        // What was just saved is what the page is put back to from now on.
        ejspara = texten10;
        reread(std::string(texten10));
    }
    if (platform_.dialogs.msgBox("File saved, do u want to reset the app ?", Buttons::YesNo, "File Saved") !=
        Answer::Yes)
        return;
    // Kept edits, or edits saved into the page itself, stay in the page file.
    if (ändrat || overPage || writeBackUnedited())
        nytt();
}

} // namespace bw
