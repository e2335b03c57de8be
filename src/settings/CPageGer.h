#pragma once

#include <QCheckBox>
#include <QColor>
#include <QLineEdit>
#include <QPushButton>

#include <functional>
#include <optional>

#include "settings/COptionSheet.h"
#include "settings/OptionPagesLogic.h"

namespace kotobane {

// A button that is only its colour; a release of the left mouse button over
// it opens the colour dialog, the space bar does not.
class CColourButton final : public QPushButton {
    Q_OBJECT
public:
    explicit CColourButton(QWidget* parent);

    Colour GetColour() const { return m_colour; }
    void SetColour(Colour colour);

    // The colour dialog; replaceable for tests. No colour: cancelled.
    std::function<std::optional<QColor>(const QColor& current, QWidget* parent)> askColour;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    Colour m_colour;
};

// The hot-key field: it takes every combination but Tab and Escape, which
// keep their meaning in the dialog, and shows it as the platform names it.
// Backspace or Delete alone clears it.
class CHotKeyEdit final : public QLineEdit {
    Q_OBJECT
public:
    explicit CHotKeyEdit(QWidget* parent);

    HotKeyValue HotKey() const { return m_value; }
    void SetHotKey(HotKeyValue value);
    // Shows the key the desktop keeps for the look-up; typing changes
    // nothing from then on.
    void ShowDesktopKey(const QString& text);
    bool DesktopOwned() const { return m_desktopOwned; }

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void ShowValue();

    HotKeyValue m_value;
    bool m_desktopOwned = false;
};

// The General page: the popup's three colours, the look-up's hot key and
// whether the desktop session starts the program.
class CPageGer final : public COptionPage {
    Q_OBJECT
public:
    CPageGer(Settings& settings, MessageBoxService& ui, HotKeyService* hotKeys = nullptr);

    CColourButton* ColourButton(int id) const;
    CHotKeyEdit* HotKeyControl() const { return m_hotKey; }
    QCheckBox* AutostartBox() const { return m_autostart; }
    // Beside the hot key where the desktop owns it; null elsewhere.
    QPushButton* ShortcutSettingsButton() const { return m_shortcutSettings; }

    void OnOK() override;

    enum Control { IDC_BACKGROUND = 1003, IDC_TEXT_COLOUR = 1005, IDC_BORDER = 1006, IDC_HOTKEY = 1004 };

protected:
    void OnInitDialog() override;

private:
    Settings& m_settings;
    MessageBoxService& m_ui;
    HotKeyService* m_hotKeys;
    // The desktop's trigger, shown instead of the stored key; nullopt where
    // the stored key is the hot key.
    std::optional<QString> m_desktopTrigger;
    QPushButton* m_shortcutSettings = nullptr;
    CColourButton* m_background;
    CColourButton* m_text;
    CColourButton* m_border;
    CHotKeyEdit* m_hotKey;
    QCheckBox* m_autostart;
    QString m_autostartFile;  // where the entry was looked for when the page opened
    bool m_autostartShown = false;  // whether it was there
};

}  // namespace kotobane
