// libFuzzer entry point of the engine's fuzz harness (fuzzharness.h): every
// input becomes an image and a name, goes through all outputs, and any
// broken promise aborts with a description of the case.

#include "fuzzharness.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // Lives as long as the process: the fuzzer never returns to main.
    static FuzzHarness::ScopedMessageFilter filter;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString failure = FuzzHarness::check(FuzzHarness::decode(data, size));
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "\n%s\n", qUtf8Printable(failure));
        std::abort();
    }
    return 0;
}
