#pragma once

#include <QPlainTextEdit>

#include "settings/Settings.h"

namespace kotobane {

// The popup's text box: a rounded outline in the border colour around a
// field of the lightened background, read from the settings at every paint
// so that a change shows at the next repaint.
class CRoundFrameEdit final : public QPlainTextEdit {
    Q_OBJECT
public:
    CRoundFrameEdit(const Settings& settings, QWidget* parent);

    // The outline's band on every side, outside the text's viewport.
    static constexpr int kBand = 1;

protected:
    bool event(QEvent* event) override;

private:
    const Settings& m_settings;
};

}  // namespace kotobane
