#pragma once
// The program's windows, created once at start-up in a fixed order and kept
// until the program ends.

#include <QDialog>
#include <QStringList>

class TMainForm;
class TSettingForm;
class TSizeForm;

// A bare dialog that is created and never shown.
class TProcessForm : public QDialog {
    Q_OBJECT
public:
    explicit TProcessForm(QWidget *parent = nullptr);
};

extern TProcessForm *ProcessForm;
extern QDialog *AboutBox;

// Creates the main window, TProcessForm, the about box, TSettingForm and
// TSizeForm, in this order. The main window is returned (not yet shown).
TMainForm *CreateForms(const QStringList &arguments);
// Deletes them in the reverse order (tests create the windows many times).
void DestroyForms();
// Creates the about box when it does not exist, then shows it (not modal).
void ShowAboutBox(QWidget *owner);
