// Conversion part of the main window: the Start, Pause and Stop commands,
// the locking of the window during a run, what the run reports (statuses,
// bars, elapsed and remaining time), and the actions that follow a completed
// batch. The run itself is a TConversionRun driven by its processes.
#include "app/MainForm.h"

#include "app/Application.h"
#include "app/SplitterBar.h"
#include "common/Platform.h"
#include "common/TimeText.h"
#include "conversion/CompletionActions.h"
#include "conversion/ConversionRun.h"
#include "conversion/EncoderProcess.h"
#include "conversion/KeepAwake.h"
#include "conversion/RunStatusDelegate.h"
#include "ini/NewInifiles.h"
#include "prefs/Preferences.h"
#include "settings/Settings.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The list's column of the stored status: the caption's, then the sub-items.
constexpr int StatusColumn = 1 + siStatus;

void SetRowToolTip(QTreeWidget *list, int index, const QString &tip)
{
    QTreeWidgetItem *row = list->topLevelItem(index);
    if (!row)
        return;
    for (int column = 0; column < list->columnCount(); ++column)
        row->setToolTip(column, tip);
}

void WriteStatus(TMainForm &form, int index, const QString &status)
{
    ltvItemData rec;
    rec.Status = status;
    form.WriteItemData(index, siStatus, rec);
}

// The bar of the item shown reads back its own position; a busy bar has no
// percentage to show.
void ShowCurrentLabel(TMainForm &form)
{
    form.labCurProgress->setText(form.pgbCurrent->maximum() > 0
                                     ? QString::number(form.pgbCurrent->value()) + QLatin1Char('%')
                                     : QString());
}

void ShowPauseButton(TMainForm &form, bool paused)
{
    const QString text = paused ? QStringLiteral("Resume") : QStringLiteral("Pause");
    form.tbtnPause->setToolTip(text + QStringLiteral(" (Ctrl+P)"));
    form.tbtnPause->setAccessibleName(text);
    form.tbtnPause->setIcon(QIcon(paused ? QStringLiteral(":/icons/start.svg") : QStringLiteral(":/icons/pause.svg")));
}

// The output folder as a run names its files: cleaned ("/out//" gives
// "/out/"), with its trailing "/".
QString OutputFolderOf(const QString &text)
{
    return TMainForm::WithTrailingSeparator(QDir::cleanPath(text));
}

QString ResumeQuestion(int converted, int rows)
{
    return converted == 1
        ? QStringLiteral("1 of %1 files was converted before the stop. Convert only the other %2?")
              .arg(rows)
              .arg(rows - 1)
        : QStringLiteral("%1 of %2 files were converted before the stop. Convert only the other %3?")
              .arg(converted)
              .arg(rows)
              .arg(rows - converted);
}

} // namespace

void TMainForm::SetupConversion()
{
    // Start, Stop and the timer are connected with the controls; the timer
    // runs only during a run.
    timerTime->stop();
    tbtnStop->setEnabled(false);
    tbtnPause->setEnabled(false);
    ShowPauseButton(*this, false);
    m_statusDelegate = new TRunStatusDelegate(ltvTask);
    ltvTask->setItemDelegateForColumn(StatusColumn, m_statusDelegate);
}

void TMainForm::KillEncoder()
{
    if (ConversionRun)
        ConversionRun->Stop();
}

QList<qint64> TMainForm::EncoderProcessIds() const
{
    return ConversionRun ? ConversionRun->EncoderProcessIds() : QList<qint64>();
}

bool TMainForm::RunPaused() const
{
    return ConversionRun && ConversionRun->Paused();
}

void TMainForm::tbtnStartClick()
{
    if (RunState != 0)
        return;
    ltvTask->setFocus();
    if (!QFileInfo(edtOutputdir->text()).isDir()) {
        Platform::Instance().MessageBox(this,
                                        QStringLiteral("The output path does not exist. Please specify another one."),
                                        QStringLiteral("Output path does not exist"),
                                        Platform::Icon::Information);
        edtOutputdir->setFocus();
        return;
    }
    if (ltvTask->topLevelItemCount() == 0)
        return;
    if (StartWhenMeasured())
        return;
    QVector<bool> skip;
    AskToResume(skip);
    QVector<bool> keepExisting;
    if (!AskToReplace(skip, keepExisting))
        return;

    DisableForRun();
    QString arguments;
    bool assembled = false;
    try {
        assembled = AssembleProfileArguments(ProfilePath(cmbProfile->currentText()), arguments);
    } catch (const EFileError &e) {
        // A profile that cannot be written back: reported, and no run.
        ShowErrorMessage(e.message());
    } catch (const std::exception &e) {
        ShowErrorMessage(QString::fromUtf8(e.what()));
    }
    if (!assembled) {
        // A malformed profile has shown its own message; the batch does not
        // start with a half-built argument text.
        EnableAfterRun();
        return;
    }
    // Whatever escapes the start is shown here, and the window must not stay
    // locked in its running look.
    QString error;
    try {
        ConvertAll(arguments, skip, keepExisting);
    } catch (const EFileError &e) {
        error = e.message();
    } catch (const std::exception &e) {
        error = QString::fromUtf8(e.what());
    }
    if (!error.isEmpty()) {
        if (ConversionRun) {
            ConversionRun->disconnect(this);
            delete ConversionRun;
            ConversionRun = nullptr;
        }
        timerTime->stop();
        KeepAwake(false);
        EndRunLook();
        ShowErrorMessage(error);
    }
}

void TMainForm::AskToResume(QVector<bool> &skip)
{
    const int rows = ltvTask->topLevelItemCount();
    skip = QVector<bool>(rows, false);
    QVector<bool> converted(rows, false);
    int count = 0;
    for (int i = 0; i < rows; ++i) {
        const QTreeWidgetItem *row = ltvTask->topLevelItem(i);
        converted[i] = row->data(0, ConvertedBeforeStopRole).toBool() && row->text(StatusColumn) == StatusComplete();
        count += converted[i] ? 1 : 0;
    }
    if (count > 0 && count < rows
        && Platform::Instance().MessageBox(this, ResumeQuestion(count, rows), QStringLiteral("Velvo"),
                                           Platform::Icon::Question, Platform::Buttons::YesNo)
            == Platform::Yes)
        skip = converted;
}

bool TMainForm::AskToReplace(const QVector<bool> &skip, QVector<bool> &keepExisting)
{
    // The outputs as the run will name them, from the rows as they are now.
    TRunSnapshot plan;
    plan.Preferences = SettingForm->CurrentGeneralPreferences();
    if (!plan.Preferences.Overwrite)
        return true;
    const int count = ltvTask->topLevelItemCount();
    plan.Items.resize(count);
    for (int i = 0; i < count; ++i)
        ReadItemData(i, sdAll, plan.Items[i]);
    plan.Skip = skip;
    plan.OutputFolder = OutputFolderOf(edtOutputdir->text());
    plan.CurrentOutputExt = CurrentOutputExt;
    QStringList outputs;
    const QList<int> replacing = ItemsReplacingFiles(plan, &outputs);
    if (replacing.isEmpty())
        return true;
    QStringList names;
    for (const QString &output : std::as_const(outputs))
        names << QFileInfo(output).fileName();
    const QString keepBoth = QStringLiteral("Keep Both");
    const QString answer = Platform::Instance().Ask(this, ReplaceQuestion(names), QStringLiteral("Velvo"),
                                                    Platform::Icon::Question,
                                                    {QStringLiteral("Replace"), keepBoth, QStringLiteral("Cancel")},
                                                    keepBoth);
    if (answer == keepBoth) {
        keepExisting = QVector<bool>(count, false);
        for (int i : replacing)
            keepExisting[i] = true;
    }
    return answer == keepBoth || answer == QStringLiteral("Replace");
}

void TMainForm::tbtnStopClick()
{
    if (RunState != 1)
        return;
    RunState = 2;
    tbtnPause->setEnabled(false);
    KillEncoder();
}

void TMainForm::tbtnPauseClick()
{
    if (RunState != 1 || !ConversionRun || ConversionRun->Ended())
        return;
    const bool pause = !ConversionRun->Paused();
    if (pause) {
        ConversionRun->Pause();
        // The clock stands still with the encoders, and the machine may sleep.
        timerTime->stop();
        KeepAwake(false);
    } else {
        ConversionRun->Resume();
        timerTime->start();
        KeepAwake(true);
    }
    ShowPauseButton(*this, pause);
    for (int index : ConversionRun->RunningItems())
        UpdateRowOverlay(index);
}

void TMainForm::DisableForRun()
{
    StopPreview();
    for (QToolButton *b : {tbtnAddFile, tbtnAddDir, tbtnUp, tbtnDown, tbtnRemove, tbtnClear, tbtnStart})
        b->setEnabled(false);
    tbtnStop->setEnabled(true);
    tbtnPause->setEnabled(true);
    tbtnSetting->setEnabled(false);
    ltvTask->setEnabled(false);
    panSplitter->setEnabled(false);
    gpbProfile->setEnabled(false);
    KeepFocusDuringRun(true);
}

void TMainForm::EnableAfterRun()
{
    KeepFocusDuringRun(false);
    for (QToolButton *b : {tbtnAddFile, tbtnAddDir, tbtnUp, tbtnDown, tbtnRemove, tbtnClear, tbtnStart,
                           tbtnSetting})
        b->setEnabled(true);
    tbtnStop->setEnabled(false);
    tbtnPause->setEnabled(false);
    ShowPauseButton(*this, false);
    ltvTask->setEnabled(true);
    panSplitter->setEnabled(true);
    gpbProfile->setEnabled(true);
}

void TMainForm::ConvertAll(const QString &argumentText, const QVector<bool> &skip,
                          const QVector<bool> &keepExisting)
{
    // Start of the run.
    labConvertingFile->clear();
    labElapsed->clear();
    labRemaining->clear();
    pgbCurrent->setRange(0, 100);
    pgbCurrent->setValue(0);
    pgbTotal->setValue(0);
    labCurProgress->setText(QStringLiteral("0%"));
    labTotalProgress->setText(QStringLiteral("0%"));
    panBottomCenter->hide();
    panBottomLeft->show();
    SetNotice(TNotice::RunWarning, QString());
    RunState = 1;
    ElapsedSeconds = 0;
    RemainingSeconds = 0;
    timerTime->start();

    // A row shows only what this run did to it; the rows it leaves out keep
    // what the stopped run gave them.
    TRunSnapshot snapshot;
    const int count = ltvTask->topLevelItemCount();
    snapshot.Items.resize(count);
    snapshot.Skip = skip;
    snapshot.Skip.resize(count);
    int toConvert = 0;
    for (int i = 0; i < count; ++i) {
        ReadItemData(i, sdAll, snapshot.Items[i]);
        if (snapshot.Skip[i])
            continue;
        ++toConvert;
        QTreeWidgetItem *row = ltvTask->topLevelItem(i);
        if (row->data(0, ConvertedBeforeStopRole).isValid())
            row->setData(0, ConvertedBeforeStopRole, QVariant());
        WriteStatus(*this, i, StatusOK());
        snapshot.Items[i].Status = StatusOK();
        SetRowToolTip(ltvTask, i, QString());
    }
    snapshot.ArgumentText = argumentText;
    snapshot.Preferences = SettingForm->CurrentGeneralPreferences();
    snapshot.Simultaneous = snapshot.Preferences.Simultaneous;
    snapshot.OutputFolder = OutputFolderOf(edtOutputdir->text());
    snapshot.KeepExisting = keepExisting;
    snapshot.CurrentOutputExt = CurrentOutputExt;
    snapshot.EncoderPath = EncoderPath;
    snapshot.LogFolder = VelvoStateFolder();

    m_shownItem = -1;
    m_rowCount = count;
    m_filesLeft = toConvert;
    m_taskbar = {-1, -1};
    m_statusDelegate->Clear();
    // The machine stays awake until the last item has ended.
    KeepAwake(true);
    UpdateTaskbar();

    ConversionRun = new TConversionRun(snapshot, this);
    connect(ConversionRun, &TConversionRun::ItemStarted, this, [this](int index) { RunItemStarted(index); });
    connect(ConversionRun, &TConversionRun::ItemProgress, this,
            [this](int index, const TChunkProgress &progress) { RunItemProgress(index, progress); });
    connect(ConversionRun, &TConversionRun::ItemFinished, this,
            [this](const TItemResult &result) { RunGuarded([&] { RunItemFinished(result); }); });
    connect(ConversionRun, &TConversionRun::Warning, this,
            [this](const QString &text) { SetNotice(TNotice::RunWarning, text); });
    connect(ConversionRun, &TConversionRun::Finished, this,
            [this](const TRunResult &result) { RunGuarded([&] { RunFinished(result); }); });
    ConversionRun->Start();
}

void TMainForm::KeepAwake(bool on)
{
    if (on == m_keepingAwake)
        return;
    m_keepingAwake = on;
    if (on)
        Platform::Instance().BeginSleepInhibit(KeepAwakeReason(std::max(1, m_filesLeft)));
    else
        Platform::Instance().EndSleepInhibit();
}

void TMainForm::RunItemStarted(int index)
{
    WriteStatus(*this, index, StatusConverting());
    // The bars follow the running item started first.
    if (m_shownItem < 0)
        ShowItemOnBars(index);
    UpdateRowOverlay(index);
}

void TMainForm::ShowItemOnBars(int index)
{
    m_shownItem = index;
    ltvItemData rec;
    ReadItemData(index, sdAll, rec);
    labConvertingFile->setText(QFileInfo(rec.InputFile).fileName());
    if (rec.ClipLengthSec <= 0) {
        // An item of unknown length has no position to show: its bar is busy.
        pgbCurrent->setRange(0, 0);
    } else {
        pgbCurrent->setRange(0, 100);
        pgbCurrent->setValue(std::max(0, ConversionRun->ItemPercent(index)));
    }
    ShowCurrentLabel(*this);
}

void TMainForm::RunItemProgress(int index, const TChunkProgress &progress)
{
    if (progress.setCurrent && index == m_shownItem)
        pgbCurrent->setValue(progress.current);
    if (progress.setTotal) {
        pgbTotal->setValue(progress.total);
        UpdateTaskbar();
    }
    if (progress.setLabels) {
        // Read back from the bars, which show 0 to 100 only.
        ShowCurrentLabel(*this);
        labTotalProgress->setText(QString::number(pgbTotal->value()) + QLatin1Char('%'));
    }
    UpdateRowOverlay(index);
}

void TMainForm::UpdateRowOverlay(int index)
{
    QString text;
    if (ConversionRun && ConversionRun->RunningItems().contains(index)) {
        const int percent = ConversionRun->ItemPercent(index);
        text = ConversionRun->Paused() ? QStringLiteral("Paused")
            : percent >= 0             ? StatusConverting() + QStringLiteral(" %1%").arg(percent)
                                       : StatusConverting();
    }
    m_statusDelegate->SetText(index, text);
}

void TMainForm::UpdateTaskbar()
{
    const QPair<int, int> shown{pgbTotal->value(), m_filesLeft};
    if (shown == m_taskbar)
        return;
    m_taskbar = shown;
    Platform::Instance().ShowTaskbarProgress(shown.first / 100.0, shown.second);
}

void TMainForm::RunItemFinished(const TItemResult &result)
{
    const int index = result.Index;
    WriteStatus(*this, index, result.Status);
    SetRowToolTip(ltvTask, index, result.Reason);
    if (QTreeWidgetItem *row = ltvTask->topLevelItem(index)) {
        // The encoder's messages move with the row; a row this run converted
        // is offered to be left out when a stopped batch starts again.
        row->setData(0, EncoderMessagesRole, result.Messages.Text());
        if (result.Status == StatusComplete())
            row->setData(0, ConvertedBeforeStopRole, true);
    }
    m_statusDelegate->SetText(index, QString());
    --m_filesLeft;
    UpdateTaskbar();
    // A stop leaves the bars as they were.
    if (index != m_shownItem || result.Status == StatusStop())
        return;
    if (pgbCurrent->maximum() == 0) {
        // The busy bar of an item of unknown length ends full when it worked.
        pgbCurrent->setRange(0, 100);
        pgbCurrent->setValue(result.Status == StatusComplete() ? 100 : 0);
        ShowCurrentLabel(*this);
    }
    const QList<int> running = ConversionRun ? ConversionRun->RunningItems() : QList<int>();
    if (!running.isEmpty()) {
        ShowItemOnBars(running.first());
        return;
    }
    m_shownItem = -1;
    // After the last item the bars keep their last values.
    if (index != m_rowCount - 1) {
        pgbCurrent->setValue(0);
        labCurProgress->setText(QStringLiteral("0%"));
    }
}

void TMainForm::RunFinished(const TRunResult &result)
{
    timerTime->stop();
    // Once the last item has ended the machine may sleep, before any box.
    KeepAwake(false);
    Platform::Instance().ClearTaskbarProgress();
    m_statusDelegate->Clear();
    if (ConversionRun) {
        ConversionRun->deleteLater();
        ConversionRun = nullptr;
    }
    tbtnPause->setEnabled(false);
    ShowPauseButton(*this, false);

    if (result.End != TRunEnd::Stopped) {
        // Only a stopped batch is offered to be taken up again.
        for (int i = 0; i < ltvTask->topLevelItemCount(); ++i)
            if (ltvTask->topLevelItem(i)->data(0, ConvertedBeforeStopRole).isValid())
                ltvTask->topLevelItem(i)->setData(0, ConvertedBeforeStopRole, QVariant());
    }
    if (result.End == TRunEnd::Completed && !CloseRequestedDuringRun) {
        TCompletionContext context;
        context.Form = this;
        context.Settings = SettingForm->CurrentGeneralPreferences();
        context.OutputFolder = edtOutputdir->text();
        context.Count = result.Count;
        context.Failed = result.Failed;
        context.LogPath = result.Failed > 0 ? result.LogPath : QString();
        context.Warnings = result.Warnings;
        m_completion = TCompletionActions::ForCompletedRun(context, this);
        connect(m_completion, &TCompletionActions::Done, this, [this](bool windowClosed) {
            m_completion->deleteLater();
            m_completion = nullptr;
            if (!windowClosed)
                EndRunLook();
        });
        m_completion->Start();
        return;
    }
    // A run ended for closing the program shows no message.
    if (!CloseRequestedDuringRun) {
        if (result.End == TRunEnd::Stopped)
            Platform::Instance().MessageBox(this, QStringLiteral("The Coversion is canceled."),
                                            QStringLiteral("Cancel"), Platform::Icon::Information);
        else
            Platform::Instance().MessageBox(this,
                                            result.End == TRunEnd::NoPipe ? QStringLiteral("Error On CreatePipe()")
                                                                          : QStringLiteral("Error on CreateProcess()"),
                                            QStringLiteral("Velvo"), Platform::Icon::Error);
    }
    EndRunLook();
}

void TMainForm::EndRunLook()
{
    pgbCurrent->setRange(0, 100);
    panBottomLeft->hide();
    panBottomCenter->show();
    RunState = 0;
    EnableAfterRun();
    if (CloseRequestedDuringRun)
        CloseAfterRun();
}

void TMainForm::CloseAfterRun()
{
    // A close asked for during the run has already saved the preferences,
    // so the window then only goes away; otherwise it closes the ordinary
    // way, which saves them.
    if (CloseRequestedDuringRun) {
        CloseRequestedDuringRun = false;
        RunState = 0;
        hide();
        QApplication::quit();
        return;
    }
    // The close box is refused while a run is marked; this close is the run's own.
    RunState = 0;
    close();
}

void TMainForm::ShowWarning(const QString &text)
{
    if (ConversionRun && !ConversionRun->Ended()) {
        ConversionRun->AddWarning(text);
        return;
    }
    if (RunState != 0) {
        // The run is over and its closing actions go on: nothing may wait.
        SetNotice(TNotice::RunWarning, text);
        return;
    }
    Platform::Instance().MessageBox(this, text, QStringLiteral("Velvo"), Platform::Icon::Warning);
}

void TMainForm::mniShowMessagesClick()
{
    const int index = SelectedIndex();
    const QTreeWidgetItem *row = index >= 0 ? ltvTask->topLevelItem(index) : nullptr;
    if (!row)
        return;
    if (!frmEncoderMessages) {
        frmEncoderMessages = new QDialog(this);
        frmEncoderMessages->setObjectName(QStringLiteral("frmEncoderMessages"));
        frmEncoderMessages->resize(720, 480);
        auto *layout = new QVBoxLayout(frmEncoderMessages);
        auto *text = new QPlainTextEdit(frmEncoderMessages);
        text->setObjectName(QStringLiteral("memEncoderMessages"));
        text->setAccessibleName(QStringLiteral("Encoder messages"));
        // Read-only, yet selectable and copyable.
        text->setReadOnly(true);
        text->setLineWrapMode(QPlainTextEdit::NoWrap);
        text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        layout->addWidget(text);
        auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, frmEncoderMessages);
        connect(buttons, &QDialogButtonBox::rejected, frmEncoderMessages, &QDialog::hide);
        layout->addWidget(buttons);
    }
    frmEncoderMessages->setWindowTitle(QStringLiteral("Encoder Messages - ")
                                       + QFileInfo(row->text(0)).fileName());
    frmEncoderMessages->findChild<QPlainTextEdit *>(QStringLiteral("memEncoderMessages"))
        ->setPlainText(row->data(0, EncoderMessagesRole).toString());
    frmEncoderMessages->show();
    frmEncoderMessages->raise();
}

void TMainForm::timerTimeTimer()
{
    ++ElapsedSeconds;
    labElapsed->setText(SecondsToTimeText(ElapsedSeconds));
    RemainingSeconds = RemainingSecondsAt(ElapsedSeconds, pgbTotal->value(), RemainingSeconds);
    labRemaining->setText(SecondsToTimeText(RemainingSeconds));
}
