// Preferences part of the main window: the output folder and the profile
// position are restored when the window is first shown and saved, with the
// settings dialog's General controls, when it closes.
#include "app/MainForm.h"

#include "common/Platform.h"
#include "ini/NewInifiles.h"
#include "prefs/Preferences.h"
#include "settings/Settings.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>

void TMainForm::LoadMainPreferences()
{
    QString outputPath = Files.DefaultOutputFolder;
    int profileIndex = 0;
    try {
        TNewInifile ini(Files.PreferencesFile);
        outputPath = ini.ReadString("Main", "Output Path", Files.DefaultOutputFolder);
        if (cmbProfile->count() > 0)
            profileIndex = ini.ReadInteger("Main", "Profile", 0);
        ini.SaveAndFree();
    } catch (const EFileError &e) {
        // An unreadable or unwritable file is reported; what was read (or
        // the defaults) still applies.
        Platform::Instance().MessageBox(this, e.message(), "Velvo", Platform::Icon::Error);
    }
    edtOutputdir->setText(outputPath);
    // From here on the close writes the preferences back; a start-up ended
    // before this point (a signal while a start-up question waits) changes
    // nothing, so no -1 or empty folder replaces what the user had.
    PreferencesLoaded = true;
    if (cmbProfile->count() == 0)
        return;
    // A position outside the list selects nothing; -1 is saved at close.
    // The change handler runs once, below, as for a choice of the user.
    {
        const QSignalBlocker block(cmbProfile);
        cmbProfile->setCurrentIndex(profileIndex >= 0 && profileIndex < cmbProfile->count() ? profileIndex
                                                                                            : -1);
    }
    try {
        cmbProfileChange();
    } catch (const EFileError &e) {
        Platform::Instance().MessageBox(this, e.message(), "Velvo", Platform::Icon::Error);
    }
}

QString TMainForm::OutputFolder() const
{
    return edtOutputdir->text();
}

void TMainForm::SetOutputFolder(const QString &folder)
{
    edtOutputdir->setText(folder);
}

void TMainForm::SavePreferences()
{
    if (!PreferencesLoaded)
        return;
    TGeneralPreferences prefs =
        SettingForm ? SettingForm->CurrentGeneralPreferences() : MainDefaults(Files.DefaultOutputFolder);
    prefs.OutputPath = edtOutputdir->text();
    try {
        TNewInifile ini(Files.PreferencesFile);
        WriteMainPreferences(ini, cmbProfile->currentIndex(), prefs);
        ini.SaveAndFree();
    } catch (const EFileError &e) {
        // Reported, and the window still closes.
        Platform::Instance().MessageBox(this, e.message(), "Velvo", Platform::Icon::Error);
    }
}
