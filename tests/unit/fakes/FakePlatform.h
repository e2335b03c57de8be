#pragma once

#include <QHash>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "fakes/Recorder.h"
#include "platform/ImeService.h"
#include "platform/SystemServices.h"

namespace kotobane::test {

class FakeClock final : public Clock {
public:
    explicit FakeClock(Recorder& log) : m_log(log) { }
    void Sleep(int ms) override
    {
        sleeps.push_back(ms);
        m_log.Add("Sleep " + std::to_string(ms));
    }
    std::vector<int> sleeps;

private:
    Recorder& m_log;
};

class FakeMessageBox final : public MessageBoxService {
public:
    explicit FakeMessageBox(Recorder& log) : m_log(log) { }
    int MessageBox(const QString& text, unsigned type) override
    {
        boxes.emplace_back(text, type);
        m_log.Add("MessageBox " + Utf8(text));
        if (answers.empty()) {
            return IDOK;
        }
        const int answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    }
    std::vector<std::pair<QString, unsigned>> boxes;
    // The buttons "pressed", one a box in order; IDOK once they run out.
    std::vector<int> answers;

private:
    Recorder& m_log;
};

// An input-method service whose answers are set by the test and whose
// calls are logged with their arguments.
class FakeIme final : public ImeService {
public:
    explicit FakeIme(Recorder& log) : m_log(log) { }

    // Settings of the fake.
    Hkl active = 0xE0010411;
    std::vector<Hkl> layouts;
    QHash<Hkl, QString> descriptions;
    bool setLocaleFails = false;
    quint32 threadLocale = 0x409;
    bool loadFails = false;
    bool refusesUnlisted = false;  // loading a layout not in layouts fails with EINVAL, as the service does
    Hkl loadResult = 0;  // 0: the parsed identifier
    bool openFails = false;
    bool reportsOpen = true;
    quint32 sizeAnswer = 0;  // 0: computed from candidate
    bool fillFails = false;
    std::optional<QString> candidate;  // no value: not an input method
    // A raw candidate list to hand out instead of one made from candidate.
    std::optional<std::vector<unsigned char>> rawList;
    quint32 lastError = 0;
    Himc nextContext = 100;
    Himc associatedBefore = 0;
    bool descriptionThrows = false;

    Hkl GetKeyboardLayout() override
    {
        m_log.Add("GetKeyboardLayout");
        return active;
    }
    int GetKeyboardLayoutList(int capacity, Hkl* out) override
    {
        m_log.Add("GetKeyboardLayoutList " + std::to_string(capacity));
        const int n = std::min<int>(capacity, int(layouts.size()));
        std::copy_n(layouts.begin(), n, out);
        return n;
    }
    int ImmGetDescriptionW(Hkl layout, char16_t* buffer, int capacity) override
    {
        m_log.Add("ImmGetDescriptionW " + Utf8(LayoutText(layout)) + " " + std::to_string(capacity));
        if (descriptionThrows) {
            throw std::runtime_error("description store is gone");
        }
        const QString d = descriptions.value(layout);
        const int n = std::min<int>(int(d.size()), capacity - 1);
        std::copy_n(d.utf16(), n, buffer);
        return n;
    }
    Hkl LoadKeyboardLayoutW(const QString& id, quint32 flags) override
    {
        m_log.Add("LoadKeyboardLayoutW " + Utf8(id) + " " + std::to_string(flags));
        const Hkl parsed = id.toUInt(nullptr, 16);
        if (refusesUnlisted && std::find(layouts.begin(), layouts.end(), parsed) == layouts.end()) {
            lastError = EINVAL;
            return 0;
        }
        if (loadFails) {
            return 0;
        }
        active = loadResult != 0 ? loadResult : parsed;
        return active;
    }
    bool SetThreadLocale(quint32 locale) override
    {
        m_log.Add("SetThreadLocale " + Hex(locale));
        if (setLocaleFails) {
            return false;
        }
        threadLocale = locale;
        return true;
    }
    quint32 GetThreadLocale() override
    {
        m_log.Add("GetThreadLocale");
        return threadLocale;
    }
    Himc ImmCreateContext() override
    {
        m_log.Add("ImmCreateContext");
        return nextContext++;
    }
    Himc ImmAssociateContext(Hwnd window, Himc context) override
    {
        m_log.Add("ImmAssociateContext " + std::to_string(window) + " " + std::to_string(context));
        return std::exchange(associatedBefore, context);
    }
    bool ImmSetOpenStatus(Himc context, bool open) override
    {
        m_log.Add("ImmSetOpenStatus " + std::to_string(context) + (open ? " 1" : " 0"));
        return !openFails;
    }
    bool ImmGetOpenStatus(Himc context) override
    {
        m_log.Add("ImmGetOpenStatus " + std::to_string(context));
        return reportsOpen;
    }
    quint32 ImmGetConversionListW(Hkl layout, Himc context, const QString& source, void* buffer, quint32 length,
                                  quint32 flag) override
    {
        m_log.Add("ImmGetConversionListW " + Utf8(LayoutText(layout)) + " " + std::to_string(context) + " "
                  + Utf8(source) + (buffer ? " buffer " : " null ") + std::to_string(length) + " "
                  + std::to_string(flag));
        const std::vector<unsigned char> list = List();
        if (buffer == nullptr) {
            if (sizeAnswer != 0) {
                return sizeAnswer;
            }
            return list.empty() ? 0 : quint32(list.size());
        }
        if (fillFails || list.empty()) {
            return 0;
        }
        std::memcpy(buffer, list.data(), std::min<std::size_t>(length, list.size()));
        return quint32(list.size());
    }
    bool ImmReleaseContext(Hwnd window, Himc context) override
    {
        m_log.Add("ImmReleaseContext " + std::to_string(window) + " " + std::to_string(context));
        return true;
    }
    bool ImmDestroyContext(Himc context) override
    {
        m_log.Add("ImmDestroyContext " + std::to_string(context));
        return context != 0;
    }
    quint32 GetLastError() override { return lastError; }

    static std::string Hex(quint32 v) { return Utf8(QString::number(v, 16)); }

    // A candidate list with one entry, laid out as the service fills it.
    static std::vector<unsigned char> MakeList(const QString& first, quint32 count = 1)
    {
        const std::size_t offset = CandidateListLayout::kOffsets + 4;
        std::vector<unsigned char> list(offset + (first.size() + 1) * 2, 0);
        qToLittleEndian<quint32>(quint32(list.size()), list.data());
        qToLittleEndian<quint32>(count, list.data() + CandidateListLayout::kCount);
        qToLittleEndian<quint32>(quint32(offset), list.data() + CandidateListLayout::kOffsets);
        for (qsizetype i = 0; i < first.size(); ++i) {
            qToLittleEndian<quint16>(first[i].unicode(), list.data() + offset + 2 * i);
        }
        return list;
    }

private:
    std::vector<unsigned char> List() const
    {
        if (rawList) {
            return *rawList;
        }
        return candidate ? MakeList(*candidate) : std::vector<unsigned char>{};
    }

    Recorder& m_log;
};

class FakeClipboard final : public ClipboardService {
public:
    explicit FakeClipboard(Recorder& log) : m_log(log) { }
    bool openFails = false;
    bool setFails = false;
    std::optional<QString> unicode;
    std::optional<QByteArray> ansi;
    QByteArray placed;
    quint32 lastError = 0;

    bool Open() override
    {
        m_log.Add("OpenClipboard");
        return !openFails;
    }
    void Close() override { m_log.Add("CloseClipboard"); }
    std::optional<QString> UnicodeText() override
    {
        m_log.Add("GetClipboardData unicode");
        return unicode;
    }
    std::optional<QByteArray> AnsiText() override
    {
        m_log.Add("GetClipboardData ansi");
        return ansi;
    }
    bool Empty() override
    {
        m_log.Add("EmptyClipboard");
        return true;
    }
    bool SetUnicodeText(const QByteArray& block) override
    {
        m_log.Add("SetClipboardData " + std::to_string(block.size()));
        if (setFails) {
            return false;
        }
        placed = block;
        return true;
    }
    quint32 GetLastError() override { return lastError; }

private:
    Recorder& m_log;
};

class FakeClipboardWatch final : public ClipboardWatch {
public:
    explicit FakeClipboardWatch(Recorder& log) : m_log(log) { }
    bool canWatch = true;
    bool BeginOwnerWatch() override
    {
        m_log.Add("BeginOwnerWatch");
        return canWatch;
    }
    bool WaitForOwnerChange(int minMs, int maxMs) override
    {
        m_log.Add("WaitForOwnerChange " + std::to_string(minMs) + " " + std::to_string(maxMs));
        return canWatch;
    }

private:
    Recorder& m_log;
};

class FakeKeyboard final : public KeyboardService {
public:
    explicit FakeKeyboard(Recorder& log) : m_log(log) { }
    void KeyEvent(quint8 vk, quint8 scan, quint32 flags, quintptr extra) override
    {
        m_log.Add("KeyEvent " + FakeIme::Hex(vk) + " " + FakeIme::Hex(scan) + " " + std::to_string(flags) + " "
                  + std::to_string(extra));
    }

private:
    Recorder& m_log;
};

class FakeWindows final : public WindowService {
public:
    explicit FakeWindows(Recorder& log) : m_log(log) { }
    bool SetForegroundWindow(Hwnd window) override
    {
        m_log.Add("SetForegroundWindow " + std::to_string(window));
        return true;
    }

private:
    Recorder& m_log;
};

}  // namespace kotobane::test
