#pragma once
// Which folder is the open page's site: the pages offers come from and "Use for every page"
// writes to.
#include <string>
#include <vector>

#include "platform/FileSystem.h"

namespace bw {

// A folder the user chose for the site when the page lies in it (the deepest of them);
// otherwise the topmost folder above the page's own that holds an index page (index.html or
// index.htm), never past a folder that holds .git, never up to `home`, the root of the file
// system or a folder right under it (/tmp/, /home/); the page's own folder when none does.
// Folders end in "/".
std::string siteFolderOf(FileSystem& files, const std::string& pageFolder, const std::string& home,
                         const std::vector<std::string>& chosen);

} // namespace bw
