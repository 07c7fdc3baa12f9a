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

std::string HostProfiles::readPassword(const std::string& storeKey, const std::string& secretKey,
                                       const std::string& absent)
{
    problem_.clear();
    std::string kept = store_.getSetting(store::kApp, store::kMain, storeKey, kAbsent);
    if (kept != kAbsent || !secrets_.available())
        return kept != kAbsent ? kept : absent;
    SecretRead read = secrets_.read(secretKey);
    if (read.ok)
        return read.found ? read.secret : absent;
    problem_ = "The password could not be read from the desktop keyring: " + read.error + ".";
    return absent;
}

WriteResult HostProfiles::writePassword(const std::string& storeKey, const std::string& secretKey,
                                        const std::string& password)
{
    problem_.clear();
    if (secrets_.available()) {
        WriteResult kept = secrets_.write(secretKey, password);
        if (kept.ok) // the store holds no copy from now on, not even an old one
            return store_.deleteSetting(store::kApp, store::kMain, storeKey);
        problem_ = "The desktop keyring did not take the password (" + kept.error +
                   ").\nIt is kept in the settings file instead, readable only by you.";
    }
    return store_.saveSetting(store::kApp, store::kMain, storeKey, password);
}

WriteResult HostProfiles::save(const std::string& host, const HostProfile& profile)
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
        if (!written.ok)
            return written;
    }
    // A new user name leaves the old one's password behind; losing it does no harm.
    if (oldUser != kAbsent && oldUser != profile.user && secrets_.available())
        (void)secrets_.remove(secretKeyOf(host, oldUser));
    return writePassword(host + kPassword, secretKeyOf(host, profile.user), profile.password);
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

HostProfile HostProfiles::load(const std::string& host)
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
    // A host never saved has nothing in the keyring: a name being typed must not ask it at
    // every key, nor unlock it.
    if (store_.getSetting(kApp, kMain, host + kUsername, kAbsent) == kAbsent) {
        problem_.clear();
        profile.password = get(kPassword);
    } else {
        profile.password = readPassword(host + kPassword, secretKeyOf(host, profile.user), "");
    }
    return profile;
}

WriteResult HostProfiles::remove(const std::string& host)
{
    using namespace store;
    // The password goes first: a host still listed after a failure can be deleted again.
    // The keyring's copy goes last, so that a host left listed still has it.
    problem_.clear();
    const std::string user = store_.getSetting(kApp, kMain, host + kUsername, "");
    const std::pair<const char*, const char*> keys[] = {
        {kMain, kPassword}, {kMain, kUsername}, {kMain, kPath},       {kMain, kProtocol},
        {kMain, kPort},     {kMain, kKeyFile},  {kMain, kKeepBackup}, {kHosts, kHostName}};
    for (auto [section, key] : keys) {
        WriteResult removed = store_.deleteSetting(kApp, section, host + key);
        if (!removed.ok)
            return removed;
    }
    if (secrets_.available()) {
        WriteResult removed = secrets_.remove(secretKeyOf(host, user));
        if (!removed.ok)
            problem_ = "The host was deleted, but the desktop keyring still holds its password: " + removed.error + ".";
    }
    return {true, {}, {}};
}

std::string HostProfiles::mainPassword(const std::string& defaultValue)
{
    return readPassword(store::kPassword, store::kPassword, defaultValue);
}

WriteResult HostProfiles::saveMainPassword(const std::string& password)
{
    return writePassword(store::kPassword, store::kPassword, password);
}

} // namespace bw
