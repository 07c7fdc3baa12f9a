#include "check/SiteCheck.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "editor/Encoding.h"
#include "page/ImageFinder.h"
#include "page/ImageName.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

bool isPageName(const fs::path& path)
{
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(), [](unsigned char c) { return std::tolower(c); });
    return extension == ".html" || extension == ".htm" || extension == ".shtml" || extension == ".xhtml";
}

void checkPage(const std::string& path, CheckReport& report)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    if (in)
        bytes << in.rdbuf();
    if (!in || in.bad()) {
        report.errors.push_back(path + ": cannot be read");
        return;
    }
    const std::string page = bytes.str();
    if (page.find('\0') != std::string::npos) {
        report.errors.push_back(path + ": is not an HTML page: it holds binary data");
        return;
    }
    ++report.pages;
    const std::string encoding = pageEncoding(page);
    size_t line = 1, lineStart = 0, counted = 0; // lines are counted up to each tag in turn
    for (const FoundImage& image : findImages(page).images) {
        if (image.kind == ImageKind::Background)
            continue; // a background gets no ALT
        ++report.images;
        const size_t at = image.tag.whole.begin;
        for (; counted < at; ++counted)
            if (page[counted] == '\n')
                ++line, lineStart = counted + 1;
        std::optional<std::string> alt;
        if (const TagAttribute* attribute = image.tag.find(page, "alt"))
            alt = decodeReferences(fromPageEncoding(attribute->value.of(page), encoding));
        const std::string src = fromPageEncoding(writtenName(page, image), encoding);
        for (const AltRule* rule : altFindings(alt, {src, {}, {}}))
            report.findings.push_back({path, line, at - lineStart + 1, rule, src, alt});
    }
}

} // namespace

CheckReport checkSite(const std::vector<std::string>& paths)
{
    CheckReport report;
    for (const std::string& path : paths) {
        std::error_code error;
        if (fs::is_directory(path, error)) {
            std::vector<std::string> pages;
            fs::recursive_directory_iterator walk(path, fs::directory_options::skip_permission_denied, error);
            for (; !error && walk != fs::recursive_directory_iterator(); walk.increment(error))
                if (walk->is_regular_file(error) && isPageName(walk->path()))
                    pages.push_back(walk->path().string());
            if (error)
                report.errors.push_back(path + ": the folder cannot be read to its end (" + error.message() + ")");
            std::sort(pages.begin(), pages.end());
            for (const std::string& page : pages)
                checkPage(page, report);
        } else if (fs::is_regular_file(path, error)) {
            checkPage(path, report);
        } else {
            // A pipe or a device could feed it forever.
            report.errors.push_back(path + (fs::exists(path, error) ? ": is neither a page file nor a folder" : ": no such file or folder"));
        }
    }
    return report;
}

std::string textReport(const CheckReport& report)
{
    static const char* const kSeverities[] = {"error", "warning", "note"};
    std::string out;
    for (const CheckFinding& f : report.findings)
        out += f.file + ":" + std::to_string(f.line) + ":" + std::to_string(f.column) + ": " +
               kSeverities[static_cast<int>(f.rule->severity)] + ": " + f.rule->message + " (" + f.src + ") [" + f.rule->id + "]\n";
    return out;
}

int checkStatus(const CheckReport& report)
{
    if (!report.errors.empty())
        return 2;
    return std::any_of(report.findings.begin(), report.findings.end(),
                       [](const CheckFinding& f) { return f.rule->severity != Severity::Note; })
               ? 1
               : 0;
}

} // namespace bw
