#pragma once
// Where the program keeps its settings, and the FTP host profiles built on them.
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Ftp.h"
#include "platform/Settings.h"

namespace bw {

namespace store {
inline constexpr const char* kApp = "bw";
inline constexpr const char* kMain = "brindlepad";
inline constexpr const char* kHosts = "brindlepad\\hosts";
// Says that a host profile was saved at least once; lives beside the store.
inline constexpr const char* kMarker = "brindle.dll";

// A host's keys are its name followed directly by these.
inline constexpr const char* kHostName = "HostName";
inline constexpr const char* kUsername = "Username";
inline constexpr const char* kPassword = "Password";
inline constexpr const char* kPath = "path";
} // namespace store

struct HostProfile {
    std::string user, password, path;
    Protocol protocol = Protocol::ftp;
    int port = 0;            // 0: the protocol's usual port
    std::string keyFile;     // SFTP: a private key file; empty: the SSH agent or the password
    bool keepBackup = false; // an upload keeps the server's old page as NAME.bak
    bool operator==(const HostProfile&) const = default;
};

// The message shown when the store could not be changed.
std::string settingsNotSaved(const WriteResult& result);

class HostProfiles {
public:
    HostProfiles(SettingsStore& store, FileSystem& files) : store_(store), files_(files) {}

    // Writes the host's entry in the host list, then its user name, password and temp path.
    // Stops at the first write that fails and says why.
    WriteResult save(const std::string& host, const HostProfile& profile);
    // Creates or overwrites the marker file with "ok".
    WriteResult writeMarker();
    bool markerExists();
    std::string markerPath() const { return store_.folder() + store::kMarker; }

    // The stored host names in store order when the marker file is there, else none.
    std::vector<std::string> list();
    // The stored host names in store order, marker or not.
    std::vector<std::string> stored();
    // Each value "" when absent.
    HostProfile load(const std::string& host);
    // Removes the host's user name, password and temp path, then its entry in the host
    // list; stops at the first removal that fails and says why.
    WriteResult remove(const std::string& host);

private:
    SettingsStore& store_;
    FileSystem& files_;
};

} // namespace bw
