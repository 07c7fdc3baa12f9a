// The "Ftp Setup" window, offscreen, driven as a user would.

#include <QAccessible>
#include <QCheckBox>

#include "support/AppFixture.h"

namespace bw {
namespace {

using SetupGui = test::AppFixture<>;

TEST_F(SetupGui, FtpSetupWalk)
{
    startApp();
    app->showSetup(nullptr);
    SetupWindow& window = *app->setupWindow();
    auto box = [&](const char* name) { return window.findChild<QLineEdit*>(name); };
    auto press = [&](const char* name) { QTest::mouseClick(window.findChild<QPushButton*>(name), Qt::LeftButton); };
    auto* list = window.findChild<QListWidget*>("List1");
    press("Command2"); // Back with no host stored
    EXPECT_TRUE(window.isVisible());

    for (auto [name, text] : {std::pair{"Text1", "ftp.harbour.example"}, {"Text2", "anna"}, {"Text3", "s3cret=1"}}) {
        box(name)->selectAll();
        QTest::keyClicks(box(name), text);
    }
    EXPECT_FALSE(box("Text3")->displayText().contains("cret")) << "the password is shown as typed";
    press("Command1");
    EXPECT_EQ(test::rows(list), QStringList{"ftp.harbour.example"});

    // A click on the host, Delete on it, or the same click again: each asks, and only Yes deletes.
    struct Ask {
        std::function<void()> act;
        Answer answer;
        QStringList left;
    } asks[] = {
        {[&] { test::clickRow(list, "ftp.harbour.example"); }, Answer::No, {"ftp.harbour.example"}},
        {[&] { QTest::keyClick(list, Qt::Key_Delete); }, Answer::No, {"ftp.harbour.example"}},
        {[&] { test::clickRow(list, "ftp.harbour.example"); }, Answer::Yes, {}},
    };
    for (const Ask& ask : asks) {
        SCOPED_TRACE(&ask - asks);
        dialogs.shown.clear();
        dialogs.answers = {ask.answer};
        ask.act();
        ASSERT_EQ(dialogs.shown.size(), 1u);
        EXPECT_EQ(dialogs.shown[0].text + "|" + dialogs.shown[0].title, "Do you want to delete this ftp ?|BRINDLEWORK");
        EXPECT_EQ(dialogs.shown[0].defaultAnswer, Answer::No);
        EXPECT_EQ(test::rows(list), ask.left);
    }

    // Back closes once a host is stored.
    QTest::keyClicks(box("Text1"), "h");
    press("Command1");
    press("Command2");
    settle();
    EXPECT_EQ(app->setupWindow(), nullptr);
}

TEST_F(SetupGui, BoxesAreNamedByTheirLabelsAndAStoredHostFillsThemAll)
{
    secrets.running = false;
    startApp();
    HostProfiles profiles(settings, files, secrets);
    const HostProfile stored{"anna", "pw", "/t/", Protocol::sftp, 2222, "/home/anna/.ssh/id_ed25519", true};
    ASSERT_TRUE(test::saved(profiles, "sftp.quay.example", stored).result.ok && profiles.writeMarker().ok);
    app->showSetup(nullptr);
    SetupWindow& window = *app->setupWindow();
    auto* combo = window.findChild<QComboBox*>("Combo1");
    auto* check = window.findChild<QCheckBox*>("Check1");
    int named = 0;
    for (const QLabel* label : window.findChildren<QLabel*>()) {
        EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().toStdString();
        named += label->buddy() != nullptr;
        // As a screen reader has it: Qt's own combo box would give its text, not its label.
        const QWidget* reader = label->buddy() ? label->buddy() : label;
        EXPECT_EQ(QAccessible::queryAccessibleInterface(const_cast<QWidget*>(reader))->text(QAccessible::Name).toStdString(), label->text().toStdString());
    }
    EXPECT_EQ(named, 7);
    const QString where = window.findChild<QLabel*>("Label8")->text();
    EXPECT_TRUE(where.contains("No desktop keyring") && where.contains("readable only by you")) << where.toStdString();
    EXPECT_TRUE(window.screen()->availableGeometry().contains(window.frameGeometry()));

    dialogs.answers = {Answer::No};
    test::clickRow(window.findChild<QListWidget*>("List1"), "sftp.quay.example");
    QStringList shown;
    for (const char* name : {"Text1", "Text2", "Text3", "Text4", "Text5", "Text6"})
        shown << window.findChild<QLineEdit*>(name)->text();
    EXPECT_EQ(shown, (QStringList{"sftp.quay.example", "anna", "pw", "/t/", "2222", "/home/anna/.ssh/id_ed25519"}));
    EXPECT_EQ(combo->currentText() + (check->isChecked() ? " kept" : ""), "SFTP kept");
    // Back to FTP with no backup, by keyboard and mouse: the key file goes grey and the profile follows.
    QTest::keyClick(combo, Qt::Key_Home);
    QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(4, check->height() / 2));
    EXPECT_FALSE(window.findChild<QLineEdit*>("Text6")->isEnabled());
    QTest::mouseClick(window.findChild<QPushButton*>("Command1"), Qt::LeftButton);
    EXPECT_EQ(test::loaded(profiles, "sftp.quay.example").result,
              (HostProfile{"anna", "pw", "/t/", Protocol::ftp, 2222, "/home/anna/.ssh/id_ed25519", false}));
}

} // namespace
} // namespace bw
