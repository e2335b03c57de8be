#pragma once

#include <QDialog>
#include <QHash>
#include <QPointer>

#include "history/ResizeLayout.h"

class QSizeGrip;

namespace kotobane {

// A dialog whose registered controls follow its size. A derived window
// builds its controls, gives the dialog its initial size, calls
// InitResizeBase() and then registers its controls with AddAnchor().
class CResizeDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int kSizeGripId = 50;

    explicit CResizeDlg(QWidget* parent = nullptr);

    // Takes the client area as the initial one, puts the size grip into the
    // bottom-right corner and makes the present size the smallest allowed.
    void InitResizeBase();

    // control must be a descendant of the dialog. Registering an id again
    // replaces its entry. flags: NoErase, Repaint.
    void AddAnchor(QWidget* control, int id, int leftDrag, int rightDrag, int topDrag, int bottomDrag,
                   int flags = NoErase, double horizontalPosition = -1.0, double horizontalSize = -1.0,
                   double verticalPosition = -1.0, double verticalSize = -1.0);

    // Non-zero allows resizing in that direction.
    void SetResizable(int horizontal, int vertical);
    void HideSizeGrip();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QRect ClientRectOnScreen() const;
    QRect RectInClient(const QWidget* control) const;
    void PlaceInClient(QWidget* control, QRect rect);
    void ApplyLimits();

    ResizeLayout m_layout;
    QHash<int, QPointer<QWidget>> m_controls;
    QSizeGrip* m_sizeGrip = nullptr;
    QSize m_frameExtra;  // outer size minus client size at initialisation
};

}  // namespace kotobane
