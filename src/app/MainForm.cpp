#include "app/MainForm.h"

#include "app/Application.h"
#include "app/BalloonTip.h"
#include "app/ElidedLabel.h"
#include "app/Forms.h"
#include "app/SplitterBar.h"
#include "common/Platform.h"
#include "common/Named.h"
#include "prefs/Preferences.h"
#include "common/ProgramFolder.h"
#include "conversion/EncoderProcess.h"
#include "ini/NewInifiles.h"
#include "preview/PreviewWidgets.h"
#include "profiles/CustomSize.h"
#include "profiles/GroupHeader.h"
#include "profiles/ProfilePane.h"
#include "profiles/ValueListEditor.h"
#include "settings/Settings.h"
#include "tasks/FileTypes.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
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

// Without a name given, assistive technology reads the control's own text
// (a label's changing value included), never the object name.
template <typename Label = QLabel>
Label *MakeLabel(QWidget *parent, const char *name, const QString &text, int x, int y, int w = 110)
{
    auto *label = Named(new Label(text, parent), name);
    label->setGeometry(x, y, w, 18);
    return label;
}

// Wide enough for "100%".
int PercentLabelWidth(const QLabel *label)
{
    return label->fontMetrics().horizontalAdvance(QStringLiteral("100%")) + 4;
}

} // namespace

TMainForm::TMainForm(const QStringList &arguments, QWidget *parent) : QMainWindow(parent)
{
    MainForm = this;
    InitIconResources();
    setObjectName("MainForm");
    Encoder = new TEncoderProcess(this);
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
    if (labStatus->text() == shown)
        return;
    labStatus->setText(shown);
    labStatus->setVisible(!shown.isEmpty());
    // The label's text is its accessible name; tell assistive tools it changed.
    QAccessibleEvent event(labStatus, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
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
    connect(tbtnClear, &QToolButton::clicked, this, &TMainForm::tbtnClearClick);
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

    ltvTask = Named(new QTreeWidget(panMain), "ltvTask", "Task List");
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
    ltvTask->header()->setStyleSheet("QHeaderView::section { background-color: rgb(243,243,243); "
                                      "border: 0px; border-right: 1px solid rgb(210,210,210); "
                                      "border-bottom: 1px solid rgb(210,210,210); padding-left: 4px; }");
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
    column->addWidget(labStatus);

    panBottom = Named(new QWidget(panMain), "panBottom", "Bottom strip");
    panBottom->setFixedHeight(77);
    column->addWidget(panBottom);

    // Idle look: profile and output folder.
    panBottomCenter = Named(new QWidget(panBottom), "panBottomCenter", "Profile and output");
    panBottomCenter->setGeometry(0, 0, BottomPanelWidth, 77);
    labProfile = MakeLabel(panBottomCenter, "labProfile", "Profile:", 10, 14, 70);
    cmbProfile = Named(new QComboBox(panBottomCenter), "cmbProfile", "Profile");
    cmbProfile->setGeometry(83, 12, 400, 22);
    bbtnSetting = Named(new QPushButton("&Setting", panBottomCenter), "bbtnSetting", "Setting");
    bbtnSetting->setGeometry(500, 11, 75, 24);
    labOutputPath = MakeLabel(panBottomCenter, "labOutputPath", "Output Path:", 10, 46, 70);
    edtOutputdir = Named(new QLineEdit(panBottomCenter), "edtOutputdir", "Output Path");
    edtOutputdir->setGeometry(83, 44, 330, 22);
    bbtnBrowser = Named(new QPushButton("&Browse", panBottomCenter), "bbtnBrowser", "Browse");
    bbtnBrowser->setGeometry(420, 43, 75, 24);
    bbtnOpen = Named(new QPushButton("&Open", panBottomCenter), "bbtnOpen", "Open");
    bbtnOpen->setGeometry(500, 43, 75, 24);
    // The output type list is kept but never shown.
    labType = MakeLabel(panBottomCenter, "labType", "Output Type:", 0, 0);
    labType->setVisible(false);
    cmbType = Named(new QComboBox(panBottomCenter), "cmbType", "Output Type");
    cmbType->setVisible(false);

    // Running look: progress.
    panBottomLeft = Named(new QWidget(panBottom), "panBottomLeft", "Progress");
    panBottomLeft->setGeometry(0, 0, BottomPanelWidth, 77);
    labConverting = MakeLabel(panBottomLeft, "labConverting", "Converting:", 10, 2);
    labConvertingFile = MakeLabel<TElidedLabel>(panBottomLeft, "labConvertingFile", "No File", 115, 2, 480);
    labElapsedCaption = MakeLabel(panBottomLeft, "labElapsedCaption", "Time Elapsed:", 10, 20);
    labElapsed = MakeLabel(panBottomLeft, "labElapsed", "00:00:00", 115, 20, 80);
    labRemainingCaption = MakeLabel(panBottomLeft, "labRemainingCaption", "Time Remaining:", 220, 20);
    labRemaining = MakeLabel(panBottomLeft, "labRemaining", "00:00:00", 330, 20, 80);
    labCurrentCaption = MakeLabel(panBottomLeft, "labCurrentCaption", "Current Progress:", 10, 38);
    pgbCurrent = Named(new QProgressBar(panBottomLeft), "pgbCurrent", "Current Progress");
    pgbCurrent->setGeometry(115, 40, 400, 15);
    pgbCurrent->setTextVisible(false);
    labCurProgress = MakeLabel(panBottomLeft, "labCurProgress", "0%", 580, 38, 30);
    labCurProgress->resize(PercentLabelWidth(labCurProgress), labCurProgress->height());
    labTotalCaption = MakeLabel(panBottomLeft, "labTotalCaption", "Total Progress:", 10, 57);
    pgbTotal = Named(new QProgressBar(panBottomLeft), "pgbTotal", "Total Progress");
    pgbTotal->setGeometry(115, 59, 400, 15);
    pgbTotal->setTextVisible(false);
    labTotalProgress = MakeLabel(panBottomLeft, "labTotalProgress", "0%", 580, 57, 30);
    labTotalProgress->resize(PercentLabelWidth(labTotalProgress), labTotalProgress->height());
    for (QProgressBar *bar : {pgbCurrent, pgbTotal}) {
        bar->setRange(0, 100);
        bar->setValue(0);
    }
    panMain->installEventFilter(this);

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
        if (watched == panMain)
            FormResize();
        else if (watched == ltvTask)
            ltvTaskResize(static_cast<QResizeEvent *>(event)->size().width());
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

void TMainForm::FormResize()
{
    const int w = panMain->width();
    panBottomCenter->resize(w, panBottomCenter->height());
    panBottomLeft->resize(w, panBottomLeft->height());
    bbtnSetting->move(panBottomCenter->width() - 90, bbtnSetting->y());
    cmbProfile->resize(bbtnSetting->x() - 83, cmbProfile->height());
    bbtnOpen->move(panBottomCenter->width() - 90, bbtnOpen->y());
    bbtnBrowser->move(bbtnOpen->x() - 85, bbtnBrowser->y());
    edtOutputdir->resize(bbtnBrowser->x() - 83, edtOutputdir->height());
    // The percentages end 2 pixels inside the strip, so "100%" is never cut.
    labCurProgress->move(panBottomLeft->width() - labCurProgress->width() - 2, labCurProgress->y());
    pgbCurrent->resize(labCurProgress->x() - 123, pgbCurrent->height());
    labTotalProgress->move(panBottomLeft->width() - labTotalProgress->width() - 2, labTotalProgress->y());
    pgbTotal->resize(labTotalProgress->x() - 123, pgbTotal->height());
    labConvertingFile->resize(qMax(0, w - labConvertingFile->x() - 5), labConvertingFile->height());
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
    Platform::Instance().OpenDocument(HelpFile);
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
