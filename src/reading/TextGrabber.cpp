#include "reading/TextGrabber.h"

#include <QtEndian>

#include "core/SystemError.h"

namespace kotobane {

namespace {
constexpr quint8 VK_CONTROL = 0x11;
constexpr quint8 VK_C = 0x43;
constexpr quint8 kControlScanCode = 0x1D;
}  // namespace

TextGrabber::TextGrabber(ClipboardService& clipboard, KeyboardService& keyboard, WindowService& windows, Clock& clock,
                         MessageBoxService& ui)
    : m_clipboard(clipboard),
      m_keyboard(keyboard),
      m_windows(windows),
      m_clock(clock),
      m_ui(ui)
{ }

QString NormaliseCapturedText(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    text.replace(u'\n', u' ');
    text.replace(u'\t', u' ');
    return text;
}

QString TextGrabber::CaptureSelection(Hwnd window)
{
    if (window == 0) {
        return QString();
    }
    m_windows.SetForegroundWindow(window);
    m_clock.Sleep(kForegroundWaitMs);

    // Without a way to see the new owner (no XFixes) the wait would run to
    // its bound on every capture; the fixed wait is better then.
    const bool watching = m_watch != nullptr && m_watch->BeginOwnerWatch();
    m_keyboard.KeyEvent(VK_CONTROL, kControlScanCode, 0, 0);
    m_keyboard.KeyEvent(VK_C, 0, 0, 0);
    m_clock.Sleep(kKeyWaitMs);
    m_keyboard.KeyEvent(VK_C, 0, KEYEVENTF_KEYUP, 0);
    m_keyboard.KeyEvent(VK_CONTROL, kControlScanCode, KEYEVENTF_KEYUP, 0);
    // A fixed wait can read the clipboard before a slow application has
    // copied, and the look-up then shows the previous phrase.
    if (watching) {
        m_watch->WaitForOwnerChange(kKeyWaitMs, kOwnerWaitMaxMs);
    } else {
        m_clock.Sleep(kKeyWaitMs);
    }

    return NormaliseCapturedText(ReadClipboardText());
}

QString TextGrabber::ReadClipboardText()
{
    if (!m_clipboard.Open()) {
        return QString();
    }
    QString text;
    if (const std::optional<QString> unicode = m_clipboard.UnicodeText()) {
        // Some owners send the terminator along, or text after it; a zero
        // unit ends the text, as a zero byte ends the 8-bit form below.
        const qsizetype end = unicode->indexOf(QChar(0));
        text = end < 0 ? *unicode : unicode->left(end);
    } else if (const std::optional<QByteArray> ansi = m_clipboard.AnsiText()) {
        // The legacy 8-bit clipboard text of X11 (STRING) is Latin-1.
        const qsizetype end = ansi->indexOf('\0');
        text = QString::fromLatin1(end < 0 ? *ansi : ansi->left(end));
    }
    m_clipboard.Close();
    return text;
}

QByteArray ClipboardBlock(const QStringList& strings)
{
    qsizetype units = 0;
    for (const QString& s : strings) {
        units += s.size();
    }
    QByteArray block(units * 2 + 2, '\0');
    char* at = block.data();
    for (const QString& s : strings) {
        for (const QChar c : s) {
            qToLittleEndian<quint16>(c.unicode(), at);
            at += 2;
        }
    }
    return block;
}

bool TextGrabber::WriteClipboardText(const QStringList& strings)
{
    const QByteArray block = ClipboardBlock(strings);
    if (!m_clipboard.Open()) {
        ShowSystemError(m_ui, m_clipboard.GetLastError());
        return false;
    }
    m_clipboard.Empty();
    const bool placed = m_clipboard.SetUnicodeText(block);
    const quint32 error = placed ? 0 : m_clipboard.GetLastError();
    m_clipboard.Close();
    if (!placed) {
        ShowSystemError(m_ui, error);
    }
    return true;
}

}  // namespace kotobane
