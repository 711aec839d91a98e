#include "app/Forms.h"

#include "app/AboutBox.h"
#include "app/MainForm.h"
#include "app/Theme.h"
#include "profiles/CustomSize.h"
#include "settings/Settings.h"

#include <QPushButton>
#include <QVBoxLayout>

TProcessForm *ProcessForm = nullptr;
QDialog *AboutBox = nullptr;

TProcessForm::TProcessForm(QWidget *parent) : QDialog(parent)
{
    setObjectName("ProcessForm");
    setWindowTitle("Process");
    auto *layout = new QVBoxLayout(this);
    auto *stop = new QPushButton("Stop", this);
    stop->setObjectName("btnStop");
    layout->addWidget(stop);
}

TMainForm *CreateForms(const QStringList &arguments)
{
    auto *main = new TMainForm(arguments);
    ProcessForm = new TProcessForm(main);
    AboutBox = new TAboutBox(main);
    SettingForm = new TSettingForm(main);
    SizeForm = new TSizeForm(main);
    // An armed completion action shows in the main window, whatever armed it.
    QObject::connect(SettingForm, &TSettingForm::CompletionActionsChanged, main,
                     &TMainForm::ShowCompletionActions);
    const TGeneralPreferences prefs = SettingForm->CurrentGeneralPreferences();
    main->ShowCompletionActions(prefs.AutoExit, prefs.AutoTurnOff);
    FollowDesktopColorScheme();
    return main;
}

void DestroyForms()
{
    // The dialogs are children of the main window.
    delete MainForm;
    MainForm = nullptr;
    ProcessForm = nullptr;
    AboutBox = nullptr;
    SettingForm = nullptr;
    SizeForm = nullptr;
}

void ShowAboutBox(QWidget *owner)
{
    if (!AboutBox)
        AboutBox = new TAboutBox(owner);
    AboutBox->show();
    AboutBox->raise();
}
