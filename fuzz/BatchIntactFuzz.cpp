// libFuzzer: the fuzzer's bytes choose the pages, the batches and every command.
#include <cstdio>
#include <cstdlib>

#include "support/Session.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    bw::test::ByteChoices choices(data, size);
    const std::string problem = bw::test::runSession(choices, true, 1000);
    if (!problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
