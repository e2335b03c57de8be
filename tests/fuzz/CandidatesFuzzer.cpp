// The reading engine on any bytes as the candidate list the input-method
// service fills.
#include "fakes/FakePlatform.h"
#include "reading/ReadingEngine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace kotobane;
    using namespace kotobane::test;
    Recorder log;
    FakeIme ime{log};
    ime.rawList = std::vector<unsigned char>(data, data + size);
    FakeClock clock{log};
    FakeMessageBox ui{log};
    CReadingEngine engine{ime, clock, ui};
    engine.GetReading(QStringLiteral("漢字"));
    return 0;
}
