#include "platform/wayland/PortalShortcuts.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QKeySequence>
#include <QLoggingCategory>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

namespace kotobane {

namespace {

Q_LOGGING_CATEGORY(lcPortal, "kotobane.portal", QtWarningMsg)

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
// Stable, so that the desktop keeps the user's choice of keys between
// runs: Plasma names its shortcut component after it.
const QString kSessionToken = QStringLiteral("kotobane");
const QString kShortcutPrefix = QStringLiteral("hot-key-");
constexpr int kAvailabilityTimeoutMs = 3000;

// One entry of the portal's a(sa{sv}) shortcut lists.
struct PortalShortcut {
    QString id;
    QVariantMap properties;
};

QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

QString KeyName(quint8 vk)
{
    if (vk >= 0x70 && vk <= 0x87) {
        return QStringLiteral("F%1").arg(vk - 0x70 + 1);
    }
    if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) {
        return QString(QChar(vk).toLower());
    }
    if (vk >= 0x60 && vk <= 0x69) {
        return QStringLiteral("KP_%1").arg(vk - 0x60);
    }
    switch (vk) {
    case 0x08:
        return QStringLiteral("BackSpace");
    case 0x09:
        return QStringLiteral("Tab");
    case 0x0D:
        return QStringLiteral("Return");
    case 0x13:
        return QStringLiteral("Pause");
    case 0x1B:
        return QStringLiteral("Escape");
    case 0x20:
        return QStringLiteral("space");
    case 0x21:
        return QStringLiteral("Prior");
    case 0x22:
        return QStringLiteral("Next");
    case 0x23:
        return QStringLiteral("End");
    case 0x24:
        return QStringLiteral("Home");
    case 0x25:
        return QStringLiteral("Left");
    case 0x26:
        return QStringLiteral("Up");
    case 0x27:
        return QStringLiteral("Right");
    case 0x28:
        return QStringLiteral("Down");
    case 0x2C:
        return QStringLiteral("Print");
    case 0x2D:
        return QStringLiteral("Insert");
    case 0x2E:
        return QStringLiteral("Delete");
    default:
        return QString();
    }
}

// Plasma's KGlobalAccel refuses a key another component holds, and its
// portal still reports the key as ours (Plasma binds Control+F12 to Show
// Desktop): who holds the key, as “Show Desktop” (plasmashell), or "".
QString KdeHolderOf(int qtKey)
{
    if (qtKey == 0 || !qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(u':').contains(QLatin1String("KDE"))) {
        return QString();
    }
    QDBusMessage ask = QDBusMessage::createMethodCall(
        QStringLiteral("org.kde.kglobalaccel"), QStringLiteral("/kglobalaccel"), QStringLiteral("org.kde.KGlobalAccel"),
        QStringLiteral("getGlobalShortcutsByKey"));
    ask << qtKey;
    const QDBusMessage reply = QDBusConnection::sessionBus().call(ask, QDBus::Block, kAvailabilityTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return QString();
    }
    // a(ssssssaiai): action, its name, component, its name, context, its
    // name, keys, default keys.
    const QDBusArgument list = reply.arguments().first().value<QDBusArgument>();
    list.beginArray();
    QString holder;
    while (!list.atEnd()) {
        QString action, actionName, component, componentName, context, contextName;
        QList<int> keys, defaults;
        list.beginStructure();
        list >> action >> actionName >> component >> componentName >> context >> contextName >> keys >> defaults;
        list.endStructure();
        if (component != kSessionToken && holder.isEmpty()) {
            holder = QStringLiteral("\u201c%1\u201d (%2)").arg(actionName, componentName);
        }
    }
    list.endArray();
    return holder;
}

}  // namespace

}  // namespace kotobane

Q_DECLARE_METATYPE(kotobane::PortalShortcut)

namespace kotobane {

QString PortalTrigger(HotKeyModifiers modifiers, quint8 virtualKey)
{
    const QString key = KeyName(virtualKey);
    if (key.isEmpty()) {
        return QString();
    }
    QString trigger;
    const std::pair<HotKeyModifiers, const char*> names[] = {{HotKeyModifiers::Control, "CTRL+"},
                                                             {HotKeyModifiers::Alt, "ALT+"},
                                                             {HotKeyModifiers::Shift, "SHIFT+"},
                                                             {HotKeyModifiers::Super, "LOGO+"}};
    for (const auto& [modifier, name] : names) {
        if (HasModifier(modifiers, modifier)) {
            trigger += QLatin1String(name);
        }
    }
    return trigger + key;
}

int QtKeyCode(HotKeyModifiers modifiers, quint8 virtualKey)
{
    int key = 0;
    if (virtualKey >= 0x70 && virtualKey <= 0x87) {
        key = Qt::Key_F1 + (virtualKey - 0x70);
    } else if ((virtualKey >= 'A' && virtualKey <= 'Z') || (virtualKey >= '0' && virtualKey <= '9')) {
        key = virtualKey;  // Qt::Key_A ... and Qt::Key_0 ... share the codes
    } else {
        return 0;
    }
    const std::pair<HotKeyModifiers, int> bits[] = {{HotKeyModifiers::Control, Qt::CTRL},
                                                    {HotKeyModifiers::Alt, Qt::ALT},
                                                    {HotKeyModifiers::Shift, Qt::SHIFT},
                                                    {HotKeyModifiers::Super, Qt::META}};
    for (const auto& [modifier, bit] : bits) {
        if (HasModifier(modifiers, modifier)) {
            key |= bit;
        }
    }
    return key;
}

QString PortalObjectPath(const QString& kind, const QString& uniqueName, const QString& token)
{
    QString sender = uniqueName.startsWith(u':') ? uniqueName.mid(1) : uniqueName;
    sender.replace(u'.', u'_');
    return kPath + u'/' + kind + u'/' + sender + u'/' + token;
}

QString PortalShortcutId(int id)
{
    return kShortcutPrefix + QString::number(id);
}

int HotKeyIdOf(const QString& shortcutId)
{
    if (!shortcutId.startsWith(kShortcutPrefix)) {
        return 0;
    }
    bool number = false;
    const int id = shortcutId.mid(kShortcutPrefix.size()).toInt(&number);
    return number && id > 0 ? id : 0;
}

PortalShortcuts::PortalShortcuts()
{
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return;
    }
    // The portal starts on demand; a bounded wait for its answer.
    QDBusMessage ask = QDBusMessage::createMethodCall(
        kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    ask << kInterface << QStringLiteral("version");
    const QDBusMessage reply = bus.call(ask, QDBus::Block, kAvailabilityTimeoutMs);
    m_available = reply.type() == QDBusMessage::ReplyMessage;
    qCInfo(lcPortal) << "GlobalShortcuts portal:" << (m_available ? "yes" : reply.errorMessage());
    if (m_available) {
        bus.connect(kService, kPath, kInterface, QStringLiteral("Activated"), this, SLOT(OnActivated(QDBusMessage)));
    }
}

bool PortalShortcuts::RegisterHotKey(int id, HotKeyModifiers modifiers, quint8 virtualKey)
{
    if (!m_available) {
        return true;  // the user was told once how to bind the command instead
    }
    if (m_sessionAsked) {
        return true;  // bound already: the desktop's keys hold
    }
    QString trigger = PortalTrigger(modifiers, virtualKey);
    const int qtKey = QtKeyCode(modifiers, virtualKey);
    if (const QString holder = KdeHolderOf(qtKey); !holder.isEmpty()) {
        // Asked for without a key, the shortcut waits for the user's choice.
        qCInfo(lcPortal) << "the key" << trigger << "is held by" << holder;
        trigger.clear();
        if (m_conflict.isEmpty()) {
            m_conflict =
                QStringLiteral("%1 is taken on this desktop by %2, so Kotobane's look-up shortcut has no key yet.\n\n"
                               "Choose one for \"Look up the selected text\" under Kotobane in System Settings, "
                               "Shortcuts.")
                    .arg(QKeySequence(qtKey).toString(QKeySequence::NativeText), holder);
        }
    }
    m_wanted.append({id, trigger});
    // Every registration of this round goes into the one session.
    if (m_wanted.size() == 1) {
        QTimer::singleShot(0, this, &PortalShortcuts::CreateSession);
    }
    return true;
}

void PortalShortcuts::UnregisterHotKey(int)
{
    // The session and its keys stay for the program's life.
}

QVariant PortalShortcuts::ShortcutList() const
{
    QList<PortalShortcut> list;
    for (const Wanted& w : m_wanted) {
        QVariantMap properties{{QStringLiteral("description"), QStringLiteral("Look up the selected text")}};
        if (!w.trigger.isEmpty()) {
            properties.insert(QStringLiteral("preferred_trigger"), w.trigger);
        }
        list.append({PortalShortcutId(w.id), properties});
    }
    return QVariant::fromValue(list);
}

bool PortalShortcuts::Request(const QString& method, const QVariantList& arguments, const char* slot)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QString token = QStringLiteral("kotobane%1").arg(++m_requests);
    // Listen first: the answer may come before the call returns.
    bus.connect(kService, PortalObjectPath(QStringLiteral("request"), bus.baseService(), token),
                QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"), this, slot);
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    QVariantList args = arguments;
    QVariantMap options = args.takeLast().toMap();
    options.insert(QStringLiteral("handle_token"), token);
    args.append(options);
    call.setArguments(args);
    return bus.send(call);
}

void PortalShortcuts::CreateSession()
{
    if (m_sessionAsked) {
        return;
    }
    m_sessionAsked = true;
    const QVariantMap options{{QStringLiteral("session_handle_token"), kSessionToken},
                              {QStringLiteral("shortcuts"), ShortcutList()}};
    Request(QStringLiteral("CreateSession"), {options}, SLOT(OnSessionCreated(uint, QVariantMap)));
}

void PortalShortcuts::OnSessionCreated(uint response, const QVariantMap& results)
{
    if (response != 0) {
        qCWarning(lcPortal) << "the desktop did not open a shortcut session:" << response;
        m_available = false;
        if (m_refused) {
            m_refused();
        }
        return;
    }
    m_session = results.value(QStringLiteral("session_handle")).toString();
    Request(QStringLiteral("ListShortcuts"), {QVariant::fromValue(QDBusObjectPath(m_session)), QVariantMap()},
            SLOT(OnListed(uint, QVariantMap)));
}

void PortalShortcuts::OnListed(uint response, const QVariantMap& results)
{
    const QVariant shortcuts = results.value(QStringLiteral("shortcuts"));
    if (response == 0 && shortcuts.isValid() && !qdbus_cast<QList<PortalShortcut>>(shortcuts).isEmpty()) {
        TakeTriggers(shortcuts);
        return;
    }
    // Desktops that take the shortcuts only through a bind (Plasma 6.1 and
    // later, GNOME) may ask the user here.
    Request(QStringLiteral("BindShortcuts"),
            {QVariant::fromValue(QDBusObjectPath(m_session)), ShortcutList(), QString(), QVariantMap()},
            SLOT(OnBound(uint, QVariantMap)));
}

void PortalShortcuts::OnBound(uint response, const QVariantMap& results)
{
    if (response != 0) {
        qCWarning(lcPortal) << "the shortcuts were not bound:" << response;
        return;
    }
    TakeTriggers(results.value(QStringLiteral("shortcuts")));
}

void PortalShortcuts::TakeTriggers(const QVariant& shortcuts)
{
    QString trigger;
    const QList<PortalShortcut> list = qdbus_cast<QList<PortalShortcut>>(shortcuts);
    for (const PortalShortcut& s : list) {
        if (!m_wanted.isEmpty() && s.id == PortalShortcutId(m_wanted.first().id)) {
            trigger = s.properties.value(QStringLiteral("trigger_description")).toString();
        }
    }
    qCInfo(lcPortal) << "the desktop's trigger:" << trigger;
    if (trigger != m_trigger) {
        m_trigger = trigger;
        Q_EMIT TriggerChanged();
    }
}

QStringList PortalShortcuts::ShortcutSettingsCommand() const
{
    if (!m_available) {
        return {};
    }
    const QStringList desktops = qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(u':');
    // Plasma 6 names its settings program systemsettings, Plasma 5
    // systemsettings5 (where both exist, the first is the newer).
    const std::pair<const char*, QStringList> known[] = {
        {"KDE", {QStringLiteral("systemsettings"), QStringLiteral("kcm_keys")}},
        {"KDE", {QStringLiteral("systemsettings5"), QStringLiteral("kcm_keys")}},
        {"GNOME", {QStringLiteral("gnome-control-center"), QStringLiteral("keyboard")}},
    };
    for (const auto& [desktop, command] : known) {
        if (desktops.contains(QLatin1String(desktop)) && !QStandardPaths::findExecutable(command.first()).isEmpty()) {
            return command;
        }
    }
    return {};
}

bool PortalShortcuts::OpenShortcutSettings()
{
    QStringList command = ShortcutSettingsCommand();
    if (command.isEmpty()) {
        return false;
    }
    const QString program = command.takeFirst();
    return QProcess::startDetached(program, command);
}

void PortalShortcuts::OnActivated(const QDBusMessage& message)
{
    // (o session_handle, s shortcut_id, t timestamp, a{sv} options)
    const QVariantList args = message.arguments();
    if (args.size() < 2) {
        return;
    }
    const QString session = args[0].value<QDBusObjectPath>().path();
    const QString shortcutId = args[1].toString();
    const int id = HotKeyIdOf(shortcutId);
    qCInfo(lcPortal) << "activated:" << shortcutId << "in" << session;
    if (session != m_session || id == 0) {
        return;
    }
    // Outside the D-Bus dispatch, as the other sessions' hot keys are.
    QTimer::singleShot(0, this, [this, id] {
        if (m_handler) {
            m_handler(id);
        }
    });
}

}  // namespace kotobane
