#include "window/GetTextFlow.h"

#include <QScopedValueRollback>

#include "core/Commands.h"
#include "core/SystemError.h"
#include "window/GetText.h"

namespace kotobane {

HotKeyModifiers RegistrationModifiers(StoredModifiers stored)
{
    constexpr quint8 kSwapped = quint8(StoredModifiers::Shift) | quint8(StoredModifiers::Alt);
    HotKeyModifiers out = HotKeyModifiers(quint8(stored) & ~kSwapped);
    if (HasModifier(stored, StoredModifiers::Shift)) {
        out = out | HotKeyModifiers::Shift;
    }
    if (HasModifier(stored, StoredModifiers::Alt)) {
        out = out | HotKeyModifiers::Alt;
    }
    return out;
}

void RegisterHotKeys(HotKeyService& hotKeys, MessageBoxService& ui, const QList<HotKeyEntry>& entries, bool reg)
{
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const int id = int(i) + 1;
        if (!reg) {
            hotKeys.UnregisterHotKey(id);
            continue;
        }
        const HotKeyEntry& e = entries[i];
        // 0/0 is a hot key the user cleared; an invalid one was reported at load.
        if (!e.valid || (e.modifiers == StoredModifiers::None && e.virtualKey == 0)) {
            continue;
        }
        if (!hotKeys.RegisterHotKey(id, RegistrationModifiers(e.modifiers), e.virtualKey)) {
            ShowSystemError(ui, hotKeys.GetLastError());
        }
    }
}

Hwnd FindTargetWindow(DesktopWindows& desktop, Hwnd popup, Hwnd window)
{
    if (window != 0 && window != popup && !desktop.Title(window).isEmpty()) {
        return window;
    }
    constexpr quint32 kHidden = 0, kShowMinimised = 2, kMinimised = 6;
    // Bounded, so that a stacking order that changes under the walk cannot
    // keep it going for ever.
    constexpr int kMaxSteps = 100000;
    Hwnd w = window;
    for (int step = 0; w != 0 && step < kMaxSteps; ++step) {
        w = desktop.NextBelow(w);
        if (w == 0) {
            break;
        }
        if (w == popup || desktop.Title(w).isEmpty() || !desktop.IsVisible(w) || desktop.HasParent(w)) {
            continue;
        }
        const quint32 state = desktop.ShowState(w);
        if (state == kHidden || state == kShowMinimised || state == kMinimised) {
            continue;
        }
        return w;
    }
    return 0;
}

GetTextFlow::GetTextFlow(DesktopWindows& desktop, WindowService& windows, TextGrabber& grabber, Clock& clock,
                         std::function<QString(const QString&)> getReading, HistoryAppender& history, PopupAccess popup)
    : m_desktop(desktop),
      m_windows(windows),
      m_grabber(grabber),
      m_clock(clock),
      m_getReading(std::move(getReading)),
      m_history(history),
      m_popup(std::move(popup))
{ }

void GetTextFlow::LookUp()
{
    if (m_selection != nullptr) {
        LookUpSelection();
        return;
    }
    const Hwnd target = FindTargetWindow(m_desktop, m_popup.window, m_desktop.GetForegroundWindow());
    const LookupText text = ComposeLookup(m_grabber.CaptureSelection(target), m_getReading);
    m_popup.setText(text.Display());
    m_popup.showPopup(true);
    m_windows.SetForegroundWindow(m_popup.window);
    Record(text);
}

// The popup comes to the front first: where only the focused window is
// given the selection, it is the one that reads it.
void GetTextFlow::LookUpSelection()
{
    // The read may wait for the focus in an event loop, where a second
    // press of the shortcut would start a look-up inside this one.
    if (m_reading) {
        return;
    }
    const QScopedValueRollback reading(m_reading, true);
    m_popup.showPopup(true);
    m_windows.SetForegroundWindow(m_popup.window);
    const LookupText text =
        ComposeLookup(NormaliseCapturedText(m_selection->SelectedText(m_popup.window)), m_getReading);
    m_popup.setText(text.Display());
    Record(text);
}

void GetTextFlow::Record(const LookupText& text)
{
    if (!text.reading.isEmpty()) {
        m_history.AppendHistory(text.phrase, text.BareReading());
    }
}

void GetTextFlow::OnHotKey(int id, const QList<HotKeyEntry>& entries)
{
    if (id < 1 || id > entries.size() || entries[id - 1].command != ID_GET_READING) {
        return;
    }
    WaitForKeysUp();
    LookUp();
}

void GetTextFlow::OnGetTextRequest()
{
    WaitForKeysUp();
    LookUp();
}

// The hot key's keys must be up before a copy is synthesized; a direct read
// of the selection does not care.
void GetTextFlow::WaitForKeysUp()
{
    if (m_selection == nullptr) {
        m_clock.Sleep(kHotKeyWaitMs);
    }
}

}  // namespace kotobane
