// The "Ftp Setup" window, offscreen, driven as a user would.

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

} // namespace
} // namespace bw
