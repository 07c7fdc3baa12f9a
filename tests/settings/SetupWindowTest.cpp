// The "Ftp Setup" window and the FTP > Setup prompts, offscreen, on a store in a temp folder.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "app/qt/Windows.h"
#include "platform/IniSettings.h"
#include "support/Doubles.h"

namespace bw {
namespace {

struct SetupGui : ::testing::Test {
    test::ScriptedDialogs dialogs;
    RealFileSystem files;
    test::RecordingShell shell;
    test::TempDir dir;
    IniSettingsStore settings{dir.path("config/brindlework/")};
    std::unique_ptr<App> app;

    SetupGui() { app = std::make_unique<App>(dialogs, files, shell, settings, Version{1, 0, 6}, dir.path("ftp/")); }

    SetupWindow& window()
    {
        if (!app->setupWindow())
            app->showSetup(nullptr);
        return *app->setupWindow();
    }
    template <class T> T* child(const char* name) { return window().findChild<T*>(name); }
    void type(const char* box, const char* text)
    {
        auto* edit = child<QLineEdit>(box);
        edit->setFocus();
        edit->selectAll();
        // Key events carrying the text, so letters beyond ASCII arrive as a keyboard sends them.
        for (QChar c : QString::fromUtf8(text)) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(edit, &press);
        }
    }
    void clickRow(int row)
    {
        auto* list = child<QListWidget>("List1");
        QRect at = list->visualItemRect(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at.center());
    }
    QStringList rows()
    {
        QStringList out;
        auto* list = child<QListWidget>("List1");
        for (int i = 0; i < list->count(); ++i)
            out << list->item(i)->text();
        return out;
    }
};

TEST_F(SetupGui, SavesListsAndDeletesAfterYesOnly)
{
    EXPECT_EQ(window().windowTitle(), "Ftp Setup");
    EXPECT_EQ(child<QLineEdit>("Text4")->text().toStdString(), dir.path("ftp/"));
    type("Text1", "ftp.harbour.example");
    type("Text2", "anna");
    type("Text3", "sécret=1");
    type("Text4", "/tmp/harbour/");
    QTest::mouseClick(child<QPushButton>("Command1"), Qt::LeftButton);
    EXPECT_EQ(rows(), QStringList{"ftp.harbour.example"});
    EXPECT_EQ(settings.getSetting("bw", "brindlepad", "ftp.harbour.examplePassword"), "sécret=1");
    EXPECT_EQ(child<QLineEdit>("Text3")->echoMode(), QLineEdit::Password);

    if (const char* shots = std::getenv("BW_SCREENSHOTS"))
        window().grab().save(QString(shots) + "/ftp-setup.png");

    dialogs.answers = {Answer::No};
    clickRow(0);
    EXPECT_EQ(rows(), QStringList{"ftp.harbour.example"});
    dialogs.answers = {Answer::No};
    QTest::keyClick(child<QListWidget>("List1"), Qt::Key_Delete); // the keyboard's way to the question
    EXPECT_EQ(dialogs.shown.size(), 2u);
    dialogs.answers = {Answer::Yes};
    clickRow(0); // the same row again asks again
    EXPECT_TRUE(rows().isEmpty());
    EXPECT_TRUE(settings.getAllSettings("bw", "brindlepad\\hosts").empty());
    EXPECT_EQ(dialogs.shown.size(), 3u);

    // Back with nothing stored keeps the window open.
    QTest::mouseClick(child<QPushButton>("Command2"), Qt::LeftButton);
    EXPECT_TRUE(window().isVisible());
}

TEST_F(SetupGui, BackClosesOnceAHostIsStored)
{
    window().show();
    type("Text1", "h");
    QTest::mouseClick(child<QPushButton>("Command1"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>("Command2"), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(app->setupWindow(), nullptr);
}

TEST_F(SetupGui, EveryControlIsNamedByItsLabel)
{
    const std::pair<const char*, const char*> boxes[] = {
        {"Text1", "Host Name"}, {"Text2", "User Name"}, {"Text3", "Password"}, {"Text4", "Save files temp path:"}};
    for (auto [box, label] : boxes) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(child<QLineEdit>(box));
        EXPECT_EQ(a->text(QAccessible::Name).toStdString(), label);
    }
    for (QWidget* w : window().findChildren<QWidget*>()) {
        if (!(w->focusPolicy() & Qt::TabFocus) && !qobject_cast<QLabel*>(w))
            continue;
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        EXPECT_FALSE(a->text(QAccessible::Name).isEmpty()) << w->objectName().toStdString();
        if (auto* label = qobject_cast<QLabel*>(w)) {
            EXPECT_FALSE(a->text(QAccessible::Description).isEmpty()) << label->text().toStdString();
        }
    }
    window().show();
    EXPECT_EQ(window().minimumSize(), window().maximumSize()) << "fixed size";
}

TEST_F(SetupGui, MainWindowPromptsStoreTheirAnswers)
{
    app->window().show();
    dialogs.typed = {"ftp.site.example", std::nullopt, "Wren"};
    for (const char* item : {"url", "na", "pass"})
        app->window().findChild<QAction*>(item)->trigger();
    IniSettingsStore nextRun(dir.path("config/brindlework/"));
    EXPECT_EQ(nextRun.getSetting("bw", "brindlepad", "Url"), "ftp.site.example");
    EXPECT_EQ(nextRun.getSetting("bw", "brindlepad", "Username", "absent"), "absent");
    EXPECT_EQ(nextRun.getSetting("bw", "brindlepad", "Password"), "Wren");
}

} // namespace
} // namespace bw
