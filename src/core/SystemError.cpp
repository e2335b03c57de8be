#include "core/SystemError.h"

#include <QFileInfo>
#include <QLoggingCategory>

#include <cstring>

namespace kotobane {

namespace {
// Every failure shown to the user, also in the log.
Q_LOGGING_CATEGORY(lcErrors, "kotobane.errors", QtWarningMsg)
}  // namespace

QString SystemErrorText(quint32 code)
{
    if (code == kErrorHotKeyAlreadyRegistered) {
        return QStringLiteral("Hot key is already registered by another program.");
    }
    if (code == kErrorNotRegularFile) {
        return QStringLiteral("Not a regular file.");
    }
    if (code == kErrorNoReader) {
        return QStringLiteral("No program opened the FIFO for reading.");
    }
    // strerror_r in its GNU form may return a static string instead of
    // filling the buffer; either way the pointer it returns is the text.
    char buffer[256] = {};
    const char* text = strerror_r(static_cast<int>(code), buffer, sizeof buffer);
    return QString::fromLocal8Bit(text);
}

void ShowSystemError(MessageBoxService& ui, const QString& prefix, quint32 code)
{
    const QString text = prefix + SystemErrorText(code);
    qCWarning(lcErrors).noquote() << QString(text).replace(QLatin1Char('\n'), QLatin1Char(' ')) << "(code" << code
                                  << ")";
    ui.MessageBox(text, MB_OK | MB_ICONINFORMATION);
}

unsigned EffectiveMessageBoxType(unsigned type)
{
    if ((type & MB_ICONMASK) != 0) {
        return type;
    }
    switch (type & MB_TYPEMASK) {
    case MB_OK:
    case MB_OKCANCEL:
    case MB_YESNO:
    case MB_YESNOCANCEL:
        return type | MB_ICONEXCLAMATION;
    default:
        return type;
    }
}

QString ProgramName(const QString& executablePath)
{
    return QFileInfo(executablePath).completeBaseName();
}

}  // namespace kotobane
