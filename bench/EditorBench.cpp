// Opening a large page and moving on from an image, on real files.
#include <benchmark/benchmark.h>

#include <string>

#include "editor/Form1.h"
#include "Pages.h"
#include "support/Doubles.h"

namespace {

using namespace bw;
using bench::makePage;

struct Program {
    test::ScriptedDialogs dialogs;
    RealFileSystem files;
    test::RecordingShell shell;
    test::FakeHost host;
    test::MemorySettings settings;
    test::TempDir dir;
    Form1 form{Platform{dialogs, files, shell, host, settings}, Version{1, 0, 0}};
    std::string path;

    Program(size_t bytes, int tags)
    {
        dialogs.answerer = [] { return Answer::Yes; };
        path = dir.path("large.html");
        bench::writePage(path, bytes, tags, 4);
        dir.write("images/picture0.jpg", test::kGif);
        dir.write("images/picture1.gif", test::kGif);
        form.Form_Load();
    }
};

void BM_OpenPage(benchmark::State& state)
{
    Program program(static_cast<size_t>(state.range(0)) << 20, static_cast<int>(state.range(1)));
    for (auto _ : state) {
        program.form.nytt();
        program.form.openPath(program.path);
        if (program.form.List1.ListCount() != state.range(1))
            state.SkipWithError("the page's tags were not all found");
    }
    state.SetBytesProcessed(state.iterations() * (state.range(0) << 20));
}
// The 100 MB page is for memory: run it alone under /usr/bin/time -v.
BENCHMARK(BM_OpenPage)->Args({1, 1000})->Args({10, 10000})->Args({100, 100000})->Unit(benchmark::kMillisecond);

// NEXT (or BACK at the last image): one atomic write of the page, one read, the next image shown.
void BM_NextImage(benchmark::State& state)
{
    Program program(static_cast<size_t>(state.range(0)) << 20, static_cast<int>(state.range(1)));
    program.form.openPath(program.path);
    int n = 0;
    for (auto _ : state) {
        program.form.Text1.setText("Alt text " + std::to_string(n++));
        if (program.form.bild + 1 < program.form.List1.ListCount())
            program.form.Command3_Click();
        else
            program.form.Command5_Click();
    }
    state.SetBytesProcessed(state.iterations() * (state.range(0) << 20));
}
BENCHMARK(BM_NextImage)->Args({1, 1000})->Args({10, 10000})->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
