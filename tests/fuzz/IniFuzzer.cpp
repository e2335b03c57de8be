// The settings file reader on any bytes as a file, and a write into it.
#include "FuzzFile.h"
#include "settings/IniProfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace kotobane;
    const IniProfile profile(fuzz::WriteInput(data, size));
    // Few reads: every one reads and parses the whole file anew.
    profile.GetString(QStringLiteral("Settings"), QStringLiteral("Font"), QStringLiteral("default"));
    profile.GetString(QStringLiteral("a\\b"), QStringLiteral("x"), QString());
    profile.GetInt(QStringLiteral("Window"), QStringLiteral("Top"), -1);
    // A file it must not rewrite (e.g. UTF-16 with an odd byte count) is
    // refused; a write that succeeded must read back.
    if (profile.WriteString(QStringLiteral("Window"), QStringLiteral("Left"), QStringLiteral("12"))
        && profile.GetInt(QStringLiteral("Window"), QStringLiteral("Left"), -1) != 12) {
        __builtin_trap();
    }
    ParseProfileInt(fuzz::Utf16(data, size));
    return 0;
}
