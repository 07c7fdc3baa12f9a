#pragma once
// Replacing a file whole, never leaving it half written.
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "platform/FileSystem.h"

namespace bw {

struct Replacement {
    // The temporary file's name beside the target, before its random part.
    std::string tempName;
    // Permissions for the file; none: an existing file keeps its own (and its owner where we
    // may), a new one gets 0666 less the umask.
    std::optional<unsigned> mode;
    // false: a link in the file's place is itself replaced, its target left alone.
    bool followLink = true;
};

// Writes the pieces to a temporary file beside `path` (a link is followed unless told), flushes it and
// renames it over the file, then flushes the folder: a crash or a full disk leaves the old
// file as it was. The stamp is the new file's.
WriteResult replaceFile(const std::string& path, std::initializer_list<std::string_view> pieces,
                        const Replacement& how);

} // namespace bw
