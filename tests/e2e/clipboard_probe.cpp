// Drives the X11 session's clipboard service for clipboard-test.sh. Modes:
//   read                 prints "ok:TEXT" or "none:ERRNO", then the read time in ms
//   read-ansi            Unicode then 8-bit text, as a capture reads them:
//                        "unicode:..." , "ansi:HEX" or "ansi:none:ERRNO", ms
//   own TEXT DELAY_MS    takes the clipboard after the delay, prints
//                        "owned:READBACK" and serves it until killed
//   hang                 owns the clipboard and never answers a request
//   string-owner HEX     owns it on a raw connection and offers only the
//                        STRING target, with these bytes
//   watch MIN MAX CMD... starts CMD after BeginOwnerWatch(), then prints
//                        "changed:0|1", "waited:MS", "text:..." (or "text-none:ERRNO")
//                        and "watching:0|1"
#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QTimer>
#include <QtEndian>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include <xcb/xcb.h>

#include "platform/desktop/DesktopChoice.h"

using kotobane::ClipboardService;

namespace {

void Print(const QString& line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

QByteArray Block(const QString& text)
{
    QByteArray block(2 * (text.size() + 1), '\0');
    for (qsizetype i = 0; i < text.size(); ++i) {
        qToLittleEndian<quint16>(text.at(i).unicode(), block.data() + 2 * i);
    }
    return block;
}

QString Unicode(ClipboardService& clipboard)
{
    if (const std::optional<QString> text = clipboard.UnicodeText()) {
        return QStringLiteral("ok:") + *text;
    }
    return QStringLiteral("none:%1").arg(clipboard.GetLastError());
}

// Another program speaking raw X: Qt converts whatever it offers, so an
// owner that knows nothing but STRING has to be written by hand.
xcb_atom_t Intern(xcb_connection_t* c, const char* name)
{
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return atom;
}

// Owns CLIPBOARD on a connection of its own; returns the window or 0.
xcb_window_t TakeClipboard(xcb_connection_t* c)
{
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t window = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, 0, nullptr);
    const xcb_atom_t clipboard = Intern(c, "CLIPBOARD");
    xcb_set_selection_owner(c, window, clipboard, XCB_CURRENT_TIME);
    xcb_get_selection_owner_reply_t* owner =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, clipboard), nullptr);
    const bool owned = owner != nullptr && owner->owner == window;
    free(owner);
    return owned ? window : 0;
}

// An old-style owner: STRING only, every other target refused.
int StringOwner(const QByteArray& bytes)
{
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c) || TakeClipboard(c) == 0) {
        Print(QStringLiteral("not-owned"));
        return 2;
    }
    Print(QStringLiteral("owned"));
    while (xcb_generic_event_t* event = xcb_wait_for_event(c)) {
        if ((event->response_type & 0x7f) == XCB_SELECTION_REQUEST) {
            const auto* request = reinterpret_cast<const xcb_selection_request_event_t*>(event);
            xcb_selection_notify_event_t notify{};
            notify.response_type = XCB_SELECTION_NOTIFY;
            notify.time = request->time;
            notify.requestor = request->requestor;
            notify.selection = request->selection;
            notify.target = request->target;
            notify.property = XCB_ATOM_NONE;
            if (request->target == XCB_ATOM_STRING) {
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, request->property, XCB_ATOM_STRING, 8,
                                    uint32_t(bytes.size()), bytes.constData());
                notify.property = request->property;
            }
            xcb_send_event(c, 0, request->requestor, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&notify));
            xcb_flush(c);
        }
        free(event);
    }
    xcb_disconnect(c);
    return 0;
}

// An owner that has stopped responding: it takes the clipboard through Qt,
// then blocks the thread that would answer every request.
int Hang(QGuiApplication& app)
{
    QGuiApplication::clipboard()->setText(QStringLiteral("hung"));
    QElapsedTimer wait;
    wait.start();
    while (!QGuiApplication::clipboard()->ownsClipboard() && wait.elapsed() < 5000) {
        app.processEvents(QEventLoop::AllEvents, 50);
    }
    if (!QGuiApplication::clipboard()->ownsClipboard()) {
        Print(QStringLiteral("not-owned"));
        return 2;
    }
    Print(QStringLiteral("owned"));
    std::this_thread::sleep_for(std::chrono::seconds(30));
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    QGuiApplication app(argc, argv);
    if (mode == "hang") {
        return Hang(app);
    }
    if (mode == "string-owner" && argc > 2) {
        return StringOwner(QByteArray::fromHex(argv[2]));
    }
    const QStringList args = app.arguments();
    const std::unique_ptr<kotobane::DesktopPlatform> platform = kotobane::ChooseDesktopPlatform();
    if (platform->OwnerWatch() == nullptr) {
        std::fprintf(stderr, "clipboard_probe: not an X11 session\n");
        return 3;
    }
    ClipboardService& clipboard = platform->Clipboard();
    kotobane::ClipboardWatch& watch = *platform->OwnerWatch();
    QElapsedTimer timer;

    if (mode == "read") {
        timer.start();
        if (!clipboard.Open()) {
            Print(QStringLiteral("open-failed:%1").arg(clipboard.GetLastError()));
            return 1;
        }
        const QString result = Unicode(clipboard);
        clipboard.Close();
        Print(result);
        Print(QString::number(timer.elapsed()));
        return 0;
    }
    if (mode == "read-ansi") {
        timer.start();
        if (!clipboard.Open()) {
            Print(QStringLiteral("open-failed:%1").arg(clipboard.GetLastError()));
            return 1;
        }
        const QString unicode = Unicode(clipboard);
        const std::optional<QByteArray> ansi = clipboard.AnsiText();
        const QString ansiLine = ansi ? QStringLiteral("ansi:") + QString::fromLatin1(ansi->toHex())
                                      : QStringLiteral("ansi:none:%1").arg(clipboard.GetLastError());
        clipboard.Close();
        Print(QStringLiteral("unicode:") + unicode);
        Print(ansiLine);
        Print(QString::number(timer.elapsed()));
        return 0;
    }
    if (mode == "own" && args.size() >= 4) {
        const QString text = args.at(2);
        QTimer::singleShot(args.at(3).toInt(), &app, [&] {
            if (!clipboard.Open() || !clipboard.Empty() || !clipboard.SetUnicodeText(Block(text))) {
                Print(QStringLiteral("set-failed:%1").arg(clipboard.GetLastError()));
                app.exit(1);
                return;
            }
            Print(QStringLiteral("owned:") + Unicode(clipboard));
            clipboard.Close();
        });
        return app.exec();
    }
    if (mode == "watch" && args.size() >= 5) {
        const bool watching = watch.BeginOwnerWatch();
        QProcess owner;
        owner.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        owner.start(args.at(4), args.mid(5));
        timer.start();
        const bool changed = watch.WaitForOwnerChange(args.at(2).toInt(), args.at(3).toInt());
        const qint64 waited = timer.elapsed();
        clipboard.Open();
        const QString text = Unicode(clipboard);
        clipboard.Close();
        Print(QStringLiteral("changed:%1").arg(changed ? 1 : 0));
        Print(QStringLiteral("waited:%1").arg(waited));
        Print(QStringLiteral("text:") + text);
        Print(QStringLiteral("watching:%1").arg(watching ? 1 : 0));
        owner.kill();
        owner.waitForFinished(2000);
        return 0;
    }
    std::fprintf(stderr, "usage: clipboard_probe read|read-ansi|own TEXT DELAY|hang|watch MIN MAX CMD...\n");
    return 2;
}
