#pragma once
#include <QDialog>

// The settings dialog: General and Profiles tabs. Created once, only hidden.
class TSettingForm : public QDialog {
    Q_OBJECT
public:
    explicit TSettingForm(QWidget *parent = nullptr);
    void ShowOnGeneralTab();
    void ShowOnProfilesTab(int mainProfileIndex);
};

extern TSettingForm *SettingForm;
