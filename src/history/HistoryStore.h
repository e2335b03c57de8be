#pragma once

#include <QDateTime>
#include <QString>

#include <functional>

#include "platform/SystemServices.h"

namespace kotobane {

// The 19-character date of a history line: "YYYY/MM/DD hh:mm:ss".
QString HistoryDate(const QDateTime& localTime);

// Appends look-ups to the history file: UTF-16LE without byte-order mark,
// one "phrase TAB reading TAB date CR LF" line per new phrase.
class HistoryAppender final {
    Q_DISABLE_COPY_MOVE(HistoryAppender)
public:
    using Now = std::function<QDateTime()>;

    HistoryAppender(QString historyFilePath, MessageBoxService& ui, Now now = &QDateTime::currentDateTime);

    const QString& HistoryFilePath() const { return m_path; }
    const QString& LastAppendedPhrase() const { return m_lastPhrase; }

    // Does nothing for the phrase appended last (so never for an empty one).
    // Failures are shown to the user; the phrase still counts as appended.
    void AppendHistory(const QString& phrase, const QString& reading);

private:
    QString m_path;
    MessageBoxService& m_ui;
    Now m_now;
    QString m_lastPhrase;
};

}  // namespace kotobane
