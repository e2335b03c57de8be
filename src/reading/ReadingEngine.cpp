#include "reading/ReadingEngine.h"

#include <QtEndian>

#include <cerrno>
#include <memory>
#include <new>

#include "core/HexDigits.h"
#include "core/SystemError.h"

namespace kotobane {

namespace {

// The reverse conversion's candidate list: asked for its size, then filled
// into a block of that size with one zero byte more, so that a list that
// lacks its terminator still ends inside the block.
struct ConversionList {
    std::unique_ptr<unsigned char[]> block;  // null when there is no list
    quint32 size = 0;
    bool outOfMemory = false;
};

ConversionList FetchConversionList(ImeService& ime, Hkl layout, Himc context, const QString& phrase)
{
    ConversionList list;
    const quint32 size = ime.ImmGetConversionListW(layout, context, phrase, nullptr, 0, GCL_REVERSECONVERSION);
    if (size == 0 || size == 0xFFFFFFFFu) {
        return list;
    }
    list.block.reset(new (std::nothrow) unsigned char[std::size_t(size) + 1]());
    if (!list.block) {
        list.outOfMemory = true;
        return list;
    }
    if (ime.ImmGetConversionListW(layout, context, phrase, list.block.get(), size, GCL_REVERSECONVERSION) == 0) {
        list.block.reset();
        return list;
    }
    list.size = size;
    return list;
}

}  // namespace

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
    : m_ime(ime),
      m_clock(clock),
      m_ui(ui)
{ }

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
    m_layoutMatched = false;
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
    if (!IsSelectedLayout(layout)) {
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

    const ConversionList list = FetchConversionList(m_ime, layout, m_context, phrase);
    if (list.outOfMemory) {
        ShowSystemError(m_ui, ENOMEM);
        return QString();
    }
    if (!list.block) {
        return QString();
    }
    return ReadCandidateList(list.block.get(), list.size);
}

bool CReadingEngine::IsSelectedLayout(Hkl layout)
{
    if (m_layoutMatched && layout == m_matchedLayout) {
        return true;
    }
    if (LayoutText(layout) != m_layoutId) {
        return false;
    }
    m_matchedLayout = layout;
    m_layoutMatched = true;
    return true;
}

QString CReadingEngine::ReadCandidateList(const unsigned char* list, std::size_t size) const
{
    return FirstCandidateInParentheses(list, size);
}

QString ReverseConversion(ImeService& ime, const QString& layoutId, const QString& phrase)
{
    if (phrase.isEmpty()) {
        return QString();
    }
    // Loaded without activation: the popup's layout and its own context
    // stay as they are.
    const Hkl layout = ime.LoadKeyboardLayoutW(layoutId, 0);
    if (layout == 0) {
        return QString();
    }
    const Himc context = ime.ImmCreateContext();
    QString reading;
    if (ime.ImmSetOpenStatus(context, true)) {
        const ConversionList list = FetchConversionList(ime, layout, context, phrase);
        if (list.block) {
            reading = FirstCandidateInParentheses(list.block.get(), list.size);
        }
    }
    ime.ImmSetOpenStatus(context, false);
    ime.ImmDestroyContext(context);
    return reading.size() >= 2 ? reading.mid(1, reading.size() - 2) : QString();
}

QString FirstCandidateInParentheses(const unsigned char* list, std::size_t size)
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
    // The candidate ends at its terminator or, without one, at the block's end.
    const unsigned char* const first = list + offset;
    const std::size_t room = (size - offset) / 2;
    std::size_t length = 0;
    while (length < room && qFromLittleEndian<quint16>(first + 2 * length) != 0) {
        ++length;
    }
    if (length == 0) {
        return QString();
    }
    // Built in one allocation: this runs for every look-up and the
    // candidate can be a whole paragraph long.
    QString reading(qsizetype(length) + 2, Qt::Uninitialized);
    char16_t* const out = reinterpret_cast<char16_t*>(reading.data());
    out[0] = u'(';
    qFromLittleEndian<quint16>(first, qsizetype(length), out + 1);
    out[length + 1] = u')';
    return reading;
}

}  // namespace kotobane
