#pragma once
// The whole program's windows on doubles: real files in a temp folder, settings in memory,
// scripted message boxes (or real ones, answered by the test).
#include <gtest/gtest.h>

#include <QAbstractEventDispatcher>
#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <memory>

#include "app/qt/Windows.h"
#include "platform/qt/Handlers.h"
#include "platform/qt/QtPlatform.h"
#include "support/Doubles.h"

namespace bw::test {

inline QStringList rows(const QAbstractItemView* list)
{
    QStringList out;
    for (int i = 0; i < list->model()->rowCount(); ++i)
        out << list->model()->index(i, 0).data().toString();
    return out;
}
// Presses the button through its accessibility action, as voice control and switch access do
// (past any modal box), then runs the events until the click has come. The action animates the
// click on a timer of the button's; its time is not waited.
inline void press(QAbstractButton* button)
{
    if (!button || !button->isEnabled() || !button->isVisible())
        return;
    QEventLoop loop;
    QObject::connect(button, &QAbstractButton::clicked, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    QObject::connect(button, &QObject::destroyed, &loop, &QEventLoop::quit);
    QAccessible::queryAccessibleInterface(button)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    for (const auto& timer : QAbstractEventDispatcher::instance()->registeredTimers(button))
        QCoreApplication::postEvent(button, new QTimerEvent(timer.timerId));
    loop.exec();
}

// Runs the events until no transfer is still to answer: each answer wakes the loop.
inline void waitForTransfers()
{
    while (handlers::held())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}
// Clicks the row, and lets what it started end.
inline void clickRow(QAbstractItemView* list, const QString& text)
{
    const auto found = list->model()->match(list->model()->index(0, 0), Qt::DisplayRole, text, -1, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << text.toStdString();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(found[0]).center());
    waitForTransfers();
}

template <class Boxes = ScriptedDialogs> struct AppFixture : ::testing::Test {
    Boxes dialogs;
    RealFileSystem files;
    RecordingShell shell;
    MemorySettings settings;
    MemorySecrets secrets;
    TempDir dir;
    std::unique_ptr<App> app;

    void startApp(FtpClient* ftp = nullptr)
    {
        settings.folderPath = dir.path(); // the marker file lands in the test's folder
        app = std::make_unique<App>(dialogs, files, shell, settings, Version{1, 0, 6}, dir.path("ftp/"), ftp, secrets);
        app->window().show();
    }
    template <class T> T* child(const char* name) { return app->window().findChild<T*>(name); }
    void click(const char* button) { QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton); }
    // A click on a check box's box itself, where the user clicks.
    void tick(const char* name) { QTest::mouseClick(child<QCheckBox>(name), Qt::LeftButton, {}, QPoint(8, child<QWidget>(name)->height() / 2)); }
    // Lets the transfers end, and deletes what closed windows left to be deleted later.
    static void settle()
    {
        waitForTransfers();
        QApplication::processEvents();
        waitForTransfers();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

} // namespace bw::test
