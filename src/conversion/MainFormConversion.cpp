// Conversion part of the main window: the run over the task list, the Start
// and Stop commands, the locking of the window during a run, the elapsed and
// remaining time, and the actions that follow a completed batch.
#include "app/MainForm.h"

#include "app/Application.h"
#include "app/SplitterBar.h"
#include "common/Platform.h"
#include "common/TimeText.h"
#include "conversion/EncoderProcess.h"
#include "conversion/KeepAwake.h"
#include "conversion/OutputNaming.h"
#include "conversion/Progress.h"
#include "conversion/RunLog.h"
#include "conversion/RunOutcome.h"
#include "tasks/MediaProbe.h"
#include "ini/NewInifiles.h"
#include "prefs/Preferences.h"
#include "settings/Settings.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <QScopeGuard>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

const QString StatusOK = QStringLiteral("OK");
const QString StatusConverting = QStringLiteral("Converting");
const QString StatusComplete = QStringLiteral("Complete");
const QString StatusStop = QStringLiteral("Stop");
const QString StatusFailed = QStringLiteral("Failed");

// Whether a pipe for the encoder's output can be had at all; a program out
// of file descriptors fails here first.
bool PipeAvailable()
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return false;
    ::close(ends[0]);
    ::close(ends[1]);
    return true;
}

void SetRowToolTip(QTreeWidget *list, int index, const QString &tip)
{
    QTreeWidgetItem *row = list->topLevelItem(index);
    if (!row)
        return;
    for (int column = 0; column < list->columnCount(); ++column)
        row->setToolTip(column, tip);
}

void WriteStatus(TMainForm &form, int index, ltvItemData &rec, const QString &status)
{
    rec.Status = status;
    form.WriteItemData(index, siStatus, rec);
}

void ShowProgress(TMainForm &form, const TChunkProgress &progress)
{
    if (progress.setCurrent)
        form.pgbCurrent->setValue(progress.current);
    if (progress.setTotal)
        form.pgbTotal->setValue(progress.total);
    if (progress.setLabels) {
        // Read back from the bars, which show 0 to 100 only; a busy bar has
        // no percentage to show.
        form.labCurProgress->setText(form.pgbCurrent->maximum() > 0
                                         ? QString::number(form.pgbCurrent->value()) + QLatin1Char('%')
                                         : QString());
        form.labTotalProgress->setText(QString::number(form.pgbTotal->value()) + QLatin1Char('%'));
    }
}

// An item of unknown length has no position to show: its bar is busy.
void SetCurrentBarBusy(TMainForm &form)
{
    form.pgbCurrent->setRange(0, 0);
    form.labCurProgress->clear();
}

// The idle look: progress hidden, profile and output folder shown.
void ShowIdleLook(TMainForm &form)
{
    form.pgbCurrent->setRange(0, 100);
    form.panBottomLeft->hide();
    form.panBottomCenter->show();
}

void RemovePartialOutput(const QString &partial)
{
    if (!partial.isEmpty())
        QFile::remove(partial);
}

// The end of a run that did not complete (stopped, or the encoder could not
// be started): the item gets its status, the message is shown, the window
// returns to its idle look, and no completion action follows. A run ended
// for closing the program shows no message.
void EndRun(TMainForm &form, int index, ltvItemData &rec, const QString &status,
            const QString &text, const QString &caption, Platform::Icon icon)
{
    form.timerTime->stop();
    WriteStatus(form, index, rec, status);
    if (!form.CloseRequestedDuringRun)
        Platform::Instance().MessageBox(&form, text, caption, icon);
    ShowIdleLook(form);
    form.RunState = 0;
}

void EndCanceled(TMainForm &form, int index, ltvItemData &rec)
{
    EndRun(form, index, rec, StatusStop, QStringLiteral("The Coversion is canceled."),
           QStringLiteral("Cancel"), Platform::Icon::Information);
}

// Closes the main window at the end of a run. A close asked for during the
// run has already saved the preferences, so the window then only goes away;
// otherwise it closes the ordinary way, which saves them.
void CloseMainWindow(TMainForm &form)
{
    if (form.CloseRequestedDuringRun) {
        form.CloseRequestedDuringRun = false;
        form.RunState = 0;
        form.hide();
        QApplication::quit();
        return;
    }
    // The close box is refused while a run is marked; this close is the run's own.
    form.RunState = 0;
    form.close();
}

// What follows the last item of a run that was neither stopped nor failed.
void CompletionActions(TMainForm &form, int failed, int count, const QString &logPath)
{
    form.timerTime->stop();
    // A cancelled countdown goes on as if power-off had not been chosen; a
    // refusal (already shown) still closes the window.
    const TGeneralPreferences settings = SettingForm->CurrentGeneralPreferences();
    if (settings.AutoTurnOff && form.PowerOffComputer()) {
        CloseMainWindow(form);
        return;
    }
    if (settings.AutoExit) {
        CloseMainWindow(form);
        return;
    }
    const TCompletionMessage message = CompletionMessage(failed, count, logPath);
    Platform::Instance().MessageBox(&form, message.text, message.caption,
                                    message.warning ? Platform::Icon::Warning : Platform::Icon::Information);
    if (settings.AutoOpenDir && !form.CloseRequestedDuringRun)
        Platform::Instance().OpenDocument(form.edtOutputdir->text());
    form.RunState = 0;
    ShowIdleLook(form);
}

// Keeps an item's messages with its row (they move with it) and in the run's log.
void KeepMessages(TMainForm &form, int index, TItemMessages &messages, TRunLog &log,
                  const QString &status)
{
    messages.status = status;
    if (QTreeWidgetItem *row = form.ltvTask->topLevelItem(index))
        row->setData(0, EncoderMessagesRole, messages.Text());
    log.Append(messages);
}

// A Stop (or a close) taken while an item converted or was being checked:
// its partial output goes, and the run ends there.
void EndStopped(TMainForm &form, int index, ltvItemData &rec, TItemMessages &messages, TRunLog &log,
                const QString &partial)
{
    RemovePartialOutput(partial);
    messages.verification = QStringLiteral("stopped");
    KeepMessages(form, index, messages, log, StatusStop);
    EndCanceled(form, index, rec);
}

} // namespace

void TMainForm::SetupConversion()
{
    // Start, Stop and the timer are connected with the controls; the timer
    // runs only during a run.
    timerTime->stop();
    tbtnStop->setEnabled(false);
}

void TMainForm::KillEncoder()
{
    Encoder->KillEncoder();
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
    } else {
        // Whatever escapes the run is shown here, and the window must not
        // stay locked in its running look.
        QString error;
        try {
            const TKeepAwake awake(ltvTask->topLevelItemCount());
            ConvertAll(arguments);
        } catch (const EFileError &e) {
            error = e.message();
        } catch (const std::exception &e) {
            error = QString::fromUtf8(e.what());
        } catch (...) {
            error = QStringLiteral("An unexpected error occurred.");
        }
        if (!error.isEmpty()) {
            KillEncoder();
            timerTime->stop();
            ShowIdleLook(*this);
            RunState = 0;
        }
        EnableAfterRun();
        if (!error.isEmpty())
            ShowErrorMessage(error);
    }
    if (CloseRequestedDuringRun)
        CloseMainWindow(*this);
}

void TMainForm::tbtnStopClick()
{
    if (RunState != 1)
        return;
    RunState = 2;
    KillEncoder();
}

void TMainForm::DisableForRun()
{
    StopPreview();
    for (QToolButton *b : {tbtnAddFile, tbtnAddDir, tbtnUp, tbtnDown, tbtnRemove, tbtnClear, tbtnStart})
        b->setEnabled(false);
    tbtnStop->setEnabled(true);
    tbtnSetting->setEnabled(false);
    ltvTask->setEnabled(false);
    panSplitter->setEnabled(false);
    gpbProfile->setEnabled(false);
}

void TMainForm::EnableAfterRun()
{
    for (QToolButton *b : {tbtnAddFile, tbtnAddDir, tbtnUp, tbtnDown, tbtnRemove, tbtnClear, tbtnStart,
                           tbtnSetting})
        b->setEnabled(true);
    tbtnStop->setEnabled(false);
    ltvTask->setEnabled(true);
    panSplitter->setEnabled(true);
    gpbProfile->setEnabled(true);
}

void TMainForm::ConvertAll(const QString &argumentText)
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
    RunState = 1;

    DoneSeconds = 0;
    TotalSeconds = 0;
    ElapsedSeconds = 0;
    RemainingSeconds = 0;
    timerTime->start();

    // A row shows only what this run did to it; an unknown length counts as
    // nothing in the total, so the total bar follows the measured items.
    const int count = ltvTask->topLevelItemCount();
    QStringList runInputs;
    for (int i = 0; i < count; ++i) {
        ltvItemData rec;
        ReadItemData(i, sdAll, rec);
        TotalSeconds += std::max(0.0, rec.ClipLengthSec);
        runInputs.append(rec.InputFile);
        WriteStatus(*this, i, rec, StatusOK);
        SetRowToolTip(ltvTask, i, QString());
    }

    TRunLog log;
    log.Open(VelvoStateFolder(), QDateTime::currentDateTime());
    const bool videoExpected = !DisablesVideo(argumentText);
    const qint64 pid = QCoreApplication::applicationPid();
    QSet<QString> runOutputs;
    int failed = 0;
    TMessageTail tail(KeptEncoderLines);
    const QMetaObject::Connection tailFeed =
        connect(Encoder, &TEncoderProcess::OutputRead, this, [&tail](const QByteArray &piece) { tail.Add(piece); });
    const auto disconnectTail = qScopeGuard([&] { disconnect(tailFeed); });

    for (int i = 0; i < count; ++i) {
        QCoreApplication::processEvents();
        CurrentTime = 0;
        ltvItemData rec;
        ReadItemData(i, sdAll, rec);
        WriteStatus(*this, i, rec, StatusConverting);
        labConvertingFile->setText(QFileInfo(rec.InputFile).fileName());

        // A Stop taken before this item's encoder started ends the run here.
        if (RunState == 2) {
            EndCanceled(*this, i, rec);
            return;
        }

        TOutputRequest request;
        request.folder = WithTrailingSeparator(edtOutputdir->text());
        request.outputName = rec.OutputName;
        request.itemExt = rec.OutputExt;
        request.currentExt = CurrentOutputExt;
        request.position = i + 1;
        request.renameExisting = !SettingForm->CurrentGeneralPreferences().Overwrite;
        request.runInputs = runInputs;
        request.runOutputs = runOutputs;
        const QString out = OutputPathFor(request);

        if (!PipeAvailable()) {
            // The item is not left marked as converting once the run is over.
            SetRowToolTip(ltvTask, i, QStringLiteral("The encoder's output pipe could not be created."));
            EndRun(*this, i, rec, StatusFailed, QStringLiteral("Error On CreatePipe()"),
                   QStringLiteral("Velvo"), Platform::Icon::Error);
            return;
        }

        const double clipSeconds = std::max(0.0, rec.ClipLengthSec);
        TItemMessages messages;
        messages.input = rec.InputFile;
        // Every name tried was taken (converting would overwrite a file), or
        // the clip holds nothing to convert.
        const QString notStarted = out.isEmpty() ? QStringLiteral("No free output file name was found.")
            : ClipCutToNothing(rec) ? QStringLiteral("The clip is shorter than a tenth of a second.")
                                    : QString();
        if (!notStarted.isEmpty()) {
            ++failed;
            DoneSeconds += clipSeconds;
            WriteStatus(*this, i, rec, StatusFailed);
            SetRowToolTip(ltvTask, i, notStarted);
            messages.exitText = QStringLiteral("not started");
            messages.verification = notStarted;
            KeepMessages(*this, i, messages, log, StatusFailed);
            continue;
        }
        runOutputs.insert(out);

        // The encoder writes beside the final file; only a verified output
        // takes the final name, so a failed or stopped item never replaces
        // an older good file nor leaves a broken one behind.
        const QString partial = PartialOutputPath(out, pid);
        const QString itemArguments = ItemArguments(argumentText, rec);
        const EncoderCommand command = ConvertCommand(rec.InputFile, itemArguments, partial);
        messages.output = out;
        messages.commandLine = QLatin1Char('"') + EncoderPath + QLatin1Char('"') + command.text;
        const TFolderWatch outputFolder(request.folder);
        tail.Clear();
        if (!Encoder->Start(EncoderPath, command)) {
            RemovePartialOutput(partial);
            SetRowToolTip(ltvTask, i, QStringLiteral("The encoder could not be started."));
            messages.exitText = QStringLiteral("could not be started");
            KeepMessages(*this, i, messages, log, StatusFailed);
            EndRun(*this, i, rec, StatusFailed, QStringLiteral("Error on CreateProcess()"),
                   QStringLiteral("Velvo"), Platform::Icon::Error);
            return;
        }

        if (clipSeconds <= 0)
            SetCurrentBarBusy(*this);
        int chunkCounter = 0;
        for (;;) {
            QCoreApplication::processEvents();
            QByteArray bytes;
            if (!Encoder->ReadChunk(bytes, true))
                break;
            // An item of unknown length does not move the total bar.
            if (chunkCounter >= UnexaminedChunks)
                ShowProgress(*this, ExamineChunk(ChunkText(bytes), CurrentTime, clipSeconds, DoneSeconds,
                                                 clipSeconds > 0 ? TotalSeconds : 0));
            ++chunkCounter;
        }
        messages.exitText = ExitDescription(Encoder->Killed(), Encoder->ExitCode());
        messages.lines = tail.Lines();

        if (RunState == 2) {
            EndStopped(*this, i, rec, messages, log, partial);
            return;
        }

        if (Encoder->ExitedNormally() && CurrentTime > 0 && CurrentTime < clipSeconds) {
            // The encoder's last report comes a frame or so before the end of
            // the clip; a finished item that reported progress ends full.
            CurrentTime = clipSeconds;
            ShowProgress(*this, ProgressAt(CurrentTime, clipSeconds, DoneSeconds, TotalSeconds));
        }
        DoneSeconds += clipSeconds;

        // A normal end says nothing of an output whose folder went away
        // meanwhile, nor of an output that holds no usable video.
        QString failure;
        TEncoderEnd end;
        end.crashed = Encoder->Killed();
        end.exitCode = Encoder->ExitCode();
        end.outputFolderGone = !outputFolder.StillThere();
        if (!Encoder->ExitedNormally() || end.outputFolderGone) {
            failure = FailureText(end, messages.lines);
        } else {
            const QString reason = VerifyOutput(MeasureOutput(partial), clipSeconds, videoExpected);
            if (RunState == 2) {
                EndStopped(*this, i, rec, messages, log, partial);
                return;
            }
            if (!reason.isEmpty())
                failure = reason;
            else if (!CommitOutput(partial, out, request.renameExisting))
                failure = QStringLiteral("The output file could not be given its name: %1")
                              .arg(QString::fromLocal8Bit(std::strerror(errno)));
        }
        messages.verification = failure.isEmpty() ? QStringLiteral("passed") : failure.section(QLatin1Char('\n'), 0, 0);
        if (failure.isEmpty()) {
            WriteStatus(*this, i, rec, StatusComplete);
            KeepMessages(*this, i, messages, log, StatusComplete);
        } else {
            RemovePartialOutput(partial);
            ++failed;
            WriteStatus(*this, i, rec, StatusFailed);
            SetRowToolTip(ltvTask, i, failure);
            KeepMessages(*this, i, messages, log, StatusFailed);
        }
        if (clipSeconds <= 0) {
            // The busy bar of an item of unknown length ends full when it worked.
            pgbCurrent->setRange(0, 100);
            pgbCurrent->setValue(failure.isEmpty() ? 100 : 0);
            labCurProgress->setText(QString::number(pgbCurrent->value()) + QLatin1Char('%'));
        }
        if (i != count - 1) {
            pgbCurrent->setValue(0);
            labCurProgress->setText(QStringLiteral("0%"));
        }
        KillEncoder();
    }

    if (RunState == 1)
        CompletionActions(*this, failed, count, failed > 0 ? log.Path() : QString());
}

TOutputFacts TMainForm::MeasureOutput(const QString &path)
{
    TOutputFacts facts;
    const QFileInfo info(path);
    facts.exists = info.exists();
    facts.size = info.size();
    if (!facts.exists || facts.size <= 0)
        return facts;
    QByteArray report;
    if (!MeasureReport(path, true, report))
        return facts;
    const MeasureResult result = ParseMeasureReport(report, path);
    facts.lengthText = result.LengthText;
    facts.hasVideo = HasVideoStream(report, path);
    return facts;
}

bool TMainForm::CommitOutput(const QString &partial, const QString &out, bool keepExisting)
{
    // In rename mode a file that appeared under the name meanwhile is kept.
    const unsigned flags = keepExisting ? RENAME_NOREPLACE : 0;
    return ::renameat2(AT_FDCWD, QFile::encodeName(partial).constData(), AT_FDCWD,
                       QFile::encodeName(out).constData(), flags)
        == 0;
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
