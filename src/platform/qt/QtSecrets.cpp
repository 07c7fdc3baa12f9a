#include "platform/qt/QtSecrets.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>
#include <qt6keychain/keychain.h>

namespace bw {

namespace {
constexpr const char* kSecretService = "org.freedesktop.secrets";

struct Answer {
    bool done = false;
    QKeychain::Error code = QKeychain::OtherError;
    std::string error;
    QByteArray data;
};

// Runs the job in a loop of our own, so that a keyring that never answers costs a wait,
// not the program. The job deletes itself whenever it ends.
Answer wait(QKeychain::Job* job, const QString& key, int waitMs)
{
    job->setKey(key);
    job->setAutoDelete(true);
    job->setInsecureFallback(false); // a keyring that fails must not turn into a plain file
    Answer answer;
    QEventLoop loop;
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&](QKeychain::Job* ended) {
        answer.done = true;
        answer.code = ended->error();
        answer.error = ended->errorString().toStdString();
        if (auto* read = qobject_cast<QKeychain::ReadPasswordJob*>(ended))
            answer.data = read->binaryData();
        loop.quit();
    });
    QTimer::singleShot(waitMs, &loop, &QEventLoop::quit);
    job->start();
    if (!answer.done)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!answer.done)
        answer.error = "the keyring gave no answer within " + std::to_string(waitMs / 1000) + " seconds";
    else if (answer.code != QKeychain::NoError && answer.error.empty())
        answer.error = "the keyring refused (error " + std::to_string(answer.code) + ")";
    return answer;
}
} // namespace

QtSecrets::QtSecrets(QString service, int waitMs) : service_(std::move(service)), waitMs_(waitMs) {}

bool QtSecrets::available()
{
    if (!available_) {
        // Without a session bus of its own, libdbus would start one for X11: none is running.
        const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
        const bool bus = qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS") ||
                         (!runtime.isEmpty() && QFileInfo::exists(QDir(runtime).filePath("bus")));
        QDBusConnectionInterface* names = bus ? QDBusConnection::sessionBus().interface() : nullptr;
        available_ = names && (names->isServiceRegistered(kSecretService).value() ||
                               names->activatableServiceNames().value().contains(kSecretService));
    }
    return *available_;
}

SecretRead QtSecrets::read(const std::string& key)
{
    const Answer answer = wait(new QKeychain::ReadPasswordJob(service_), QString::fromStdString(key), waitMs_);
    if (answer.done && answer.code == QKeychain::EntryNotFound)
        return {true, false, {}, {}};
    if (!answer.done || answer.code != QKeychain::NoError)
        return {false, false, {}, answer.error};
    return {true, true, answer.data.toStdString(), {}};
}

WriteResult QtSecrets::write(const std::string& key, const std::string& secret)
{
    // Text and bytes are filed as different items under one key, and a read finds either:
    // the old one goes first.
    if (WriteResult removed = remove(key); !removed.ok)
        return removed;
    auto* job = new QKeychain::WritePasswordJob(service_);
    const QByteArray bytes = QByteArray::fromStdString(secret);
    // As text when it is text, so that the keyring's own tools show it as typed.
    if (const QString text = QString::fromUtf8(bytes); text.toUtf8() == bytes)
        job->setTextData(text);
    else
        job->setBinaryData(bytes);
    const Answer answer = wait(job, QString::fromStdString(key), waitMs_);
    const bool ok = answer.done && answer.code == QKeychain::NoError;
    return {ok, ok ? std::string() : answer.error, {}};
}

WriteResult QtSecrets::remove(const std::string& key)
{
    const Answer answer = wait(new QKeychain::DeletePasswordJob(service_), QString::fromStdString(key), waitMs_);
    const bool ok = answer.done && (answer.code == QKeychain::NoError || answer.code == QKeychain::EntryNotFound);
    return {ok, ok ? std::string() : answer.error, {}};
}

} // namespace bw
