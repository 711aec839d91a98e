// Profile part of the main window (placeholder until the profiles land).
#include "app/MainForm.h"

void TMainForm::SetupProfiles() {}
QString TMainForm::ProfilePath(const QString &name) const { return ProgramDir + "Profiles/" + name + ".vpf"; }
void TMainForm::FillProfileCatalogue() {}
void TMainForm::cmbProfileChange() {}
bool TMainForm::LoadProfileIntoEditors(const QString &) { return false; }
bool TMainForm::AssembleProfileArguments(const QString &, QString &) { return true; }
void TMainForm::ToggleGroup(QPushButton *, TValueListEditor *) {}
void TMainForm::vleVideoStringsChange() {}
void TMainForm::RepaintEditors() {}
