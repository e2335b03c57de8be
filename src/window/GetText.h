#pragma once

#include <QString>

#include <functional>

namespace kotobane {

inline constexpr qsizetype kMaxPhraseUnits = 1000;
inline const QString kTooLongMessage = QStringLiteral("The string is more than 1000 byte.");

// Removes white space at both ends: the C library's set below 256 (space,
// TAB, LF, VT, FF, CR) and every Unicode space above 255 (e.g. U+3000).
QString TrimPhrase(const QString& text);

struct LookupText {
    QString phrase;  // the trimmed phrase, or the too-long message
    QString reading;  // "" or "(" + reading + ")"
    // What the popup's text box shows.
    QString Display() const { return reading.isEmpty() ? phrase : phrase + u' ' + reading; }
    // The reading without the parentheses, for the history.
    QString BareReading() const { return reading.isEmpty() ? QString() : reading.mid(1, reading.size() - 2); }
};

// The look-up's work on captured text: trim, apply the length limit and ask
// for the reading (not asked for when the phrase is too long).
LookupText ComposeLookup(const QString& captured, const std::function<QString(const QString&)>& getReading);

}  // namespace kotobane
