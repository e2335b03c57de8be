#include "reading/ReadingEngine.h"

#include <QtEndian>

#include <cerrno>
#include <memory>
#include <new>

#include "app/MessageBox.h"
#include "settings/HexDigits.h"

namespace kotobane {

quint32 LocaleFromLayoutId(const QString& layoutId)
{
    const QString tail = layoutId.size() > 3 ? layoutId.right(3) : layoutId;
    const qsizetype n = tail.size();
    qsizetype i = 0;
    while (i < n && (tail[i] == u' ' || (tail[i] >= u'\t' && tail[i] <= u'\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < n && (tail[i] == u'+' || tail[i] == u'-')) {
        negative = tail[i] == u'-';
        ++i;
    }
    // Base 16 also takes a "0x" prefix, but only when a digit follows it.
    if (i + 2 < n && tail[i] == u'0' && (tail[i + 1] == u'x' || tail[i + 1] == u'X')
        && HexDigit(tail[i + 2].unicode()) >= 0) {
        i += 2;
    }
    const quint32 value = LeadingHex(tail, i);
    return negative ? 0u - value : value;
}

CReadingEngine::CReadingEngine(ImeService& ime, Clock& clock, MessageBoxService& ui)
    : m_ime(ime), m_clock(clock), m_ui(ui)
{
}

CReadingEngine::~CReadingEngine()
{
    if (m_context != 0) {
        ReleaseIme();
    }
}

bool CReadingEngine::SelectIme(const QString& layoutId, Hwnd window)
{
    if (m_context != 0) {
        ReleaseIme();
    }

    const quint32 locale = LocaleFromLayoutId(layoutId);
    if (!m_ime.SetThreadLocale(locale)) {
        ShowSystemError(m_ui, m_ime.GetLastError());
    }
    if (m_ime.GetThreadLocale() != locale) {
        m_ui.MessageBox(QStringLiteral("error on SetThreadLocale (0x%1)").arg(locale, 0, 16),
                        MB_OK | MB_ICONEXCLAMATION);
    }

    m_layoutId = layoutId;
    if (m_ime.LoadKeyboardLayoutW(layoutId, KLF_ACTIVATE) == 0) {
        ShowSystemError(m_ui, m_ime.GetLastError());
        return false;
    }

    m_window = window;
    m_context = m_ime.ImmCreateContext();
    const Himc previous = m_ime.ImmAssociateContext(window, m_context);
    m_ime.ImmDestroyContext(previous);
    m_ime.ImmSetOpenStatus(m_context, true);
    return true;
}

void CReadingEngine::ReleaseIme()
{
    m_ime.ImmSetOpenStatus(m_context, false);
    m_ime.ImmReleaseContext(m_window, m_context);
    m_ime.ImmDestroyContext(m_context);
    m_context = 0;
}

QString CReadingEngine::GetReading(const QString& phrase)
{
    if (phrase.isEmpty()) {
        return QString();
    }

    Hkl layout = m_ime.GetKeyboardLayout();
    if (LayoutText(layout) != m_layoutId) {
        SelectIme(m_layoutId, m_window);
        m_clock.Sleep(kReselectWaitMs);
        layout = m_ime.GetKeyboardLayout();
    }

    if (m_context == 0) {
        ShowSystemError(m_ui, m_ime.GetLastError());
        return QString();
    }
    if (!m_ime.ImmSetOpenStatus(m_context, true)) {
        ShowSystemError(m_ui, m_ime.GetLastError());
        return QString();
    }
    if (!m_ime.ImmGetOpenStatus(m_context)) {
        return QString();
    }

    const quint32 size = m_ime.ImmGetConversionListW(layout, m_context, phrase, nullptr, 0,
                                                     GCL_REVERSECONVERSION);
    if (size == 0 || size == 0xFFFFFFFFu) {
        return QString();
    }

    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[std::size_t(size) + 1]());
    if (!buffer) {
        ShowSystemError(m_ui, ENOMEM);
        return QString();
    }
    if (m_ime.ImmGetConversionListW(layout, m_context, phrase, buffer.get(), size,
                                    GCL_REVERSECONVERSION) == 0) {
        return QString();
    }

    const QString reading = ReadCandidateList(buffer.get(), size);
    if (reading.isEmpty()) {
        return QString();
    }
    return u'(' + reading + u')';
}

QString CReadingEngine::ReadCandidateList(const unsigned char* list, std::size_t size) const
{
    // The list comes from another component: every offset is checked
    // against the block, so a malformed list gives no reading rather than a
    // read past its end.
    if (size < CandidateListLayout::kOffsets + 4) {
        return QString();
    }
    const quint32 count = qFromLittleEndian<quint32>(list + CandidateListLayout::kCount);
    if (count == 0) {
        return QString();
    }
    const quint32 offset = qFromLittleEndian<quint32>(list + CandidateListLayout::kOffsets);
    if (offset >= size) {
        return QString();
    }
    QString reading;
    for (std::size_t at = offset; at + 1 < size; at += 2) {
        const char16_t unit = qFromLittleEndian<quint16>(list + at);
        if (unit == 0) {
            break;
        }
        reading.append(QChar(unit));
    }
    return reading;
}

}  // namespace kotobane
