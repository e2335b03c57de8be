#pragma once

#include <QImage>
#include <QMenu>

#include "settings/Settings.h"

namespace kotobane {

// The program's pop-up menus in the user's colours: items on the popup's
// background with a darker strip for their images, a rounded highlight, a
// frame of three lines and a drop shadow of its own.
//
// Qt's menu still places the items and handles mouse and keys; a fixed
// style under it gives the item sizes, and the menu paints everything.
class CMenuXP final : public QMenu {
    Q_OBJECT
public:
    // composited: a compositing manager blends the shadow with what is
    // behind; without one the shadow darkens a copy of the screen.
    CMenuXP(const Settings& settings, bool composited, QWidget* parent = nullptr);

    // Opens one pixel higher than asked, as the program's menus do.
    QAction* Exec(QPoint pos);

    // The size of an item or a separator, from this opening's metrics.
    QSize ItemSize(bool separator) const;
    // The menu without its shadow.
    QRect BodyRect() const;
    bool Composited() const { return m_composited; }

    static constexpr int kFrameWidth = 3;
    static constexpr int kStripWidth = 24;
    static constexpr int kLabelLeft = 32;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void UpdateMetrics();
    void DrawItem(QPainter& painter, const QAction* action, QRect r, bool highlighted) const;
    void DrawFrame(QPainter& painter) const;
    // The shadow as black of the rule's shares, for a compositor to blend.
    void DrawShadow(QPainter& painter) const;
    // The shadow darkened into the copy of the screen behind the menu.
    void DarkenShadow(QImage& behind) const;

    const Settings& m_settings;
    bool m_composited;
    quint32 m_itemData = 0;
    quint32 m_separatorData = 0;
    QImage m_behind;  // the screen under the menu, taken before it shows, shadow darkened in
};

}  // namespace kotobane
