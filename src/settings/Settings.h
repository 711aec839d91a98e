#pragma once
// The settings dialog: the General tab (output folder, synchronization mode,
// completion actions, overwrite rule) and the Profiles tab (edit and save a
// profile). Created once at start-up and only hidden between uses; its
// General controls are the live store that the run and the completion
// actions read.

#include "prefs/Preferences.h"

#include <QDialog>
#include <QPointer>

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QTabWidget;
class QToolButton;
class EFileError;
class TNewInifile;
class TValueListEditor;

class TSettingForm : public QDialog {
    Q_OBJECT
public:
    explicit TSettingForm(QWidget *parent = nullptr);
    ~TSettingForm() override;

    // tbtnSetting: the dialog on its General tab.
    void ShowOnGeneralTab();
    // bbtnSetting: the dialog on its Profiles tab with the main window's
    // profile position, loaded afresh from its file.
    void ShowOnProfilesTab(int mainProfileIndex);

    // ---- controls (objectName = member name) ----
    QTabWidget *pgcSetting = nullptr;
    QWidget *tabGeneral = nullptr, *tabProfiles = nullptr;
    // General
    QLabel *labOutputDir = nullptr, *labSyn = nullptr;
    QLineEdit *edtOutputDir = nullptr;
    QToolButton *sbtnBrowse = nullptr;
    QComboBox *cmbSyn = nullptr;
    QFrame *bvlSeparator = nullptr;
    QCheckBox *chkOpenDir = nullptr, *chkExit = nullptr, *chkTurnoff = nullptr;
    QGroupBox *gpbOverwrite = nullptr;
    QRadioButton *rdbOverWrite = nullptr, *rdbRename = nullptr;
    QLabel *labSimultaneous = nullptr;
    QComboBox *cmbSimultaneous = nullptr; // "Automatic", then 1 up to the processors
    // Profiles
    QComboBox *cmbProfile = nullptr;
    QPushButton *btnSaveAs = nullptr;
    QScrollArea *sbxProfile = nullptr;
    QWidget *panVideo = nullptr, *panAudio = nullptr, *panAdvanced = nullptr;
    QPushButton *btnVideo = nullptr, *btnAudio = nullptr, *btnAdvanced = nullptr;
    TValueListEditor *vleVideo = nullptr, *vleAudio = nullptr, *vleAdvanced = nullptr;
    // Buttons below the tabs
    QPushButton *btnDefault = nullptr, *btnOK = nullptr, *btnCancel = nullptr;

    // ---- handlers ----
    void FormCreate();
    void FormShow();
    void FormClose();
    void btnOKClick();
    void btnCancelClick();
    void btnDefaultClick();
    void sbtnBrowseClick();
    void cmbProfileChange();
    void btnSaveAsClick();

    // ---- preferences ----
    // [Main] into the General controls. A file that cannot be read or
    // written is reported; the values read are kept.
    void LoadGeneralPreferences();
    // The General controls into [Main]. Throws EFileError when the file
    // cannot be opened or written.
    void SaveGeneralPreferences();
    // The General controls as the file keeps them (the main window's close
    // saves them from here).
    TGeneralPreferences CurrentGeneralPreferences() const;
    void ApplyGeneralPreferences(const TGeneralPreferences &prefs);
    // Arms or disarms the completion actions (chkExit, chkTurnoff) as the
    // user's own change of them would.
    void SetCompletionActions(bool autoExit, bool autoTurnOff);

signals:
    // chkExit or chkTurnoff changed, by the user or by loading preferences.
    void CompletionActionsChanged(bool autoExit, bool autoTurnOff);

public:

    // ---- profiles ----
    // Fills the three editors from a profile file (its Type is not read).
    // False when there is no such file or it is malformed (reported); the
    // editors then keep what they showed. Throws EFileError.
    bool LoadProfileIntoEditors(const QString &profilePath);
    // Writes the editors into a profile file. False, after telling the user,
    // when the file is malformed or a value cannot be stored; nothing is
    // written then. Throws EFileError when the file cannot be read or written.
    bool SaveEditorsToProfile(const QString &path);
    // "&Save as...": copies the selected profile to a chosen file and saves
    // the editors into the copy. Failures are reported, never thrown.
    void SaveProfileAs();
    // Copies source to target with the editors' values in it (the edits go
    // straight in when both are the same file). False when nothing was saved.
    bool SaveEditorsToCopy(const QString &source, const QString &target);
    void ToggleGroup(QPushButton *button, TValueListEditor *editor);
    void RepaintEditors();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void BuildGeneralTab();
    void BuildProfilesTab();
    void ShowDialog();
    void ReportError(const QString &text);
    TValueListEditor *EditorOfGroup(int group) const;
    // A cell still being typed in counts as entered (a mnemonic press of
    // OK or Save as does not take the focus from it).
    void CommitOpenEditors();
    // The editors into an open profile (in memory); reports and returns
    // false when they cannot be stored.
    bool ApplyEditors(TNewInifile &ini, const QString &path);

    QPointer<QWidget> m_opener;
};

extern TSettingForm *SettingForm;
