#pragma once

#include <QString>
#include <QtGlobal>

#include <cstddef>

#include "core/WindowId.h"

namespace kotobane {

// A keyboard-layout handle: the low 16 bits are the language identifier.
using Hkl = quint32;
// An input context; 0 is "no context".
using Himc = quintptr;

inline constexpr quint32 KLF_ACTIVATE = 1;
inline constexpr quint32 GCL_REVERSECONVERSION = 2;

// Byte layout of a candidate list as the conversion-list call fills it:
// six 32-bit header fields, then one 32-bit offset per candidate, then the
// zero-terminated UTF-16 candidates. All values are little-endian.
struct CandidateListLayout {
    static constexpr std::size_t kSize = 0;
    static constexpr std::size_t kStyle = 4;
    static constexpr std::size_t kCount = 8;
    static constexpr std::size_t kSelection = 12;
    static constexpr std::size_t kPageStart = 16;
    static constexpr std::size_t kPageSize = 20;
    static constexpr std::size_t kOffsets = 24;
};

// The input-method service: an ordered list of layouts, one of which is
// active for the user-interface thread, and the reverse conversion of a
// phrase. The calls and their results follow the classic IMM contract so
// the reading engine can be written once against them; failing calls set
// an error code that GetLastError returns (errno values on Linux).
class ImeService {
public:
    virtual ~ImeService() = default;

    virtual Hkl GetKeyboardLayout() = 0;
    // Stores at most capacity handles into out; returns how many.
    virtual int GetKeyboardLayoutList(int capacity, Hkl* out) = 0;
    // Copies the description into buffer (capacity units, terminator
    // included); returns the number of units copied, 0 when there is none.
    virtual int ImmGetDescriptionW(Hkl layout, char16_t* buffer, int capacity) = 0;
    // Returns the loaded layout, or 0 with the last error set.
    virtual Hkl LoadKeyboardLayoutW(const QString& layoutId, quint32 flags) = 0;
    virtual bool SetThreadLocale(quint32 locale) = 0;
    virtual quint32 GetThreadLocale() = 0;

    virtual Himc ImmCreateContext() = 0;
    // Associates context with window; returns the context associated before.
    virtual Himc ImmAssociateContext(Hwnd window, Himc context) = 0;
    virtual bool ImmSetOpenStatus(Himc context, bool open) = 0;
    virtual bool ImmGetOpenStatus(Himc context) = 0;
    // With bufferLength 0: the size in bytes the candidate list needs
    // (0 or 0xFFFFFFFF when there is no reading). Otherwise fills buffer and
    // returns non-zero on success.
    virtual quint32 ImmGetConversionListW(Hkl layout, Himc context, const QString& source, void* buffer,
                                          quint32 bufferLength, quint32 flag) = 0;
    virtual bool ImmReleaseContext(Hwnd window, Himc context) = 0;
    virtual bool ImmDestroyContext(Himc context) = 0;

    virtual quint32 GetLastError() = 0;
};

// Prints a layout handle the way every stored layout identifier is written:
// upper-case hexadecimal, no prefix, no leading zeros.
inline QString LayoutText(Hkl layout)
{
    return QString::number(layout, 16).toUpper();
}

}  // namespace kotobane
