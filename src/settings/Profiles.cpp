#include "settings/Profiles.h"

#include <cctype>

namespace bw {

namespace {
// Stands for a key the store does not hold: no text typed or saved is a single NUL.
const std::string kAbsent(1, '\0');

std::string secretKeyOf(const std::string& host, const std::string& user) { return user + "@" + host; }
} // namespace

std::string settingsNotSaved(const WriteResult& result)
{
    return "The settings could not be saved: " + result.error + ".\nWhat was saved before is still there.";
}

const char* protocolName(Protocol protocol)
{
    switch (protocol) {
    case Protocol::ftps:
        return "ftps";
    case Protocol::sftp:
        return "sftp";
    case Protocol::ftp:
        break;
    }
    return "ftp";
}

Protocol protocolNamed(std::string_view name)
{
    // Any letter case: a hand-edited "SFTP" must not send the password in the clear.
    std::string folded(name);
    for (char& c : folded)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (Protocol p : {Protocol::ftps, Protocol::sftp})
        if (folded == protocolName(p))
            return p;
    return Protocol::ftp;
}

int usualPort(Protocol protocol) { return protocol == Protocol::sftp ? 22 : 21; }

std::optional<int> portFrom(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    if (text.empty())
        return 0;
    int port = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
        port = port * 10 + (c - '0');
        if (port > 65535)
            return std::nullopt;
    }
    if (port == 0)
        return std::nullopt;
    return port;
}

void HostProfiles::readPassword(const std::string& storeKey, const std::string& secretKey, const std::string& absent,
                                PasswordRead done)
{
    std::string kept = store_.getSetting(store::kApp, store::kMain, storeKey, kAbsent);
    if (kept != kAbsent || !secrets_.available()) {
        done(kept != kAbsent ? kept : absent, "");
        return;
    }
    secrets_.read(secretKey, [absent, done = std::move(done)](const SecretRead& read) {
        if (read.ok)
            done(read.found ? read.secret : absent, "");
        else
            done(absent, "The password could not be read from the desktop keyring: " + read.error + ".");
    });
}

void HostProfiles::writePassword(const std::string& storeKey, const std::string& secretKey,
                                 const std::string& password, Saved done)
{
    if (!done)
        done = [](const WriteResult&, const std::string&) {};
    SettingsStore* store = &store_; // outlives this object: the answer may come after it is gone
    if (!secrets_.available()) {
        done(store->saveSetting(store::kApp, store::kMain, storeKey, password), "");
        return;
    }
    secrets_.write(secretKey, password, [store, storeKey, password, done = std::move(done)](const WriteResult& kept) {
        if (kept.ok) { // the store holds no copy from now on, not even an old one
            done(store->deleteSetting(store::kApp, store::kMain, storeKey), "");
            return;
        }
        done(store->saveSetting(store::kApp, store::kMain, storeKey, password),
             "The desktop keyring did not take the password (" + kept.error +
                 ").\nIt is kept in the settings file instead, readable only by you.");
    });
}

void HostProfiles::save(const std::string& host, const HostProfile& profile, Saved done)
{
    using namespace store;
    const std::string oldUser = store_.getSetting(kApp, kMain, host + kUsername, kAbsent);
    const std::string port = std::to_string(profile.port);
    const std::pair<const char*, const char*> writes[] = {
        {kHosts, kHostName}, {kMain, kUsername}, {kMain, kPath},   {kMain, kProtocol},
        {kMain, kPort},      {kMain, kKeyFile},  {kMain, kKeepBackup}};
    const std::string values[] = {host, profile.user, profile.path, protocolName(profile.protocol),
                                  port, profile.keyFile, profile.keepBackup ? "1" : "0"};
    for (size_t i = 0; i < std::size(writes); ++i) {
        WriteResult written = store_.saveSetting(kApp, writes[i].first, host + writes[i].second, values[i]);
        if (!written.ok) {
            if (done)
                done(written, "");
            return;
        }
    }
    // A new user name leaves the old one's password behind; losing it does no harm.
    if (oldUser != kAbsent && oldUser != profile.user && secrets_.available())
        secrets_.remove(secretKeyOf(host, oldUser), {});
    writePassword(host + kPassword, secretKeyOf(host, profile.user), profile.password, std::move(done));
}

WriteResult HostProfiles::writeMarker()
{
    WriteResult written = files_.writeFile(markerPath(), "ok", "\r\n");
    if (!written.ok)
        written.error = "the marker file " + markerPath() + " cannot be written: " + written.error;
    return written;
}

bool HostProfiles::markerExists() { return files_.exists(markerPath()); }

std::vector<std::string> HostProfiles::list()
{
    if (!markerExists())
        return {};
    return stored();
}

std::vector<std::string> HostProfiles::stored()
{
    std::vector<std::string> hosts;
    for (auto& [key, value] : store_.getAllSettings(store::kApp, store::kHosts))
        hosts.push_back(std::move(value));
    return hosts;
}

HostProfile HostProfiles::settingsOf(const std::string& host)
{
    using namespace store;
    auto get = [&](const char* key) { return store_.getSetting(kApp, kMain, host + key, ""); };
    HostProfile profile;
    profile.user = get(kUsername);
    profile.path = get(kPath);
    profile.protocol = protocolNamed(get(kProtocol));
    profile.port = portFrom(get(kPort)).value_or(0);
    profile.keyFile = get(kKeyFile);
    profile.keepBackup = get(kKeepBackup) == "1";
    profile.password = get(kPassword);
    return profile;
}

void HostProfiles::load(const std::string& host, Loaded done)
{
    using namespace store;
    HostProfile profile = settingsOf(host);
    // A host never saved has nothing in the keyring: a name being typed must not ask it at
    // every key, nor unlock it.
    if (store_.getSetting(kApp, kMain, host + kUsername, kAbsent) == kAbsent) {
        done(profile, "");
        return;
    }
    readPassword(host + kPassword, secretKeyOf(host, profile.user), "",
                 [profile, done = std::move(done)](const std::string& password, const std::string& problem) mutable {
                     profile.password = password;
                     done(profile, problem);
                 });
}

void HostProfiles::remove(const std::string& host, Saved done)
{
    using namespace store;
    if (!done)
        done = [](const WriteResult&, const std::string&) {};
    // The password goes first: a host still listed after a failure can be deleted again.
    // The keyring's copy goes last, so that a host left listed still has it.
    const std::string user = store_.getSetting(kApp, kMain, host + kUsername, "");
    const std::pair<const char*, const char*> keys[] = {
        {kMain, kPassword}, {kMain, kUsername}, {kMain, kPath},       {kMain, kProtocol},
        {kMain, kPort},     {kMain, kKeyFile},  {kMain, kKeepBackup}, {kHosts, kHostName}};
    for (auto [section, key] : keys) {
        WriteResult removed = store_.deleteSetting(kApp, section, host + key);
        if (!removed.ok) {
            done(removed, "");
            return;
        }
    }
    if (!secrets_.available()) {
        done({true, {}, {}}, "");
        return;
    }
    secrets_.remove(secretKeyOf(host, user), [done = std::move(done)](const WriteResult& removed) {
        done({true, {}, {}}, removed.ok ? std::string()
                                        : "The host was deleted, but the desktop keyring still holds its password: " +
                                              removed.error + ".");
    });
}

void HostProfiles::mainPassword(const std::string& defaultValue, PasswordRead done)
{
    readPassword(store::kPassword, store::kPassword, defaultValue, std::move(done));
}

void HostProfiles::saveMainPassword(const std::string& password, Saved done)
{
    writePassword(store::kPassword, store::kPassword, password, std::move(done));
}

} // namespace bw
