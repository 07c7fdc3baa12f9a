#include "batch/BatchSummary.h"

#include <unordered_set>

#include "text/Text.h"
#include "page/PageDocument.h"
#include "page/PageEncoding.h"

namespace bw {

BatchSummary& BatchSummary::operator+=(const BatchSummary& o)
{
    pages += o.pages;
    described += o.described;
    decorative += o.decorative;
    missing += o.missing;
    unread += o.unread;
    return *this;
}

BatchSummary summarizePage(FileSystem& files, const std::string& page)
{
    BatchSummary summary;
    ReadResult read = files.readFile(page);
    // The main window opens neither a file it cannot read nor one holding binary data.
    if (!read.ok || !isPageText(read.bytes)) {
        summary.unread = 1;
        return summary;
    }
    PageDocument document(files);
    document.open(page, std::move(read));
    summary.pages = 1;
    for (size_t i = 0; i < document.images().size(); ++i) {
        if (document.images()[i].kind == ImageKind::Background)
            continue;
        const std::optional<std::string> alt = document.altShown(i);
        ++(!alt ? summary.missing : alt->empty() ? summary.decorative : summary.described);
    }
    return summary;
}

BatchSummary summarize(FileSystem& files, const std::vector<std::string>& pages)
{
    BatchSummary summary;
    std::unordered_set<std::string> seen;
    for (const std::string& page : pages)
        if (seen.insert(page).second)
            summary += summarizePage(files, page);
    return summary;
}

namespace {

std::string counted(size_t n, const char* one, const char* many)
{
    return text::number(static_cast<long long>(n)) + " " + (n == 1 ? one : many);
}

} // namespace

std::string summaryText(const BatchSummary& s)
{
    if (s.pages == 0)
        return s.unread == 0 ? "Batch finished: it had no pages." : "Batch finished: none of its pages could be read.";
    const auto number = [](size_t n) { return text::number(static_cast<long long>(n)); };
    std::string out = "Batch finished: " + counted(s.pages, "page", "pages") + ", " +
                      counted(s.described, "image", "images") + " described, " + number(s.decorative) + " decorative, " +
                      (s.missing == 0 ? "none missing an ALT." : number(s.missing) + " still missing an ALT.");
    if (s.unread > 0)
        out += " " + counted(s.unread, "page", "pages") + " could not be read.";
    return out;
}

} // namespace bw
