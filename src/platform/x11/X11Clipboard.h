#pragma once

#include <chrono>
#include <cstdint>
#include <memory>

#include "platform/SystemServices.h"
#include "platform/generic/QtClipboard.h"

struct xcb_connection_t;

namespace kotobane {

// The X11 CLIPBOARD selection behind ClipboardService.
//
// Reading goes through a private X connection and hidden window instead of
// QClipboard: QClipboard::text() waits 15 s on an owner that never answers,
// and events on Qt's own connection would be taken by its event loop. Every
// read is bounded by ReadTimeoutMs; after a timeout the other reads of the
// same Open()/Close() pair give up at once, so a capture never waits twice.
// Writing goes through QClipboard, which keeps serving the text while the
// event loop runs, and works even when the private connection cannot be
// made.
class X11Clipboard final : public ClipboardService, public ClipboardWatch {
    Q_DISABLE_COPY_MOVE(X11Clipboard)
public:
    static constexpr int ReadTimeoutMs = 500;

    // qt: Qt's own connection, to tell our windows from others.
    explicit X11Clipboard(xcb_connection_t* qt);
    ~X11Clipboard() override;

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
    std::optional<QString> OwnText();
    // The text of the first of targets the owner gives, or nullopt with the error set.
    std::optional<QByteArray> Fetch(const char* const* targets, int count);
    // How the owner answered one conversion request.
    enum class Conversion { Given, Refused, Failed };
    // The owner's answer to our request for target; Failed sets the error.
    Conversion AwaitConversion(std::uint32_t target, Clock::time_point deadline);
    // The given text, read from our property (in chunks when sent so), or nullopt with the error set.
    std::optional<QByteArray> TakeConversion(Clock::time_point deadline);
    // The whole of a text sent in chunks, or nullopt with the error set.
    std::optional<QByteArray> TakeIncrements(Clock::time_point deadline);

    xcb_connection_t* m_qt;
    QtClipboard m_writer;
    std::unique_ptr<Connection> m_x;
    bool m_open = false;
    bool m_ownerHung = false;
    quint32 m_lastError = 0;
};

}  // namespace kotobane
