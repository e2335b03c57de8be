#include "platform/generic/QtClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QtEndian>

#include <cerrno>

namespace kotobane {

bool QtClipboard::Open()
{
    m_open = true;
    m_lastError = 0;
    return true;
}

void QtClipboard::Close()
{
    m_open = false;
}

std::optional<QString> QtClipboard::HeldText()
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
    if (data == nullptr || !data->hasText()) {
        return std::nullopt;
    }
    return data->text();
}

std::optional<QString> QtClipboard::UnicodeText()
{
    const bool own = m_open && QGuiApplication::clipboard()->ownsClipboard();
    std::optional<QString> text = own ? HeldText() : std::nullopt;
    if (!text) {
        m_lastError = m_open ? ENODATA : EBADF;
    }
    return text;
}

std::optional<QByteArray> QtClipboard::AnsiText()
{
    const std::optional<QString> text = UnicodeText();
    return text ? std::optional<QByteArray>(text->toLatin1()) : std::nullopt;
}

bool QtClipboard::Empty()
{
    if (!m_open) {
        m_lastError = EBADF;
        return false;
    }
    // Another program's text goes away when we take the clipboard; only our
    // own needs dropping.
    if (QGuiApplication::clipboard()->ownsClipboard()) {
        QGuiApplication::clipboard()->clear(QClipboard::Clipboard);
    }
    return true;
}

bool QtClipboard::SetUnicodeText(const QByteArray& block)
{
    if (!m_open) {
        m_lastError = EBADF;
        return false;
    }
    QString text;
    const qsizetype units = block.size() / 2;
    text.reserve(units);
    for (qsizetype i = 0; i < units; ++i) {
        const char16_t unit = qFromLittleEndian<quint16>(block.constData() + 2 * i);
        if (unit == 0) {
            break;
        }
        text.append(QChar(unit));
    }
    QGuiApplication::clipboard()->setText(text, QClipboard::Clipboard);
    return true;
}

quint32 QtClipboard::GetLastError()
{
    return m_lastError;
}

}  // namespace kotobane
