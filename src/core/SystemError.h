#pragma once

#include <QString>
#include <QtGlobal>

#include "core/ErrorCodes.h"
#include "core/MessageBoxService.h"

namespace kotobane {

// The system's message text for an error code (errno values here, and the
// program's own codes above).
QString SystemErrorText(quint32 code);

// Shows prefix immediately followed by the system text of code, with the
// information icon and an OK button, and waits until it is closed.
void ShowSystemError(MessageBoxService& ui, const QString& prefix, quint32 code);
inline void ShowSystemError(MessageBoxService& ui, quint32 code)
{
    ShowSystemError(ui, QString(), code);
}

// The application's message box adds the exclamation icon when the caller
// gives none and the buttons are OK, OK/Cancel, Yes/No or Yes/No/Cancel.
unsigned EffectiveMessageBoxType(unsigned type);

// The caption of every message box: the executable's file name without
// its extension.
QString ProgramName(const QString& executablePath);

}  // namespace kotobane
