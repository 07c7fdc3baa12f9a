// The local batch window in the real program, offscreen: a batch of sample pages from two
// folders walked with NEXT and "Move to next file".
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <filesystem>

#include "app/qt/Windows.h"
#include "support/AppFixture.h"
#include "support/Doubles.h"

namespace bw {
namespace {

namespace fs = std::filesystem;
using test::readAll;

struct BatchGui : test::AppFixture<> {
    BatchGui()
    {
        fs::copy(BW_SAMPLE_SITE, dir.path("site"), fs::copy_options::recursive);
        fs::copy(BW_SAMPLE_SITE, dir.path("other"), fs::copy_options::recursive);
        startApp();
        app->window().move(40, 40);
    }
    template <class T> T* main(const char* name) { return app->window().findChild<T*>(name); }
    template <class T> T* batch(const char* name) { return app->batchWindow()->findChild<T*>(name); }
    void type(const QString& text)
    {
        auto* box = main<QPlainTextEdit>("Text1");
        box->selectAll();
        QTest::keyClicks(box, text);
    }
    void click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    static std::string replaced(std::string text, const std::string& from, const std::string& to)
    {
        const size_t at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        if (at != std::string::npos)
            text.replace(at, from.size(), to);
        return text;
    }
};

TEST_F(BatchGui, PagesFromTwoFoldersEachKeepTheirOwnEdits)
{
    const std::string index = dir.path("site/index.html"), news = dir.path("other/news.html"),
                      about = dir.path("site/about.html"), products = dir.path("site/products.html");
    const std::string indexText = readAll(index), newsText = readAll(news), aboutText = readAll(about),
                      productsText = readAll(products);

    main<QAction>("l")->trigger();
    ASSERT_NE(app->batchWindow(), nullptr);
    QWidget& window = *app->batchWindow();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.windowTitle(), "Local Batch");
    EXPECT_TRUE(window.screen()->availableGeometry().contains(window.frameGeometry())) << "wholly on the screen";
    main<QAction>("l")->trigger();
    EXPECT_EQ(app->window().findChildren<BatchWindow*>().size(), 1);

    // One dialog picks two pages, a second one more.
    dialogs.chosenMany = {{index, news}, {about}};
    click(batch<QPushButton>("Command1"));
    click(batch<QPushButton>("Command1"));
    auto* list = batch<QListWidget>("List1");
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->item(1)->text().toStdString(), news);

    // Every control says what it is.
    for (QWidget* widget : window.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (!widget->isVisible() || widget->objectName().isEmpty())
            continue;
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
        ASSERT_NE(accessible, nullptr);
        EXPECT_FALSE(accessible->text(QAccessible::Name).isEmpty()) << widget->objectName().toStdString();
    }
    EXPECT_EQ(QAccessible::queryAccessibleInterface(list)->text(QAccessible::Name), "Files");
    for (const char* name : {"Command1", "OKButton", "CancelButton", "Label1"})
        EXPECT_NE(batch<QWidget>(name), nullptr) << name;
    if (const char* shots = std::getenv("BW_SCREENSHOTS"))
        window.grab().save(QString(shots) + "/local-batch.png");

    click(batch<QPushButton>("OKButton"));
    QApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(app->batchWindow(), nullptr);
    EXPECT_EQ(main<QLabel>("Label3")->text(), "1 / 3");
    EXPECT_TRUE(main<QPushButton>("Command7")->isVisible());
    EXPECT_EQ(main<QLabel>("Label1")->text(), "Image 1 of 4");
    EXPECT_EQ(main<QPlainTextEdit>("Text1")->toPlainText(), "BRINDLEWORK logo");

    type("Logo one");
    click(main<QPushButton>("Command3"));
    click(main<QPushButton>("Command7"));
    EXPECT_EQ(main<QLabel>("Label3")->text(), "2 / 3");
    EXPECT_EQ(main<QLabel>("Label1")->text(), "Image 1 of 3"); // after the page's background
    EXPECT_FALSE(main<QLabel>("Picture1")->pixmap().isNull());
    EXPECT_EQ(app->form().Picture1.Picture, dir.path("other/chart.gif"));

    type("A chart");
    click(main<QPushButton>("Command3"));
    click(main<QPushButton>("Command7"));
    EXPECT_EQ(main<QLabel>("Label3")->text(), "3 / 3");
    type("Our logo");
    dialogs.answers = {Answer::Yes};
    click(main<QPushButton>("Command4")); // kept: Exit leaves it
    click(main<QPushButton>("Command7"));
    EXPECT_EQ(main<QLabel>("Label3")->text(), "3 / 3");
    main<QAction>("e")->trigger();

    EXPECT_EQ(readAll(index), replaced(indexText, "ALT=\"BRINDLEWORK logo\"", "ALT=\"Logo one\""));
    EXPECT_EQ(readAll(news), replaced(newsText, "SRC=\"chart.gif\"", "SRC=\"chart.gif\" ALT=\"A chart\""));
    EXPECT_EQ(readAll(about), replaced(aboutText, "SRC=\"logo.gif\"", "SRC=\"logo.gif\" ALT=\"Our logo\""));
    EXPECT_EQ(readAll(products), productsText);
    EXPECT_EQ(readAll(dir.path("other/index.html")), indexText);
    EXPECT_EQ(readAll(dir.path("site/news.html")), newsText);
}

TEST_F(BatchGui, CancelAndTheCloseBoxDiscardTheChoice)
{
    for (bool closeBox : {false, true}) {
        SCOPED_TRACE(closeBox);
        main<QAction>("l")->trigger();
        dialogs.chosenMany = {{dir.path("site/index.html")}};
        click(batch<QPushButton>("Command1"));
        if (closeBox)
            app->batchWindow()->close();
        else
            click(batch<QPushButton>("CancelButton"));
        QApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(app->batchWindow(), nullptr);
        EXPECT_FALSE(app->form().pageOpen());
        EXPECT_FALSE(main<QPushButton>("Command7")->isVisible());
    }
    // Opened again, it starts empty.
    main<QAction>("l")->trigger();
    EXPECT_EQ(batch<QListWidget>("List1")->count(), 0);
}

} // namespace
} // namespace bw
