// One installed reading back-end on any UTF-16 text; KOTOBANE_FUZZ_BACKEND
// picks it. A back-end whose data is missing reads nothing.
#include <cstdio>

#include "FuzzFile.h"
#include "backends/ChineseBackend.h"
#include "backends/HanjaBackend.h"
#include "backends/MecabBackend.h"

namespace {

std::unique_ptr<kotobane::ReadingBackend> g_backend;

std::unique_ptr<kotobane::ReadingBackend> OpenBackend()
{
    using namespace kotobane;
#if KOTOBANE_FUZZ_BACKEND == 0
    return MecabBackend::Open(MecabBackend::Kind::Ipadic);
#elif KOTOBANE_FUZZ_BACKEND == 1
    return ChineseBackend::Open(ChineseBackend::Script::Simplified);
#else
    return HanjaBackend::Open();
#endif
}

}  // namespace

// Opened before the first input: building an index cache takes longer than
// one input may.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    g_backend = OpenBackend();
    if (!g_backend) {
        std::fprintf(stderr, "fuzz: the back-end's data is not installed; nothing is read\n");
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (g_backend) {
        g_backend->Reading(kotobane::fuzz::Utf16(data, size));
    }
    return 0;
}
