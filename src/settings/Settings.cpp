#include "settings/Settings.h"

#include <QDir>
#include <QLoggingCategory>

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "core/Commands.h"
#include "core/HexDigits.h"
#include "speech/SpeechEngine.h"
#include "speech/SpeechSettings.h"

namespace kotobane {

namespace {

const QString kSettings = QStringLiteral("Settings");
const QString kHistory = QStringLiteral("History");
const QString kSpeech = QStringLiteral("Speech");
const QString kGetText = QStringLiteral("Get Text");

constexpr quint8 kDefaultModifiers = 2;  // Control
constexpr quint8 kDefaultVirtualKey = 123;  // F12

LogFont ReadFont(const IniProfile& profile, const QString& key, const LogFont& fallback)
{
    const QByteArray bytes = DecodeByteBlock(profile.GetString(kSettings, key, QString()));
    return bytes.isEmpty() ? fallback : LogFont::FromBytes(bytes);
}

void WriteInt(IniProfile::Batch& batch, const QString& section, const QString& key, qint64 value)
{
    batch.WriteString(section, key, QString::number(value));
}

// Local time from broken-down fields; daylight saving time as given
// (-1: the system decides). Empty when the fields form no usable time.
std::optional<qint64> MakeLocalTime(int year, int month, int day, int hour, int minute, int second, int isDst)
{
    // Out-of-range fields are normalised by mktime (month 13 is next
    // January); years outside 1..9999 are refused so that no field
    // arithmetic can overflow.
    if (year < 1 || year > 9999) {
        return std::nullopt;
    }
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = isDst;
    const std::time_t result = std::mktime(&t);
    if (result == std::time_t(-1)
        && !(t.tm_year == 69 && t.tm_mon == 11 && t.tm_mday == 31 && t.tm_hour == 23 && t.tm_min == 59
             && t.tm_sec == 59)) {
        return std::nullopt;
    }
    return qint64(result);
}

// Token values clamped well inside int so that mktime's normalisation
// cannot overflow either.
int TokenValue(const QString& token)
{
    return std::clamp(ParseProfileInt(token), -1000000, 1000000);
}

QDateTime ParseFields(const QString& text, const QString& separators, int fields[6], int first, int count)
{
    QStringList tokens;
    SplitTokens(text, separators, tokens);
    const int defaults[6] = {fields[0], fields[1], fields[2], fields[3], fields[4], fields[5]};
    for (int i = 0; i < count && i < tokens.size(); ++i) {
        fields[first + i] = TokenValue(tokens[i]);
    }
    std::optional<qint64> t = MakeLocalTime(fields[0], fields[1], fields[2], fields[3], fields[4], fields[5], -1);
    if (!t) {
        // Numbers that form no usable local time give the starting value.
        t = MakeLocalTime(defaults[0], defaults[1], defaults[2], defaults[3], defaults[4], defaults[5], -1);
    }
    return QDateTime::fromSecsSinceEpoch(t.value_or(0));
}

std::optional<qint64> LocalMidnightWithoutDst(const QDate& date)
{
    return MakeLocalTime(date.year(), date.month(), date.day(), 0, 0, 0, 0);
}

}  // namespace

QString HotKeySection(const QString& name)
{
    return QStringLiteral("%1\\HotKeys\\%2").arg(kSettings, name);
}

void SplitTokens(const QString& text, const QString& separators, QStringList& tokens)
{
    if (text.isEmpty()) {
        return;
    }
    const qsizetype before = tokens.size();
    qsizetype start = -1;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        const bool separator = i == text.size() || separators.contains(text[i]);
        if (!separator && start < 0) {
            start = i;
        } else if (separator && start >= 0) {
            tokens.append(text.mid(start, i - start));
            start = -1;
        }
    }
    if (tokens.size() == before) {
        tokens.append(text);
    }
}

QDateTime ParseDateTime(const QString& text)
{
    int fields[6] = {1980, 1, 1, 0, 0, 0};
    return ParseFields(text, QStringLiteral("/ :"), fields, 0, 6);
}

QDateTime ParseTime(const QString& text)
{
    int fields[6] = {1990, 1, 1, 0, 0, 0};
    return ParseFields(text, QStringLiteral(":"), fields, 3, 3);
}

QString FormatDateTime(const QDateTime& time)
{
    const QDateTime local = time.toLocalTime();
    const QDate d = local.date();
    const QTime t = local.time();
    return QString::asprintf("%04d/%02d/%02d %02d:%02d:%02d", d.year(), d.month(), d.day(), t.hour(), t.minute(),
                             t.second());
}

QString FormatTime(const QDateTime& time)
{
    const QTime t = time.toLocalTime().time();
    return QString::asprintf("%02d:%02d:%02d", t.hour(), t.minute(), t.second());
}

qint64 DaysBetween(const QDateTime& last, const QDateTime& now)
{
    const std::optional<qint64> today = LocalMidnightWithoutDst(now.toLocalTime().date());
    const std::optional<qint64> then = LocalMidnightWithoutDst(last.toLocalTime().date());
    if (!today || !then) {
        return 0;
    }
    return (*today - *then) / 86400;
}

std::optional<WindowPlacement> PlacementToStore(QRect normal, bool maximised, bool minimised)
{
    if (minimised) {
        return std::nullopt;
    }
    WindowPlacement p;
    p.length = kWindowPlacementLength;
    p.flags = maximised ? WPF_RESTORETOMAXIMIZED : 0;
    p.showCmd = maximised ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
    p.minX = p.minY = p.maxX = p.maxY = -1;
    p.left = normal.left();
    p.top = normal.top();
    p.right = normal.left() + normal.width();
    p.bottom = normal.top() + normal.height();
    return p;
}

bool PlacementFitsScreen(const WindowPlacement& p, QSize screen)
{
    const auto inside = [&](qint32 x, qint32 y) {
        return x >= 0 && x < screen.width() && y >= 0 && y < screen.height();
    };
    return inside(p.left, p.top) && inside(p.right, p.bottom);
}

Colour ComplementColour(Colour colour)
{
    return (~colour) & 0x00FFFFFFu;
}

Colour ShiftColour(Colour colour, int delta)
{
    Colour result = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const int channel = int((colour >> shift) & 0xFF);
        result |= Colour(std::clamp(channel + delta, 0, 255)) << shift;
    }
    return result;
}

void CopyFont(std::optional<LogFont>* target, const std::optional<LogFont>* source)
{
    if (target == nullptr || source == nullptr || !source->has_value()) {
        return;
    }
    *target = **source;
}

bool ReadWindowPlacement(const IniProfile& profile, const QString& section, const QString& key,
                         WindowPlacement& placement)
{
    const QByteArray text = profile.GetString(section, key, QString()).toUtf8();
    if (text.isEmpty()) {
        return false;
    }
    WindowPlacement read;
    const int fields =
        std::sscanf(text.constData(), "%u,%u,%d,%d,%d,%d,%d,%d,%d,%d", &read.flags, &read.showCmd, &read.minX,
                    &read.minY, &read.maxX, &read.maxY, &read.left, &read.top, &read.right, &read.bottom);
    if (fields != 10) {
        return false;
    }
    read.length = kWindowPlacementLength;
    placement = read;
    return true;
}

void WriteWindowPlacement(const IniProfile& profile, const QString& section, const QString& key,
                          const WindowPlacement& p)
{
    profile.WriteString(section, key,
                        QString::asprintf("%u,%u,%d,%d,%d,%d,%d,%d,%d,%d", p.flags, p.showCmd, p.minX, p.minY, p.maxX,
                                          p.maxY, p.left, p.top, p.right, p.bottom));
}

SpeechSettings ReadSpeechSettings(const IniProfile& ini)
{
    SpeechSettings s;
    s.EnableSpeech = ini.GetInt(kSpeech, QStringLiteral("EnableSpeech"), 1) != 0;
    s.Voice = ini.GetString(kSpeech, QStringLiteral("Voice"), QString());
    s.Volume = ini.GetInt(kSpeech, QStringLiteral("Volume"), 0);
    s.Rate = ini.GetInt(kSpeech, QStringLiteral("Rate"), -1);
    s.AudioFormat = ini.GetInt(kSpeech, QStringLiteral("AudioFormat"), 18);
    s.AudioOutput = ini.GetString(kSpeech, QStringLiteral("AudioOutput"), QString());
    return s;
}

void LoadSettings(Settings& s, SettingsContext& c)
{
    const IniProfile& ini = c.profile;

    const QString hotKeys = HotKeySection(kGetText);
    const int modifiers = ini.GetInt(hotKeys, QStringLiteral("Modifier_Key"), kDefaultModifiers);
    const int virtualKey = ini.GetInt(hotKeys, QStringLiteral("Virtual_Key"), kDefaultVirtualKey);
    HotKeyEntry hotKey{kGetText, StoredModifiers::None, 0, ID_GET_READING};
    if (IsStorableHotKey(modifiers, virtualKey)) {
        hotKey.modifiers = StoredModifiers(modifiers);
        hotKey.virtualKey = quint8(virtualKey);
    } else {
        // Cut to a byte, the values would make some other key, which the
        // user never chose.
        hotKey.valid = false;
        s.Notices.append(QStringLiteral("The hot key stored in %1 is not valid (Modifier_Key=%2, Virtual_Key=%3), "
                                        "so none is registered; set another in the options.")
                             .arg(QDir::toNativeSeparators(ini.Path()))
                             .arg(modifiers)
                             .arg(virtualKey));
    }
    s.HotKeys.append(hotKey);

    s.RoundEdit = ini.GetInt(kSettings, QStringLiteral("RoundEdit"), 7);
    if (s.RoundEdit < 0) {
        s.RoundEdit = 7;
    }
    s.RoundDialog = ini.GetInt(kSettings, QStringLiteral("RoundDialog"), 9);
    if (s.RoundDialog < 0) {
        s.RoundDialog = 9;
    }
    s.Background = Colour(ini.GetInt(kSettings, QStringLiteral("Background"), 0x800000));
    s.TextColor = Colour(ini.GetInt(kSettings, QStringLiteral("TextColor"), 0xFFFFFF));
    s.BorderColor = Colour(ini.GetInt(kSettings, QStringLiteral("BorderColor"), int(ComplementColour(s.Background))));

    s.keylayout = ini.GetString(kSettings, QStringLiteral("keylayout"), QString());
    if (s.keylayout.isEmpty()) {
        s.keylayout = LayoutText(c.ime.GetKeyboardLayout());
    }

    LoadIMEList(c.catalog, c.ime, c.ui);
    // Before any selection the active layout is the locale's, as at first start.
    const ReadingLayoutChoice reading =
        ChooseReadingLayout(c.catalog, s.keylayout, LayoutText(c.ime.GetKeyboardLayout()));
    s.ReadingLayout = reading.layout;
    if (!reading.notice.isEmpty()) {
        s.Notices.append(reading.notice);
    }

    s.TextFont = ReadFont(ini, QStringLiteral("TextFont"), c.defaultFont);
    s.HistoryFont = ReadFont(ini, QStringLiteral("HistoryFont"), c.defaultFont);

    s.DispHis = ParseDateTime(ini.GetString(kHistory, QStringLiteral("DispHis"), QString()));
    s.Days = ini.GetInt(kHistory, QStringLiteral("Days"), 1);
    s.DispOnStart = ini.GetInt(kHistory, QStringLiteral("DispOnStart"), 1) != 0;
    s.Clock = ParseTime(ini.GetString(kHistory, QStringLiteral("Clock"), QStringLiteral("10:00:00")));
    s.AutoDispHis = ini.GetInt(kHistory, QStringLiteral("AutoDispHis"), 1) != 0;

    s.HistoryDue = s.AutoDispHis && DaysBetween(s.DispHis, c.now) >= s.Days;

    s.Speech = ReadSpeechSettings(ini);
    // Profiles written while no speech engine existed hold EnableSpeech=0
    // without any choice of the user behind it; speech that was never set
    // up starts as on a first start.
    if (s.Speech.Voice.isEmpty()) {
        s.Speech.EnableSpeech = true;
    }

    ApplyStoredSpeechSettings(s.Speech, s.keylayout, c.speech);
}

bool IsStorableHotKey(int modifiers, int virtualKey)
{
    constexpr int kKnownModifiers = 0x0F;
    return modifiers >= 0 && (modifiers & ~kKnownModifiers) == 0 && virtualKey >= 0 && virtualKey <= 0xFF;
}

void ReportUnsavedSettings(const ProfileWriteResult& saved, MessageBoxService* desktop, QTextStream& err)
{
    if (saved) {
        return;
    }
    if (desktop != nullptr) {
        desktop->MessageBox(saved.Message(), MB_OK | MB_ICONERROR);
        return;
    }
    err << "kotobane: " << saved.Message().replace(u'\n', QStringLiteral(": ")) << Qt::endl;
}

ProfileWriteResult SaveSettings(Settings& s, SettingsContext& c)
{
    // One replacement of the file for all keys: a crash during the save
    // leaves the old settings or the new ones, not a mix of the two.
    IniProfile::Batch ini(c.profile);

    for (const HotKeyEntry& entry : s.HotKeys) {
        if (!entry.valid) {
            continue;  // the file keeps what the user wrote there
        }
        const QString section = HotKeySection(entry.name);
        WriteInt(ini, section, QStringLiteral("Modifier_Key"), quint8(entry.modifiers));
        WriteInt(ini, section, QStringLiteral("Virtual_Key"), entry.virtualKey);
    }

    WriteInt(ini, kSettings, QStringLiteral("Background"), qint32(s.Background));
    WriteInt(ini, kSettings, QStringLiteral("TextColor"), qint32(s.TextColor));
    WriteInt(ini, kSettings, QStringLiteral("BorderColor"), qint32(s.BorderColor));
    WriteInt(ini, kSettings, QStringLiteral("RoundEdit"), s.RoundEdit);
    WriteInt(ini, kSettings, QStringLiteral("RoundDialog"), s.RoundDialog);
    ini.WriteString(kSettings, QStringLiteral("keylayout"), s.keylayout);
    ini.WriteString(kSettings, QStringLiteral("TextFont"),
                    s.TextFont ? EncodeByteBlock(s.TextFont->ToBytes()) : QString());
    ini.WriteString(kSettings, QStringLiteral("HistoryFont"),
                    s.HistoryFont ? EncodeByteBlock(s.HistoryFont->ToBytes()) : QString());

    ini.WriteString(kHistory, QStringLiteral("DispHis"), FormatDateTime(s.DispHis));
    WriteInt(ini, kHistory, QStringLiteral("Days"), s.Days);
    WriteInt(ini, kHistory, QStringLiteral("DispOnStart"), s.DispOnStart ? 1 : 0);
    ini.WriteString(kHistory, QStringLiteral("Clock"), FormatTime(s.Clock));
    WriteInt(ini, kHistory, QStringLiteral("AutoDispHis"), s.AutoDispHis ? 1 : 0);

    c.speech.Release();

    WriteInt(ini, kSpeech, QStringLiteral("EnableSpeech"), s.Speech.EnableSpeech ? 1 : 0);
    ini.WriteString(kSpeech, QStringLiteral("Voice"), s.Speech.Voice);
    WriteInt(ini, kSpeech, QStringLiteral("Volume"), s.Speech.Volume);
    WriteInt(ini, kSpeech, QStringLiteral("Rate"), s.Speech.Rate);
    WriteInt(ini, kSpeech, QStringLiteral("AudioFormat"), s.Speech.AudioFormat);
    ini.WriteString(kSpeech, QStringLiteral("AudioOutput"), s.Speech.AudioOutput);
    return ini.Commit();
}

}  // namespace kotobane
