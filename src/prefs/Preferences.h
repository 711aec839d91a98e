#pragma once
// The general settings as Preferences.ini keeps them. The live values are the
// settings dialog's controls; this is only the file side, without widgets.

#include <QString>

class TNewInifile;

struct TGeneralPreferences {
    QString OutputPath;
    int SynMode = 0;
    bool AutoOpenDir = true;
    bool AutoExit = false;
    bool AutoTurnOff = false;
    bool Overwrite = true;
    // Conversions at once: 0 picks the number, and without the key one
    // file converts at a time.
    int Simultaneous = 1;
};

// ProgramDir + "Preferences.ini".
QString PreferencesFile(const QString &programDir);

// The built-in values, with outputFolder as "Output Path" (the program
// folder, or the user's videos folder when the files are per user): [Main]
// opens the output folder after a batch by default, [Default] ("Load
// Default") does not.
TGeneralPreferences MainDefaults(const QString &outputFolder);
TGeneralPreferences DefaultSectionDefaults(const QString &outputFolder);

// Reads "Output Path", "Syn Mode", "Auto Open Dir", "Auto Exit",
// "Auto Turn Off", "Overwrite" and "Simultaneous" from section, each falling
// back to defaults.
TGeneralPreferences ReadGeneralPreferences(const TNewInifile &ini, const QString &section,
                                           const TGeneralPreferences &defaults);

// Writes the same six keys into [Main], in the same order. A key that is
// missing goes directly under the header, so a fresh section lists them the
// other way round. "Simultaneous" follows only where the file has it or it
// differs from one at a time, so a file that never chose keeps its layout.
void WriteGeneralPreferences(TNewInifile &ini, const TGeneralPreferences &prefs);

// What the main window's close writes: "Profile" first, then the six keys
// (with the main window's output folder as "Output Path").
void WriteMainPreferences(TNewInifile &ini, int profileIndex, const TGeneralPreferences &prefs);

// [Main] Version: the text the caption shows, def when the file has none.
QString ReadVersionText(const TNewInifile &ini, const QString &def);
