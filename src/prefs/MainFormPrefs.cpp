// Preferences part of the main window (placeholder until preferences land).
#include "app/MainForm.h"

void TMainForm::LoadMainPreferences() {}
void TMainForm::SavePreferences() {}
