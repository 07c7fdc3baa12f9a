#pragma once
// The per-user folders of the program.
#include <string>

namespace bw {

// "$XDG_CONFIG_HOME/brindlework/", else "~/.config/brindlework/": the settings store.
std::string userConfigFolder();

// The user's home folder, ending in "/".
std::string userHomeFolder();

// "$XDG_CACHE_HOME/brindlework/ftp/", else "~/.cache/brindlework/ftp/": where FTP downloads
// go unless the user names another folder. Created (private) when missing; should that
// fail, a private folder under the system's temp folder stands in. Ends in "/".
std::string userFtpTempFolder();

} // namespace bw
