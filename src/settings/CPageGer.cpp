#include "settings/CPageGer.h"

#include <QColorDialog>
#include <QCoreApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

#include "core/MessageBoxService.h"
#include "settings/Autostart.h"
#include "settings/Colours.h"

namespace kotobane {

CColourButton::CColourButton(QWidget* parent)
    : QPushButton(parent),
      m_colour(FromQColor(palette().color(QPalette::Midlight)))
{
    setAutoDefault(false);
    askColour = [](const QColor& current, QWidget* owner) -> std::optional<QColor> {
        // Qt keeps the 16 custom colours for the whole run, white at first.
        const QColor chosen = QColorDialog::getColor(current, owner);
        return chosen.isValid() ? std::optional<QColor>(chosen) : std::nullopt;
    };
}

void CColourButton::SetColour(Colour colour)
{
    m_colour = colour;
    update();
}

void CColourButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect().adjusted(1, 1, -1, -1), ToQColor(m_colour));
}

void CColourButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && askColour) {
        if (const std::optional<QColor> chosen = askColour(ToQColor(m_colour), this)) {
            SetColour(FromQColor(*chosen));
            repaint();
        }
    }
    QPushButton::mouseReleaseEvent(event);
}

CHotKeyEdit::CHotKeyEdit(QWidget* parent) : QLineEdit(parent)
{
    setReadOnly(true);
    // The field is typed into with combinations, never edited as text.
    setContextMenuPolicy(Qt::NoContextMenu);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    ShowValue();
}

void CHotKeyEdit::ShowDesktopKey(const QString& text)
{
    m_desktopOwned = true;
    setText(text);
    setToolTip(QStringLiteral("Set in the desktop's shortcut settings"));
}

void CHotKeyEdit::SetHotKey(HotKeyValue value)
{
    m_value = value;
    ShowValue();
}

void CHotKeyEdit::ShowValue()
{
    setText(HotKeyText(m_value));
}

namespace {

bool KeepsDialogMeaning(const QKeyEvent* key)
{
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    if (key->key() == Qt::Key_Escape) {
        return mods == Qt::NoModifier;
    }
    return (key->key() == Qt::Key_Tab && mods == Qt::NoModifier)
           || (key->key() == Qt::Key_Backtab && (mods == Qt::ShiftModifier || mods == Qt::NoModifier));
}

bool IsModifierKey(int key)
{
    return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt || key == Qt::Key_Meta
           || key == Qt::Key_AltGr || key == Qt::Key_Super_L || key == Qt::Key_Super_R;
}

}  // namespace

bool CHotKeyEdit::event(QEvent* event)
{
    // Showing the desktop's key, it behaves as any read-only field.
    if (m_desktopOwned) {
        return QLineEdit::event(event);
    }
    // Every combination the field takes must reach it, before any shortcut.
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (!KeepsDialogMeaning(key)) {
            event->accept();
            return true;
        }
    }
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (!KeepsDialogMeaning(key)) {
            keyPressEvent(key);
            return true;
        }
    }
    return QLineEdit::event(event);
}

void CHotKeyEdit::keyPressEvent(QKeyEvent* event)
{
    if (m_desktopOwned) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    if (KeepsDialogMeaning(event)) {
        event->ignore();
        return;
    }
    event->accept();
    const StoredModifiers modifiers = StoredModifiersOf(event->modifiers());
    if (IsModifierKey(event->key())) {
        // Shown while held, as the combination being typed.
        setText(modifiers == StoredModifiers::None ? HotKeyText(m_value) : HotKeyText({modifiers, 0}));
        return;
    }
    if (modifiers == StoredModifiers::None && (event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete)) {
        SetHotKey({});
        return;
    }
    const quint8 virtualKey = VirtualKeyOfQtKey(event->key(), event->modifiers() & Qt::KeypadModifier);
    if (virtualKey != 0) {
        SetHotKey({modifiers, virtualKey});
    }
}

void CHotKeyEdit::keyReleaseEvent(QKeyEvent* event)
{
    if (m_desktopOwned) {
        QLineEdit::keyReleaseEvent(event);
        return;
    }
    // Modifiers let go without a key leave the value as it was.
    if (IsModifierKey(event->key())) {
        ShowValue();
    }
    event->accept();
}

void CHotKeyEdit::focusOutEvent(QFocusEvent* event)
{
    if (!m_desktopOwned) {
        ShowValue();
    }
    QLineEdit::focusOutEvent(event);
}

CPageGer::CPageGer(Settings& settings, MessageBoxService& ui, HotKeyService* hotKeys)
    // Taller than template 103 by the autostart box, and as wide as its
    // text needs (wider by the button for the desktop's shortcut settings
    // where there is one); the sheet's IME and Speech pages are larger still.
    : COptionPage(QStringLiteral("General"),
                  QSize(hotKeys != nullptr && hotKeys->HasShortcutSettings() ? 170 : 140, 111)),
      m_settings(settings),
      m_ui(ui),
      m_hotKeys(hotKeys),
      m_background(nullptr),
      m_text(nullptr),
      m_border(nullptr),
      m_hotKey(nullptr),
      m_autostart(nullptr)
{
    // Template 103.
    auto* group = new QGroupBox(QStringLiteral("Color"), this);
    group->setGeometry(Units(0, 0, 110, 59));
    const auto addColour = [this](const QString& label, int y, int buttonY) {
        auto* text = new QLabel(label, this);
        text->setGeometry(Units(5, y, 47, 13));
        text->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        auto* button = new CColourButton(this);
        button->setGeometry(Units(58, buttonY, 47, 13));
        button->setAccessibleName(QString(label).remove(QLatin1Char(':')));
        text->setBuddy(button);
        return button;
    };
    m_background = addColour(QStringLiteral("Background:"), 10, 10);
    m_text = addColour(QStringLiteral("Text:"), 24, 26);
    m_border = addColour(QStringLiteral("Border:"), 40, 42);
    auto* shortcut = new QLabel(QStringLiteral("Shortcut key(Get text):"), this);
    shortcut->setGeometry(Units(0, 65, 80, 8));
    m_hotKey = new CHotKeyEdit(this);
    m_hotKey->setGeometry(Units(0, 77, 110, 12));
    m_hotKey->setAccessibleName(QStringLiteral("Shortcut key(Get text)"));
    shortcut->setBuddy(m_hotKey);
    if (m_hotKeys != nullptr && m_hotKeys->HasShortcutSettings()) {
        // Beside the field, which keeps its place.
        m_shortcutSettings = new QPushButton(QStringLiteral("&Change..."), this);
        m_shortcutSettings->setGeometry(Units(114, 76, 50, 14));
        connect(m_shortcutSettings, &QPushButton::clicked, this, [this] {
            if (!m_hotKeys->OpenShortcutSettings()) {
                m_ui.MessageBox(QStringLiteral("The desktop's shortcut settings could not be opened."),
                                MB_OK | MB_ICONERROR);
            }
        });
    }
    // Below the template's controls, which keep their places.
    m_autostart = new QCheckBox(QStringLiteral("Start with the desktop session"), this);
    m_autostart->setGeometry(Units(0, 95, 140, 12));
}

CColourButton* CPageGer::ColourButton(int id) const
{
    switch (id) {
    case IDC_BACKGROUND:
        return m_background;
    case IDC_TEXT_COLOUR:
        return m_text;
    case IDC_BORDER:
        return m_border;
    default:
        return nullptr;
    }
}

void CPageGer::OnInitDialog()
{
    m_background->SetColour(m_settings.Background);
    m_text->SetColour(m_settings.TextColor);
    m_border->SetColour(m_settings.BorderColor);
    m_desktopTrigger = m_hotKeys != nullptr ? m_hotKeys->DesktopTrigger() : std::nullopt;
    if (m_desktopTrigger) {
        // The desktop keeps the key (a shortcut portal): shown, not edited.
        m_hotKey->ShowDesktopKey(m_desktopTrigger->isEmpty() ? QStringLiteral("None") : *m_desktopTrigger);
    } else if (!m_settings.HotKeys.isEmpty()) {
        const HotKeyEntry& first = m_settings.HotKeys.first();
        m_hotKey->SetHotKey({first.modifiers, first.virtualKey});
    }
    m_autostartFile = AutostartFilePath();
    m_autostartShown = AutostartEnabled(m_autostartFile);
    m_autostart->setChecked(m_autostartShown);
}

void CPageGer::OnOK()
{
    m_settings.Background = m_background->GetColour();
    m_settings.TextColor = m_text->GetColour();
    m_settings.BorderColor = m_border->GetColour();
    // Where the desktop keeps the key, the stored one stays as it was.
    if (!m_settings.HotKeys.isEmpty() && !m_desktopTrigger) {
        HotKeyEntry& first = m_settings.HotKeys.first();
        const HotKeyValue value = m_hotKey->HotKey();
        // Unchanged values that the load found unusable stay as they were.
        if (value != HotKeyValue{first.modifiers, first.virtualKey}) {
            first.modifiers = value.modifiers;
            first.virtualKey = value.virtualKey;
            first.valid = true;
        }
    }
    // Only a change is written: an entry the user edited stays as it is.
    if (m_autostart->isChecked() != m_autostartShown) {
        const QString exec = AutostartExec(QCoreApplication::applicationFilePath(), m_settings.ProfileDir);
        if (const QString error = SetAutostart(m_autostartFile, m_autostart->isChecked(), exec); !error.isEmpty()) {
            m_ui.MessageBox(error, MB_OK | MB_ICONERROR);
        }
    }
}

}  // namespace kotobane
