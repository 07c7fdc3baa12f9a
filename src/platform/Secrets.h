#pragma once
// The desktop keyring: secrets kept by the user's session, outside the program's own files.
// A keyring may take a while to answer (it may ask the user to unlock it), so every call
// answers through a callback: at once, or later from the program's event loop.
#include <functional>
#include <memory>
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
    using ReadDone = std::function<void(const SecretRead&)>;
    using WriteDone = std::function<void(const WriteResult&)>;

    virtual ~SecretStore() = default;
    // True while a keyring is there to keep secrets; false: they stay in the settings file.
    virtual bool available() = 0;
    // Each call answers exactly once, through `done` (which may be empty), unless the store
    // is destroyed first. Calls are answered in the order they were made.
    virtual void read(const std::string& key, ReadDone done) = 0;
    // Creates or replaces the key's secret.
    virtual void write(const std::string& key, const std::string& secret, WriteDone done) = 0;
    // A key that is not there is no failure.
    virtual void remove(const std::string& key, WriteDone done) = 0;
};

// No keyring at all: for tools and tests that keep their passwords in the settings file.
class NoSecretStore final : public SecretStore {
public:
    bool available() override { return false; }
    void read(const std::string&, ReadDone done) override { answer(done, SecretRead{false, false, {}, "there is no keyring"}); }
    void write(const std::string&, const std::string&, WriteDone done) override
    {
        answer(done, WriteResult{false, "there is no keyring", {}});
    }
    void remove(const std::string&, WriteDone done) override { answer(done, WriteResult{true, {}, {}}); }

private:
    template <class Done, class Result> static void answer(const Done& done, const Result& result)
    {
        if (done)
            done(result);
    }
};

inline SecretStore& noSecrets()
{
    static NoSecretStore none;
    return none;
}

// Ends with its owner: a callback made through guard() does nothing once the owner is gone,
// so that work still under way when a window closes finds nothing of it to touch.
class Lifetime {
public:
    Lifetime() = default;
    Lifetime(const Lifetime&) = delete;
    Lifetime& operator=(const Lifetime&) = delete;

    template <class F> auto guard(F f) const
    {
        return [alive = std::weak_ptr<const bool>(alive_), f = std::move(f)](auto&&... args) mutable {
            if (alive.lock())
                f(std::forward<decltype(args)>(args)...);
        };
    }

private:
    std::shared_ptr<const bool> alive_ = std::make_shared<const bool>(true);
};

} // namespace bw
