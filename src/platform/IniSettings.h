#pragma once
// The real settings store: one INI file per application in a per-user folder.
//
// Written by hand rather than through QSettings: QSettings takes "/" and "\" inside a key
// as group separators (a host called "a/b" would become a nested section), matches keys
// with letter case on Linux, hands keys back sorted instead of in store order, and can
// neither create the file private nor report why a write failed. Here any text is a key,
// the file is only ever replaced whole (mode 0600), and a damaged file is read as far as
// it can be.
#include <string>

#include "platform/Settings.h"

namespace bw {

class IniSettingsStore final : public SettingsStore {
public:
    // folder: where the files go; created (private to the user) on the first save.
    explicit IniSettingsStore(std::string folder);

    WriteResult saveSetting(const std::string& app, const std::string& section, const std::string& key,
                            const std::string& value) override;
    std::string getSetting(const std::string& app, const std::string& section, const std::string& key,
                           const std::string& defaultValue = {}) override;
    SettingPairs getAllSettings(const std::string& app, const std::string& section) override;
    WriteResult deleteSetting(const std::string& app, const std::string& section, const std::string& key) override;
    std::string folder() const override { return folder_; }

    // The file that holds an application's settings.
    std::string fileFor(const std::string& app) const;

private:
    std::string folder_;
};

} // namespace bw
