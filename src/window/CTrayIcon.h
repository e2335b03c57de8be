#pragma once

#include <QObject>
#include <QSystemTrayIcon>

#include <functional>

namespace kotobane {

// The program's icon in the notification area. A left press sends the
// get-reading command, a right click the menu command; double clicks count
// as the one press they begin with.
class CTrayIcon final : public QObject {
    Q_OBJECT
public:
    using Command = std::function<void(int)>;

    explicit CTrayIcon(QObject* parent = nullptr);
    ~CTrayIcon() override;

    // Adds the icon. Without a notification area yet, Qt shows it as soon
    // as a tray host appears.
    bool Create(const QIcon& icon, const QString& tip, Command sendCommand);
    bool RemoveIcon();
    bool Enabled() const { return m_enabled; }
    QSystemTrayIcon* Icon() { return &m_icon; }

    // The reaction to an activation, also for tests.
    void OnActivated(QSystemTrayIcon::ActivationReason reason);

private:
    QSystemTrayIcon m_icon;
    Command m_send;
    bool m_enabled = false;
};

}  // namespace kotobane
