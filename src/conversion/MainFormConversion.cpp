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
#include "ini/NewInifiles.h"
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

#include <fcntl.h>
#include <unistd.h>

namespace {

const QString StatusConverting = QStringLiteral("Converting");
const QString StatusComplete = QStringLiteral("Complete");
const QString StatusStop = QStringLiteral("Stop");
const QString StatusFailed = QStringLiteral("Failed");

// How many of the encoder's last lines a failed row shows.
constexpr int TailLines = 10;

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
    form.WriteItemData(index, 2, rec);
}

void ShowProgress(TMainForm &form, const TChunkProgress &progress)
{
    if (progress.setCurrent)
        form.pgbCurrent->setValue(progress.current);
    if (progress.setTotal)
        form.pgbTotal->setValue(progress.total);
    if (progress.setLabels) {
        // Read back from the bars, which show 0 to 100 only.
        form.labCurProgress->setText(QString::number(form.pgbCurrent->value()) + QLatin1Char('%'));
        form.labTotalProgress->setText(QString::number(form.pgbTotal->value()) + QLatin1Char('%'));
    }
}

// The idle look: progress hidden, profile and output folder shown.
void ShowIdleLook(TMainForm &form)
{
    form.panBottomLeft->hide();
    form.panBottomCenter->show();
}

// The end of a run that did not complete (stopped, or the encoder could not
// be started): the item gets its status, the message is shown, the window
// returns to its idle look, and no completion action follows.
void EndRun(TMainForm &form, int index, ltvItemData &rec, const QString &status,
            const QString &text, const QString &caption, Platform::Icon icon)
{
    form.timerTime->stop();
    WriteStatus(form, index, rec, status);
    Platform::Instance().MessageBox(&form, text, caption, icon);
    ShowIdleLook(form);
    form.RunState = 0;
}

void EndCanceled(TMainForm &form, int index, ltvItemData &rec)
{
    EndRun(form, index, rec, StatusStop, QStringLiteral("The Coversion is canceled."),
           QStringLiteral("Cancel"), Platform::Icon::Information);
}

QString FailureText(const TEncoderProcess &encoder, const QStringList &lastLines)
{
    QString text = encoder.Killed()
        ? QStringLiteral("The encoder was ended abnormally.")
        : QStringLiteral("The encoder ended with exit code %1.").arg(encoder.ExitCode());
    if (!lastLines.isEmpty())
        text += QLatin1Char('\n') + lastLines.join(QLatin1Char('\n'));
    return text;
}

QString LostOutputText(const QString &folder, const QStringList &lastLines)
{
    QString text = QStringLiteral("The output folder \"%1\" was removed during the conversion; "
                                  "the output file is lost.")
                       .arg(folder);
    if (!lastLines.isEmpty())
        text += QLatin1Char('\n') + lastLines.join(QLatin1Char('\n'));
    return text;
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
void CompletionActions(TMainForm &form, int failed, int count)
{
    form.timerTime->stop();
    // A cancelled countdown goes on as if power-off had not been chosen; a
    // refusal (already shown) still closes the window.
    if (SettingForm->chkTurnoff->isChecked() && form.PowerOffComputer()) {
        CloseMainWindow(form);
        return;
    }
    if (SettingForm->chkExit->isChecked()) {
        CloseMainWindow(form);
        return;
    }
    if (failed == 0) {
        Platform::Instance().MessageBox(&form, QStringLiteral("The coversion is completed successfully."),
                                        QStringLiteral("Complete"), Platform::Icon::Information);
    } else {
        Platform::Instance().MessageBox(
            &form,
            QStringLiteral("The conversion is completed: %1 of %2 files failed.").arg(failed).arg(count),
            QStringLiteral("Complete"), Platform::Icon::Warning);
    }
    if (SettingForm->chkOpenDir->isChecked())
        Platform::Instance().OpenDocument(form.edtOutputdir->text());
    form.RunState = 0;
    ShowIdleLook(form);
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
        try {
            const TKeepAwake awake(ltvTask->topLevelItemCount());
            ConvertAll(arguments);
        } catch (...) {
            // Whatever escaped, the window must not stay locked in its running look.
            KillEncoder();
            timerTime->stop();
            ShowIdleLook(*this);
            RunState = 0;
            EnableAfterRun();
            throw;
        }
        EnableAfterRun();
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

    const int count = ltvTask->topLevelItemCount();
    QStringList runInputs;
    for (int i = 0; i < count; ++i) {
        ltvItemData rec;
        ReadItemData(i, sdAll, rec);
        TotalSeconds += rec.ClipLengthSec;
        runInputs.append(rec.InputFile);
    }

    int failed = 0;
    TMessageTail tail(TailLines);
    for (int i = 0; i < count; ++i) {
        QCoreApplication::processEvents();
        CurrentTime = 0;
        ltvItemData rec;
        ReadItemData(i, sdAll, rec);
        WriteStatus(*this, i, rec, StatusConverting);
        SetRowToolTip(ltvTask, i, QString());
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
        request.renameExisting = SettingForm->rdbRename->isChecked();
        request.runInputs = runInputs;
        const QString out = OutputPathFor(request);

        if (!PipeAvailable()) {
            // The item is not left marked as converting once the run is over.
            SetRowToolTip(ltvTask, i, QStringLiteral("The encoder's output pipe could not be created."));
            EndRun(*this, i, rec, StatusFailed, QStringLiteral("Error On CreatePipe()"),
                   QStringLiteral("Velvo"), Platform::Icon::Error);
            return;
        }

        if (out.isEmpty()) {
            // Every name tried was taken: converting would overwrite a file.
            ++failed;
            DoneSeconds += rec.ClipLengthSec;
            WriteStatus(*this, i, rec, StatusFailed);
            SetRowToolTip(ltvTask, i, QStringLiteral("No free output file name was found."));
            continue;
        }

        const EncoderCommand command =
            ConvertCommand(rec.InputFile, ItemArguments(argumentText, rec), out);
        const TFolderWatch outputFolder(request.folder);
        if (!Encoder->Start(EncoderPath, command)) {
            SetRowToolTip(ltvTask, i, QStringLiteral("The encoder could not be started."));
            EndRun(*this, i, rec, StatusFailed, QStringLiteral("Error on CreateProcess()"),
                   QStringLiteral("Velvo"), Platform::Icon::Error);
            return;
        }

        const double clipSeconds = rec.ClipLengthSec;
        int chunkCounter = 0;
        tail.Clear();
        for (;;) {
            QCoreApplication::processEvents();
            QByteArray bytes;
            if (!Encoder->ReadChunk(bytes, true))
                break;
            tail.Add(bytes);
            if (chunkCounter >= UnexaminedChunks)
                ShowProgress(*this, ExamineChunk(ChunkText(bytes), CurrentTime, clipSeconds, DoneSeconds,
                                                 TotalSeconds));
            ++chunkCounter;
        }

        if (RunState == 2) {
            EndCanceled(*this, i, rec);
            return;
        }

        if (Encoder->ExitedNormally() && CurrentTime > 0 && CurrentTime < clipSeconds) {
            // The encoder's last report comes a frame or so before the end of
            // the clip; a finished item that reported progress ends full.
            CurrentTime = clipSeconds;
            ShowProgress(*this, ProgressAt(CurrentTime, clipSeconds, DoneSeconds, TotalSeconds));
        }
        DoneSeconds += rec.ClipLengthSec;
        // A normal end says nothing of an output whose folder went away meanwhile.
        const bool outputLost = Encoder->ExitedNormally() && !outputFolder.StillThere();
        if (Encoder->ExitedNormally() && !outputLost) {
            WriteStatus(*this, i, rec, StatusComplete);
        } else {
            ++failed;
            WriteStatus(*this, i, rec, StatusFailed);
            SetRowToolTip(ltvTask, i,
                          outputLost ? LostOutputText(request.folder, tail.Lines())
                                     : FailureText(*Encoder, tail.Lines()));
        }
        if (i != count - 1) {
            pgbCurrent->setValue(0);
            labCurProgress->setText(QStringLiteral("0%"));
        }
        KillEncoder();
    }

    if (RunState == 1)
        CompletionActions(*this, failed, count);
}

void TMainForm::timerTimeTimer()
{
    ++ElapsedSeconds;
    labElapsed->setText(SecondsToTimeText(ElapsedSeconds));
    RemainingSeconds = RemainingSecondsAt(ElapsedSeconds, pgbTotal->value(), RemainingSeconds);
    labRemaining->setText(SecondsToTimeText(RemainingSeconds));
}
