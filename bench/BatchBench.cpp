// Starting a batch and moving on to its next page, on real files.
#include <benchmark/benchmark.h>

#include <string>

#include "batch/BatchSession.h"
#include "batch/LocalBatch.h"
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
    EditorSession form{Platform{dialogs, files, shell, host, settings}, Version{1, 0, 0}};
    BatchSession batch{Platform{dialogs, files, shell, host, settings}, form};

    Program()
    {
        dialogs.answerer = [] { return Answer::Yes; };
        for (int i = 0; i < 40; ++i)
            dir.write("images/picture" + std::to_string(i) + (i % 3 ? ".gif" : ".jpg"), test::kGif);
        form.load();
    }
    void ok(const std::vector<std::string>& pages)
    {
        LocalBatch window(Platform{dialogs, files, shell, host, settings}, batch);
        dialogs.chosenMany.push_back(pages);
        window.addFiles();
        window.ok();
    }
};

// "OK" with 1,000 chosen pages, the first a typical page of 50 KB with 40 images.
void BM_OkThousandPages(benchmark::State& state)
{
    Program program;
    std::vector<std::string> pages{program.dir.write("first.html", makePage(50 << 10, 40))};
    for (int i = 1; i < 1000; ++i)
        pages.push_back(program.dir.path("page" + std::to_string(i) + ".html"));
    for (auto _ : state) {
        program.ok(pages);
        if (program.batch.pages().size() != 1001 || program.form.imageCount() != 40)
            state.SkipWithError("the batch was not started");
    }
}
BENCHMARK(BM_OkThousandPages)->Unit(benchmark::kMillisecond);

// The first page's open alone, to tell it from the batch's own cost.
void BM_OkOnePage(benchmark::State& state)
{
    Program program;
    const std::vector<std::string> pages{program.dir.write("first.html", makePage(50 << 10, 40))};
    for (auto _ : state)
        program.ok(pages);
}
BENCHMARK(BM_OkOnePage)->Unit(benchmark::kMillisecond);

// "Move to next file" onto a page of `range(0)` KB with `range(1)` images.
void BM_MoveToNextFile(benchmark::State& state)
{
    Program program;
    const std::string small = program.dir.write("small.html", "<img SRC=\"images/picture0.jpg\">");
    const std::string next =
        program.dir.write("next.html", makePage(static_cast<size_t>(state.range(0)) << 10, static_cast<int>(state.range(1))));
    program.ok({small, next});
    for (auto _ : state) {
        state.PauseTiming();
        program.ok({small, next}); // back on the first page
        state.ResumeTiming();
        program.batch.nextFile();
        if (program.form.imageCount() != state.range(1))
            state.SkipWithError("the page's tags were not all found");
    }
    state.SetBytesProcessed(state.iterations() * (state.range(0) << 10));
}
BENCHMARK(BM_MoveToNextFile)->Args({50, 40})->Args({10 << 10, 10000})->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
