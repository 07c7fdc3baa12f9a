#include "check/SiteCheck.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "editor/Encoding.h"
#include "page/PageDocument.h"
#include "platform/FileSystem.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

const char* const kSeverities[] = {"error", "warning", "note"};

PageCheck checkPage(const std::string& path)
{
    PageCheck report{path, {}, 0, {}};
    ReadResult read = RealFileSystem().readFile(path);
    if (!read.ok) {
        report.error = path + ": cannot be read: " + read.error;
        return report;
    }
    const std::string& page = read.bytes;
    if (page.find('\0') != std::string::npos) {
        report.error = path + ": is not an HTML page: it holds binary data";
        return report;
    }
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
        const std::optional<std::string> alt = altOf(page, image.tag, encoding);
        const std::string src = fromPageEncoding(writtenName(page, image), encoding);
        for (const AltRule* rule : altFindings(alt, {src, {}, {}}))
            report.findings.push_back({path, line, at - lineStart + 1, rule, src, alt});
    }
    return report;
}

} // namespace

std::string CheckBaseline::lineOf(const CheckFinding& f)
{
    std::string line;
    for (const std::string_view part : {std::string_view(f.file), std::string_view(f.rule->id), std::string_view(f.src),
                                        f.alt ? std::string_view(*f.alt) : std::string_view("\x01")}) {
        for (const char c : part)
            line += c == '\\' ? "\\\\" : c == '\t' ? "\\t" : c == '\n' ? "\\n" : c == '\r' ? "\\r" : std::string(1, c);
        line += '\t';
    }
    line.back() = '\n';
    return line;
}

std::optional<CheckBaseline> CheckBaseline::read(const std::string& path, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in || !fs::is_regular_file(path)) {
        error = path + ": the baseline cannot be read";
        return std::nullopt;
    }
    CheckBaseline baseline;
    for (std::string line; std::getline(in, line);)
        baseline.lines_.insert(line + "\n");
    return baseline;
}

bool CheckBaseline::accepts(const CheckFinding& finding)
{
    const auto held = lines_.find(lineOf(finding));
    if (held == lines_.end())
        return false;
    lines_.erase(held);
    return true;
}

CheckReport checkSite(const std::vector<std::string>& paths, const std::function<void(const PageCheck&)>& each,
                      CheckBaseline* baseline)
{
    // What to check, in order: a page's path, or a path that cannot be checked with why.
    std::vector<PageCheck> items;
    for (const std::string& path : paths) {
        std::error_code error;
        if (fs::is_directory(path, error)) {
            std::vector<std::string> pages;
            fs::recursive_directory_iterator walk(path, fs::directory_options::skip_permission_denied, error);
            for (; !error && walk != fs::recursive_directory_iterator(); walk.increment(error))
                if (walk->is_regular_file(error) && isPageFileName(walk->path().filename().string()))
                    pages.push_back(walk->path().string());
            std::sort(pages.begin(), pages.end());
            for (std::string& page : pages)
                items.push_back({std::move(page), {}, 0, {}});
            if (error)
                items.push_back({path, path + ": the folder cannot be read to its end (" + error.message() + ")", 0, {}});
        } else if (fs::is_regular_file(path, error)) {
            items.push_back({path, {}, 0, {}});
        } else {
            // A pipe or a device could feed it forever.
            items.push_back({path, path + (fs::exists(path, error) ? ": is neither a page file nor a folder" : ": no such file or folder"), 0, {}});
        }
    }
    CheckReport report;
    const unsigned workers = std::max(1u, std::min(std::thread::hardware_concurrency(), 8u));
    constexpr size_t kBatch = 64; // pages held at once, whatever the size of the site
    for (size_t first = 0; first < items.size(); first += kBatch) {
        const size_t end = std::min(items.size(), first + kBatch);
        std::atomic<size_t> next = first;
        auto work = [&] {
            for (size_t i; (i = next++) < end;)
                if (items[i].error.empty())
                    items[i] = checkPage(items[i].path);
        };
        std::vector<std::thread> threads;
        for (unsigned t = 1; t < workers; ++t)
            threads.emplace_back(work);
        work();
        for (std::thread& thread : threads)
            thread.join();
        for (size_t i = first; i < end; ++i) {
            PageCheck& page = items[i];
            if (!page.error.empty()) {
                report.errors.push_back(page.error);
            } else {
                ++report.pages;
                report.images += page.images;
            }
            if (baseline)
                std::erase_if(page.findings, [&](const CheckFinding& f) {
                    const bool accepted = f.fails() && baseline->accepts(f);
                    report.accepted += accepted;
                    return accepted;
                });
            report.errorsAndWarnings += static_cast<size_t>(std::count_if(page.findings.begin(), page.findings.end(), std::mem_fn(&CheckFinding::fails)));
            if (each)
                each(page);
            else
                report.findings.insert(report.findings.end(), page.findings.begin(), page.findings.end());
            page = {};
        }
    }
    return report;
}

std::string textLines(const std::vector<CheckFinding>& findings)
{
    std::string out;
    for (const CheckFinding& f : findings)
        out += f.file + ":" + std::to_string(f.line) + ":" + std::to_string(f.column) + ": " +
               kSeverities[static_cast<int>(f.rule->severity)] + ": " + f.rule->message + " (" + f.src + ") [" + f.rule->id + "]\n";
    return out;
}

namespace {

// A JSON string of any bytes: what is not UTF-8 becomes U+FFFD rather than a broken document.
std::string jsonString(std::string_view s)
{
    std::string out = "\"";
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        bool valid = length > 0 && i + length <= s.size();
        for (size_t k = 1; valid && k < length; ++k)
            valid = (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
        if (!valid) {
            out += "\\ufffd";
            ++i;
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out.append(s.substr(i, length));
        }
        i += length;
    }
    return out + "\"";
}

} // namespace

// XML text or attribute value: markup characters as references, controls XML cannot hold dropped.
std::string xmlText(std::string_view s)
{
    std::string out;
    for (const char c : s) {
        if (c == '&' || c == '<' || c == '>' || c == '"')
            out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : "&quot;";
        else if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n' || c == '\r')
            out += c;
    }
    return out;
}

// A relative URI reference for a path: what is not a plain character is %-escaped.
std::string uriOf(std::string_view path)
{
    static const char* const kHex = "0123456789ABCDEF";
    std::string out;
    for (const char c : path) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalnum(u) || c == '/' || c == '-' || c == '.' || c == '_' || c == '~')
            out += c;
        else
            out += {'%', kHex[u >> 4], kHex[u & 15]};
    }
    return out;
}

CheckPrinter::CheckPrinter(std::string_view format, std::function<void(std::string_view)> write)
    : format_(format), write_(std::move(write))
{
    if (format_ == "json") {
        write_("{\"findings\": [");
    } else if (format_ == "sarif") {
        std::string rules;
        for (const AltRule& rule : altRules())
            rules += std::string(rules.empty() ? "" : ",") + "\n{\"id\": " + jsonString(rule.id) + ", \"shortDescription\": {\"text\": " +
                     jsonString(rule.message) + "}, \"defaultConfiguration\": {\"level\": \"" + kSeverities[static_cast<int>(rule.severity)] + "\"}}";
        write_("{\"version\": \"2.1.0\", \"$schema\": \"https://json.schemastore.org/sarif-2.1.0.json\", \"runs\": [{\"tool\": "
               "{\"driver\": {\"name\": \"brindlework\", \"rules\": [" + rules + "]}}, \"results\": [");
    }
}

void CheckPrinter::page(const PageCheck& page)
{
    if (format_ == "text") {
        write_(textLines(page.findings));
    } else if (format_ == "junit") {
        std::string failure;
        for (const CheckFinding& f : page.findings)
            failure += f.rule->severity == Severity::Error ? textLines({f}) : "";
        cases_ += "<testcase classname=\"brindlework.check\" name=\"" + xmlText(page.path) + "\"";
        if (!page.error.empty())
            cases_ += "><error message=\"" + xmlText(page.error) + "\"/></testcase>\n";
        else if (!failure.empty())
            cases_ += "><failure message=\"images whose ALT is missing or poor\">" + xmlText(failure) + "</failure></testcase>\n";
        else
            cases_ += "/>\n";
        failures_ += !failure.empty();
    } else {
        for (const CheckFinding& f : page.findings) {
            const std::string severity = jsonString(kSeverities[static_cast<int>(f.rule->severity)]);
            if (format_ == "json")
                write_((first_ ? "\n" : ",\n") + std::string("{\"file\": ") + jsonString(f.file) + ", \"line\": " + std::to_string(f.line) +
                       ", \"column\": " + std::to_string(f.column) + ", \"rule\": " + jsonString(f.rule->id) + ", \"severity\": " + severity +
                       ", \"message\": " + jsonString(f.rule->message) + ", \"src\": " + jsonString(f.src) +
                       ", \"alt\": " + (f.alt ? jsonString(*f.alt) : "null") + "}");
            else
                write_((first_ ? "\n" : ",\n") + std::string("{\"ruleId\": ") + jsonString(f.rule->id) + ", \"level\": " + severity +
                       ", \"message\": {\"text\": " + jsonString(std::string(f.rule->message) + " (" + f.src + ")") +
                       "}, \"locations\": [{\"physicalLocation\": {\"artifactLocation\": {\"uri\": " + jsonString(uriOf(f.file)) +
                       "}, \"region\": {\"startLine\": " + std::to_string(f.line) + ", \"startColumn\": " + std::to_string(f.column) + "}}}]}");
            first_ = false;
        }
    }
}

void CheckPrinter::end(const CheckReport& report)
{
    if (format_ == "json")
        write_("\n], \"pages\": " + std::to_string(report.pages) + ", \"images\": " + std::to_string(report.images) + "}\n");
    else if (format_ == "sarif")
        write_("\n]}]}\n");
    else if (format_ == "junit")
        write_("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites>\n<testsuite name=\"brindlework check\" tests=\"" +
               std::to_string(report.pages + report.errors.size()) + "\" failures=\"" + std::to_string(failures_) + "\" errors=\"" +
               std::to_string(report.errors.size()) + "\">\n" + cases_ + "</testsuite>\n</testsuites>\n");
}

int checkStatus(const CheckReport& report)
{
    if (!report.errors.empty())
        return 2;
    return report.errorsAndWarnings > 0 ? 1 : 0;
}

} // namespace bw
