#include "platform/system/ConsoleServices.h"

#include <QThread>

namespace kotobane {

int ConsoleMessageBox::MessageBox(const QString& text, unsigned)
{
    m_err << "kotobane: " << text << Qt::endl;
    return IDOK;
}

void ThreadClock::Sleep(int milliseconds)
{
    QThread::msleep(static_cast<unsigned long>(milliseconds));
}

}  // namespace kotobane
