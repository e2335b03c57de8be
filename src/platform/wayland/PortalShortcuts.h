#pragma once

#include <QDBusMessage>
#include <QList>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <functional>

#include "platform/DesktopServices.h"

namespace kotobane {

// The XDG form of a hot key, "CTRL+SHIFT+F12", for the portal's
// preferred_trigger; "" for a key that form has no name for.
QString PortalTrigger(HotKeyModifiers modifiers, quint8 virtualKey);

// The object path where the portal answers a request or keeps a session
// made with token by the connection uniqueName (":1.42"): known before
// the call, so that the answer cannot come before we listen for it.
QString PortalObjectPath(const QString& kind, const QString& uniqueName, const QString& token);

// The key as Qt and KDE's KGlobalAccel number it (Qt::CTRL | Qt::Key_F12),
// 0 for a key without a Qt name here.
int QtKeyCode(HotKeyModifiers modifiers, quint8 virtualKey);

// The shortcut id under which a hot-key registration is bound ("hot-key-1"),
// and back; 0 for an id that is not ours.
QString PortalShortcutId(int id);
int HotKeyIdOf(const QString& shortcutId);

// Hot keys through the desktop portal's GlobalShortcuts: one session kept
// for the program's life, the shortcuts given when it is made (Plasma 5.27
// reads them there only) and bound where the desktop has none for them yet.
// The desktop owns the keys from then on: later registrations only keep
// what is bound.
class PortalShortcuts final : public QObject, public HotKeyService {
    Q_OBJECT
public:
    PortalShortcuts();

    // Whether the session's portal offers GlobalShortcuts; asked once.
    bool Available() const { return m_available; }

    bool RegisterHotKey(int id, HotKeyModifiers modifiers, quint8 virtualKey) override;
    void UnregisterHotKey(int id) override;
    quint32 GetLastError() override { return 0; }
    void SetPressHandler(std::function<void(int id)> handler) override { m_handler = std::move(handler); }
    // Called once when the portal turns out not to serve this desktop after
    // all: it answers, but a back-end for another desktop refuses the
    // session (xdg-desktop-portal-kde under sway).
    void SetRefusalHandler(std::function<void()> handler) { m_refused = std::move(handler); }

    // What the desktop says triggers the first hot key ("Ctrl+F12"), ""
    // before it has said or when it has none.
    QString Trigger() const { return m_trigger; }
    std::optional<QString> DesktopTrigger() const override
    {
        return m_available ? std::optional<QString>(m_trigger) : std::nullopt;
    }
    bool OpenShortcutSettings() override;
    bool HasShortcutSettings() const override { return !ShortcutSettingsCommand().isEmpty(); }
    // What the user should be told once because a key is taken by another
    // program of the desktop, "" when none is.
    QString Conflict() const { return m_conflict; }

Q_SIGNALS:
    void TriggerChanged();

private Q_SLOTS:
    void OnSessionCreated(uint response, const QVariantMap& results);
    void OnListed(uint response, const QVariantMap& results);
    void OnBound(uint response, const QVariantMap& results);
    void OnActivated(const QDBusMessage& message);

private:
    struct Wanted {
        int id;
        QString trigger;
    };
    void CreateSession();
    // The desktop's shortcut settings as a program and its arguments, or
    // empty where this desktop has none we know.
    QStringList ShortcutSettingsCommand() const;
    bool Request(const QString& method, const QVariantList& arguments, const char* slot);
    QVariant ShortcutList() const;
    void TakeTriggers(const QVariant& shortcuts);

    bool m_available = false;
    bool m_sessionAsked = false;
    QString m_session;
    QList<Wanted> m_wanted;
    QString m_trigger;
    QString m_conflict;
    int m_requests = 0;
    std::function<void(int)> m_handler;
    std::function<void()> m_refused;
};

}  // namespace kotobane
