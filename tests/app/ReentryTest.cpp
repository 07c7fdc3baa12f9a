// Every window's buttons pressed in pairs through the accessibility bus (as voice control and
// switch access press them, past any modal box) while a keyring answer or a transfer is still
// to come; the second press also from inside the first one's boxes and transfers. No handler
// may run inside another, no window may go while a handler runs, and once the keyring answers
// the program still works.
#include <future>

#include "platform/qt/Handlers.h"
#include "support/AppFixture.h"
#include "support/ScriptedFtp.h"

namespace bw {
namespace {

// Answers every box with its default or Cancel, after running `inside` as a modal box's loop
// would let it run.
struct PressingDialogs : test::ScriptedDialogs {
    std::function<void()> inside;
    int prompted = 0;
    void enter()
    {
        if (inside)
            inside();
    }
    Answer msgBox(const std::string& text, Buttons buttons, const std::string& title, Answer answer) override
    {
        enter();
        answers = {answer == Answer::Yes ? Answer::No : answer};
        return ScriptedDialogs::msgBox(text, buttons, title, answer);
    }
    void showText(const std::string&, const std::string&) override { enter(); }
    bool confirmList(const std::string&, const std::string&, const std::string&) override { return enter(), false; }
    bool showOpen(FileDialog&) override { return enter(), false; }
    bool showSave(FileDialog&) override { return enter(), false; }
    std::vector<std::string> showOpenMany(FileDialog&) override { return enter(), std::vector<std::string>{}; }
    std::optional<std::string> chooseFolder(const std::string&, const std::string&) override { return enter(), std::nullopt; }
    int choose(const std::string&, const std::string&, const std::vector<std::string>&, int, int cancel) override
    {
        return enter(), cancel;
    }
    std::optional<std::string> inputBox(const std::string&, const std::string&, const std::string&, bool) override
    {
        return enter(), ++prompted, std::nullopt;
    }
};

// Transfers that stop at their progress until the program's thread has run `inside`: presses
// that come while the transfer is under way.
struct PressingFtp : test::ScriptedFtp {
    std::function<void()> inside;
    void setProgress(Progress progress) override
    {
        ScriptedFtp::setProgress(!progress ? Progress{} : [this, progress](std::uint64_t done, std::uint64_t total) {
            if (inside) {
                auto ran = std::make_shared<std::promise<void>>();
                QMetaObject::invokeMethod(qApp, [this, ran] {
                    inside();
                    ran->set_value();
                }, Qt::QueuedConnection);
                ran->get_future().wait();
            }
            return progress(done, total);
        });
    }
};

struct Program {
    PressingDialogs dialogs;
    RealFileSystem files;
    test::RecordingShell shell;
    test::MemorySettings settings;
    test::HeldSecrets secrets;
    PressingFtp ftp;
    test::TempDir dir;
    std::unique_ptr<App> app;
    Program()
    {
        settings.folderPath = dir.path();
        app = std::make_unique<App>(dialogs, files, shell, settings, Version{1, 0, 6}, dir.path("ftp/"), &ftp, secrets);
        app->window().show();
    }
    ~Program() { secrets.release(); } // nothing is left to answer a program that has gone
    template <class T> T* child(QWidget* in, const char* name) { return in ? in->findChild<T*>(name) : nullptr; }
    void typeInto(QWidget* in, const char* name, const char* text) { QTest::keyClicks(child<QLineEdit>(in, name), text); }
    // A page open in the main window, and the main window's password asked of the keyring.
    void askPassword()
    {
        std::filesystem::copy(BW_SAMPLE_SITE, dir.path("site"), std::filesystem::copy_options::recursive);
        app->start({QString::fromStdString(dir.path("site/index.html"))});
        app->window().findChild<QAction*>("pass")->trigger();
    }
};

// The window whose buttons are pressed, with its pending work started.
using Prepare = QWidget* (*)(Program&);

QWidget* mainWindow(Program& p)
{
    p.askPassword();
    return &p.app->window();
}

QWidget* ftpSetup(Program& p)
{
    p.secrets.refusal = "locked"; // its answers are boxes, to press from
    p.app->showSetup(nullptr);
    QWidget* setup = p.app->setupWindow();
    p.typeInto(setup, "Text1", "quay.example");
    p.typeInto(setup, "Text3", "pw");
    test::press(p.child<QPushButton>(setup, "Command1")); // a keyring write, held
    return setup;
}

QWidget* ftpWindow(Program& p)
{
    p.ftp.listings["/"] = {"-rw-r--r-- 1 u g 9 Jan 01 00:00 page.html\r\n"};
    p.ftp.remote["/page.html"] = "<img src=a.gif>";
    p.app->showFtp();
    QWidget* ftp = p.app->ftpWindow();
    QTest::keyClicks(p.child<QComboBox>(ftp, "Combo1")->lineEdit(), "ftp.example");
    p.typeInto(ftp, "Text3", "pw");
    test::press(p.child<QPushButton>(ftp, "Command1"));
    test::waitForTransfers();
    test::clickRow(p.child<QListWidget>(ftp, "List3"), "page.html");
    EXPECT_TRUE(p.files.writeFile(p.dir.path("ftp/page.html"), "<img src=a.gif alt=\"sun\">").ok); // an upload to make
    // A stored host chosen: its password is asked of the keyring, and Connect waits for it.
    EXPECT_TRUE(p.settings.saveSetting("bw", "brindlepad\\hosts", "quay.exampleHostName", "quay.example").ok);
    EXPECT_TRUE(p.settings.saveSetting("bw", "brindlepad", "quay.exampleUsername", "anna").ok);
    EXPECT_TRUE(p.settings.saveSetting("bw", "brindlepad", "quay.examplepath", p.dir.path("ftp/")).ok);
    p.secrets.secrets["anna@quay.example"] = "pw";
    p.app->ftpWindow()->refillHosts({"quay.example"});
    emit p.child<QComboBox>(ftp, "Combo1")->activated(0);
    return ftp;
}

QWidget* localBatch(Program& p)
{
    p.askPassword();
    p.app->showLocalBatch();
    return p.app->batchWindow();
}

struct Row {
    const char* window;
    Prepare prepare;
    int prompts; // the main window's password prompt, opened once the keyring has answered
    const char* closer; // the button that closes the window, pressed first; "": none
};

void PrintTo(const Row& row, std::ostream* out) { *out << row.window; }

class PressedInPairs : public ::testing::TestWithParam<Row> {};

TEST_P(PressedInPairs, NothingRunsInsideAHandlerAndTheProgramStillWorks)
{
    QStringList names;
    {
        Program p;
        QWidget* window = GetParam().prepare(p);
        for (QPushButton* b : window->findChildren<QPushButton*>())
            if (b->isVisible() && b->window() == window)
                names << b->objectName();
    }
    ASSERT_GE(names.size(), 2);
    for (const QString& first : names)
        for (const QString& second : names)
            for (bool whilePending : {true, false}) { // the second press before the keyring answers, or after
                SCOPED_TRACE((first + " then " + second + (whilePending ? "" : " once answered")).toStdString());
                Program p;
                QPointer<QWidget> window = GetParam().prepare(p);
                auto button = [&](const QString& name) { return p.child<QAbstractButton>(window, name.toUtf8()); };
                bool goneInHandler = false;
                for (QWidget* w : QApplication::topLevelWidgets())
                    QObject::connect(w, &QObject::destroyed, [&goneInHandler] { goneInHandler |= handlers::running(); });
                bool pressed = false; // from inside a box or a transfer of a handler, or the answer's
                p.dialogs.inside = p.ftp.inside = [&] {
                    if (!std::exchange(pressed, true)) {
                        test::press(button(second));
                        p.secrets.release(); // the keyring's answers come in the middle too
                    }
                };
                test::press(button(first));
                for (bool pressNow : {whilePending, true}) {
                    if (pressNow && !std::exchange(pressed, true))
                        test::press(button(second));
                    test::AppFixture<>::settle();
                    p.secrets.release();
                    test::AppFixture<>::settle();
                }
                p.dialogs.inside = p.ftp.inside = {};
                EXPECT_FALSE(goneInHandler) << "a window was deleted while a handler ran";
                EXPECT_EQ(p.dialogs.prompted, GetParam().prompts);
                EXPECT_TRUE(window.isNull() || first != GetParam().closer) << "it closes, whatever is under way";
                // Still working: a host saved in "Ftp Setup" is listed once the keyring has it.
                p.secrets.refusal.clear();
                p.app->showSetup(nullptr);
                QWidget* setup = p.app->setupWindow();
                p.child<QLineEdit>(setup, "Text1")->clear();
                p.typeInto(setup, "Text1", "check.example");
                test::press(p.child<QPushButton>(setup, "Command1"));
                p.secrets.release();
                EXPECT_TRUE(test::rows(p.child<QListWidget>(setup, "List1")).contains("check.example"));
            }
}

INSTANTIATE_TEST_SUITE_P(EveryWindow, PressedInPairs,
                         ::testing::Values(Row{"main", mainWindow, 1, ""}, Row{"FtpSetup", ftpSetup, 0, "Command2"},
                                           Row{"FtpWindow", ftpWindow, 0, "Command8"},
                                           Row{"LocalBatch", localBatch, 1, "CancelButton"}),
                         [](const auto& row) { return std::string(row.param.window); });

} // namespace
} // namespace bw
