#include "settings/Settings.h"

#include "app/Application.h"
#include "app/MainForm.h"
#include "common/Named.h"
#include "profiles/ProfilePane.h"
#include "common/Platform.h"
#include "common/ProgramFolder.h"
#include "common/UserFolders.h"
#include "ini/NewInifiles.h"
#include "profiles/GroupHeader.h"
#include "profiles/ProfileEditors.h"
#include "profiles/ValueListEditor.h"
#include "settings/ProfileSaving.h"
#include "tasks/ItemData.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QShowEvent>
#include <QStyle>
#include <QTabWidget>
#include <QThread>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

TSettingForm *SettingForm = nullptr;

namespace {

TFileLocations Locations()
{
    return MainForm ? MainForm->Files
                    : DecideFileLocations(TMainForm::WithTrailingSeparator(ApplicationFolder()));
}

} // namespace

TSettingForm::TSettingForm(QWidget *parent) : QDialog(parent)
{
    SettingForm = this;
    setObjectName("SettingForm");
    setWindowTitle("Settings");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(391, 498);
    setModal(false);

    pgcSetting = Named(new QTabWidget(this), "pgcSetting", "Settings pages");
    pgcSetting->setGeometry(8, 8, 375, 446);
    BuildGeneralTab();
    BuildProfilesTab();

    btnDefault = Named(new QPushButton("&Load Default", this), "btnDefault", "Load Default");
    btnDefault->setGeometry(8, 464, 95, 25);
    btnOK = Named(new QPushButton("&OK", this), "btnOK", "OK");
    btnOK->setGeometry(208, 464, 85, 25);
    btnCancel = Named(new QPushButton("&Cancel", this), "btnCancel", "Cancel");
    btnCancel->setGeometry(298, 464, 85, 25);
    for (QPushButton *b : {btnDefault, btnOK, btnCancel})
        b->setAutoDefault(false);

    connect(btnOK, &QPushButton::clicked, this, Guarded([this] { btnOKClick(); }));
    connect(btnCancel, &QPushButton::clicked, this, Guarded([this] { btnCancelClick(); }));
    connect(btnDefault, &QPushButton::clicked, this, Guarded([this] { btnDefaultClick(); }));
    connect(sbtnBrowse, &QToolButton::clicked, this, Guarded([this] { sbtnBrowseClick(); }));
    connect(cmbProfile, QOverload<int>::of(&QComboBox::activated), this, Guarded([this] { cmbProfileChange(); }));
    connect(btnSaveAs, &QPushButton::clicked, this, Guarded([this] { btnSaveAsClick(); }));

    FormCreate();
}

TSettingForm::~TSettingForm()
{
    if (SettingForm == this)
        SettingForm = nullptr;
}

// ---------------------------------------------------------------- layout

void TSettingForm::BuildGeneralTab()
{
    tabGeneral = Named(new QWidget, "tabGeneral", "General");
    pgcSetting->addTab(tabGeneral, "     General     ");

    labOutputDir = Named(new QLabel("Default Output Path:", tabGeneral), "labOutputDir");
    labOutputDir->setGeometry(10, 19, 142, 18);
    edtOutputDir = Named(new QLineEdit(tabGeneral), "edtOutputDir", "Default Output Path");
    edtOutputDir->setGeometry(154, 17, 178, 22);
    labOutputDir->setBuddy(edtOutputDir);
    sbtnBrowse = Named(new QToolButton(tabGeneral), "sbtnBrowse", "Browse");
    sbtnBrowse->setGeometry(335, 16, 24, 24);
    sbtnBrowse->setAutoRaise(true);
    sbtnBrowse->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    sbtnBrowse->setToolTip("Browse");

    labSyn = Named(new QLabel("Synchronization Mode:", tabGeneral), "labSyn");
    labSyn->setGeometry(10, 53, 142, 18);
    cmbSyn = Named(new QComboBox(tabGeneral), "cmbSyn", "Synchronization Mode");
    cmbSyn->setGeometry(154, 51, 178, 22);
    cmbSyn->addItems({"Auto", "Force Mode", "Progressive Mode"});
    labSyn->setBuddy(cmbSyn);

    bvlSeparator = Named(new QFrame(tabGeneral), "bvlSeparator", "Separator");
    bvlSeparator->setFrameShape(QFrame::HLine);
    bvlSeparator->setFrameShadow(QFrame::Sunken);
    bvlSeparator->setGeometry(10, 88, 349, 2);

    chkOpenDir = Named(new QCheckBox("Open the output directory when the task is completed. ", tabGeneral),
                       "chkOpenDir", "Open the output directory when the task is completed.");
    chkOpenDir->setGeometry(10, 104, 355, 20);
    chkExit = Named(new QCheckBox("Exit the program when the task is completed.", tabGeneral), "chkExit",
                    "Exit the program when the task is completed.");
    chkExit->setGeometry(10, 130, 355, 20);
    chkTurnoff = Named(new QCheckBox("Turn off the computer when the task is completed.", tabGeneral),
                       "chkTurnoff", "Turn off the computer when the task is completed.");
    chkTurnoff->setGeometry(10, 156, 355, 20);

    gpbOverwrite = Named(new QGroupBox("Output File Overwrite", tabGeneral), "gpbOverwrite",
                         "Output File Overwrite");
    gpbOverwrite->setGeometry(10, 192, 349, 82);
    rdbOverWrite = Named(new QRadioButton("Overwrite", gpbOverwrite), "rdbOverWrite", "Overwrite");
    rdbOverWrite->setGeometry(14, 24, 330, 20);
    rdbOverWrite->setChecked(true);
    rdbRename = Named(new QRadioButton("Not overwrite (Rename to <Filename> + Index", gpbOverwrite),
                      "rdbRename", "Not overwrite (Rename to <Filename> + Index");
    rdbRename->setGeometry(14, 50, 330, 20);

    labSimultaneous = Named(new QLabel("Conversions at once:", tabGeneral), "labSimultaneous");
    labSimultaneous->setGeometry(10, 292, 142, 18);
    cmbSimultaneous = Named(new QComboBox(tabGeneral), "cmbSimultaneous", "Conversions at once");
    cmbSimultaneous->setGeometry(154, 290, 178, 22);
    // "Automatic" (stored as 0), then one up to the processors there are.
    cmbSimultaneous->addItem("Automatic");
    for (int n = 1; n <= std::max(1, QThread::idealThreadCount()); ++n)
        cmbSimultaneous->addItem(QString::number(n));
    cmbSimultaneous->setToolTip("How many files convert side by side. Automatic chooses by the processors "
                                "and the size of the pictures.");
    labSimultaneous->setBuddy(cmbSimultaneous);
}

void TSettingForm::BuildProfilesTab()
{
    tabProfiles = Named(new QWidget, "tabProfiles", "Profiles");
    pgcSetting->addTab(tabProfiles, "     Profiles     ");

    cmbProfile = Named(new QComboBox(tabProfiles), "cmbProfile", "Profile");
    cmbProfile->setGeometry(8, 10, 262, 22);
    btnSaveAs = Named(new QPushButton("&Save as...", tabProfiles), "btnSaveAs", "Save as");
    btnSaveAs->setGeometry(276, 9, 83, 24);
    btnSaveAs->setAutoDefault(false);

    auto *pane = new TProfilePane(tabProfiles, false, 160, 200, "Profile parameters");
    sbxProfile = pane->sbxProfile;
    sbxProfile->setGeometry(8, 40, 351, 370);
    sbxProfile->setFrameShape(QFrame::StyledPanel);
    panVideo = pane->panVideo;
    panAudio = pane->panAudio;
    panAdvanced = pane->panAdvanced;
    btnVideo = pane->btnVideo;
    btnAudio = pane->btnAudio;
    btnAdvanced = pane->btnAdvanced;
    vleVideo = pane->vleVideo;
    vleAudio = pane->vleAudio;
    vleAdvanced = pane->vleAdvanced;
    for (TValueListEditor *vle : {vleVideo, vleAudio, vleAdvanced})
        connect(vle, &TValueListEditor::MousePressed, this, &TSettingForm::RepaintEditors);
}

// ---------------------------------------------------------------- lifecycle

void TSettingForm::FormCreate()
{
    if (MainForm)
        cmbProfile->addItems(MainForm->ProfileNames());
    // Nothing is selected until "&Setting" or the user picks a profile.
    cmbProfile->setCurrentIndex(-1);
    LoadGeneralPreferences();
}

void TSettingForm::ShowDialog()
{
    if (!isVisible()) {
        if (MainForm) {
            const QRect owner = MainForm->frameGeometry();
            move(owner.center() - QPoint(frameGeometry().width() / 2, frameGeometry().height() / 2));
        }
        show();
    }
    raise();
    activateWindow();
}

void TSettingForm::ShowOnGeneralTab()
{
    ShowDialog();
    pgcSetting->setCurrentWidget(tabGeneral);
}

void TSettingForm::ShowOnProfilesTab(int mainProfileIndex)
{
    ShowDialog();
    pgcSetting->setCurrentWidget(tabProfiles);
    cmbProfile->setCurrentIndex(mainProfileIndex >= 0 && mainProfileIndex < cmbProfile->count()
                                    ? mainProfileIndex
                                    : -1);
    cmbProfileChange();
}

void TSettingForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TSettingForm::hideEvent(QHideEvent *event)
{
    QDialog::hideEvent(event);
    // OK, Cancel, the close box and Escape all end here.
    if (!event->spontaneous())
        FormClose();
}

void TSettingForm::FormShow()
{
    if (!MainForm)
        return;
    // The dialog is a child window of the main window, so the main window's
    // contents are disabled rather than the window itself (which would
    // disable the dialog too).
    if (QWidget *client = MainForm->centralWidget())
        client->setEnabled(false);
    edtOutputDir->setText(MainForm->OutputFolder());
}

void TSettingForm::FormClose()
{
    if (MainForm)
        if (QWidget *client = MainForm->centralWidget())
            client->setEnabled(true);
}

void TSettingForm::ReportError(const QString &text)
{
    Platform::Instance().MessageBox(this, text, "Velvo", Platform::Icon::Error);
}

// ---------------------------------------------------------------- buttons

void TSettingForm::btnOKClick()
{
    CommitOpenEditors();
    MainForm->SetOutputFolder(edtOutputDir->text());
    try {
        SaveGeneralPreferences();
        const QString path = MainForm->ProfilePath(cmbProfile->currentText());
        if (QFileInfo(path).isFile() && !SaveEditorsToCopy(path, ProfileSaveTarget(Locations(), path)))
            return;
        MainForm->ReloadProfileIfCurrent(cmbProfile->currentText());
    } catch (const EFileError &e) {
        // Nothing further runs and the dialog stays open.
        ReportError(e.message());
        return;
    }
    close();
}

void TSettingForm::btnCancelClick()
{
    close();
}

void TSettingForm::btnDefaultClick()
{
    if (Platform::Instance().MessageBox(this, "Are you sure to load the default preferences?",
                                        "Load Default", Platform::Icon::Question,
                                        Platform::Buttons::YesNo) != Platform::Yes)
        return;
    try {
        const TFileLocations files = Locations();
        TNewInifile ini(files.PreferencesFile);
        ApplyGeneralPreferences(
            ReadGeneralPreferences(ini, "Default", DefaultSectionDefaults(files.DefaultOutputFolder)));
        ini.SaveAndFree();
    } catch (const EFileError &e) {
        ReportError(e.message());
    }
}

void TSettingForm::sbtnBrowseClick()
{
    QString folder;
    if (MainForm->SelectFolder(this, "Select the output directory.", QString(), folder))
        edtOutputDir->setText(TMainForm::WithTrailingSeparator(folder));
}

void TSettingForm::btnSaveAsClick()
{
    SaveProfileAs();
}

// ---------------------------------------------------------------- preferences

TGeneralPreferences TSettingForm::CurrentGeneralPreferences() const
{
    TGeneralPreferences prefs;
    prefs.OutputPath = edtOutputDir->text();
    prefs.SynMode = cmbSyn->currentIndex();
    prefs.AutoOpenDir = chkOpenDir->isChecked();
    prefs.AutoExit = chkExit->isChecked();
    prefs.AutoTurnOff = chkTurnoff->isChecked();
    prefs.Overwrite = rdbOverWrite->isChecked();
    prefs.Simultaneous = std::max(0, cmbSimultaneous->currentIndex());
    return prefs;
}

void TSettingForm::ApplyGeneralPreferences(const TGeneralPreferences &prefs)
{
    edtOutputDir->setText(prefs.OutputPath);
    // An index outside the list leaves nothing selected (-1 is saved later).
    cmbSyn->setCurrentIndex(prefs.SynMode >= 0 && prefs.SynMode < cmbSyn->count() ? prefs.SynMode : -1);
    chkOpenDir->setChecked(prefs.AutoOpenDir);
    chkExit->setChecked(prefs.AutoExit);
    chkTurnoff->setChecked(prefs.AutoTurnOff);
    // An exclusive radio button cannot be unchecked directly: check the other.
    if (prefs.Overwrite)
        rdbOverWrite->setChecked(true);
    else
        rdbRename->setChecked(true);
    // A number chosen on a machine with more processors stays choosable.
    while (cmbSimultaneous->count() <= prefs.Simultaneous)
        cmbSimultaneous->addItem(QString::number(cmbSimultaneous->count()));
    cmbSimultaneous->setCurrentIndex(prefs.Simultaneous);
}

void TSettingForm::LoadGeneralPreferences()
{
    const TFileLocations files = Locations();
    bool applied = false;
    try {
        TNewInifile ini(files.PreferencesFile);
        ApplyGeneralPreferences(ReadGeneralPreferences(ini, "Main", MainDefaults(files.DefaultOutputFolder)));
        applied = true;
        ini.SaveAndFree();
    } catch (const EFileError &e) {
        if (!applied)
            ApplyGeneralPreferences(MainDefaults(files.DefaultOutputFolder));
        ReportError(e.message());
    }
}

void TSettingForm::SaveGeneralPreferences()
{
    TNewInifile ini(Locations().PreferencesFile);
    WriteGeneralPreferences(ini, CurrentGeneralPreferences());
    ini.SaveAndFree();
}

// ---------------------------------------------------------------- profiles

TValueListEditor *TSettingForm::EditorOfGroup(int group) const
{
    switch (group) {
    case 1: return vleVideo;
    case 2: return vleAudio;
    case 3: return vleAdvanced;
    default: return nullptr;
    }
}

void TSettingForm::cmbProfileChange()
{
    const QString path = MainForm->ProfilePath(cmbProfile->currentText());
    if (!QFileInfo(path).isFile())
        return;
    try {
        LoadProfileIntoEditors(path);
    } catch (const EFileError &e) {
        ReportError(e.message());
    }
}

bool TSettingForm::LoadProfileIntoEditors(const QString &profilePath)
{
    if (!QFileInfo(profilePath).isFile())
        return false;
    QString problem;
    // The dialog leaves the main window's output extension alone.
    if (LoadProfileIntoGroupEditors(profilePath, vleVideo, vleAudio, vleAdvanced, nullptr, &problem))
        return true;
    ReportProfileProblem(this, problem);
    return false;
}

void TSettingForm::CommitOpenEditors()
{
    for (TValueListEditor *vle : {vleVideo, vleAudio, vleAdvanced})
        if (QWidget *editor = vle->indexWidget(vle->currentIndex()))
            QMetaObject::invokeMethod(vle, "commitData", Qt::DirectConnection, Q_ARG(QWidget *, editor));
}

bool TSettingForm::ApplyEditors(TNewInifile &ini, const QString &path)
{
    const auto lookup = [this](int group, const QString &name) {
        TShownValue shown;
        if (TValueListEditor *vle = EditorOfGroup(group)) {
            const int row = vle->FindRow(name);
            if (row >= 0) {
                shown.Found = true;
                shown.Text = vle->Value(row);
                shown.PickList = vle->PickList(row);
            }
        }
        return shown;
    };
    QString problem;
    if (ApplyShownValues(ini, RemoveExtension(QFileInfo(path).fileName()), lookup, problem))
        return true;
    ReportError(problem);
    return false;
}

bool TSettingForm::SaveEditorsToProfile(const QString &path)
{
    TNewInifile ini(path);
    if (!ApplyEditors(ini, path))
        return false;
    ini.SaveAndFree();
    return true;
}

void TSettingForm::SaveProfileAs()
{
    const TFileLocations files = Locations();
    if (files.PerUser)
        QDir().mkpath(files.ProfileSaveFolder); // the user may have removed it since the start
    const QString target =
        Platform::Instance().SaveFile(this, "Profiles (*.vpf)|*.vpf", ".vpf", files.ProfileSaveFolder);
    if (target.isEmpty())
        return;
    const QString source = MainForm->ProfilePath(cmbProfile->currentText());
    if (!QFileInfo(source).isFile())
        return;
    CommitOpenEditors();
    try {
        SaveEditorsToCopy(source, target);
    } catch (const EFileError &e) {
        ReportError(e.message());
    }
}

bool TSettingForm::SaveEditorsToCopy(const QString &source, const QString &target)
{
    // Copying a file onto itself would destroy it; the edits go straight in.
    if (source == target || SameFile(source, target))
        return SaveEditorsToProfile(source);
    // Checked before anything is copied, so a refused value leaves no
    // unedited copy behind.
    {
        TNewInifile probe(source);
        if (!ApplyEditors(probe, source))
            return false;
    }
    QString error;
    if (!CopyProfileFile(source, target, error)) {
        ReportError(QStringLiteral("Cannot copy the profile to \"%1\". %2\nThe profile was not saved.")
                        .arg(target, error));
        return false;
    }
    return SaveEditorsToProfile(target);
}

void TSettingForm::ToggleGroup(QPushButton *button, TValueListEditor *editor)
{
    TProfilePane::ToggleGroup(button, editor);
}

void TSettingForm::RepaintEditors()
{
    for (TValueListEditor *vle : {vleVideo, vleAudio, vleAdvanced})
        vle->viewport()->update();
}
