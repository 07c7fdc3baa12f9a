#include "platform/qt/QtSecrets.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFileInfo>
#include <QTimer>
#include <qt6keychain/keychain.h>

namespace bw {

namespace {
constexpr const char* kSecretService = "org.freedesktop.secrets";
}

QtSecrets::QtSecrets(QString service, int waitMs)
    : service_(std::move(service)), waitMs_(waitMs), jobs_(std::make_unique<QObject>())
{
}

QtSecrets::~QtSecrets() = default;

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

void QtSecrets::enqueue(Call call)
{
    queue_.push_back(std::move(call));
    startNext();
}

void QtSecrets::startNext()
{
    if (running_ || queue_.empty())
        return;
    running_ = true;
    Call call = std::move(queue_.front());
    queue_.pop_front();
    call([this] {
        running_ = false;
        startNext();
    });
}

void QtSecrets::start(QKeychain::Job* job, const QString& key, Then then)
{
    job->setKey(key);
    job->setAutoDelete(true);
    job->setInsecureFallback(false); // a keyring that fails must not turn into a plain file
    // The job's end and the time limit race: whichever comes first answers, and the watch
    // goes, taking the other's connection with it.
    auto* watch = new QObject(jobs_.get());
    auto answer = [watch, then = std::move(then)](const Answer& a) {
        if (watch->property("answered").toBool())
            return;
        watch->setProperty("answered", true);
        watch->deleteLater();
        then(a);
    };
    QObject::connect(job, &QKeychain::Job::finished, watch, [answer](QKeychain::Job* ended) {
        Answer a{true, ended->error(), ended->errorString().toStdString(), {}};
        if (a.code != QKeychain::NoError && a.error.empty())
            a.error = "the keyring refused (error " + std::to_string(a.code) + ")";
        if (auto* read = qobject_cast<QKeychain::ReadPasswordJob*>(ended))
            a.data = read->binaryData();
        answer(a);
    });
    QTimer::singleShot(waitMs_, watch, [answer, waitMs = waitMs_] {
        answer({false, QKeychain::OtherError,
                "the keyring gave no answer within " + std::to_string(waitMs / 1000) + " seconds", {}});
    });
    job->start();
}

void QtSecrets::read(const std::string& key, ReadDone done)
{
    enqueue([this, key = QString::fromStdString(key), done = std::move(done)](std::function<void()> next) {
        start(new QKeychain::ReadPasswordJob(service_, jobs_.get()), key, [done, next](const Answer& a) {
            next();
            SecretRead read;
            if (a.done && a.code == QKeychain::EntryNotFound)
                read = {true, false, {}, {}};
            else if (!a.done || a.code != QKeychain::NoError)
                read = {false, false, {}, a.error};
            else
                read = {true, true, a.data.toStdString(), {}};
            if (done)
                done(read);
        });
    });
}

void QtSecrets::removeThen(const QString& key, std::function<void(const WriteResult&)> then)
{
    start(new QKeychain::DeletePasswordJob(service_, jobs_.get()), key, [then](const Answer& a) {
        const bool ok = a.done && (a.code == QKeychain::NoError || a.code == QKeychain::EntryNotFound);
        then({ok, ok ? std::string() : a.error, {}});
    });
}

void QtSecrets::write(const std::string& key, const std::string& secret, WriteDone done)
{
    enqueue([this, key = QString::fromStdString(key), secret, done = std::move(done)](std::function<void()> next) {
        auto answer = [done, next](const WriteResult& result) {
            next();
            if (done)
                done(result);
        };
        // Text and bytes are filed as different items under one key, and a read finds either:
        // the old one goes first.
        removeThen(key, [this, key, secret, answer](const WriteResult& removed) {
            if (!removed.ok) {
                answer(removed);
                return;
            }
            auto* job = new QKeychain::WritePasswordJob(service_, jobs_.get());
            const QByteArray bytes = QByteArray::fromStdString(secret);
            // As text when it is text, so that the keyring's own tools show it as typed.
            if (const QString text = QString::fromUtf8(bytes); text.toUtf8() == bytes)
                job->setTextData(text);
            else
                job->setBinaryData(bytes);
            start(job, key, [answer](const Answer& a) {
                const bool ok = a.done && a.code == QKeychain::NoError;
                answer({ok, ok ? std::string() : a.error, {}});
            });
        });
    });
}

void QtSecrets::remove(const std::string& key, WriteDone done)
{
    enqueue([this, key = QString::fromStdString(key), done = std::move(done)](std::function<void()> next) {
        removeThen(key, [done, next](const WriteResult& removed) {
            next();
            if (done)
                done(removed);
        });
    });
}

} // namespace bw
