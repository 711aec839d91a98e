#include "app/MainForm.h"

#include "app/Accessibility.h"
#include "app/Application.h"
#include "app/BalloonTip.h"
#include "app/ElidedLabel.h"
#include "app/Forms.h"
#include "app/SplitterBar.h"
#include "app/TextButton.h"
#include "common/Platform.h"
#include "common/Named.h"
#include "prefs/Preferences.h"
#include "common/ProgramFolder.h"
#include "ini/NewInifiles.h"
#include "preview/PreviewWidgets.h"
#include "profiles/CustomSize.h"
#include "profiles/GroupHeader.h"
#include "profiles/ProfilePane.h"
#include "profiles/ValueListEditor.h"
#include "settings/Settings.h"
#include "tasks/FileTypes.h"
#include "tasks/TaskListView.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollArea>
#include <QSplitter>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <cmath>

TMainForm *MainForm = nullptr;

// The icons are compiled into the library; a static library must register them itself.
static void InitIconResources()
{
    Q_INIT_RESOURCE(icons);
}

namespace {

constexpr int BottomPanelWidth = 607;
constexpr int BottomStripHeight = 77;

// Wide enough for "100%".
int PercentLabelWidth(const QLabel *label)
{
    return label->fontMetrics().horizontalAdvance(QStringLiteral("100%")) + 4;
}

} // namespace

QLabel *MakeCaption(QWidget *parent, const char *name, const QString &text, QWidget *buddy, int gap)
{
    // Without a name given, assistive technology reads the label's own text.
    auto *label = Named(new QLabel(text, parent), name);
    label->setContentsMargins(0, 0, gap, 0);
    if (buddy)
        label->setBuddy(buddy);
    return label;
}

TMainForm::TMainForm(const QStringList &arguments, QWidget *parent) : QMainWindow(parent)
{
    MainForm = this;
    InitIconResources();
    setObjectName("MainForm");
    FormCreate(arguments);
}

TMainForm::~TMainForm()
{
    if (MainForm == this)
        MainForm = nullptr;
}

void TMainForm::SetNotice(TNotice source, const QString &text)
{
    m_notices[static_cast<int>(source)] = text;
    QString shown;
    for (const QString &notice : m_notices) {
        if (!notice.isEmpty()) {
            shown = notice;
            break;
        }
    }
    btnWhenDone->setVisible(!shown.isEmpty() && shown == Notice(TNotice::WhenDone)
                            && Notice(TNotice::RunWarning).isEmpty() && Notice(TNotice::Measuring).isEmpty());
    if (labStatus->text() == shown)
        return;
    labStatus->setText(shown);
    labStatus->setVisible(!shown.isEmpty());
    // The label's text is its accessible name; tell assistive tools it changed.
    QAccessibleEvent event(labStatus, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
}

void TMainForm::ShowCompletionActions(bool autoExit, bool autoTurnOff)
{
    // The computer is turned off first; exiting follows only a cancelled countdown.
    QString text;
    if (autoTurnOff)
        text = QStringLiteral("When done: turn off the computer");
    else if (autoExit)
        text = QStringLiteral("When done: exit the program");
    SetNotice(TNotice::WhenDone, text);
}

QString TMainForm::Notice(TNotice source) const
{
    return m_notices[static_cast<int>(source)];
}

QString TMainForm::WithTrailingSeparator(const QString &folder)
{
    return folder.endsWith('/') ? folder : folder + '/';
}

// ---------------------------------------------------------------- layout

void TMainForm::BuildToolbar()
{
    tlbMain = Named(new QWidget(this), "tlbMain", "Toolbar");
    tlbMain->setFixedHeight(75);
    auto *row = new QHBoxLayout(tlbMain);
    row->setContentsMargins(5, 5, 5, 5);
    row->setSpacing(0);
    auto button = [&](QToolButton *&b, const char *name, const QString &hint, const QString &icon) {
        b = Named(new QToolButton(tlbMain), name, hint);
        b->setToolTip(hint);
        b->setAutoRaise(true);
        b->setFixedSize(56, 54);
        b->setIconSize(QSize(48, 48));
        b->setIcon(QIcon(":/icons/" + icon + ".svg"));
        row->addWidget(b);
    };
    auto separator = [&]() {
        auto *line = new QFrame(tlbMain);
        line->setFrameShape(QFrame::VLine);
        line->setFrameShadow(QFrame::Sunken);
        line->setFixedSize(8, 54);
        row->addWidget(line);
    };
    button(tbtnAddFile, "tbtnAddFile", "Add Video Files", "addfile");
    button(tbtnAddDir, "tbtnAddDir", "Add Directory", "adddir");
    separator();
    button(tbtnUp, "tbtnUp", "Move Up", "up");
    button(tbtnDown, "tbtnDown", "Move Down", "down");
    button(tbtnRemove, "tbtnRemove", "Remove", "remove");
    button(tbtnClear, "tbtnClear", "Clear", "clear");
    separator();
    button(tbtnStart, "tbtnStart", "Start", "start");
    button(tbtnPause, "tbtnPause", "Pause", "pause");
    button(tbtnStop, "tbtnStop", "Stop", "stop");
    separator();
    button(tbtnSetting, "tbtnSetting", "Settings", "settings");
    separator();
    button(tbtnAbout, "tbtnAbout", "About", "about");
    button(tbtnHelp, "tbtnHelp", "Help", "help");
    row->addStretch(1);
    for (QToolButton *b : {tbtnUp, tbtnDown, tbtnRemove, tbtnClear, tbtnStart, tbtnPause, tbtnStop})
        b->setEnabled(false);

    connect(tbtnAddFile, &QToolButton::clicked, this, &TMainForm::tbtnAddFileClick);
    connect(tbtnAddDir, &QToolButton::clicked, this, &TMainForm::tbtnAddDirClick);
    connect(tbtnUp, &QToolButton::clicked, this, &TMainForm::tbtnUpClick);
    connect(tbtnDown, &QToolButton::clicked, this, &TMainForm::tbtnDownClick);
    connect(tbtnRemove, &QToolButton::clicked, this, &TMainForm::tbtnRemoveClick);
    connect(tbtnClear, &QToolButton::clicked, this, &TMainForm::AskToClear);
    connect(tbtnStart, &QToolButton::clicked, this, &TMainForm::tbtnStartClick);
    connect(tbtnPause, &QToolButton::clicked, this, &TMainForm::tbtnPauseClick);
    connect(tbtnStop, &QToolButton::clicked, this, &TMainForm::tbtnStopClick);
    connect(tbtnSetting, &QToolButton::clicked, this, &TMainForm::tbtnSettingClick);
    connect(tbtnAbout, &QToolButton::clicked, this, &TMainForm::tbtnAboutClick);
    connect(tbtnHelp, &QToolButton::clicked, this, &TMainForm::tbtnHelpClick);
}

void TMainForm::BuildMainPanel()
{
    panMain = Named(new QWidget, "panMain", "Task panel");
    auto *column = new QVBoxLayout(panMain);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto *listRow = new QHBoxLayout;
    listRow->setSpacing(0);
    panLeft = Named(new QWidget(panMain), "panLeft", "Margin");
    panLeft->setFixedWidth(10);
    listRow->addWidget(panLeft);

    ltvTask = Named(new TTaskListView(panMain), "ltvTask", "Task List");
    ltvTask->setRootIsDecorated(false);
    ltvTask->setUniformRowHeights(true);
    ltvTask->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ltvTask->setSelectionBehavior(QAbstractItemView::SelectRows);
    ltvTask->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ltvTask->setContextMenuPolicy(Qt::CustomContextMenu);
    ltvTask->setAllColumnsShowFocus(true);
    // Caption, three visible sub-items and seven hidden ones.
    ltvTask->setColumnCount(1 + SubItemCount);
    ltvTask->setHeaderLabels(TaskListCaptions());
    // Before hiding: a stretched last section would keep counting in the
    // header's length once hidden, and the list would scroll sideways.
    ltvTask->header()->setStretchLastSection(false);
    // The four columns keep their order.
    ltvTask->header()->setSectionsMovable(false);
    for (int c = 1 + FirstHiddenSubItem; c <= SubItemCount; ++c)
        ltvTask->setColumnHidden(c, true);
    ltvTask->header()->setAccessibleName("Task List columns");
    ReportCellChanges(ltvTask);
    ltvTask->installEventFilter(this);
    listRow->addWidget(ltvTask, 1);
    column->addLayout(listRow, 1);

    // Says which dropped or named files were left out; hidden while there are none.
    labSkippedFiles = new QLabel(panMain);
    labSkippedFiles->setObjectName("labSkippedFiles");
    labSkippedFiles->setContentsMargins(10, 2, 10, 2);
    labSkippedFiles->setWordWrap(true);
    labSkippedFiles->setVisible(false);
    column->addWidget(labSkippedFiles);

    labStatus = new QLabel(panMain);
    labStatus->setObjectName("labStatus");
    labStatus->setContentsMargins(10, 2, 10, 2);
    labStatus->setWordWrap(true);
    labStatus->setVisible(false);
    // Beside an armed completion action: the way to change it, also during a run.
    btnWhenDone = Named(new QToolButton(panMain), "btnWhenDone", "Change what happens when the task is completed");
    btnWhenDone->setText("Change");
    btnWhenDone->setVisible(false);
    ppmWhenDone = Named(new QMenu(btnWhenDone), "ppmWhenDone", "When done");
    mniWhenDoneExit = ppmWhenDone->addAction("Exit the program when the task is completed.");
    mniWhenDoneExit->setObjectName("mniWhenDoneExit");
    mniWhenDoneTurnOff = ppmWhenDone->addAction("Turn off the computer when the task is completed.");
    mniWhenDoneTurnOff->setObjectName("mniWhenDoneTurnOff");
    for (QAction *action : {mniWhenDoneExit, mniWhenDoneTurnOff})
        action->setCheckable(true);
    ppmWhenDone->addSeparator();
    QAction *settings = ppmWhenDone->addAction("Settings...");
    settings->setObjectName("mniWhenDoneSettings");
    // Shown without waiting for it, below the button.
    connect(btnWhenDone, &QToolButton::clicked, this,
            [this] { ppmWhenDone->popup(btnWhenDone->mapToGlobal(QPoint(0, btnWhenDone->height()))); });
    connect(ppmWhenDone, &QMenu::aboutToShow, this, [this, settings] {
        const TGeneralPreferences prefs = SettingForm->CurrentGeneralPreferences();
        mniWhenDoneExit->setChecked(prefs.AutoExit);
        mniWhenDoneTurnOff->setChecked(prefs.AutoTurnOff);
        settings->setEnabled(tbtnSetting->isEnabled());
    });
    connect(mniWhenDoneExit, &QAction::triggered, this,
            [](bool on) { SettingForm->SetCompletionActions(on, SettingForm->chkTurnoff->isChecked()); });
    connect(mniWhenDoneTurnOff, &QAction::triggered, this,
            [](bool on) { SettingForm->SetCompletionActions(SettingForm->chkExit->isChecked(), on); });
    connect(settings, &QAction::triggered, this, [this] {
        if (tbtnSetting->isEnabled())
            tbtnSettingClick();
    });
    auto *statusRow = new QHBoxLayout;
    statusRow->setContentsMargins(0, 0, 10, 0);
    statusRow->setSpacing(0);
    statusRow->addWidget(labStatus, 1);
    statusRow->addWidget(btnWhenDone);
    column->addLayout(statusRow);

    panBottom = Named(new QWidget(panMain), "panBottom", "Bottom strip");
    // 77 pixels as designed; a larger font makes it as high as its rows need.
    panBottom->setMinimumHeight(BottomStripHeight);
    panBottom->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    // Both looks share the strip; only one is shown at a time.
    auto *strip = new QGridLayout(panBottom);
    strip->setContentsMargins(0, 0, 0, 0);
    column->addWidget(panBottom);
    panBottom->installEventFilter(this);

    // Idle look: profile and output folder. At the designed font the fields
    // start at 83 and end where their buttons begin; the buttons are 75 wide,
    // 15 from the right edge, Browse 10 before Open.
    panBottomCenter = Named(new QWidget(panBottom), "panBottomCenter", "Profile and output");
    strip->addWidget(panBottomCenter, 0, 0);
    auto *idle = new QGridLayout(panBottomCenter);
    idle->setContentsMargins(10, 11, 15, 10);
    idle->setHorizontalSpacing(0);
    idle->setVerticalSpacing(8);
    idle->setColumnMinimumWidth(0, 73);
    idle->setColumnStretch(1, 1);
    idle->setColumnMinimumWidth(3, 10);
    cmbProfile = Named(new QComboBox(panBottomCenter), "cmbProfile", "Profile");
    labProfile = MakeCaption(panBottomCenter, "labProfile", "P&rofile:", cmbProfile, 3);
    bbtnSetting = Named(new TTextButton("&Setting", panBottomCenter), "bbtnSetting", "Setting");
    edtOutputdir = Named(new QLineEdit(panBottomCenter), "edtOutputdir", "Output Path");
    labOutputPath = MakeCaption(panBottomCenter, "labOutputPath", "Output &Path:", edtOutputdir, 3);
    bbtnBrowser = Named(new TTextButton("&Browse", panBottomCenter), "bbtnBrowser", "Browse");
    bbtnOpen = Named(new TTextButton("&Open", panBottomCenter), "bbtnOpen", "Open");
    for (QWidget *field : {static_cast<QWidget *>(cmbProfile), static_cast<QWidget *>(edtOutputdir)}) {
        field->setMinimumHeight(22);
        field->setMinimumWidth(40);
    }
    idle->addWidget(labProfile, 0, 0);
    idle->addWidget(cmbProfile, 0, 1, 1, 3, Qt::AlignVCenter);
    idle->addWidget(bbtnSetting, 0, 4);
    idle->addWidget(labOutputPath, 1, 0);
    idle->addWidget(edtOutputdir, 1, 1, Qt::AlignVCenter);
    idle->addWidget(bbtnBrowser, 1, 2);
    idle->addWidget(bbtnOpen, 1, 4);
    // The output type list is kept but never shown.
    labType = Named(new QLabel("Output Type:", panBottomCenter), "labType");
    labType->adjustSize();
    labType->setVisible(false);
    cmbType = Named(new QComboBox(panBottomCenter), "cmbType", "Output Type");
    cmbType->setVisible(false);

    // Running look: progress. At the designed font the values start at 115,
    // the rows are 18, 18, 19 and 18 high from 2 down, the bars 15 high and 8
    // before their percentages, which end 2 inside the strip.
    panBottomLeft = Named(new QWidget(panBottom), "panBottomLeft", "Progress");
    strip->addWidget(panBottomLeft, 0, 0);
    auto *running = new QGridLayout(panBottomLeft);
    running->setContentsMargins(10, 2, 0, 2);
    running->setSpacing(0);
    running->setColumnMinimumWidth(0, 105);
    running->setColumnStretch(1, 1);
    for (int row = 0; row < 4; ++row)
        running->setRowMinimumHeight(row, row == 2 ? 19 : 18);
    labConverting = MakeCaption(panBottomLeft, "labConverting", "Converting:");
    labConvertingFile = Named(new TElidedLabel("No File", panBottomLeft), "labConvertingFile");
    // Shortened by design: the name never widens the window.
    labConvertingFile->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    labConvertingFile->setContentsMargins(0, 0, 5, 0);
    labElapsedCaption = MakeCaption(panBottomLeft, "labElapsedCaption", "Time Elapsed:");
    labElapsed = Named(new QLabel("00:00:00", panBottomLeft), "labElapsed");
    labRemainingCaption = MakeCaption(panBottomLeft, "labRemainingCaption", "Time Remaining:");
    labRemaining = Named(new QLabel("00:00:00", panBottomLeft), "labRemaining");
    labCurrentCaption = MakeCaption(panBottomLeft, "labCurrentCaption", "Current Progress:");
    pgbCurrent = Named(new QProgressBar(panBottomLeft), "pgbCurrent", "Current Progress");
    labCurProgress = Named(new QLabel("0%", panBottomLeft), "labCurProgress");
    labTotalCaption = MakeCaption(panBottomLeft, "labTotalCaption", "Total Progress:");
    pgbTotal = Named(new QProgressBar(panBottomLeft), "pgbTotal", "Total Progress");
    labTotalProgress = Named(new QLabel("0%", panBottomLeft), "labTotalProgress");
    // The times are as wide as "00:00:00" needs (80 as designed), the
    // percentages as "100%" needs, whatever they show at the moment.
    for (QLabel *time : {labElapsed, labRemaining})
        time->setMinimumWidth(qMax(80, time->fontMetrics().horizontalAdvance(QStringLiteral("00:00:00")) + 4));
    for (QLabel *percent : {labCurProgress, labTotalProgress})
        percent->setFixedWidth(PercentLabelWidth(percent));
    auto *times = new QGridLayout;
    times->setSpacing(0);
    times->setColumnMinimumWidth(0, 105);
    times->setColumnMinimumWidth(1, 110);
    times->setColumnStretch(3, 1);
    times->addWidget(labElapsed, 0, 0);
    times->addWidget(labRemainingCaption, 0, 1);
    times->addWidget(labRemaining, 0, 2);
    running->addWidget(labConverting, 0, 0);
    running->addWidget(labConvertingFile, 0, 1);
    running->addWidget(labElapsedCaption, 1, 0);
    running->addLayout(times, 1, 1);
    auto progressRow = [&](int row, QLabel *caption, QProgressBar *bar, QLabel *percent) {
        bar->setFixedHeight(15);
        bar->setTextVisible(false);
        bar->setRange(0, 100);
        bar->setValue(0);
        // The bar sits 2 below the top of its row, the percentage level with the caption.
        auto *barColumn = new QVBoxLayout;
        barColumn->setContentsMargins(0, 2, 0, 0);
        barColumn->setSpacing(0);
        barColumn->addWidget(bar);
        barColumn->addStretch(1);
        auto *line = new QHBoxLayout;
        line->setContentsMargins(0, 0, 2, 0);
        line->setSpacing(8);
        line->addLayout(barColumn, 1);
        line->addWidget(percent);
        running->addWidget(caption, row, 0);
        running->addLayout(line, row, 1);
    };
    progressRow(2, labCurrentCaption, pgbCurrent, labCurProgress);
    progressRow(3, labTotalCaption, pgbTotal, labTotalProgress);

    ppmTask = Named(new QMenu(this), "ppmTask", "Task List menu");
    mniOpen = ppmTask->addAction("Open");
    ppmTask->addSeparator();
    mniAddFiles = ppmTask->addAction("Add Files...");
    mniAddDir = ppmTask->addAction("Add Directorys...");
    ppmTask->addSeparator();
    mniRemove = ppmTask->addAction("Remove");
    mniClear = ppmTask->addAction("Clear");
    ppmTask->addSeparator();
    mniShowMessages = ppmTask->addAction("Show Encoder Messages");
    mniShowMessages->setObjectName("mniShowMessages");
    mniOpen->setObjectName("mniOpen");
    mniAddFiles->setObjectName("mniAddFiles");
    mniAddDir->setObjectName("mniAddDir");
    mniRemove->setObjectName("mniRemove");
    mniClear->setObjectName("mniClear");

    connect(bbtnBrowser, &QPushButton::clicked, this, &TMainForm::bbtnBrowserClick);
    connect(bbtnOpen, &QPushButton::clicked, this, &TMainForm::bbtnOpenClick);
    connect(bbtnSetting, &QPushButton::clicked, this, &TMainForm::bbtnSettingClick);
}

void TMainForm::BuildProfileGroups()
{
    auto *pane = new TProfilePane(this, true, 95, 68, "Profile Detail");
    sbxProfile = pane->sbxProfile;
    sbxProfile->setFrameShape(QFrame::NoFrame);
    panOutput = pane->panOutput;
    panVideo = pane->panVideo;
    panAudio = pane->panAudio;
    panAdvanced = pane->panAdvanced;
    btnOutput = pane->btnOutput;
    btnVideo = pane->btnVideo;
    btnAudio = pane->btnAudio;
    btnAdvanced = pane->btnAdvanced;
    vleOutput = pane->vleOutput;
    vleVideo = pane->vleVideo;
    vleAudio = pane->vleAudio;
    vleAdvanced = pane->vleAdvanced;
    // A double click on a header toggles its group as its button does.
    for (QWidget *header : {panOutput, panVideo, panAudio, panAdvanced})
        header->installEventFilter(this);
}

void TMainForm::BuildPreviewPane()
{
    panPreview = Named(new QWidget, "panPreview", "Preview");
    panPreview->setMinimumHeight(60);
    auto *column = new QVBoxLayout(panPreview);
    column->setContentsMargins(2, 2, 2, 2);
    column->setSpacing(2);
    VideoWindow1 = Named(new TVideoArea(panPreview), "VideoWindow1", "Preview video");
    column->addWidget(VideoWindow1, 1);
    TrackBar = Named(new TDSTrackBar(panPreview), "TrackBar", "Preview position");
    column->addWidget(TrackBar);
    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(2);
    auto flat = [&](QToolButton *&b, const char *name, const QString &hint, const QString &icon) {
        b = Named(new QToolButton(panPreview), name, hint);
        b->setToolTip(hint);
        b->setAutoRaise(true);
        b->setIcon(QIcon(":/icons/" + icon + ".svg"));
        b->setIconSize(QSize(16, 16));
        b->setFixedSize(24, 22);
        buttons->addWidget(b);
    };
    flat(sbtnPlay, "sbtnPlay", "Play", "play");
    flat(sbtnPause, "sbtnPause", "Pause / Resume", "pause");
    flat(sbtnStop, "sbtnStop", "Stop", "stopplay");
    // Told apart from the toolbar's Stop.
    sbtnStop->setAccessibleName("Stop Preview");
    buttons->addStretch(1);
    labPreviewTime = Named(new QLabel("00:00:00", panPreview), "labPreviewTime");
    buttons->addWidget(labPreviewTime);
    column->addLayout(buttons);

    connect(sbtnPlay, &QToolButton::clicked, this, &TMainForm::sbtnPlayClick);
    connect(sbtnPause, &QToolButton::clicked, this, &TMainForm::sbtnPauseClick);
    connect(sbtnStop, &QToolButton::clicked, this, &TMainForm::sbtnStopClick);
}

void TMainForm::BuildSidePane()
{
    panSplitter = Named(new TSplitterBar, "panSplitter", "Side pane splitter");
    panSplitter->setFixedWidth(10);
    connect(panSplitter, &TSplitterBar::Dragged, this, &TMainForm::SideDrag);

    panProfile = Named(new QWidget, "panProfile", "Side pane");
    panProfile->setFixedWidth(200);
    auto *column = new QVBoxLayout(panProfile);
    column->setContentsMargins(0, 0, 4, 4);
    gpbProfile = Named(new QGroupBox("Profile Detail"), "gpbProfile", "Profile Detail");
    auto *inside = new QVBoxLayout(gpbProfile);
    inside->setContentsMargins(2, 2, 2, 2);
    BuildProfileGroups();
    inside->addWidget(sbxProfile);
    BuildPreviewPane();
    splProfile = Named(new QSplitter(Qt::Vertical), "splProfile", "Preview splitter");
    splProfile->setHandleWidth(4);
    splProfile->setChildrenCollapsible(false);
    splProfile->addWidget(gpbProfile);
    splProfile->addWidget(panPreview);
    splProfile->setStretchFactor(0, 1);
    splProfile->setStretchFactor(1, 0);
    splProfile->setSizes({260, 177});
    column->addWidget(splProfile);
}

// ---------------------------------------------------------------- start-up

void TMainForm::FormCreate(const QStringList &arguments)
{
    resize(798, 539);
    setWindowIcon(QIcon(":/icons/velvo.svg"));
    setAcceptDrops(false);

    auto *central = new QWidget(this);
    central->setObjectName("panClient");
    auto *outer = new QVBoxLayout(central);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    BuildToolbar();
    outer->addWidget(tlbMain);
    auto *body = new QHBoxLayout;
    body->setSpacing(0);
    BuildMainPanel();
    BuildSidePane();
    body->addWidget(panMain, 1);
    body->addWidget(panSplitter);
    body->addWidget(panProfile);
    outer->addLayout(body, 1);
    setCentralWidget(central);

    timerTime = new QTimer(this);
    timerTime->setObjectName("timerTime");
    timerTime->setInterval(1000);
    connect(timerTime, &QTimer::timeout, this, &TMainForm::timerTimeTimer);

    // 1-2: the program folder, the first output folder and the encoder.
    ProgramDir = WithTrailingSeparator(ApplicationFolder());
    Files = DecideFileLocations(ProgramDir);
    edtOutputdir->setText(Files.DefaultOutputFolder);
    EncoderPath = ProgramDir + "vxenc.dll";
    QString userFilesError;
    if (!PrepareUserFiles(Files, userFilesError))
        ShowErrorMessage(userFilesError);

    // 4: the version text (only read: the file is not written here).
    VersionText = VELVO_VERSION;
    try {
        TNewInifile ini(Files.PreferencesFile);
        VersionText = ReadVersionText(ini, VELVO_VERSION);
        ini.SaveAndFree();
    } catch (const EFileError &e) {
        // A folder that cannot be written is reported; the window still opens.
        ShowErrorMessage(e.message());
    }

    // 5
    HelpFile = ProgramDir + "VelvoHelp.html";
    QApplication::setApplicationName("Velvo");
    setWindowTitle("Velvo V" + VersionText);

    // 6
    OutputTypeExtensions = OutputTypeExtensionList();
    for (const QString &e : OutputTypeExtensions)
        cmbType->addItem("*" + e);

    // 7: input types, the open-dialog filter and the scan mask.
    InputExtensions = InputExtensionList();
    ScanMask = ScanMaskOf(InputExtensions);
    OpenDialogFilter = OpenDialogFilterOf(InputExtensions);

    SetupTaskList();
    SetupProfiles();
    SetupConversion();
    SetupPreview();
    SetupKeyboard();

    // 8
    FillProfileCatalogue();

    // A task list left behind by a program that died comes before the
    // command line's files.
    SetupTaskListState();

    // 9-10: files named on the command line.
    try {
        TakeCommandLine(arguments);
    } catch (const std::exception &e) {
        // An unreadable list file is reported; start-up goes on as usual.
        Platform::Instance().MessageBox(this, QString::fromUtf8(e.what()), "Velvo",
                                        Platform::Icon::Error);
    }
    if (ltvTask->topLevelItemCount() > 0)
        SetListButtonsEnabled(true);

    // 11-13
    setAcceptDrops(true);
    panBottomCenter->resize(BottomPanelWidth, panBottomCenter->height());
    panBottomLeft->resize(BottomPanelWidth, panBottomLeft->height());
    panBottomLeft->hide();
    const int widths[] = {260, 90, 80, 100};
    for (int c = 0; c < 4; ++c)
        ltvTask->setColumnWidth(c, widths[c]);

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TMainForm::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

void TMainForm::FormShow()
{
    LoadMainPreferences();
}

bool TMainForm::DialogShown() const
{
    return (SettingForm && SettingForm->isVisible()) || (SizeForm && SizeForm->isVisible());
}

void TMainForm::CancelDialogs()
{
    if (SizeForm && SizeForm->isVisible())
        SizeForm->btnCancelClick();
    if (SettingForm && SettingForm->isVisible())
        SettingForm->btnCancelClick();
}

void TMainForm::closeEvent(QCloseEvent *event)
{
    // A dialog's edits are never lost to a close of the main window.
    if (DialogShown()) {
        event->ignore();
        return;
    }
    if (RunState != 0) {
        // The run is never left behind unasked; once stopped, Start closes
        // the window.
        event->ignore();
        if (CloseRequestedDuringRun)
            return;
        if (RunState == 1
            && Platform::Instance().MessageBox(this,
                                               QStringLiteral("A conversion is running. Stop it and close Velvo?"),
                                               QStringLiteral("Velvo"), Platform::Icon::Question,
                                               Platform::Buttons::YesNo)
                != Platform::Yes)
            return;
        if (RunState == 0) {
            // The run ended while the question was open.
            close();
            return;
        }
        CloseRequestedDuringRun = true;
        FormClose();
        RunState = 2;
        KillEncoder();
        return;
    }
    FormClose();
    QMainWindow::closeEvent(event);
    QApplication::quit();
}

void TMainForm::EndSession()
{
    Platform::SetSessionEnding(true);
    CancelDialogs();
    // A box or dialog waiting for an answer is closed; its caller goes on
    // and, with the session ending, shows no further box.
    while (QWidget *modal = QApplication::activeModalWidget()) {
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
        else
            modal->close();
        if (QApplication::activeModalWidget() == modal)
            break;
    }
    if (RunState != 0) {
        if (!CloseRequestedDuringRun) {
            CloseRequestedDuringRun = true;
            FormClose();
        }
        RunState = 2;
        KillEncoder();
        return;
    }
    if (!close()) {
        // Whatever holds the window open, the program is asked to end.
        FormClose();
        hide();
        QApplication::quit();
    }
}

void TMainForm::FormClose()
{
    SavePreferences();
}

// ---------------------------------------------------------------- layout rules

bool TMainForm::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize) {
        if (watched == ltvTask) {
            ltvTaskResize(static_cast<QResizeEvent *>(event)->size().width());
        } else if (watched == panBottom) {
            // The hidden look follows the strip too, so it is laid out
            // before it is shown.
            for (QWidget *look : {panBottomCenter, panBottomLeft})
                if (look->isHidden()) {
                    look->setGeometry(panBottom->rect());
                    look->layout()->setGeometry(look->rect());
                }
        }
    } else if (event->type() == QEvent::MouseButtonDblClick) {
        if (watched == panOutput)
            ToggleGroup(btnOutput, vleOutput);
        else if (watched == panVideo)
            ToggleGroup(btnVideo, vleVideo);
        else if (watched == panAudio)
            ToggleGroup(btnAudio, vleAudio);
        else if (watched == panAdvanced)
            ToggleGroup(btnAdvanced, vleAdvanced);
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm::ltvTaskResize(int newWidth)
{
    const int delta = newWidth - LastTaskListWidth;
    LastTaskListWidth = newWidth;
    if (delta == 0)
        return;
    for (int c = 0; c < 4; ++c)
        ltvTask->setColumnWidth(c, TaskColumnWidth(c, ltvTask->columnWidth(c), delta));
}

void TMainForm::SideDrag(int x, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers)
{
    if (buttons == Qt::LeftButton && modifiers == Qt::NoModifier && x != 0)
        panProfile->setFixedWidth(qMax(0, panProfile->width() + 5 - x));
}

void TMainForm::KeepFocusDuringRun(bool running)
{
    // The list cannot hold the focus while a run disables it: Stop holds it
    // meanwhile, and the list has it back afterwards unless the user moved it.
    if (running) {
        tbtnStop->setFocus();
    } else if (!focusWidget() || focusWidget() == tbtnStop) {
        ltvTask->setEnabled(true);
        ltvTask->setFocus();
    }
}

void TMainForm::SetListButtonsEnabled(bool enabled)
{
    for (QToolButton *b : {tbtnUp, tbtnDown, tbtnRemove, tbtnClear, tbtnStart})
        b->setEnabled(enabled);
}

// ---------------------------------------------------------------- shell commands

bool TMainForm::SelectFolder(QWidget *owner, const QString &caption, const QString &root, QString &folder)
{
    Q_UNUSED(root); // every caller browses from the top of the file system
    if (!QFileInfo(folder).isDir())
        folder.clear();
    return Platform::Instance().SelectFolder(owner, caption, folder);
}

void TMainForm::ShowBalloonTip(QWidget *window, int icon, const QString &title, const QString &text)
{
    if (!BalloonTip)
        BalloonTip = new TBalloonTip(this);
    BalloonTip->ShowAt(window, icon, title, text);
}

void TMainForm::HideBalloonTip()
{
    if (BalloonTip)
        BalloonTip->hide();
}

void TMainForm::bbtnBrowserClick()
{
    QString folder;
    if (SelectFolder(this, "Select the output directory.", QString(), folder))
        edtOutputdir->setText(WithTrailingSeparator(folder));
}

void TMainForm::bbtnOpenClick()
{
    if (QFileInfo(edtOutputdir->text()).isDir())
        Platform::Instance().OpenDocument(edtOutputdir->text());
}

void TMainForm::tbtnHelpClick()
{
    // Said without waiting for an answer: help may be asked for during a run.
    if (!Platform::Instance().OpenDocument(HelpFile))
        Platform::Instance().ShowNotice(
            this,
            QStringLiteral("The help could not be shown: no program to open it was found. The help file is \"%1\".")
                .arg(HelpFile),
            QStringLiteral("Help"), Platform::Icon::Information);
}

void TMainForm::tbtnSettingClick()
{
    SettingForm->ShowOnGeneralTab();
}

void TMainForm::bbtnSettingClick()
{
    SettingForm->ShowOnProfilesTab(cmbProfile->currentIndex());
}

void TMainForm::tbtnAboutClick()
{
    ShowAboutBox(this);
}

// ---------------------------------------------------------------- drops

void TMainForm::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls() && ltvTask->isEnabled())
        event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent *event)
{
    QStringList names;
    for (const QUrl &url : event->mimeData()->urls())
        if (url.isLocalFile())
            names << url.toLocalFile();
    DropFiles(names);
    event->acceptProposedAction();
}
