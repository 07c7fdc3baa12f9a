#include "settings/Profiles.h"

namespace bw {

std::string settingsNotSaved(const WriteResult& result)
{
    return "The settings could not be saved: " + result.error + ".\nWhat was saved before is still there.";
}

WriteResult HostProfiles::save(const std::string& host, const HostProfile& profile)
{
    using namespace store;
    const std::pair<const char*, const char*> writes[] = {
        {kHosts, kHostName}, {kMain, kUsername}, {kMain, kPassword}, {kMain, kPath}};
    const std::string* values[] = {&host, &profile.user, &profile.password, &profile.path};
    for (size_t i = 0; i < std::size(writes); ++i) {
        WriteResult written = store_.saveSetting(kApp, writes[i].first, host + writes[i].second, *values[i]);
        if (!written.ok)
            return written;
    }
    return {true, {}};
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
    return {store_.getSetting(kApp, kMain, host + kUsername, ""), store_.getSetting(kApp, kMain, host + kPassword, ""),
            store_.getSetting(kApp, kMain, host + kPath, "")};
}

WriteResult HostProfiles::remove(const std::string& host)
{
    using namespace store;
    // The password goes first: a host still listed after a failure can be deleted again.
    const std::pair<const char*, const char*> keys[] = {
        {kMain, kPassword}, {kMain, kUsername}, {kMain, kPath}, {kHosts, kHostName}};
    for (auto [section, key] : keys) {
        WriteResult removed = store_.deleteSetting(kApp, section, host + key);
        if (!removed.ok)
            return removed;
    }
    return {true, {}};
}

} // namespace bw
