// libFuzzer entry point of the decoder's fuzz harness (decodeharness.h):
// every input is read as a .bin or as C source with some device settings,
// and any broken promise aborts with a description of the case. The
// sanitizers catch every read past the input.

#include "decodeharness.h"
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
    const QString failure = DecodeHarness::check(data, size);
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "\n%s\n", qUtf8Printable(failure));
        std::abort();
    }
    return 0;
}
