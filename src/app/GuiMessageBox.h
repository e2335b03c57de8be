#pragma once

#include <QString>

#include "platform/SystemServices.h"

namespace kotobane {

// The application's message box: captioned with the program's name,
// modal to the program's current top-level window, with the icon rule of
// EffectiveMessageBoxType.
class GuiMessageBox final : public MessageBoxService {
public:
    int MessageBox(const QString& text, unsigned type) override;
};

}  // namespace kotobane
