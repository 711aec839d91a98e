// Profile part of the main window: the catalogue in cmbProfile, loading the
// selected profile into the group editors, the argument text for a run, the
// collapsible groups and the custom size hook.
#include "app/MainForm.h"

#include "app/Application.h"
#include "profiles/ProfilePane.h"

#include "common/Platform.h"
#include "ini/NewInifiles.h"
#include "profiles/CustomSize.h"
#include "profiles/ProfileEditors.h"
#include "profiles/ProfileFiles.h"
#include "profiles/ValueListEditor.h"
#include "tasks/ItemData.h"

#include <QComboBox>
#include <QFileInfo>
#include <QPushButton>
#include <QSignalBlocker>

void TMainForm::SetupProfiles()
{
    connect(cmbProfile, &QComboBox::currentIndexChanged, this, Guarded([this] { cmbProfileChange(); }));
    connect(vleVideo, &TValueListEditor::ContentChanged, this, &TMainForm::vleVideoStringsChange);
    for (TValueListEditor *editor : {vleVideo, vleAudio, vleAdvanced})
        connect(editor, &TValueListEditor::MousePressed, this, &TMainForm::RepaintEditors);
}

QString TMainForm::ProfilePath(const QString &name) const
{
    // Profiles copied from elsewhere may be spelled Fast.VPF; the lookup
    // ignores case as the catalogue does.
    return FindProfileInFolders(Files.ProfileFolders, name);
}

QStringList TMainForm::ProfileNames() const
{
    QStringList names;
    for (int i = 0; i < cmbProfile->count(); ++i)
        names << cmbProfile->itemText(i);
    return names;
}

void TMainForm::ReloadProfileIfCurrent(const QString &name)
{
    if (cmbProfile->currentText() == name)
        cmbProfileChange();
}

QString TMainForm::VideoSize() const
{
    return vleVideo->Values(QStringLiteral("Video Size"));
}

void TMainForm::SetVideoSize(const QString &size)
{
    vleVideo->SetValues(QStringLiteral("Video Size"), size);
}

void TMainForm::FillProfileCatalogue()
{
    // Filling must not load anything: the first load happens when the window
    // is first shown and the remembered position is restored.
    const QSignalBlocker block(cmbProfile);
    const QStringList files = CatalogueFiles(Files.ProfileFolders);
    for (const QString &file : files)
        cmbProfile->addItem(RemoveExtension(file));
    cmbProfile->setCurrentIndex(-1);
}

void TMainForm::cmbProfileChange()
{
    LoadProfileIntoEditors(ProfilePath(cmbProfile->currentText()));
}

bool TMainForm::LoadProfileIntoEditors(const QString &profilePath)
{
    QString problem;
    if (LoadProfileIntoGroupEditors(profilePath, vleVideo, vleAudio, vleAdvanced,
                                    &CurrentOutputExt, &problem))
        return true;
    ReportProfileProblem(this, problem);
    return false;
}

bool TMainForm::AssembleProfileArguments(const QString &profilePath, QString &arguments)
{
    if (!QFileInfo(profilePath).isFile())
        return true;
    try {
        TNewInifile ini(profilePath);
        const ProfileData profile =
            ReadProfile(ini, RemoveExtension(QFileInfo(profilePath).fileName()));
        if (!profile.ok()) {
            // A run never starts with half an argument text; the file stays
            // as it is.
            ReportProfileProblem(this, profile.problem);
            return false;
        }
        const QString text = AssembleArguments(profile, [this](int group, const QString &name) {
            switch (group) {
            case pgVideo:
                return vleVideo->Values(name);
            case pgAudio:
                return vleAudio->Values(name);
            case pgAdvanced:
                return vleAdvanced->Values(name);
            default:
                return QString();
            }
        });
        ini.SaveAndFree();
        arguments += text;
        return true;
    } catch (const EFileError &e) {
        // Reported here rather than thrown on: Start must be able to stay idle.
        Platform::Instance().MessageBox(this, e.message(), QStringLiteral("Velvo"),
                                        Platform::Icon::Error);
        return false;
    }
}

void TMainForm::ToggleGroup(QPushButton *button, TValueListEditor *editor)
{
    TProfilePane::ToggleGroup(button, editor);
}

void TMainForm::vleVideoStringsChange()
{
    const int row = vleVideo->currentRow();
    if (row < 0 || vleVideo->Key(row) != QLatin1String("Video Size"))
        return;
    if (vleVideo->Values(QStringLiteral("Video Size")) != QLatin1String("Custom Size"))
        return;
    if (SizeForm && !SizeForm->isVisible())
        SizeForm->show();
}

void TMainForm::RepaintEditors()
{
    for (TValueListEditor *editor : {vleOutput, vleVideo, vleAudio, vleAdvanced})
        editor->viewport()->update();
}
