#include "backends/LinuxImeService.h"

#include <QtEndian>

#include <algorithm>
#include <cerrno>

#include "backends/InstalledBackends.h"
#include "backends/KeyboardLocale.h"
#include "core/HexDigits.h"

namespace kotobane {

LinuxImeService::LinuxImeService(std::vector<std::unique_ptr<ReadingBackend>> backends, const QLocale& locale)
    : m_backends(std::move(backends)),
      m_plainLayout(PlainLayoutFor(LanguageIdForLocale(locale))),
      m_threadLocale(LanguageIdForLocale(locale))
{
    for (const auto& backend : m_backends) {
        m_layouts.push_back(backend->Handle());
    }
    m_active = FirstStartLayout(locale, m_layouts, m_plainLayout);
    m_layouts.push_back(m_plainLayout);
}

bool LinuxImeService::Fail(int error)
{
    m_lastError = static_cast<quint32>(error);
    return false;
}

ReadingBackend* LinuxImeService::BackendFor(Hkl layout) const
{
    for (const auto& backend : m_backends) {
        if (backend->Handle() == layout) {
            return backend.get();
        }
    }
    return nullptr;
}

Hkl LinuxImeService::GetKeyboardLayout()
{
    return m_active;
}

int LinuxImeService::GetKeyboardLayoutList(int capacity, Hkl* out)
{
    const int count = std::min<int>(std::max(capacity, 0), int(m_layouts.size()));
    std::copy_n(m_layouts.begin(), count, out);
    return count;
}

int LinuxImeService::ImmGetDescriptionW(Hkl layout, char16_t* buffer, int capacity)
{
    ReadingBackend* backend = BackendFor(layout);
    if (backend == nullptr || capacity <= 0) {
        return 0;
    }
    const QString description = backend->Description();
    const int copied = std::min<int>(int(description.size()), capacity - 1);
    std::copy_n(description.utf16(), copied, buffer);
    buffer[copied] = u'\0';
    return copied;
}

Hkl LinuxImeService::LoadKeyboardLayoutW(const QString& layoutId, quint32 flags)
{
    // An identifier is one to eight hexadecimal digits, in either case.
    const bool wellFormed =
        !layoutId.isEmpty() && layoutId.size() <= 8
        && std::all_of(layoutId.begin(), layoutId.end(), [](QChar c) { return HexDigit(c.unicode()) >= 0; });
    const Hkl layout = wellFormed ? LeadingHex(layoutId) : 0;
    if (!wellFormed || std::find(m_layouts.begin(), m_layouts.end(), layout) == m_layouts.end()) {
        Fail(EINVAL);
        return 0;
    }
    if (flags & KLF_ACTIVATE) {
        m_active = layout;
    }
    return layout;
}

bool LinuxImeService::SetThreadLocale(quint32 locale)
{
    if (!IsKnownLanguageId(locale)) {
        return Fail(EINVAL);
    }
    m_threadLocale = locale;
    return true;
}

quint32 LinuxImeService::GetThreadLocale()
{
    return m_threadLocale;
}

Himc LinuxImeService::ImmCreateContext()
{
    const Himc context = m_nextContext++;
    m_contexts.insert(context, false);
    return context;
}

Himc LinuxImeService::ImmAssociateContext(Hwnd window, Himc context)
{
    const Himc previous = m_associations.value(window, 0);
    m_associations.insert(window, context);
    return previous;
}

bool LinuxImeService::ImmSetOpenStatus(Himc context, bool open)
{
    const auto it = m_contexts.find(context);
    if (it == m_contexts.end()) {
        return Fail(EINVAL);
    }
    *it = open;
    return true;
}

bool LinuxImeService::ImmGetOpenStatus(Himc context)
{
    return m_contexts.value(context, false);
}

const QString& LinuxImeService::ReadingOf(ReadingBackend& backend, const QString& source)
{
    if (m_cachedBackend != &backend || m_cachedSource != source) {
        m_cachedReading = backend.Reading(source);
        m_cachedSource = source;
        m_cachedBackend = &backend;
    }
    return m_cachedReading;
}

quint32 LinuxImeService::ImmGetConversionListW(Hkl layout, Himc context, const QString& source, void* buffer,
                                               quint32 bufferLength, quint32 flag)
{
    if (flag != GCL_REVERSECONVERSION || !m_contexts.contains(context)) {
        Fail(EINVAL);
        return 0;
    }
    ReadingBackend* backend = BackendFor(layout);
    if (backend == nullptr) {
        return 0;  // a plain keyboard layout converts nothing
    }
    const QString& reading = ReadingOf(*backend, source);
    if (reading.isEmpty()) {
        return 0;
    }

    // One candidate: header, one offset, then the zero-terminated text.
    const quint32 offset = CandidateListLayout::kOffsets + 4;
    const quint64 needed = offset + (quint64(reading.size()) + 1) * 2;
    if (needed > 0xFFFFFFF0u) {
        Fail(E2BIG);
        return 0;
    }
    const quint32 size = quint32(needed);
    if (bufferLength == 0) {
        return size;
    }
    if (buffer == nullptr || bufferLength < size) {
        Fail(ENOBUFS);
        return 0;
    }
    // Every byte of the list is written below, so it is not cleared first.
    auto* bytes = static_cast<unsigned char*>(buffer);
    qToLittleEndian<quint32>(size, bytes + CandidateListLayout::kSize);
    qToLittleEndian<quint32>(1, bytes + CandidateListLayout::kStyle);  // read-only style
    qToLittleEndian<quint32>(1, bytes + CandidateListLayout::kCount);
    qToLittleEndian<quint32>(0, bytes + CandidateListLayout::kSelection);
    qToLittleEndian<quint32>(0, bytes + CandidateListLayout::kPageStart);
    qToLittleEndian<quint32>(1, bytes + CandidateListLayout::kPageSize);
    qToLittleEndian<quint32>(offset, bytes + CandidateListLayout::kOffsets);
    qToLittleEndian<quint16>(reinterpret_cast<const quint16*>(reading.utf16()), reading.size(), bytes + offset);
    qToLittleEndian<quint16>(0, bytes + size - 2);
    return size;
}

bool LinuxImeService::ImmReleaseContext(Hwnd, Himc)
{
    return true;
}

bool LinuxImeService::ImmDestroyContext(Himc context)
{
    if (!m_contexts.remove(context)) {
        return Fail(EINVAL);
    }
    for (auto it = m_associations.begin(); it != m_associations.end();) {
        it = it.value() == context ? m_associations.erase(it) : std::next(it);
    }
    return true;
}

quint32 LinuxImeService::GetLastError()
{
    return m_lastError;
}

std::unique_ptr<LinuxImeService> CreateLinuxImeService(std::function<void(bool)> busy)
{
    return std::make_unique<LinuxImeService>(CreateInstalledBackends(std::move(busy)), QLocale::system());
}

}  // namespace kotobane
