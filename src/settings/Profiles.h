#pragma once
// Where the program keeps its settings, and the FTP host profiles built on them.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Ftp.h"
#include "platform/Platform.h"
#include "platform/Secrets.h"
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
inline constexpr const char* kProtocol = "Protocol"; // "ftp", "ftps" or "sftp"; none: "ftp"
inline constexpr const char* kPort = "Port";         // none or "0": the protocol's usual port
inline constexpr const char* kKeyFile = "KeyFile";
inline constexpr const char* kKeepBackup = "KeepBackup"; // "1" or "0"

// The keyring keeps the program's passwords under this name, each under "user@host"; the
// main window's own password under kPassword.
inline constexpr const char* kKeyringService = "BRINDLEWORK";
} // namespace store

// The protocol as the store writes it, and back; an unknown word reads as FTP.
const char* protocolName(Protocol protocol);
Protocol protocolNamed(std::string_view name);
// 21 for FTP and FTP with TLS, 22 for SFTP.
int usualPort(Protocol protocol);
// A port as typed: empty (surrounding spaces aside) is 0, the protocol's usual one; digits
// from 1 to 65535 are that port; anything else is none.
std::optional<int> portFrom(std::string_view text);

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

// Passwords go to the keyring while one is running, else into the store (which only its
// user can read). A password found in the store wins: it is either one kept the old way,
// which moves to the keyring at the next save, or one the keyring refused.
//
// What needs the keyring answers through a callback, with what went wrong with the keyring
// as a message ("" when nothing did). The store's part is done before the call returns; the
// keyring's part finishes even when this object is gone by then (only `done` is not called).
class HostProfiles {
public:
    using Saved = std::function<void(const WriteResult& result, const std::string& keyringProblem)>;
    using Loaded = std::function<void(const HostProfile& profile, const std::string& keyringProblem)>;
    using PasswordRead = std::function<void(const std::string& password, const std::string& keyringProblem)>;

    HostProfiles(SettingsStore& store, FileSystem& files, SecretStore& secrets)
        : store_(store), files_(files), secrets_(secrets)
    {
    }
    explicit HostProfiles(const Platform& platform) : HostProfiles(platform.settings, platform.files, platform.secrets) {}
    HostProfiles(const HostProfiles&) = delete;
    HostProfiles& operator=(const HostProfiles&) = delete;

    // Writes the host's entry in the host list, then its user name, temp path, protocol, port,
    // key file and backup choice, then its password. Stops at the first write that fails and
    // says why. A keyring that refuses the password is no failure: the store keeps it and
    // the problem says so.
    void save(const std::string& host, const HostProfile& profile, Saved done);
    // Creates or overwrites the marker file with "ok".
    WriteResult writeMarker();
    bool markerExists();
    std::string markerPath() const { return store_.folder() + store::kMarker; }

    // The stored host names in store order when the marker file is there, else none.
    std::vector<std::string> list();
    // The stored host names in store order, marker or not.
    std::vector<std::string> stored();
    // Each text "" when absent; an old profile reads as FTP on the usual port, no backup.
    // The password is the one the store holds, if any: the keyring is not asked.
    HostProfile settingsOf(const std::string& host);
    // As settingsOf(), with the password the keyring keeps. A password the keyring cannot
    // give reads as "" and the problem says why.
    void load(const std::string& host, Loaded done);
    // Removes the host's password, user name, temp path and the rest, then its entry in the
    // host list; stops at the first removal that fails and says why. Then the keyring's copy
    // of the password, if any; a keyring that keeps it is told by the problem.
    void remove(const std::string& host, Saved done);

    // The main window's password (FTP > Setup > Password), kept as the hosts' are.
    void mainPassword(const std::string& defaultValue, PasswordRead done);
    void saveMainPassword(const std::string& password, Saved done);

    // Whether passwords go to the desktop keyring.
    bool keyring() { return secrets_.available(); }

private:
    void readPassword(const std::string& storeKey, const std::string& secretKey, const std::string& absent,
                      PasswordRead done);
    void writePassword(const std::string& storeKey, const std::string& secretKey, const std::string& password,
                       Saved done);

    SettingsStore& store_;
    FileSystem& files_;
    SecretStore& secrets_;
};

} // namespace bw
