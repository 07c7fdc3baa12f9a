// Passwords in a real GNOME Keyring, in the private session tests/support/private_keyring.sh
// starts: the keyring holds them, the settings file does not; a locked one leaves them there.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusInterface>
#include <optional>

#include "platform/IniSettings.h"
#include "platform/qt/QtSecrets.h"
#include "settings/Profiles.h"
#include "support/Doubles.h"

namespace bw {
namespace {

// The answer to `call`, waited for in the test's own event loop (the keyring's job runs there).
template <class Result, class... Told, class Call> std::pair<Result, std::string> awaited(Call call)
{
    std::optional<std::pair<Result, std::string>> answer;
    call([&](const Result& result, const Told&... problem) { answer.emplace(result, (std::string(problem) + ... + "")); });
    while (!answer)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return *answer;
}

TEST(Keyring, HoldsThePasswordsAndTheSettingsFileNone)
{
    if (const char* missing = std::getenv("BW_KEYRING_MISSING"))
        GTEST_SKIP() << "not installed: " << missing << " (Debian packages dbus and gnome-keyring)";
    ASSERT_TRUE(std::getenv("BW_PRIVATE_KEYRING")) << "run through tests/support/private_keyring.sh, never on the user's keyring";
    char name[] = "keyring_tests", *argv[] = {name};
    int argc = 1;
    QCoreApplication app(argc, argv); // the keyring's answers arrive through its event loop
    test::TempDir dir;
    IniSettingsStore settings(dir.path("config/"));
    RealFileSystem files;
    QtSecrets keyring(store::kKeyringService, 20000), fresh(store::kKeyringService);
    HostProfiles profiles(settings, files, keyring);
    ASSERT_TRUE(keyring.available());
    ASSERT_TRUE(settings.saveSetting("bw", "brindlepad", "quay.exampleUsername", "anna").ok);
    ASSERT_TRUE(settings.saveSetting("bw", "brindlepad", "quay.examplePassword", "kept the old way").ok);
    using Saved = std::pair<WriteResult, std::string>;
    auto save = [&](const HostProfile& p) { return awaited<WriteResult, std::string>([&](auto done) { profiles.save("quay.example", p, done); }); };
    auto secret = [&](const char* key) { return awaited<SecretRead>([&](auto done) { fresh.read(key, done); }).first; };
    HostProfile profile =
        awaited<HostProfile, std::string>([&](auto done) { profiles.load("quay.example", done); }).first;
    for (const char* password : {"s3cret w\xc3\xb6rd=;#", "\xff\x01 bytes"}) {
        profile.password = password;
        ASSERT_TRUE(save(profile).first.ok);
        std::ifstream file(settings.fileFor("bw"), std::ios::binary);
        const std::string ini((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        EXPECT_TRUE(ini.find("Password") == std::string::npos && ini.find(password) == std::string::npos) << ini;
        EXPECT_EQ(secret("anna@quay.example").secret, password);
    }
    ASSERT_TRUE((awaited<WriteResult, std::string>([&](auto done) { profiles.remove("quay.example", done); }).first.ok));
    EXPECT_FALSE(secret("anna@quay.example").found);
    // Locked, with no one to unlock it: the settings file keeps the password, and says so.
    QDBusInterface service("org.freedesktop.secrets", "/org/freedesktop/secrets", "org.freedesktop.Secret.Service");
    const QList<QDBusObjectPath> login{QDBusObjectPath("/org/freedesktop/secrets/collection/login")};
    ASSERT_EQ(service.call("Lock", QVariant::fromValue(login)).type(), QDBusMessage::ReplyMessage);
    const Saved locked = save(profile);
    ASSERT_TRUE(locked.first.ok);
    EXPECT_NE(locked.second.find("settings file"), std::string::npos) << locked.second;
    HostProfiles again(settings, files, keyring);
    const auto reread = awaited<HostProfile, std::string>([&](auto done) { again.load("quay.example", done); });
    EXPECT_EQ(reread.first.password, profile.password);
}

} // namespace
} // namespace bw
