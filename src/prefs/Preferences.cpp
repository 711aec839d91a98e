#include "prefs/Preferences.h"

#include "ini/NewInifiles.h"

namespace {
const QString MainSection = QStringLiteral("Main");
} // namespace

QString PreferencesFile(const QString &programDir)
{
    return programDir + QStringLiteral("Preferences.ini");
}

TGeneralPreferences MainDefaults(const QString &outputFolder)
{
    TGeneralPreferences prefs;
    prefs.OutputPath = outputFolder;
    prefs.AutoOpenDir = true;
    return prefs;
}

TGeneralPreferences DefaultSectionDefaults(const QString &outputFolder)
{
    TGeneralPreferences prefs;
    prefs.OutputPath = outputFolder;
    prefs.AutoOpenDir = false;
    return prefs;
}

TGeneralPreferences ReadGeneralPreferences(const TNewInifile &ini, const QString &section,
                                           const TGeneralPreferences &defaults)
{
    TGeneralPreferences prefs;
    prefs.OutputPath = ini.ReadString(section, "Output Path", defaults.OutputPath);
    prefs.SynMode = ini.ReadInteger(section, "Syn Mode", defaults.SynMode);
    prefs.AutoOpenDir = ini.ReadBool(section, "Auto Open Dir", defaults.AutoOpenDir);
    prefs.AutoExit = ini.ReadBool(section, "Auto Exit", defaults.AutoExit);
    prefs.AutoTurnOff = ini.ReadBool(section, "Auto Turn Off", defaults.AutoTurnOff);
    prefs.Overwrite = ini.ReadBool(section, "Overwrite", defaults.Overwrite);
    prefs.Simultaneous = ini.ReadInteger(section, "Simultaneous", defaults.Simultaneous);
    if (prefs.Simultaneous < 0)
        prefs.Simultaneous = defaults.Simultaneous;
    return prefs;
}

void WriteGeneralPreferences(TNewInifile &ini, const TGeneralPreferences &prefs)
{
    ini.WriteString(MainSection, "Output Path", prefs.OutputPath);
    ini.WriteInteger(MainSection, "Syn Mode", prefs.SynMode);
    ini.WriteBool(MainSection, "Auto Open Dir", prefs.AutoOpenDir);
    ini.WriteBool(MainSection, "Auto Exit", prefs.AutoExit);
    ini.WriteBool(MainSection, "Auto Turn Off", prefs.AutoTurnOff);
    ini.WriteBool(MainSection, "Overwrite", prefs.Overwrite);
    if (prefs.Simultaneous != 1 || ini.FindKey(MainSection, "Simultaneous") >= 0)
        ini.WriteInteger(MainSection, "Simultaneous", prefs.Simultaneous);
}

QString ReadVersionText(const TNewInifile &ini, const QString &def)
{
    return ini.ReadString(QStringLiteral("Main"), QStringLiteral("Version"), def);
}

void WriteMainPreferences(TNewInifile &ini, int profileIndex, const TGeneralPreferences &prefs)
{
    ini.WriteInteger(MainSection, "Profile", profileIndex);
    WriteGeneralPreferences(ini, prefs);
}
