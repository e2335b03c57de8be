#pragma once

#include <QDateTime>
#include <QList>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <optional>

#include "platform/ImeService.h"
#include "platform/SystemServices.h"
#include "reading/ImeCatalog.h"
#include "settings/IniProfile.h"
#include "settings/LogFont.h"
#include "settings/StoredModifiers.h"
#include "speech/SpeechSettings.h"

namespace kotobane {

class SpeechEngine;

// A colour as 0x00BBGGRR (red in the low byte).
using Colour = quint32;

struct HotKeyEntry {
    QString name;
    StoredModifiers modifiers = StoredModifiers::None;
    quint8 virtualKey = 0;  // a Windows virtual-key code (F12 = 123)
    quint32 command = 0;
    // False when the stored values are no hot key: nothing is registered,
    // and the save leaves them in the file for the user to see and mend.
    bool valid = true;
    bool operator==(const HotKeyEntry&) const = default;
};

// The one configuration record. Field names are the settings file's keys.
struct Settings {
    QList<HotKeyEntry> HotKeys;
    qint32 RoundEdit = 7;
    qint32 RoundDialog = 9;
    Colour Background = 0x800000;
    Colour TextColor = 0xFFFFFF;
    Colour BorderColor = 0x7FFFFF;
    QString keylayout;  // the user's choice, stored back even while it is not installed
    std::optional<LogFont> TextFont;
    std::optional<LogFont> HistoryFont;
    QDateTime DispHis;
    qint32 Days = 1;
    bool DispOnStart = true;
    QDateTime Clock;
    bool AutoDispHis = true;
    bool HistoryDue = false;  // computed at load, never stored
    SpeechSettings Speech;  // the "Speech" section

    // Computed at load, never stored.
    QString ReadingLayout;  // the back-end of this run: keylayout, or the locale's while that is missing
    QStringList Notices;  // what the load found wrong, for the copy on the desktop to say once
    // Given at start-up, never stored: --profile-dir's directory or empty,
    // which an autostart entry passes on.
    QString ProfileDir;
};

// What loading and saving reach besides the file.
struct SettingsContext {
    const IniProfile& profile;
    ImeService& ime;
    MessageBoxService& ui;
    ImeCatalog& catalog;
    SpeechEngine& speech;
    LogFont defaultFont;  // the system's fixed-pitch font, height -15
    QDateTime now;  // the current local time
};

void LoadSettings(Settings& settings, SettingsContext& context);
// The "Speech" section as stored, with its defaults; nothing applied.
SpeechSettings ReadSpeechSettings(const IniProfile& profile);
// Replaces the file once with every key; the result tells whether it did.
ProfileWriteResult SaveSettings(Settings& settings, SettingsContext& context);

// Says once that the settings were not saved: in a box with the error icon
// when the copy on the desktop ends (desktop given), else as one line on
// err, so that a copy started from a launcher never opens a box.
void ReportUnsavedSettings(const ProfileWriteResult& saved, MessageBoxService* desktop, QTextStream& err);

// The hot key values the settings can hold: a modifier byte of the known
// bits (1 Shift, 2 Control, 4 Alt, 8 extended) and a key code of one byte.
bool IsStorableHotKey(int modifiers, int virtualKey);

// "%s\HotKeys\%s" of "Settings" and the entry's name.
QString HotKeySection(const QString& name);

// "1980/01/01 00:00:00"-style text: up to six numbers split at "/", " "
// and ":" replace year, month, day, hour, minute, second of 1980-01-01.
QDateTime ParseDateTime(const QString& text);
// Up to three numbers split at ":" replace the time of 1990-01-01 00:00:00.
QDateTime ParseTime(const QString& text);
QString FormatDateTime(const QDateTime& time);  // "%Y/%m/%d %H:%M:%S"
QString FormatTime(const QDateTime& time);  // "%H:%M:%S"

// Whole calendar days from last's date to now's date, each taken at
// midnight without daylight saving time, truncated.
qint64 DaysBetween(const QDateTime& last, const QDateTime& now);

struct WindowPlacement {
    quint32 length = 0;
    quint32 flags = 0;
    quint32 showCmd = 0;
    qint32 minX = 0, minY = 0, maxX = 0, maxY = 0;
    qint32 left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const WindowPlacement&) const = default;
};
inline constexpr quint32 kWindowPlacementLength = 44;
inline constexpr quint32 SW_SHOWNORMAL = 1;
inline constexpr quint32 SW_SHOWMINIMIZED = 2;
inline constexpr quint32 SW_SHOWMAXIMIZED = 3;
inline constexpr quint32 WPF_RESTORETOMAXIMIZED = 2;

// The placement a window stores at closing, from its normal rectangle; none
// while it is minimised, so that the one before is used next time.
std::optional<WindowPlacement> PlacementToStore(QRect normal, bool maximised, bool minimised);

bool ReadWindowPlacement(const IniProfile& profile, const QString& section, const QString& key,
                         WindowPlacement& placement);
void WriteWindowPlacement(const IniProfile& profile, const QString& section, const QString& key,
                          const WindowPlacement& placement);
// A stored placement is used only when both corners of its normal
// rectangle lie on the primary screen (0 <= x < width, 0 <= y < height).
bool PlacementFitsScreen(const WindowPlacement& placement, QSize screen);

Colour ComplementColour(Colour colour);
Colour ShiftColour(Colour colour, int delta);

// Replaces target's font with a copy of source's; nothing happens when
// either object is missing or source holds no font.
void CopyFont(std::optional<LogFont>* target, const std::optional<LogFont>* source);

// Appends every maximal run without separators; a text of separators only
// is appended whole; an empty text appends nothing.
void SplitTokens(const QString& text, const QString& separators, QStringList& tokens);

}  // namespace kotobane
