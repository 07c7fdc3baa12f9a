#pragma once
// The desktop keyring through QtKeychain: the freedesktop Secret Service (GNOME Keyring,
// KeePassXC, KWallet's) on the session bus.
#include <QObject>
#include <QString>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

#include "platform/Secrets.h"

namespace QKeychain {
class Job;
}

namespace bw {

// Starts each keyring job and returns; the answer comes from the event loop when the job
// ends, or when it took too long. One call runs at a time, in the order they were made, so
// that a read never overtakes a write of the same key.
class QtSecrets final : public SecretStore {
public:
    // service: the name the keyring files the secrets under. waitMs: how long one answer may
    // take; a keyring that asks the user to unlock it needs a while.
    explicit QtSecrets(QString service, int waitMs = 60000);
    ~QtSecrets() override;

    // A Secret Service is running, or the bus can start one. Asked once.
    bool available() override;
    void read(const std::string& key, ReadDone done) override;
    void write(const std::string& key, const std::string& secret, WriteDone done) override;
    void remove(const std::string& key, WriteDone done) override;

private:
    struct Answer {
        bool done = false; // false: no answer in time
        int code = 0;      // QKeychain::Error
        std::string error;
        QByteArray data;
    };
    using Then = std::function<void(const Answer&)>;
    // A call: starts its jobs, and calls `next` once it has answered.
    using Call = std::function<void(std::function<void()> next)>;
    void enqueue(Call call);
    void startNext();
    // Starts the job; `then` gets its answer exactly once, unless this object goes first.
    void start(QKeychain::Job* job, const QString& key, Then then);
    void removeThen(const QString& key, std::function<void(const WriteResult&)> then);

    QString service_;
    int waitMs_;
    std::optional<bool> available_;
    std::deque<Call> queue_;
    bool running_ = false;
    // Owns the running jobs and their answers' connections: none answers once this is gone.
    std::unique_ptr<QObject> jobs_;
};

} // namespace bw
