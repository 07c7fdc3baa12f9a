#include "site/SiteRoot.h"

#include <algorithm>

namespace bw {

namespace {
std::string parentOf(const std::string& folder)
{
    if (folder.size() < 2)
        return {};
    const size_t slash = folder.find_last_of('/', folder.size() - 2);
    return slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
}

bool within(const std::string& folder, const std::string& outer) { return folder.compare(0, outer.size(), outer) == 0; }

// "/" and "/tmp/" hold other people's files, not one site.
bool tooHigh(const std::string& folder) { return std::count(folder.begin(), folder.end(), '/') < 3; }
} // namespace

std::string siteFolderOf(FileSystem& files, const std::string& pageFolder, const std::string& home,
                         const std::vector<std::string>& chosen)
{
    std::string best;
    for (const std::string& folder : chosen)
        if (!folder.empty() && folder.back() == '/' && within(pageFolder, folder) && folder.size() > best.size())
            best = folder;
    if (!best.empty())
        return best;
    best = pageFolder;
    std::string at = pageFolder;
    // Deep enough for any site, and a loop can never run on.
    for (int depth = 0; depth < 64; ++depth) {
        if (at != pageFolder && (files.isFile(at + "index.html") || files.isFile(at + "index.htm")))
            best = at;
        if (files.exists(at + ".git"))
            break;
        const std::string parent = parentOf(at);
        if (parent.empty() || tooHigh(parent) || (!home.empty() && within(home, parent)))
            break;
        at = parent;
    }
    return best;
}

} // namespace bw
