#pragma once
// The per-user settings store: string values addressed by application, section and key.
// Sections nest with "\" ("brindlepad\hosts" lies below "brindlepad"); listing a section
// never lists the entries of the sections below it. Keys are matched without regard to
// letter case; values come back exactly as they were saved.
#include <string>
#include <utility>
#include <vector>

#include "platform/FileSystem.h"

namespace bw {

using SettingPairs = std::vector<std::pair<std::string, std::string>>;

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // Creates section and key as needed; replaces an existing value.
    virtual WriteResult saveSetting(const std::string& app, const std::string& section, const std::string& key,
                                    const std::string& value) = 0;
    // The stored value, or defaultValue when the key or its section is missing.
    virtual std::string getSetting(const std::string& app, const std::string& section, const std::string& key,
                                   const std::string& defaultValue = {}) = 0;
    // The section's (key, value) pairs in store order; none when it is missing or empty.
    virtual SettingPairs getAllSettings(const std::string& app, const std::string& section) = 0;
    // Removes the key; a key that is not there is no failure.
    virtual WriteResult deleteSetting(const std::string& app, const std::string& section, const std::string& key) = 0;
    // The folder the store keeps its files in, ending in "/"; the marker file lives there.
    virtual std::string folder() const = 0;
};

} // namespace bw
