#pragma once
// The main window: task list, profile selector and editors, output folder,
// progress display and preview pane. Its methods are defined by subsystem:
// app/MainForm.cpp (shell and layout), tasks/, profiles/, prefs/,
// conversion/ and preview/ each hold the window's part that belongs to them.

#include "app/ElidedLabel.h"
#include "common/UserFolders.h"
#include "tasks/ItemData.h"

#include <QMainWindow>
#include <QHash>
#include <QStringList>
#include <QVector>
#include <functional>
#include <memory>

class QAction;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QScrollArea;
class QSplitter;
class QTimer;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;
class TBalloonTip;
class TConversionRun;
class TCompletionActions;
class TRunStatusDelegate;
struct TItemResult;
struct TRunResult;
struct TChunkProgress;
class TValueListEditor;
class TSplitterBar;
class TDSTrackBar;
class IMediaGraph;
class TVideoArea;

struct MeasureResult;

// Where a row keeps what the encoder said when the row was last converted.
constexpr int EncoderMessagesRole = Qt::UserRole + 1;
// Set on a row that a stopped run converted, so that the next Start can
// offer to convert only the others.
constexpr int ConvertedBeforeStopRole = Qt::UserRole + 2;
// Where a row keeps the ticket of its measure until the measure answers.
constexpr int MeasureTicketRole = Qt::UserRole + 3;

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm(const QStringList &arguments, QWidget *parent = nullptr);
    ~TMainForm() override;

    // ---- program-wide values (start-up) ----
    QString ProgramDir;    // folder of the program, with a trailing "/"
    TFileLocations Files;  // where preferences and profiles live (decided here once)
    QString EncoderPath;   // ProgramDir + "vxenc.dll"
    QString VersionText;   // [Main] Version; by default the build's version
    QString HelpFile;      // ProgramDir + "VelvoHelp.html"
    QStringList InputExtensions;
    QStringList OutputTypeExtensions;
    QString ScanMask;
    QString OpenDialogFilter;
    QString CurrentOutputExt;

    // ---- controls (objectName = member name) ----
    QWidget *tlbMain = nullptr;
    QToolButton *tbtnAddFile = nullptr, *tbtnAddDir = nullptr, *tbtnUp = nullptr, *tbtnDown = nullptr,
                *tbtnRemove = nullptr, *tbtnClear = nullptr, *tbtnStart = nullptr, *tbtnPause = nullptr,
                *tbtnStop = nullptr,
                *tbtnSetting = nullptr, *tbtnAbout = nullptr, *tbtnHelp = nullptr;
    QWidget *panMain = nullptr, *panLeft = nullptr, *panBottom = nullptr, *panBottomCenter = nullptr,
            *panBottomLeft = nullptr, *panProfile = nullptr, *panPreview = nullptr;
    TSplitterBar *panSplitter = nullptr;
    QSplitter *splProfile = nullptr;
    QTreeWidget *ltvTask = nullptr;
    QMenu *ppmTask = nullptr;
    QAction *mniOpen = nullptr, *mniAddFiles = nullptr, *mniAddDir = nullptr, *mniRemove = nullptr,
            *mniClear = nullptr, *mniShowMessages = nullptr;
    class QDialog *frmEncoderMessages = nullptr; // made on first use
    QLabel *labProfile = nullptr, *labOutputPath = nullptr, *labType = nullptr;
    QComboBox *cmbProfile = nullptr, *cmbType = nullptr;
    QPushButton *bbtnSetting = nullptr, *bbtnBrowser = nullptr, *bbtnOpen = nullptr;
    QLineEdit *edtOutputdir = nullptr;
    TElidedLabel *labConvertingFile = nullptr; // the whole name, shortened in the middle when long
    QLabel *labConverting = nullptr, *labElapsedCaption = nullptr,
           *labElapsed = nullptr, *labRemainingCaption = nullptr, *labRemaining = nullptr,
           *labCurrentCaption = nullptr, *labCurProgress = nullptr, *labTotalCaption = nullptr,
           *labTotalProgress = nullptr;
    QProgressBar *pgbCurrent = nullptr, *pgbTotal = nullptr;
    QGroupBox *gpbProfile = nullptr;
    QScrollArea *sbxProfile = nullptr;
    QWidget *panOutput = nullptr, *panVideo = nullptr, *panAudio = nullptr, *panAdvanced = nullptr;
    QPushButton *btnOutput = nullptr, *btnVideo = nullptr, *btnAudio = nullptr, *btnAdvanced = nullptr;
    TValueListEditor *vleOutput = nullptr, *vleVideo = nullptr, *vleAudio = nullptr,
                     *vleAdvanced = nullptr;
    TVideoArea *VideoWindow1 = nullptr;
    TDSTrackBar *TrackBar = nullptr;
    QToolButton *sbtnPlay = nullptr, *sbtnPause = nullptr, *sbtnStop = nullptr;
    QLabel *labPreviewTime = nullptr;
    QLabel *labSkippedFiles = nullptr;
    QLabel *labStatus = nullptr; // the status line, see SetNotice
    QToolButton *btnWhenDone = nullptr; // beside the "When done" notice: its menu changes it
    QMenu *ppmWhenDone = nullptr;
    QAction *mniWhenDoneExit = nullptr, *mniWhenDoneTurnOff = nullptr;
    QTimer *timerTime = nullptr;

    // ---- shell (app/MainForm.cpp) ----
    static QString WithTrailingSeparator(const QString &folder);
    bool SelectFolder(QWidget *owner, const QString &caption, const QString &root, QString &folder);
    void ShowBalloonTip(QWidget *window, int icon, const QString &title, const QString &text);
    void HideBalloonTip();
    TBalloonTip *BalloonTip = nullptr; // made on first use
    void bbtnBrowserClick();
    void bbtnOpenClick();
    void tbtnHelpClick();
    void tbtnSettingClick();
    void bbtnSettingClick();
    void tbtnAboutClick();
    // Keyboard shortcuts of the window (app/MainFormKeys.cpp).
    void SetupKeyboard();
    // Escape during a run: Stop, once the user has agreed.
    void AskToStop();
    void ltvTaskResize(int newWidth);
    void SideDrag(int x, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);
    // The five list buttons that follow the task list.
    void SetListButtonsEnabled(bool enabled);
    // Where the focus stays while a run disables the list, and returns after it.
    void KeepFocusDuringRun(bool running);
    int LastTaskListWidth = 562;

    // ---- status line ----
    // One line above the bottom strip for what the window has to say beside
    // the list. Each source sets or clears its own text ("" clears); the most
    // pressing one shows: a warning of the run, then the wait for measures,
    // then the action armed for the end of a batch. Hidden while all are empty.
    enum class TNotice { RunWarning, Measuring, WhenDone };
    void SetNotice(TNotice source, const QString &text);
    QString Notice(TNotice source) const;
    // The "When done: ..." notice for the completion actions armed in the
    // settings dialog (which tells the window whenever they change).
    void ShowCompletionActions(bool autoExit, bool autoTurnOff);

    // ---- task list (tasks/) ----
    void ReadItemData(int index, int selector, ltvItemData &rec) const;
    void WriteItemData(int index, int selector, const ltvItemData &rec);
    void AddFile(const QString &path);
    void AddFolder(const QString &folder);
    void tbtnAddFileClick();
    void tbtnAddDirClick();
    void tbtnRemoveClick();
    void tbtnClearClick();
    // Clear from the toolbar, the menu or Backspace: asks first when the list
    // has more than one row.
    void AskToClear();
    void tbtnUpClick();
    void tbtnDownClick();
    void ltvTaskClick();
    void ppmTaskPopup();
    // The popup menu's last item (made by SetupTaskList): removes the rows
    // whose status is "Complete", so that Start converts the rest.
    QAction *mniRemoveCompleted = nullptr;
    void mniRemoveCompletedClick();
    // Removes the flagged rows (one flag per row), as Remove does the selected ones.
    void RemoveRows(const QVector<bool> &flags);
    void TakeCommandLine(const QStringList &params);
    // The command-line rule for each entry: a file of a listed type is
    // added, a folder is scanned, anything else is skipped.
    void AddCommandLineEntries(const QStringList &entries);
    // The command line of a later start (app/HandOver.cpp): its entries
    // taken relative to folder, refused while a batch runs; the window is
    // raised either way.
    void TakeHandedArguments(const QString &folder, const QStringList &arguments);
    void DropFiles(const QStringList &names);
    // Shows the notice of files left out for their type ("" hides it).
    void ShowSkippedFiles(const QString &notice);
    int SelectedIndex() const; // first selected row in list order, -1 when none
    // Index of the row captions (duplicate test) and the list's mouse and key
    // events; owned by the window.
    class TTaskListHelper *TaskHelper = nullptr;
    // media probe: each added row is measured off the window; its Length,
    // Size and clip end fill in when its measure answers.
    class TMeasureQueue *Measures = nullptr;
    // Files and folders being added (folders are listed and added in slices).
    class TAddQueue *Adding = nullptr;
    // Rows whose measure has not answered yet, and entries not yet added.
    int MeasuresPending() const;
    int AddsPending() const;
    // Start with rows still being added or measured: the run begins by
    // itself once the last has answered, unless Stop gives up waiting first.
    // False when nothing is pending and the run can start now.
    bool StartWhenMeasured();
    bool WaitingToStart() const { return m_startWhenMeasured; }
    // After Move Up/Down: one change report for the rows touched, the new selection.
    void FinishMove(const QVector<bool> &before, const QVector<bool> &after, int first, int last);
    // The task list kept on disk (tasks/MainFormTaskState.cpp): offers back the
    // list of a program that died, then keeps this one's.
    class TTaskListKeeper *TaskListKeeper = nullptr;
    void SetupTaskListState();
    void RestoreTaskList(const QList<QStringList> &rows);
    // per-file output options
    void ShowOutputOptions();
    void ClearOutputOptions();
    void ApplyOutputOptions();
    // Start and End texts that are not times: error colour and a tooltip.
    void MarkTimeProblems();
    bool GuardOutputEditing();

    // ---- reached by the other windows ----
    QString OutputFolder() const;
    void SetOutputFolder(const QString &folder);
    QStringList ProfileNames() const;
    // Loads the named profile into the editors again when it is the one shown.
    void ReloadProfileIfCurrent(const QString &name);
    // The "Video Size" row of the Video editor.
    QString VideoSize() const;
    void SetVideoSize(const QString &size);

    // ---- profiles (profiles/) ----
    QString ProfilePath(const QString &name) const;
    void FillProfileCatalogue();
    void cmbProfileChange();
    // False (editors unchanged, message shown) for a malformed profile.
    bool LoadProfileIntoEditors(const QString &profilePath);
    // False (message shown, arguments left empty) for a malformed profile.
    bool AssembleProfileArguments(const QString &profilePath, QString &arguments);
    void ToggleGroup(QPushButton *button, TValueListEditor *editor);
    void vleVideoStringsChange();
    void RepaintEditors();

    // ---- preferences (prefs/) ----
    void LoadMainPreferences();
    // Writes nothing until LoadMainPreferences has run.
    void SavePreferences();
    bool PreferencesLoaded = false;

    // ---- conversion (conversion/) ----
    // The run going on (conversion/ConversionRun.h), null while idle.
    TConversionRun *ConversionRun = nullptr;
    // From Start until the window is idle again, completion actions included:
    // 0 idle, 1 running, 2 stop requested.
    int RunState = 0;
    int ElapsedSeconds = 0, RemainingSeconds = 0;
    // Ends every encoder of the run.
    void KillEncoder();
    void tbtnStartClick();
    void tbtnStopClick();
    // Pause, then Resume: the run's encoders stop where they are.
    void tbtnPauseClick();
    bool RunPaused() const;
    void DisableForRun();
    void EnableAfterRun();
    // Starts the run over the list; its results arrive as it goes.
    // keepExisting: rows whose existing output file stays ("Keep Both").
    void ConvertAll(const QString &argumentText, const QVector<bool> &skip = {},
                    const QVector<bool> &keepExisting = {});
    // The processes of the run's running encoders.
    QList<qint64> EncoderProcessIds() const;
    // A warning that must not hold a run up: during a run it goes to the
    // status line, the run's log and its closing message; otherwise a box.
    void ShowWarning(const QString &text);
    // The close box during a run asks first; a program asked to end (a
    // signal) stops the run without asking and exits.
    void EndSession();
    void mniShowMessagesClick();
    void timerTimeTimer();
    // Asks the system to power off, after the countdown; a refusal is shown.
    void PowerOffComputer();
    int PowerOffSeconds = 30;
    int PowerOffTickMs = 1000; // one second of the countdown; tests shorten it
    // A close asked for during a run; the program ends once the run has.
    bool CloseRequestedDuringRun = false;
    // Closes the window at the end of a run (completion action or a close
    // asked for meanwhile).
    void CloseAfterRun();

    // ---- preview (preview/) ----
    IMediaGraph *FilterGraph = nullptr;
    // Creates the media graph; tests pass a double before the first preview.
    std::function<IMediaGraph *()> CreateMediaGraph;
    void PreviewSelected();
    void sbtnPlayClick();
    void sbtnPauseClick();
    void sbtnStopClick();
    void ltvTaskDblClick();
    void TrackBarTimer(qint64 currentMs, qint64 durationMs);
    void StopPreview();
    // Why the playback service cannot be used ("" when it can); checked once
    // after start-up. Tests replace it before the window is first shown.
    std::function<QString()> CheckMediaService;
    // Non-empty once the preview is known to be unusable: the buttons are
    // disabled with this as the reason.
    QString PreviewUnavailableReason;
    void DisablePreview(const QString &reason);
    // Owns FilterGraph; released before the window's controls.
    std::shared_ptr<IMediaGraph> FilterGraphOwner;

    // True while the settings dialog or the size dialog is shown; the main
    // window then ignores a close request, so no edit of theirs is lost.
    bool DialogShown() const;
    // Closes a shown dialog as its Cancel would (a termination signal still
    // ends the program).
    void CancelDialogs();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void FormCreate(const QStringList &arguments);
    void FormShow();
    void FormClose();
    void BuildToolbar();
    void BuildMainPanel();
    void BuildSidePane();
    void BuildProfileGroups();
    void BuildPreviewPane();
    // Per subsystem wiring, called once from FormCreate.
    void SetupTaskList();
    void SetupProfiles();
    void SetupConversion();
    void SetupPreview();
    // What the run reports (conversion/MainFormConversion.cpp).
    void RunItemStarted(int index);
    void RunItemProgress(int index, const TChunkProgress &progress);
    void RunItemFinished(const TItemResult &result);
    void RunFinished(const TRunResult &result);
    void ShowItemOnBars(int index);
    void UpdateRowOverlay(int index);
    void UpdateTaskbar();
    // The idle look again, the window unlocked (and closed when asked for).
    void EndRunLook();
    // Offers to convert only the rows a stopped run left: skip gets one flag
    // per row, set for the rows to leave as they are.
    void AskToResume(QVector<bool> &skip);
    // Holds the sleep lock, or lets it go.
    void KeepAwake(bool on);
    // In overwrite mode, asks once before outputs replace files that were
    // there before the run. False for Cancel (or a box closed unanswered):
    // no run. keepExisting marks the rows "Keep Both" names anew.
    bool AskToReplace(const QVector<bool> &skip, QVector<bool> &keepExisting);

    bool m_shown = false;
    bool m_startWhenMeasured = false;
    bool m_startDue = false; // the waiting start is about to run
    void MeasureAnswered(quint64 ticket, const MeasureResult &result);
    int FindMeasuredRow(quint64 ticket);
    void QueueMeasure(int row);
    void ShowMeasuringNotice();
    void StopWaitingToStart();
    QHash<quint64, int> m_measureRowHints; // ticket -> the row it was added as
    QString m_notices[3]; // by TNotice
    // The run's row shown on the current bar and "Converting:", -1 for none.
    int m_shownItem = -1;
    int m_rowCount = 0; // rows of the run's list
    int m_filesLeft = 0; // files the run has still to finish
    QPair<int, int> m_taskbar{-1, -1}; // last progress and count shown on the launcher
    bool m_keepingAwake = false; // the sleep lock is asked for
    TRunStatusDelegate *m_statusDelegate = nullptr;
    TCompletionActions *m_completion = nullptr;
};

// A caption label, with its mnemonic marker ("P&rofile:") where it names a
// control (its buddy); gap pixels stay free after its text.
QLabel *MakeCaption(QWidget *parent, const char *name, const QString &text, QWidget *buddy = nullptr,
                    int gap = 0);

// The single instance, reachable from the other windows.
extern TMainForm *MainForm;
