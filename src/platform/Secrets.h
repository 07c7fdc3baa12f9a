#pragma once
// The desktop keyring: secrets kept by the user's session, outside the program's own files.
#include <string>

#include "platform/FileSystem.h"

namespace bw {

struct [[nodiscard]] SecretRead {
    bool ok = false;    // false: the keyring could not be asked or refused; error says why
    bool found = false; // ok, and the key holds a secret
    std::string secret;
    std::string error;
};

class SecretStore {
public:
    virtual ~SecretStore() = default;
    // True while a keyring is there to keep secrets; false: they stay in the settings file.
    virtual bool available() = 0;
    virtual SecretRead read(const std::string& key) = 0;
    // Creates or replaces the key's secret.
    virtual WriteResult write(const std::string& key, const std::string& secret) = 0;
    // A key that is not there is no failure.
    virtual WriteResult remove(const std::string& key) = 0;
};

// No keyring at all: for tools and tests that keep their passwords in the settings file.
class NoSecretStore final : public SecretStore {
public:
    bool available() override { return false; }
    SecretRead read(const std::string&) override { return {false, false, {}, "there is no keyring"}; }
    WriteResult write(const std::string&, const std::string&) override { return {false, "there is no keyring", {}}; }
    WriteResult remove(const std::string&) override { return {true, {}, {}}; }
};

inline SecretStore& noSecrets()
{
    static NoSecretStore none;
    return none;
}

} // namespace bw
