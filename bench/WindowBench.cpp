// The main window against the core on one large page, side by side in one run: opening it to
// the first picture painted, NEXT, a bare start, and a huge picture against a small one. NEXT
// and the overview's jump run without a reader of the text in pictures (/0), with one that
// works 100 ms on each picture (/1), and with this build's (/2).
//
//   QT_QPA_PLATFORM=offscreen build/window_bench
//   build/window_bench --benchmark_filter='Picture/0'   (peak memory: one row a run)
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <fstream>
#include <memory>
#include <spawn.h>
#include <sys/wait.h>

#include "app/qt/Windows.h"
#include "platform/PictureReader.h"
#include "support/Doubles.h"
#include "support/Png.h"

extern char** environ;

namespace {

using namespace bw;

// About `bytes` of page with `tags` image tags as pages are written today, each naming a
// picture of its own (bytes of its own) that is there; every fourth has an ALT.
struct Site {
    test::TempDir dir;
    std::string page;
    Site(size_t bytes, int tags)
    {
        std::string text = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>Large page</title></head><body>\n";
        const std::string paragraph = "<p>Brindlework writes alternative texts into image tags, so that people who use screen "
                                      "readers hear what each picture shows. Filler text of an ordinary page.</p>\n";
        const std::string picture = test::png(16, 16, 16);
        for (int n = 0; n < tags; ++n) {
            const std::string name = "images/p" + std::to_string(n) + ".png";
            dir.write(name, picture + std::to_string(n)); // after the picture's end: read as the same
            text += "<figure><img src=\"" + name + "\"" + (n % 4 ? "" : " alt=\"Picture " + std::to_string(n) + "\"") +
                    " width=\"120\" height=\"80\" loading=\"lazy\"></figure>\n";
            while (text.size() < bytes / static_cast<size_t>(tags) * static_cast<size_t>(n + 1))
                text += paragraph;
        }
        page = dir.write("large.html", text + "</body></html>\n");
    }
};

Site& largeSite()
{
    static Site site(10 << 20, 10000);
    return site;
}

// 100,000 rows for the overview.
Site& hugeSite()
{
    static Site site(30 << 20, 100000);
    return site;
}

struct Doubles {
    test::ScriptedDialogs dialogs;
    RealFileSystem files;
    test::RecordingShell shell;
    test::FakeHost host;
    test::MemorySettings settings;
    Doubles() { dialogs.answerer = [] { return Answer::Yes; }; }
    std::unique_ptr<App> app() { return std::make_unique<App>(dialogs, files, shell, settings, Version{1, 0, 0}, "/tmp/"); }
};

// Works on each picture as a reader of text does: 100 ms of one core, until cancelled.
class BusyReader final : public PictureReader {
public:
    std::string unavailable() const override { return {}; }
    Result read(std::string_view, const std::atomic<bool>* cancel) override
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
        while (std::chrono::steady_clock::now() < end && !(cancel && *cancel)) {
        }
        return {Outcome::Text, "Open daily", 90, {}};
    }
};

void readPictures(App& app, int64_t reader)
{
    if (reader == 0)
        app.editor().readPicturesWith(nullptr);
    else if (reader == 1)
        app.editor().readPicturesWith([] { return std::make_unique<BusyReader>(); });
}

// Each NEXT writes a text the page has not had yet, whichever benchmark ran before.
std::string newAlt()
{
    static int n = 0;
    return "Alt text " + std::to_string(n++);
}

double peakMegabytes()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024;
    return 0;
}

// Events are handled until the image view shows the picture, or says why it cannot, and the
// window is painted.
void firstPaint(App& app)
{
    auto* view = app.window().findChild<QLabel*>("Picture1");
    while (view->pixmap().isNull() && view->text().isEmpty())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    app.window().repaint();
}

void openIn(benchmark::State& state, const std::string& page)
{
    Doubles doubles;
    for (auto _ : state) {
        auto app = doubles.app();
        app->start({QString::fromStdString(page)});
        firstPaint(*app);
        state.PauseTiming();
        app.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.ResumeTiming();
    }
    state.counters["peak_MB"] = peakMegabytes();
}

// A fresh editor each time, as the window is made anew: its site index, started at the
// open, is stopped outside the timing in both.
void BM_CoreOpen(benchmark::State& state, Site& (*site)())
{
    Doubles doubles;
    const std::string& page = site().page;
    for (auto _ : state) {
        state.PauseTiming();
        auto form = std::make_unique<EditorSession>(Platform{doubles.dialogs, doubles.files, doubles.shell, doubles.host, doubles.settings},
                                            Version{1, 0, 0});
        form->load();
        state.ResumeTiming();
        form->openPath(page);
        state.PauseTiming();
        form.reset();
        state.ResumeTiming();
    }
}

// The real window, made anew each time: the page opened to its first picture painted.
void BM_WindowOpen(benchmark::State& state, Site& (*site)()) { openIn(state, site().page); }

// A row near the end of the overview chosen, to its picture painted.
void BM_WindowJumpToEnd(benchmark::State& state, Site& (*site)())
{
    Doubles doubles;
    auto app = doubles.app();
    readPictures(*app, state.range(0));
    app->start({QString::fromStdString(site().page)});
    firstPaint(*app);
    int image = app->editor().imageCount() - 1;
    for (auto _ : state) {
        app->window().run([&] { app->editor().jumpTo(image); });
        image = image == app->editor().imageCount() - 1 ? image - 1 : image + 1;
        app->window().refresh();
        firstPaint(*app);
    }
}

// An empty main window in the running program, shown and painted.
void BM_BareWindow(benchmark::State& state)
{
    for (auto _ : state) {
        QMainWindow window;
        window.show();
        window.repaint();
    }
}

// A program of its own that makes its QApplication and an empty main window, shows and paints it.
void BM_BareStart(benchmark::State& state)
{
    char bare[] = "--bare", self[] = "/proc/self/exe";
    char* arguments[] = {self, bare, nullptr};
    for (auto _ : state) {
        pid_t child = 0;
        int status = 0;
        if (posix_spawn(&child, self, nullptr, nullptr, arguments, environ) != 0 || waitpid(child, &status, 0) != child)
            state.SkipWithError("the bare program did not run");
    }
}

void BM_CoreNext(benchmark::State& state)
{
    Doubles doubles;
    EditorSession form{Platform{doubles.dialogs, doubles.files, doubles.shell, doubles.host, doubles.settings}, Version{1, 0, 0}};
    form.load();
    form.openPath(largeSite().page);
    for (auto _ : state) {
        form.typeAlt(newAlt());
        form.shownIndex() + 1 < form.imageCount() ? form.next() : form.back();
    }
}

// Typed into the box, NEXT pressed, until the next picture is painted.
void BM_WindowNext(benchmark::State& state)
{
    Doubles doubles;
    auto app = doubles.app();
    readPictures(*app, state.range(0));
    app->start({QString::fromStdString(largeSite().page)});
    firstPaint(*app);
    auto* box = app->window().findChild<QPlainTextEdit*>("Text1");
    auto* next = app->window().findChild<QPushButton*>("Command3");
    auto* back = app->window().findChild<QPushButton*>("Command5");
    for (auto _ : state) {
        box->setPlainText(QString::fromStdString(newAlt()));
        (app->editor().shownIndex() + 1 < app->editor().imageCount() ? next : back)->click();
        firstPaint(*app);
    }
}

// One key typed into a box that holds 100,000 characters, as after a paste, and the box
// painted; the next key takes it out again. Qt lays the whole paragraph out anew for each key.
void BM_WindowTypeInLongText(benchmark::State& state)
{
    Doubles doubles;
    auto app = doubles.app();
    app->start({QString::fromStdString(largeSite().page)});
    firstPaint(*app);
    auto* box = app->window().findChild<QPlainTextEdit*>("Text1");
    box->setFocus();
    box->setPlainText(QString(100000 / 10, QChar('x')).replace("x", "word word "));
    box->moveCursor(QTextCursor::End);
    box->repaint();
    bool typed = false;
    for (auto _ : state) {
        QKeyEvent press(QEvent::KeyPress, typed ? Qt::Key_Backspace : Qt::Key_A, Qt::NoModifier, typed ? "" : "a");
        QCoreApplication::sendEvent(box, &press);
        typed = !typed;
        QCoreApplication::processEvents(); // the box laid out and painted where it changed, as a key in use is
        box->repaint();
    }
}

// A page naming one 20000 x 20000 PNG (0), or one of 16 x 16 (1).
void BM_Picture(benchmark::State& state)
{
    static test::TempDir dir;
    static const std::string huge = (dir.write("huge.png", test::png(20000, 20000, 20000)),
                                     dir.write("huge.html", "<html><body><img src=\"huge.png\"></body></html>"));
    static const std::string small = (dir.write("small.png", test::png(16, 16, 16)),
                                      dir.write("small.html", "<html><body><img src=\"small.png\"></body></html>"));
    openIn(state, state.range(0) == 0 ? huge : small);
}

BENCHMARK_CAPTURE(BM_CoreOpen, tenThousand, &largeSite)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WindowOpen, tenThousand, &largeSite)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CoreOpen, hundredThousand, &hugeSite)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WindowOpen, hundredThousand, &hugeSite)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WindowJumpToEnd, hundredThousand, &hugeSite)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareWindow)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareStart)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CoreNext)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowNext)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Picture)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowTypeInLongText)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc > 1 && std::string(argv[1]) == "--bare") {
        QMainWindow window;
        window.show();
        window.repaint();
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
