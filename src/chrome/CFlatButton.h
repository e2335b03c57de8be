#pragma once

#include <QIcon>
#include <QPushButton>

#include <array>
#include <optional>

#include "settings/Settings.h"

namespace kotobane {

// A push button that paints itself flat: it lights up while the mouse is
// over it, shows its icon as a shape in one colour, and keeps the colours
// its owner gives it.
class CFlatButton : public QPushButton {
    Q_OBJECT
public:
    explicit CFlatButton(QWidget* parent);

    // in: shown while hovered or pressed; out: at rest (none: in). 1 when
    // in is no icon (the button then has none), else 0.
    int SetIcon(const QIcon& in, const QIcon& out = QIcon());
    // Colours 0 background in, 1 text in, 2 background out, 3 text out,
    // 4 background focused, 5 text focused; 3 for an index above 5.
    int SetColor(int index, Colour colour, bool repaint);
    void SetDefaultColors(bool repaint);
    void SetIconColor(Colour colour);
    // An empty text does nothing; inactive tooltips are not shown.
    void SetTooltipText(const QString& text, bool activate);
    int SetCheck(bool checked, bool repaint);
    bool GetCheck() const { return isCheckable() && isChecked(); }

    bool Hover() const { return m_hover; }
    const QIcon& InIcon() const { return m_in; }
    Colour ColorAt(int index) const { return m_colours[size_t(index)]; }

    static constexpr int kTooltipMaxWidth = 400;

    // The grey copy of an icon, for buttons that show their rest state grey.
    static QIcon CreateGrayIcon(const QIcon& icon, QSize size);

protected:
    virtual void DrawBackground(QPainter& painter, QRect rect);
    virtual void DrawBorder(QPainter& painter, QRect rect);
    bool Pressed() const;

    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;

private:
    void CancelHover();
    void DrawIcon(QPainter& painter, QRect rect, bool pressed);

    bool m_hover = false;
    std::array<Colour, 6> m_colours{};
    std::optional<Colour> m_iconColour;
    QIcon m_in;
    QIcon m_out;
    bool m_tooltipActive = false;
};

// The popup's buttons: the highlight is a box in the border colour, with
// rounded corners when asked.
class CRoundedFlatButton final : public CFlatButton {
    Q_OBJECT
public:
    explicit CRoundedFlatButton(QWidget* parent) : CFlatButton(parent) { }

    int SetRounded(bool rounded, bool repaint);
    Colour borderColour = 0;

protected:
    void DrawBackground(QPainter& painter, QRect rect) override;
    void DrawBorder(QPainter&, QRect) override { }

private:
    bool m_rounded = false;
};

}  // namespace kotobane
