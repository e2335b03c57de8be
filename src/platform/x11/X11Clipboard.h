#pragma once

#include "platform/SystemServices.h"

#include <chrono>
#include <memory>

namespace kotobane {

// The X11 CLIPBOARD selection behind ClipboardService.
//
// Reading goes through a private X connection and hidden window instead of
// QClipboard: QClipboard::text() waits 15 s on an owner that never answers,
// and events on Qt's own connection would be taken by its event loop. Every
// read is bounded by ReadTimeoutMs; after a timeout the other reads of the
// same Open()/Close() pair give up at once, so a capture never waits twice.
// Writing goes through QClipboard, which keeps serving the text while the
// event loop runs.
class X11Clipboard : public ClipboardService, public ClipboardWatch {
public:
    static constexpr int ReadTimeoutMs = 500;

    X11Clipboard();
    ~X11Clipboard() override;
    X11Clipboard(const X11Clipboard&) = delete;
    X11Clipboard& operator=(const X11Clipboard&) = delete;

    bool Open() override;
    void Close() override;
    std::optional<QString> UnicodeText() override;
    std::optional<QByteArray> AnsiText() override;
    bool Empty() override;
    bool SetUnicodeText(const QByteArray& block) override;
    quint32 GetLastError() override;

    // Starts listening for a new clipboard owner (XFixes). Call it before
    // the copy is triggered so that an owner quicker than the wait is seen.
    // False without XFixes or without a connection.
    bool BeginOwnerWatch() override;
    // Waits at least minMs and at most maxMs; true when the owner changed
    // (or the owner set the selection again) since BeginOwnerWatch(). When
    // it is not watching it waits minMs and returns false.
    bool WaitForOwnerChange(int minMs, int maxMs) override;

private:
    struct Connection;
    using Clock = std::chrono::steady_clock;

    bool EnsureConnection();
    // Whether the clipboard's owner right now is one of Qt's windows.
    bool OwnedByUs() const;
    // The text of our own clipboard content, as Qt holds it.
    std::optional<QString> OwnText();
    std::optional<QByteArray> Fetch(const char* const* targets, int count);

    std::unique_ptr<Connection> m_x;
    bool m_open = false;
    bool m_ownerHung = false;
    quint32 m_lastError = 0;
};

}  // namespace kotobane
