#pragma once

#include <QIODevice>
#include <QStringList>
#include <QTextStream>

#include <functional>
#include <memory>

#include "platform/ImeService.h"
#include "platform/SystemServices.h"
#include "platform/VoiceService.h"
#include "speech/SpeechSettings.h"

namespace kotobane {

// What main() should do with its arguments.
enum class Mode {
    Desktop,  // no command-line action: the tray program
    Console,  // a command handled without a display
    Control,  // a command for the running copy (--get-text, --exit ...)
};
Mode ModeFor(const QStringList& arguments);

struct ConsoleEnvironment {
    QIODevice& in;
    QTextStream& out;
    QTextStream& err;
    ImeService& ime;
    Clock& clock;
    MessageBoxService& ui;
    // The keylayout stored in the settings of the profile directory (""
    // for the usual place), or "" when none is stored.
    std::function<QString(const QString& profileDir)> storedLayout;
    // The speech choices stored there (the defaults when none are stored).
    std::function<SpeechSettings(const QString& profileDir)> storedSpeech;
    // Makes the voice service for --speak and --list-voices.
    std::function<std::unique_ptr<VoiceService>()> voiceService;
};

// Runs a console command (--read, --list-imes, --speak, --list-voices,
// --autostart, --help, --version) and
// returns the exit status. Never writes the settings or the history.
int RunConsoleCommand(const QStringList& arguments, ConsoleEnvironment& env);

// The commands that the control options (--get-text, --history, --options,
// --exit) among the arguments ask of the running copy, in their order.
QList<int> ControlCommandsFor(const QStringList& arguments);
// Whether the running copy carries out command when another process sends
// it: the control commands and the second copy's 1283, nothing else.
bool IsRemoteCommand(int command);

// Splits standard input into lines at LF, dropping a CR before it; a last
// line without LF counts when it is not empty.
QStringList InputLines(const QByteArray& data);

}  // namespace kotobane
