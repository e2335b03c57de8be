#include "history/CResizeDlg.h"

#include <QCursor>
#include <QResizeEvent>
#include <QSizeGrip>

namespace kotobane {

CResizeDlg::CResizeDlg(QWidget* parent) : QDialog(parent)
{ }

void CResizeDlg::InitResizeBase()
{
    m_layout.Initialise(ClientRectOnScreen());

    m_sizeGrip = new QSizeGrip(this);
    const QSize grip = m_sizeGrip->sizeHint();
    m_sizeGrip->setGeometry(QRect(QPoint(width() - grip.width(), height() - grip.height()), grip));
    m_sizeGrip->raise();
    m_sizeGrip->show();
    AddAnchor(m_sizeGrip, kSizeGripId, Move, Move, Move, Move, 0);

    // The window manager's frame is not known before the first show; then
    // the outer size is the client size.
    const QSize outer = frameGeometry().size();
    m_frameExtra = outer - size();
    m_layout.SetMinimumSize(outer);
    ApplyLimits();
}

void CResizeDlg::AddAnchor(QWidget* control, int id, int leftDrag, int rightDrag, int topDrag, int bottomDrag,
                           int flags, double horizontalPosition, double horizontalSize, double verticalPosition,
                           double verticalSize)
{
    // Qt does not paint the background under child widgets, so NoErase is
    // only kept in the entry.
    m_layout.AddAnchor(id, RectInClient(control), size(), leftDrag, rightDrag, topDrag, bottomDrag, flags,
                       horizontalPosition, horizontalSize, verticalPosition, verticalSize);
    m_controls.insert(id, control);
}

void CResizeDlg::SetResizable(int horizontal, int vertical)
{
    m_layout.SetResizable(horizontal, vertical);
    ApplyLimits();
}

void CResizeDlg::HideSizeGrip()
{
    if (m_sizeGrip != nullptr) {
        m_sizeGrip->hide();
    }
}

void CResizeDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    if (!m_layout.IsInitialised()) {
        return;
    }
    const std::vector<AnchorMove> moves = m_layout.Layout(ClientRectOnScreen(), QCursor::pos(), [this](int id) {
        const QWidget* control = m_controls.value(id);
        return control != nullptr ? RectInClient(control) : QRect();
    });
    if (moves.empty()) {
        return;
    }
    // All moves of one size change land together, with one repaint.
    setUpdatesEnabled(false);
    for (const AnchorMove& move : moves) {
        QWidget* control = m_controls.value(move.id);
        if (control == nullptr) {
            continue;
        }
        if (move.repaint) {
            control->update();
        }
        PlaceInClient(control, move.rect);
        if (move.repaint) {
            update(move.vacated);
        }
    }
    setUpdatesEnabled(true);
}

QRect CResizeDlg::ClientRectOnScreen() const
{
    return QRect(mapToGlobal(QPoint(0, 0)), size());
}

QRect CResizeDlg::RectInClient(const QWidget* control) const
{
    const QWidget* parent = control->parentWidget();
    const QPoint topLeft = parent == this ? control->pos() : parent->mapTo(this, control->pos());
    return QRect(topLeft, control->size());
}

void CResizeDlg::PlaceInClient(QWidget* control, QRect rect)
{
    QWidget* parent = control->parentWidget();
    if (parent != this) {
        rect.moveTopLeft(parent->mapFrom(this, rect.topLeft()));
    }
    control->setGeometry(rect);
}

void CResizeDlg::ApplyLimits()
{
    // Until initialisation the sizes are Qt's own.
    if (!m_layout.IsInitialised()) {
        return;
    }
    SizeLimits system;
    system.minimumTrack = QSize(0, 0);
    system.maximumTrack = QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    system.maximised = system.maximumTrack;
    const SizeLimits limits = m_layout.Limits(system);
    // Qt limits the client area; X11 window managers keep a maximised
    // window within the maximum size, so that covers the maximised size too.
    setMinimumSize((limits.minimumTrack - m_frameExtra).expandedTo(QSize(0, 0)));
    const QSize maximum = limits.maximumTrack.boundedTo(limits.maximised);
    setMaximumSize(maximum.width() >= QWIDGETSIZE_MAX ? QWIDGETSIZE_MAX : maximum.width() - m_frameExtra.width(),
                   maximum.height() >= QWIDGETSIZE_MAX ? QWIDGETSIZE_MAX : maximum.height() - m_frameExtra.height());
}

}  // namespace kotobane
