// The byte-block letters, the stored font and the window placement on any
// input.
#include "FuzzFile.h"
#include "settings/IniProfile.h"
#include "settings/LogFont.h"
#include "settings/Settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace kotobane;
    const QString letters = fuzz::Utf16(data, size);
    const QByteArray bytes = DecodeByteBlock(letters);
    if (DecodeByteBlock(EncodeByteBlock(bytes)) != bytes) {
        __builtin_trap();  // encoding must round-trip
    }
    LogFont::FromBytes(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size))).ToBytes();
    LogFont::FromBytes(bytes);

    QByteArray file = "[Window]\nPlacement=";
    file += QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size));
    const IniProfile profile(fuzz::WriteInput(reinterpret_cast<const uint8_t*>(file.constData()), size_t(file.size())));
    WindowPlacement placement;
    ReadWindowPlacement(profile, QStringLiteral("Window"), QStringLiteral("Placement"), placement);
    return 0;
}
