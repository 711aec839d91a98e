// Placeholder until the settings dialog lands.
#include "settings/Settings.h"

TSettingForm *SettingForm = nullptr;

TSettingForm::TSettingForm(QWidget *parent) : QDialog(parent) { setObjectName("SettingForm"); }
void TSettingForm::ShowOnGeneralTab() {}
void TSettingForm::ShowOnProfilesTab(int) {}
