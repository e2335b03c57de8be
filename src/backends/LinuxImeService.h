#pragma once

#include <QHash>
#include <QLocale>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

#include "backends/ReadingBackend.h"
#include "platform/ImeService.h"

namespace kotobane {

// The input-method service of this desktop: the installed reading
// back-ends, each listed as a layout, followed by the user's plain
// keyboard layout, which has no reverse conversion. One layout is active;
// contexts are bookkeeping only, as the back-ends need no per-window state.
class LinuxImeService final : public ImeService {
public:
    LinuxImeService(std::vector<std::unique_ptr<ReadingBackend>> backends, const QLocale& locale);
    Q_DISABLE_COPY_MOVE(LinuxImeService)

    Hkl GetKeyboardLayout() override;
    int GetKeyboardLayoutList(int capacity, Hkl* out) override;
    int ImmGetDescriptionW(Hkl layout, char16_t* buffer, int capacity) override;
    Hkl LoadKeyboardLayoutW(const QString& layoutId, quint32 flags) override;
    bool SetThreadLocale(quint32 locale) override;
    quint32 GetThreadLocale() override;
    Himc ImmCreateContext() override;
    Himc ImmAssociateContext(Hwnd window, Himc context) override;
    bool ImmSetOpenStatus(Himc context, bool open) override;
    bool ImmGetOpenStatus(Himc context) override;
    quint32 ImmGetConversionListW(Hkl layout, Himc context, const QString& source, void* buffer, quint32 bufferLength,
                                  quint32 flag) override;
    bool ImmReleaseContext(Hwnd window, Himc context) override;
    bool ImmDestroyContext(Himc context) override;
    quint32 GetLastError() override;

    Hkl PlainLayout() const { return m_plainLayout; }

private:
    ReadingBackend* BackendFor(Hkl layout) const;
    bool Fail(int error);
    const QString& ReadingOf(ReadingBackend& backend, const QString& source);

    std::vector<std::unique_ptr<ReadingBackend>> m_backends;
    std::vector<Hkl> m_layouts;
    Hkl m_plainLayout;
    Hkl m_active;
    quint32 m_threadLocale;
    quint32 m_lastError = 0;

    QHash<Himc, bool> m_contexts;  // context → open
    QHash<Hwnd, Himc> m_associations;
    Himc m_nextContext = 1;

    // The size query and the fill of one look-up convert the same phrase:
    // the second call reuses the first call's reading.
    ReadingBackend* m_cachedBackend = nullptr;
    QString m_cachedSource;
    QString m_cachedReading;
};

// The service over the back-ends installed on this machine; busy is told
// before and after a back-end opens at its first look-up.
std::unique_ptr<LinuxImeService> CreateLinuxImeService(std::function<void(bool busy)> busy = {});

}  // namespace kotobane
