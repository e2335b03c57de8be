#pragma once

#include "platform/SystemServices.h"

namespace kotobane {

// The clipboard through Qt, on any session. Qt keeps serving what we put
// there while the event loop runs, so writing is all it does; reading
// another program's text through Qt can wait for ever on an owner that
// does not answer, so it reads only our own text.
class QtClipboard final : public ClipboardService {
public:
    bool Open() override;
    void Close() override;
    std::optional<QString> UnicodeText() override;
    std::optional<QByteArray> AnsiText() override;
    bool Empty() override;
    bool SetUnicodeText(const QByteArray& block) override;
    quint32 GetLastError() override;

    // The text Qt holds for the clipboard, whoever owns it now: for callers
    // that asked the server whether we own it.
    static std::optional<QString> HeldText();

private:
    bool m_open = false;
    quint32 m_lastError = 0;
};

}  // namespace kotobane
