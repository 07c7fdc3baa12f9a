#pragma once
// The desktop keyring through QtKeychain: the freedesktop Secret Service (GNOME Keyring,
// KeePassXC, KWallet's) on the session bus.
#include <QString>
#include <optional>

#include "platform/Secrets.h"

namespace bw {

class QtSecrets final : public SecretStore {
public:
    // service: the name the keyring files the secrets under. waitMs: how long one answer may
    // take; a keyring that asks the user to unlock it needs a while.
    explicit QtSecrets(QString service, int waitMs = 60000);

    // A Secret Service is running, or the bus can start one. Asked once.
    bool available() override;
    SecretRead read(const std::string& key) override;
    WriteResult write(const std::string& key, const std::string& secret) override;
    WriteResult remove(const std::string& key) override;

private:
    QString service_;
    int waitMs_;
    std::optional<bool> available_;
};

} // namespace bw
