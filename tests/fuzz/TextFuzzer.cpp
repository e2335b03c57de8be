// The clipboard text clean-up and the look-up's trimming and length limit.
#include "FuzzFile.h"
#include "reading/TextGrabber.h"
#include "window/GetText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace kotobane;
    const QString text = fuzz::Utf16(data, size);
    const QString normalised = NormaliseCapturedText(text);
    const QString trimmed = TrimPhrase(normalised);
    if (TrimPhrase(trimmed) != trimmed) {
        __builtin_trap();  // trimming twice must change nothing
    }
    const LookupText lookup = ComposeLookup(text, [](const QString& phrase) { return phrase.left(3); });
    lookup.Display();
    lookup.BareReading();
    ComposeLookup(text, [](const QString&) { return QString(); }).Display();
    return 0;
}
