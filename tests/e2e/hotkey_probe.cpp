// Registers Control+F12 the way the program does and reports what happens:
// "registered" or "failed <code>", then "pressed <id>" for each press.
// With --copy it answers a press with a synthesized
// Control+C. With --keylog it registers nothing, shows a window titled
// "hotkey probe" and prints "key ctrl+c" when that chord reaches it.
// With --slow-copy TEXT MS it registers nothing, shows a window titled
// "slow copier" and answers each Control+C by taking the clipboard with
// TEXT only MS milliseconds later, as a sluggish editor does; it prints
// "copied" once the clipboard is its own.
// Ends after --presses presses (default 1) or --timeout seconds (default 10).
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "platform/desktop/DesktopChoice.h"

namespace {

class KeyLog : public QWindow {
protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_C && (event->modifiers() & Qt::ControlModifier)) {
            std::printf("key ctrl+c\n");
            std::fflush(stdout);
            QCoreApplication::quit();
        }
    }
};

class SlowCopier : public QWindow {
public:
    SlowCopier(QString text, int delay) : m_text(std::move(text)), m_delay(delay) { }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() != Qt::Key_C || !(event->modifiers() & Qt::ControlModifier)) {
            return;
        }
        std::printf("key ctrl+c\n");
        std::fflush(stdout);
        QTimer::singleShot(m_delay, this, [this] {
            QGuiApplication::clipboard()->setText(m_text);
            std::printf("copied\n");
            std::fflush(stdout);
        });
    }

private:
    QString m_text;
    int m_delay;
};

}  // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    int presses = 1;
    int timeout = 10;
    bool copy = false;
    bool keylog = false;
    QString slowText;
    int slowDelay = -1;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--copy")) {
            copy = true;
        }
        if (args[i] == QLatin1String("--keylog")) {
            keylog = true;
        }
        if (i + 2 < args.size() && args[i] == QLatin1String("--slow-copy")) {
            slowText = args[i + 1];
            slowDelay = args[i + 2].toInt();
            i += 2;
        }
        if (i + 1 < args.size() && args[i] == QLatin1String("--presses")) {
            presses = args[++i].toInt();
        }
        if (i + 1 < args.size() && args[i] == QLatin1String("--timeout")) {
            timeout = args[++i].toInt();
        }
    }

    QTimer::singleShot(timeout * 1000, &app, [&] {
        std::printf("timeout\n");
        app.exit(1);
    });

    if (keylog) {
        // Another program's window, as the target of a copy is.
        KeyLog window;
        window.setTitle(QStringLiteral("hotkey probe"));
        window.resize(200, 100);
        window.show();
        window.requestActivate();
        return app.exec();
    }

    if (slowDelay >= 0) {
        SlowCopier window(slowText, slowDelay);
        window.setTitle(QStringLiteral("slow copier"));
        window.resize(200, 100);
        window.show();
        window.requestActivate();
        return app.exec();
    }

    const std::unique_ptr<kotobane::DesktopPlatform> platform = kotobane::ChooseDesktopPlatform();
    if (!platform->Limitation().isEmpty()) {
        std::fprintf(stderr, "hotkey_probe: not an X11 session\n");
        return 3;
    }
    kotobane::KeyboardService& keyboard = platform->Keyboard();
    kotobane::HotKeyService& hotKeys = platform->HotKeys();
    if (!hotKeys.RegisterHotKey(1, kotobane::HotKeyModifiers::Control, 123 /* F12 */)) {
        std::printf("failed %u\n", hotKeys.GetLastError());
        return 2;
    }
    std::printf("registered\n");
    std::fflush(stdout);

    int seen = 0;
    hotKeys.SetPressHandler([&](int id) {
        std::printf("pressed %d\n", id);
        std::fflush(stdout);
        if (copy) {
            using kotobane::KEYEVENTF_KEYUP;
            keyboard.KeyEvent(0x11, 0, 0, 0);
            keyboard.KeyEvent('C', 0, 0, 0);
            keyboard.KeyEvent('C', 0, KEYEVENTF_KEYUP, 0);
            keyboard.KeyEvent(0x11, 0, KEYEVENTF_KEYUP, 0);
            // Let the window read the keys before the probe ends.
            QTimer::singleShot(500, &app, [&] {
                if (seen >= presses) {
                    app.quit();
                }
            });
            ++seen;
            return;
        }
        if (++seen >= presses) {
            app.quit();
        }
    });
    return app.exec();
}
