// The overview and the image view as the user sees them: rows after each step and what each
// step redraws; pictures too large to decode, and pictures no longer wanted.
#include <QListView>

#include "app/qt/PictureLoader.h"
#include "support/AppFixture.h"
#include "support/Png.h"

namespace bw {
namespace {

struct Overview : test::AppFixture<> {
    PictureLoader* pictures() { return app->window().findChild<PictureLoader*>(); }
    QString picture() { auto* view = child<QLabel>("Picture1"); return view->pixmap().isNull() ? view->text() : "(picture)"; }
};

TEST_F(Overview, RowsAfterEachStepAndOnlyTheRowsThatChangedAreRedrawn)
{
    for (const char* name : {"site/a.gif", "site/b.gif", "site/c.gif"})
        dir.write(name, test::kGif);
    const std::string page = dir.write("site/p.html", "<img src=a.gif><img src=b.gif alt=Bee><img src=c.gif alt=\"\"><img src=gone.gif>");
    dir.write("site/q.html", "<img src=a.gif>"); // "Use for every page" has a page to write to
    startApp();
    app->start({QString::fromStdString(page)});
    app->window().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&app->window()));
    auto* list = child<QListView>("OverviewList");
    auto* model = list->model();
    QStringList heard; // what the model told the view
    QObject::connect(model, &QAbstractItemModel::dataChanged, [&](const QModelIndex& at) { heard << "changed " + QString::number(at.row()); });
    QObject::connect(model, &QAbstractItemModel::rowsInserted, [&](auto, int at) { heard << "inserted " + QString::number(at); });
    QObject::connect(model, &QAbstractItemModel::rowsRemoved, [&](auto, int at) { heard << "removed " + QString::number(at); });
    QObject::connect(model, &QAbstractItemModel::modelReset, [&] { heard << "reset"; });
    auto* text1 = child<QPlainTextEdit>("Text1");
    const struct Step {
        const char* what;
        std::function<void()> step;
        QString rows, heard;
        int bold;
    } steps[] = {
        {"opened", [] {}, "a.gif\nmissing|b.gif\n\u201CBee\u201D|c.gif\ndecorative|gone.gif\nmissing", "", 0},
        {"typing redraws no row", [&] { QTest::keyClicks(text1, "Ay"); }, "a.gif\nmissing|b.gif\n\u201CBee\u201D|c.gif\ndecorative|gone.gif\nmissing", "", 0},
        {"NEXT: the row written and the two rows shown", [&] { click("Command3"); },
         "a.gif\n\u201CAy\u201D|b.gif\n\u201CBee\u201D|c.gif\ndecorative|gone.gif\nmissing", "changed 0,changed 0,changed 1", 1},
        {"Missing only keeps the image shown", [&] { tick("MissingOnly"); }, "b.gif\n\u201CBee\u201D|gone.gif\nmissing", "reset", 0},
        {"NEXT: the row left goes, the row shown comes", [&] { click("Command3"); }, "c.gif\ndecorative|gone.gif\nmissing", "removed 0,inserted 0", 0},
        {"not decorative any more", [&] { tick("Decorative"); }, "c.gif\nmissing|gone.gif\nmissing", "changed 0", 0},
        {"every image again", [&] { tick("MissingOnly"); }, "a.gif\n\u201CAy\u201D|b.gif\n\u201CBee\u201D|c.gif\nmissing|gone.gif\nmissing", "reset", 2},
        {"a click jumps", [&] { test::clickRow(list, "a.gif\n\u201CAy\u201D"); }, "a.gif\n\u201CAy\u201D|b.gif\n\u201CBee\u201D|c.gif\nmissing|gone.gif\nmissing", "changed 2,changed 0", 0},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        heard.clear();
        s.step();
        EXPECT_EQ(test::rows(list).join("|"), s.rows);
        EXPECT_EQ(heard.join(","), s.heard);
        for (int row = 0; row < model->rowCount(); ++row)
            EXPECT_EQ(model->index(row, 0).data(Qt::FontRole).value<QFont>().bold(), row == s.bold) << row;
        EXPECT_EQ(list->currentIndex().row(), s.bold);
    }
    EXPECT_EQ(QApplication::focusWidget(), text1) << "a click leaves the user in the ALT box";

    // Where the user types next, after each click: a decorative image's box is off.
    while (app->editor().siteIndexing())
        QTest::qWait(5);
    const auto press = [&](const char* button) { child<QWidget>(button)->setFocus(); QTest::keyClick(child<QWidget>(button), Qt::Key_Space); };
    const std::pair<std::function<void()>, const char*> focus[] = {
        {[&] { test::clickRow(list, "c.gif\nmissing"); tick("Decorative"); }, "Decorative"},
        {[&] { test::clickRow(list, "a.gif\n\u201CAy\u201D"); }, "Text1"},
        {[&] { test::clickRow(list, "c.gif\ndecorative"); }, "Decorative"},
        {[&] { test::clickRow(list, "a.gif\n\u201CAy\u201D"); app->window().run([&] { app->editor().siteIndexTick(); }); dialogs.answers.push_back(Answer::Yes); press("UseEverywhere"); }, "Text1"},
    };
    for (const auto& [step, control] : focus) {
        step();
        EXPECT_EQ(QApplication::focusWidget()->objectName().toStdString(), control);
    }
    EXPECT_EQ(test::readAll(dir.path("site/q.html")), "<img src=a.gif alt=\"Ay\">");
    const QModelIndex gone = model->index(3, 0);
    EXPECT_EQ(gone.data(Qt::ForegroundRole).value<QBrush>().color(), list->palette().color(QPalette::Active, QPalette::Link));
    EXPECT_EQ(gone.data(Qt::ToolTipRole).toString(), "gone.gif\nmissing");
    // Tiny pictures sit in a whole thumbnail's room, so that every name starts at one place.
    for (int row = 0; row < model->rowCount(); ++row)
        EXPECT_EQ(model->index(row, 0).data(Qt::DecorationRole).value<QIcon>().actualSize(list->iconSize()), list->iconSize()) << row;
}

// Off the GUI thread: the view waits for its picture, and takes only the one it still wants.
TEST_F(Overview, PicturesTooLargeAreNeverDecodedAndLateOnesAreDropped)
{
    struct Threaded {
        Threaded() { PictureLoader::setDecodeInline(false); }
        ~Threaded() { PictureLoader::setDecodeInline(true); }
    } threaded;
    dir.write("site/huge.png", test::png(20000, 20000, 1)); // its header says so; its pixels end at once
    dir.write("site/small.png", test::png(30, 20, 20));
    dir.write("site/other.png", test::png(20, 30, 30));
    const std::string page = dir.write("site/p.html", "<img src=huge.png><img src=small.png><img src=other.png><img src=gone.gif>");
    startApp();
    app->start({QString::fromStdString(page)});
    pictures()->settle();
    EXPECT_EQ(picture(), "This picture is too large to show: 20000 \u00D7 20000 pixels");
    EXPECT_EQ(child<QLabel>("Label5")->text(), "huge.png  20000 \u00D7 20000");
    auto* list = child<QListView>("OverviewList");
    list->model()->index(0, 0).data(Qt::DecorationRole);
    pictures()->settle();
    EXPECT_TRUE(list->model()->index(0, 0).data(Qt::ToolTipRole).toString().endsWith("\nThis picture is too large to show: 20000 \u00D7 20000 pixels"));

    auto* next = child<QPushButton>("Command3");
    next->click();
    EXPECT_EQ(picture(), "") << "not decoded yet";
    pictures()->settle();
    EXPECT_EQ(picture(), "(picture)");
    EXPECT_EQ(child<QLabel>("Label5")->text(), "small.png  30 \u00D7 20");

    // Decoded, but the user has moved on before it arrives: it is not shown.
    next->click();
    pictures()->waitForDecodes();
    next->click();
    pictures()->settle();
    EXPECT_EQ(picture(), "");
}

} // namespace
} // namespace bw
