#include "settings/Settings.h"

#include "app/Accessibility.h"
#include "app/Application.h"
#include "app/MainForm.h"
#include "app/Theme.h"
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
#include <QFile>
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
#include <QGridLayout>
#include <QHBoxLayout>
#include <QSpacerItem>
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
    setModal(false);

    pgcSetting = Named(new QTabWidget(this), "pgcSetting", "Settings pages");
    BuildGeneralTab();
    BuildProfilesTab();

    btnDefault = Named(new QPushButton("&Load Default", this), "btnDefault", "Load Default");
    btnDefault->setMinimumSize(95, 25);
    btnOK = Named(new QPushButton("&OK", this), "btnOK", "OK");
    btnCancel = Named(new QPushButton("&Cancel", this), "btnCancel", "Cancel");
    for (QPushButton *b : {btnOK, btnCancel})
        b->setMinimumSize(85, 25);
    for (QPushButton *b : {btnDefault, btnOK, btnCancel})
        b->setAutoDefault(false);
    // Return anywhere in the dialog confirms it, as OK does.
    btnOK->setDefault(true);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(8, 8, 8, 9);
    column->setSpacing(10);
    column->addWidget(pgcSetting, 1);
    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(5);
    buttons->addWidget(btnDefault);
    buttons->addStretch(1);
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    column->addLayout(buttons);
    FitDialog(this, QSize(391, 498));
    InstallContextMenuKey(this);

    connect(btnOK, &QPushButton::clicked, this, Guarded([this] { btnOKClick(); }));
    connect(btnCancel, &QPushButton::clicked, this, Guarded([this] { btnCancelClick(); }));
    connect(btnDefault, &QPushButton::clicked, this, Guarded([this] { btnDefaultClick(); }));
    connect(sbtnBrowse, &QToolButton::clicked, this, Guarded([this] { sbtnBrowseClick(); }));
    connect(cmbProfile, QOverload<int>::of(&QComboBox::activated), this, Guarded([this] { cmbProfileChange(); }));
    connect(btnSaveAs, &QPushButton::clicked, this, Guarded([this] { btnSaveAsClick(); }));
    for (QCheckBox *check : {chkExit, chkTurnoff})
        connect(check, &QCheckBox::toggled, this,
                [this] { emit CompletionActionsChanged(chkExit->isChecked(), chkTurnoff->isChecked()); });

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

    edtOutputDir = Named(new QLineEdit(tabGeneral), "edtOutputDir", "Default Output Path");
    labOutputDir = MakeCaption(tabGeneral, "labOutputDir", "&Default Output Path:", edtOutputDir);
    sbtnBrowse = Named(new QToolButton(tabGeneral), "sbtnBrowse", "Browse");
    sbtnBrowse->setFixedSize(24, 24);
    sbtnBrowse->setAutoRaise(true);
    sbtnBrowse->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    sbtnBrowse->setToolTip("Browse");

    cmbSyn = Named(new QComboBox(tabGeneral), "cmbSyn", "Synchronization Mode");
    cmbSyn->addItems({"Auto", "Force Mode", "Progressive Mode"});
    labSyn = MakeCaption(tabGeneral, "labSyn", "Synchronization &Mode:", cmbSyn);
    for (QWidget *field : {static_cast<QWidget *>(edtOutputDir), static_cast<QWidget *>(cmbSyn)}) {
        field->setMinimumSize(120, 22);
    }

    bvlSeparator = Named(new QFrame(tabGeneral), "bvlSeparator", "Separator");
    bvlSeparator->setFrameShape(QFrame::HLine);
    bvlSeparator->setFrameShadow(QFrame::Sunken);

    // The captions read as designed (the one of chkOpenDir ends with a blank).
    chkOpenDir = Named(new QCheckBox("Open the output directory when the task is completed. ", tabGeneral),
                       "chkOpenDir", "Open the output directory when the task is completed.");
    chkExit = Named(new QCheckBox("Exit the program when the task is completed.", tabGeneral), "chkExit",
                    "Exit the program when the task is completed.");
    chkTurnoff = Named(new QCheckBox("Turn off the computer when the task is completed.", tabGeneral),
                       "chkTurnoff", "Turn off the computer when the task is completed.");

    gpbOverwrite = Named(new QGroupBox("Output File Overwrite", tabGeneral), "gpbOverwrite",
                         "Output File Overwrite");
    rdbOverWrite = Named(new QRadioButton("Overwrite", gpbOverwrite), "rdbOverWrite", "Overwrite");
    rdbOverWrite->setChecked(true);
    rdbRename = Named(new QRadioButton("Not overwrite (Rename to <Filename> + Index", gpbOverwrite),
                      "rdbRename", "Not overwrite (Rename to <Filename> + Index");

    labSimultaneous = Named(new QLabel("Co&nversions at once:", tabGeneral), "labSimultaneous");
    cmbSimultaneous = Named(new QComboBox(tabGeneral), "cmbSimultaneous", "Conversions at once");
    // "Automatic" (stored as 0), then one up to the processors there are.
    cmbSimultaneous->addItem("Automatic");
    for (int n = 1; n <= std::max(1, QThread::idealThreadCount()); ++n)
        cmbSimultaneous->addItem(QString::number(n));
    cmbSimultaneous->setToolTip("How many files convert side by side. Automatic chooses by the processors "
                                "and the size of the pictures.");
    labSimultaneous->setBuddy(cmbSimultaneous);
    auto *choices = new QVBoxLayout(gpbOverwrite);
    choices->setContentsMargins(14, 8, 4, 10);
    choices->setSpacing(6);
    for (QRadioButton *r : {rdbOverWrite, rdbRename}) {
        r->setMinimumHeight(20);
        choices->addWidget(r);
    }

    // At the designed font: fields at 154, 178 wide, the browse button 3
    // after; rows of check boxes 26 apart.
    auto *page = new QVBoxLayout(tabGeneral);
    page->setContentsMargins(10, 16, 12, 10);
    page->setSpacing(0);
    auto *fields = new QGridLayout;
    fields->setHorizontalSpacing(0);
    fields->setVerticalSpacing(12);
    fields->setColumnMinimumWidth(0, 144);
    fields->setColumnStretch(1, 1);
    fields->addWidget(labOutputDir, 0, 0);
    fields->addWidget(edtOutputDir, 0, 1);
    fields->addItem(new QSpacerItem(3, 0, QSizePolicy::Fixed, QSizePolicy::Minimum), 0, 2);
    fields->addWidget(sbtnBrowse, 0, 3);
    fields->addWidget(labSyn, 1, 0);
    fields->addWidget(cmbSyn, 1, 1);
    page->addLayout(fields);
    page->addSpacing(14);
    page->addWidget(bvlSeparator);
    page->addSpacing(14);
    for (QCheckBox *check : {chkOpenDir, chkExit, chkTurnoff}) {
        check->setMinimumHeight(20);
        page->addWidget(check);
        page->addSpacing(6);
    }
    page->addSpacing(10);
    page->addWidget(gpbOverwrite);
    page->addSpacing(12);
    auto *simultaneous = new QHBoxLayout;
    simultaneous->setSpacing(0);
    labSimultaneous->setMinimumWidth(144);
    simultaneous->addWidget(labSimultaneous);
    cmbSimultaneous->setMinimumWidth(178);
    simultaneous->addWidget(cmbSimultaneous);
    simultaneous->addStretch(1);
    page->addLayout(simultaneous);
    page->addStretch(1);
}

void TSettingForm::BuildProfilesTab()
{
    tabProfiles = Named(new QWidget, "tabProfiles", "Profiles");
    pgcSetting->addTab(tabProfiles, "     Profiles     ");

    cmbProfile = Named(new QComboBox(tabProfiles), "cmbProfile", "Profile");
    cmbProfile->setMinimumSize(120, 22);
    btnSaveAs = Named(new QPushButton("&Save as...", tabProfiles), "btnSaveAs", "Save as");
    btnSaveAs->setMinimumSize(83, 24);
    btnSaveAs->setAutoDefault(false);

    auto *pane = new TProfilePane(tabProfiles, false, 160, 200, "Profile parameters");
    sbxProfile = pane->sbxProfile;
    sbxProfile->setFrameShape(QFrame::StyledPanel);
    sbxProfile->setMinimumHeight(120);
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

    auto *page = new QVBoxLayout(tabProfiles);
    page->setContentsMargins(8, 9, 12, 8);
    page->setSpacing(7);
    auto *selector = new QHBoxLayout;
    selector->setSpacing(6);
    selector->addWidget(cmbProfile, 1);
    selector->addWidget(btnSaveAs);
    page->addLayout(selector);
    page->addWidget(sbxProfile, 1);
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
    // The control that opened the dialog has the focus back when it closes.
    m_opener = MainForm->focusWidget();
    if (QWidget *client = MainForm->centralWidget())
        client->setEnabled(false);
    edtOutputDir->setText(MainForm->OutputFolder());
}

void TSettingForm::FormClose()
{
    if (!MainForm)
        return;
    if (QWidget *client = MainForm->centralWidget())
        client->setEnabled(true);
    if (m_opener && m_opener->isEnabled())
        m_opener->setFocus(Qt::OtherFocusReason);
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

void TSettingForm::SetCompletionActions(bool autoExit, bool autoTurnOff)
{
    chkExit->setChecked(autoExit);
    chkTurnoff->setChecked(autoTurnOff);
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
    QString problem;
    if (!NameFitsFolder(target, problem)) {
        ReportError(problem);
        return false;
    }
    // The copy is edited in memory and written in one step, so a refused
    // value or a failed write leaves no copy (nor a half-edited one) behind.
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        throw EFileError(QStringLiteral("Cannot open file \"%1\". %2").arg(source, in.errorString()));
    const QByteArray original = in.readAll();
    TNewInifile copy(target, original);
    if (!ApplyEditors(copy, source))
        return false;
    QString error;
    if (!WriteProfileFile(target, copy.Changed() ? copy.Text() : original, error)) {
        ReportError(QStringLiteral("Cannot copy the profile to \"%1\". %2\nThe profile was not saved.")
                        .arg(target, error));
        return false;
    }
    return true;
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
