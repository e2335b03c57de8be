#pragma once

#include <QIcon>
#include <QObject>
#include <QPalette>
#include <QSystemTrayIcon>

#include <functional>

namespace kotobane {

// What the tray shows of the program icon under an application palette:
// where the palette is dark, the one-colour glyph (:/icons/tray.svg) in its
// text colour, as a dark panel's own icons are drawn; elsewhere the program
// icon itself, whose tile reads on light and dark panels alike. A light
// palette says little about the panel, as many desktops pair light windows
// with a dark panel.
QIcon TrayIconFor(const QIcon& program, const QPalette& palette);

// The program's icon in the notification area. A left press sends the
// get-reading command, a right click the menu command; double clicks count
// as the one press they begin with.
class CTrayIcon final : public QObject {
    Q_OBJECT
public:
    using Command = std::function<void(int)>;

    explicit CTrayIcon(QObject* parent = nullptr);
    ~CTrayIcon() override;

    // Adds the icon, as TrayIconFor the application palette shows it, again
    // when that palette changes. Without a notification area yet, Qt shows
    // it as soon as a tray host appears.
    bool Create(const QIcon& icon, const QString& tip, Command sendCommand);
    bool RemoveIcon();
    bool Enabled() const { return m_enabled; }
    QSystemTrayIcon* Icon() { return &m_icon; }

    // The reaction to an activation, also for tests.
    void OnActivated(QSystemTrayIcon::ActivationReason reason);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QSystemTrayIcon m_icon;
    QIcon m_program;
    Command m_send;
    bool m_enabled = false;
};

}  // namespace kotobane
