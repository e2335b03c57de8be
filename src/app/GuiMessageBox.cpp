#include "app/GuiMessageBox.h"

#include <QApplication>
#include <QMessageBox>

#include "core/SystemError.h"

namespace kotobane {

namespace {

QMessageBox::Icon IconFor(unsigned type)
{
    switch (type & MB_ICONMASK) {
    case MB_ICONERROR:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONEXCLAMATION:
        return QMessageBox::Warning;
    case MB_ICONINFORMATION:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

QMessageBox::StandardButtons ButtonsFor(unsigned type)
{
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case MB_ABORTRETRYIGNORE:
        return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    case MB_YESNOCANCEL:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MB_YESNO:
        return QMessageBox::Yes | QMessageBox::No;
    case MB_RETRYCANCEL:
        return QMessageBox::Retry | QMessageBox::Cancel;
    default:
        return QMessageBox::Ok;
    }
}

int ResultCode(int button)
{
    switch (button) {
    case QMessageBox::Ok:
        return 1;
    case QMessageBox::Cancel:
        return 2;
    case QMessageBox::Abort:
        return 3;
    case QMessageBox::Retry:
        return 4;
    case QMessageBox::Ignore:
        return 5;
    case QMessageBox::Yes:
        return 6;
    case QMessageBox::No:
        return 7;
    default:
        return 2;
    }
}

}  // namespace

int GuiMessageBox::MessageBox(const QString& text, unsigned type)
{
    type = EffectiveMessageBoxType(type);
    QWidget* owner = QApplication::activeModalWidget();
    if (owner == nullptr) {
        owner = QApplication::activeWindow();
    }
    QMessageBox box(IconFor(type), ProgramName(QCoreApplication::applicationFilePath()), text, ButtonsFor(type), owner);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    // A box shown in the middle of a long operation gets the arrow, not the
    // operation's wait cursor.
    const bool waiting = QApplication::overrideCursor() != nullptr;
    if (waiting) {
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    const int result = ResultCode(box.exec());
    if (waiting) {
        QApplication::restoreOverrideCursor();
    }
    return result;
}

}  // namespace kotobane
