#pragma once

#include <cerrno>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "fakes/FakePlatform.h"
#include "platform/DesktopServices.h"

namespace kotobane::test {

struct FakeWindow {
    QString title;
    bool visible = true;
    bool hasParent = false;
    quint32 showState = 1;
};

// A stacking order, top first.
class FakeDesktop final : public DesktopWindows {
public:
    explicit FakeDesktop(Recorder& log) : m_log(log) { }
    std::vector<std::pair<Hwnd, FakeWindow>> stack;
    Hwnd foreground = 0;

    Hwnd GetForegroundWindow() override
    {
        m_log.Add("GetForegroundWindow");
        return foreground;
    }
    Hwnd NextBelow(Hwnd w) override
    {
        for (std::size_t i = 0; i + 1 < stack.size(); ++i) {
            if (stack[i].first == w) {
                return stack[i + 1].first;
            }
        }
        return 0;
    }
    QString Title(Hwnd w) override { return Find(w).title; }
    bool IsVisible(Hwnd w) override { return Find(w).visible; }
    bool HasParent(Hwnd w) override { return Find(w).hasParent; }
    quint32 ShowState(Hwnd w) override { return Find(w).showState; }

private:
    FakeWindow Find(Hwnd w) const
    {
        for (const auto& [id, window] : stack) {
            if (id == w) {
                return window;
            }
        }
        return {};
    }
    Recorder& m_log;
};

class FakeHotKeys final : public HotKeyService {
public:
    explicit FakeHotKeys(Recorder& log) : m_log(log) { }
    std::map<int, bool> fails;  // by identifier
    std::function<void(int)> handler;
    bool RegisterHotKey(int id, HotKeyModifiers modifiers, quint8 vk) override
    {
        m_log.Add("RegisterHotKey " + std::to_string(id) + " " + std::to_string(quint32(modifiers)) + " "
                  + std::to_string(vk));
        return !fails[id];
    }
    void UnregisterHotKey(int id) override { m_log.Add("UnregisterHotKey " + std::to_string(id)); }
    quint32 GetLastError() override { return EBUSY; }
    void SetPressHandler(std::function<void(int)> h) override { handler = std::move(h); }
    // A desktop that owns the keys, as a shortcut portal does.
    std::optional<QString> desktopTrigger;
    bool shortcutSettings = false;
    std::optional<QString> DesktopTrigger() const override { return desktopTrigger; }
    bool HasShortcutSettings() const override { return shortcutSettings; }
    bool OpenShortcutSettings() override
    {
        m_log.Add("OpenShortcutSettings");
        return shortcutSettings;
    }

private:
    Recorder& m_log;
};

// The desktop services of a session, each a recording fake.
class FakeDesktopPlatform final : public DesktopPlatform {
public:
    explicit FakeDesktopPlatform(Recorder& log)
        : windows(log),
          activation(log),
          keyboard(log),
          clipboard(log),
          hotKeys(log),
          m_log(log)
    { }
    FakeDesktop windows;
    FakeWindows activation;
    FakeKeyboard keyboard;
    FakeClipboard clipboard;
    FakeHotKeys hotKeys;
    QString limitation;

    DesktopWindows& Windows() override { return windows; }
    WindowService& Activation() override { return activation; }
    KeyboardService& Keyboard() override { return keyboard; }
    ClipboardService& Clipboard() override { return clipboard; }
    ClipboardWatch* OwnerWatch() override { return nullptr; }
    SelectionReader* Selection() override { return selection; }
    HotKeyService& HotKeys() override { return hotKeys; }
    void KeepOffTaskbar(Hwnd, bool mapped) override { m_log.Add(mapped ? "KeepOffTaskbar mapped" : "KeepOffTaskbar"); }
    QString Limitation() const override { return limitation; }
    bool Composited() const override { return composited; }
    bool composited = false;
    SelectionReader* selection = nullptr;

private:
    Recorder& m_log;
};

}  // namespace kotobane::test
