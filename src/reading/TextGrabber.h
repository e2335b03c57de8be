#pragma once

#include <QString>
#include <QStringList>

#include "platform/SystemServices.h"

namespace kotobane {

// Gets the selection of another application by making it copy to the
// clipboard, and writes text to the clipboard. Keeps nothing between calls.
class TextGrabber {
public:
    TextGrabber(ClipboardService& clipboard, KeyboardService& keyboard, WindowService& windows, Clock& clock,
                MessageBoxService& ui);

    // With a watch that can watch, the wait after the copy keys lasts until
    // the clipboard changes owner (at least the usual wait, at most
    // kOwnerWaitMaxMs).
    void SetOwnerWatch(ClipboardWatch* watch) { m_watch = watch; }

    QString CaptureSelection(Hwnd window);
    QString ReadClipboardText();
    bool WriteClipboardText(const QStringList& strings);

    static constexpr int kForegroundWaitMs = 50;
    static constexpr int kKeyWaitMs = 10;
    static constexpr int kOwnerWaitMaxMs = 500;

private:
    ClipboardService& m_clipboard;
    KeyboardService& m_keyboard;
    WindowService& m_windows;
    Clock& m_clock;
    MessageBoxService& m_ui;
    ClipboardWatch* m_watch = nullptr;
};

// CR LF, then LF, then TAB each become one space; a lone CR stays.
QString NormaliseCapturedText(QString text);

// The block the clipboard receives: the strings' UTF-16 units one after the
// other, then one zero unit.
QByteArray ClipboardBlock(const QStringList& strings);

}  // namespace kotobane
