// Reading the text of one 200 × 60 button, and making a reader (once per reading thread):
//   QT_QPA_PLATFORM=offscreen build/picture_bench
#include <benchmark/benchmark.h>

#include <QGuiApplication>

#include "platform/PictureReader.h"
#include "support/PictureSamples.h"

namespace {

void BM_ReadButton(benchmark::State& state)
{
    const std::string button = bw::test::encoded(
        bw::test::button("Contact us", "liberation/LiberationSans-Bold.ttf", 22, bw::test::Look::Gradient).scaled(200, 60), "PNG");
    const std::unique_ptr<bw::PictureReader> reader = bw::makePictureReader();
    for (auto _ : state)
        if (reader->read(button).text != "Contact us")
            state.SkipWithError("the button was not read");
}
BENCHMARK(BM_ReadButton)->Unit(benchmark::kMillisecond);

void BM_MakeReader(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(bw::makePictureReader());
}
BENCHMARK(BM_MakeReader)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
