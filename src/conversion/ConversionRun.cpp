#include "conversion/ConversionRun.h"

#include "common/UserFolders.h"
#include "conversion/EncoderProcess.h"
#include "tasks/MeasureProcess.h"
#include "tasks/MediaProbe.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// The most encoders that run side by side, whatever the machine.
constexpr int MaxConversionsAtOnce = 16;

// How many processors one encode of a frame this large keeps busy.
int ProcessorsPerEncode(qint64 pixels)
{
    if (pixels <= 0)
        return 6; // unknown: taken as a large frame
    if (pixels <= 1024 * 576)
        return 2;
    if (pixels <= 1280 * 720)
        return 4;
    if (pixels <= 1920 * 1088)
        return 6;
    return 8;
}

QString Quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// The name request of item index: rename mode's rule where it is chosen or
// the item keeps an existing file ("Keep Both").
TOutputRequest RequestFor(const TRunSnapshot &snapshot, int index, const TFileSet &inputs,
                          const QSet<QString> &taken)
{
    const ltvItemData &item = snapshot.Items[index];
    TOutputRequest request;
    request.folder = snapshot.OutputFolder;
    request.outputName = item.OutputName;
    request.itemExt = item.OutputExt;
    request.currentExt = snapshot.CurrentOutputExt;
    request.position = index + 1;
    request.renameExisting = !snapshot.Preferences.Overwrite || snapshot.KeepExisting.value(index);
    request.runInputs = &inputs;
    request.runOutputs = &taken;
    return request;
}

TFileSet InputsOf(const TRunSnapshot &snapshot)
{
    // Every input is kept from being overwritten, the skipped ones too.
    QStringList inputs;
    inputs.reserve(snapshot.Items.size());
    for (const ltvItemData &item : snapshot.Items)
        inputs.append(item.InputFile);
    return TFileSet(inputs);
}

// The seconds an item's encoder is to convert; 0 when unknown.
double SecondsToConvert(const ltvItemData &item)
{
    return std::max(0.0, ClipSecondsToConvert(item));
}

} // namespace

struct TConversionRun::TJob {
    int Index = -1;
    int Slot = 0;
    ltvItemData Record;
    double ClipSeconds = 0;
    double CurrentTime = 0;
    int Chunks = 0;
    int Percent = -1;
    bool Checking = false; // the encoder has ended; its output is being judged
    bool StopAsked = false;
    double Reached = 0; // the encoder's own last progress time
    QString Output;
    std::unique_ptr<TItemOutput> File;
    TItemMessages Messages;
    TMessageTail Tail{KeptEncoderLines};
    std::unique_ptr<TFolderWatch> Folder;
    TEncoderProcess *Encoder = nullptr;
    TMeasureProcess *Measure = nullptr;
};

QList<int> ItemsReplacingFiles(const TRunSnapshot &snapshot, QStringList *outputs)
{
    QList<int> replacing;
    if (!snapshot.Preferences.Overwrite)
        return replacing;
    const TFileSet inputs = InputsOf(snapshot);
    QSet<QString> taken;
    for (int i = 0; i < snapshot.Items.size(); ++i) {
        if (snapshot.Skip.value(i))
            continue;
        const QString out = OutputPathFor(RequestFor(snapshot, i, inputs, taken));
        if (out.isEmpty())
            continue;
        taken.insert(out);
        // A link counts as a file there, whatever it points to.
        const QFileInfo there(out);
        if (!there.exists() && !there.isSymLink())
            continue;
        replacing.append(i);
        if (outputs)
            outputs->append(out);
    }
    return replacing;
}

qint64 FramePixels(const QString &frameSizeText)
{
    const QStringList sides = frameSizeText.trimmed().split(QLatin1Char('x'));
    if (sides.size() != 2)
        return 0;
    bool wideOk = false;
    bool highOk = false;
    const qint64 wide = sides[0].toLongLong(&wideOk);
    const qint64 high = sides[1].toLongLong(&highOk);
    return wideOk && highOk && wide > 0 && high > 0 && wide < 100000 && high < 100000 ? wide * high : 0;
}

int ConversionsAtOnce(int simultaneous, int processors, const QVector<ltvItemData> &items, int itemsToConvert)
{
    processors = std::max(1, processors);
    int count = simultaneous;
    if (count <= 0) {
        qint64 largest = 0;
        for (const ltvItemData &item : items) {
            const qint64 pixels = FramePixels(item.FrameSizeText);
            largest = pixels <= 0 ? std::max<qint64>(largest, 1920 * 1080) : std::max(largest, pixels);
        }
        // Two side by side keep a second processor busy while the first
        // encoder waits on its input or its muxer, whatever the picture.
        count = std::max(std::min(2, processors), processors / ProcessorsPerEncode(largest));
    }
    return std::max(1, std::min({count, MaxConversionsAtOnce, std::max(1, itemsToConvert)}));
}

int EncoderThreads(int processors, int slotCount, int slot)
{
    if (slotCount <= 1)
        return 0;
    processors = std::max(1, processors);
    const int share = processors / slotCount;
    return std::max(1, share + (slot < processors % slotCount ? 1 : 0));
}

TConversionRun::TConversionRun(const TRunSnapshot &snapshot, QObject *parent)
    : QObject(parent)
    , m_snapshot(snapshot)
{
    m_snapshot.Skip.resize(m_snapshot.Items.size());
}

TConversionRun::~TConversionRun()
{
    // The jobs' partial files go with them, once their encoders are gone.
    for (const auto &job : m_jobs) {
        if (job->Encoder)
            job->Encoder->KillEncoder();
        if (job->Measure)
            job->Measure->Cancel();
    }
}

void TConversionRun::Start()
{
    if (m_started)
        return;
    m_started = true;
    const QVector<ltvItemData> &items = m_snapshot.Items;
    for (int i = 0; i < items.size(); ++i) {
        if (m_snapshot.Skip[i])
            continue;
        ++m_count;
        // An unknown length counts as nothing, so the total bar follows the
        // measured items.
        m_totalSeconds += SecondsToConvert(items[i]);
    }
    m_inputs = InputsOf(m_snapshot);
    m_partials = std::make_unique<TPartialsList>(VelvoStateFolder());
    m_videoExpected = !DisablesVideo(m_snapshot.ArgumentText);
    const int processors =
        m_snapshot.Processors > 0 ? m_snapshot.Processors : std::max(1, QThread::idealThreadCount());
    m_snapshot.Processors = processors;
    m_slots = ConversionsAtOnce(m_snapshot.Simultaneous, processors, items, m_count);

    if (!m_snapshot.LogFolder.isEmpty() && !m_log.Open(m_snapshot.LogFolder, QDateTime::currentDateTime())) {
        m_logFailed = true;
        AddWarning(QStringLiteral("The run's log cannot be written in \"%1\".").arg(m_snapshot.LogFolder));
    }
    FillSlots();
}

void TConversionRun::Stop()
{
    if (!m_started || m_ended || m_stopping)
        return;
    m_stopping = true;
    m_paused = false;
    // A job ended here leaves the list; go by the indexes taken before.
    const QList<int> running = RunningItems();
    for (int index : running) {
        TJob *job = JobOf(index);
        if (!job)
            continue;
        job->StopAsked = true;
        if (job->Checking) {
            // The encoder is done; only its check is left to call off.
            if (job->Measure)
                job->Measure->Cancel();
            EndStopped(*job);
        } else {
            // Ends as stopped once the encoder's end is seen.
            job->Encoder->KillEncoder();
        }
    }
    FillSlots();
}

void TConversionRun::Pause()
{
    if (!m_started || m_ended || m_stopping || m_paused)
        return;
    m_paused = true;
    for (const auto &job : m_jobs)
        if (!job->Checking)
            job->Encoder->Pause();
}

void TConversionRun::Resume()
{
    if (!m_paused)
        return;
    m_paused = false;
    for (const auto &job : m_jobs)
        if (!job->Checking)
            job->Encoder->Resume();
    FillSlots();
}

void TConversionRun::AddWarning(const QString &text)
{
    if (m_warnings.contains(text))
        return;
    m_warnings.append(text);
    if (!m_logFailed && !m_log.Path().isEmpty())
        m_log.AppendNote(QStringLiteral("Warning: ") + text + QLatin1Char('\n'));
    emit Warning(text);
}

QList<int> TConversionRun::RunningItems() const
{
    QList<int> indexes;
    for (const auto &job : m_jobs)
        indexes.append(job->Index);
    return indexes;
}

int TConversionRun::ItemPercent(int index) const
{
    const TJob *job = JobOf(index);
    return job ? job->Percent : -1;
}

QList<qint64> TConversionRun::EncoderProcessIds() const
{
    QList<qint64> pids;
    for (const auto &job : m_jobs)
        if (job->Encoder && job->Encoder->Running())
            pids.append(job->Encoder->ProcessId());
    return pids;
}

TConversionRun::TJob *TConversionRun::JobOf(int index) const
{
    for (const auto &job : m_jobs)
        if (job->Index == index)
            return job.get();
    return nullptr;
}

int TConversionRun::FreeSlot() const
{
    for (int slot = 0;; ++slot) {
        bool used = false;
        for (const auto &job : m_jobs)
            used = used || (!job->Checking && job->Slot == slot);
        if (!used)
            return slot;
    }
}

int TConversionRun::SlotsTaken() const
{
    // One at a time, an item is done only once its output is judged, as
    // the list shows it; side by side a slot is an encoder, and the next
    // item starts while the last one's output is still being checked.
    if (m_slots == 1)
        return int(m_jobs.size());
    return int(std::count_if(m_jobs.begin(), m_jobs.end(), [](const auto &job) { return !job->Checking; }));
}

double TConversionRun::DoneBesides(const TJob &job) const
{
    double done = m_doneSeconds;
    for (const auto &other : m_jobs)
        if (other.get() != &job && !other->Checking && other->ClipSeconds > 0)
            done += other->CurrentTime;
    return done;
}

// ---------------------------------------------------------------- scheduling

void TConversionRun::FillSlots()
{
    // An item that ends while starting (no name, no encoder) comes back here.
    if (m_filling || m_ended)
        return;
    m_filling = true;
    const int count = int(m_snapshot.Items.size());
    while (!m_stopping && !m_paused && SlotsTaken() < m_slots && m_next < count) {
        const int index = m_next++;
        if (!m_snapshot.Skip[index])
            StartItem(index);
    }
    m_filling = false;
    if (m_jobs.empty() && (m_stopping || m_next >= count))
        FinishRun();
}

void TConversionRun::StartItem(int index)
{
    auto owned = std::make_unique<TJob>();
    TJob &job = *owned;
    job.Index = index;
    job.Record = m_snapshot.Items[index];
    job.ClipSeconds = SecondsToConvert(job.Record);
    job.Messages.input = job.Record.InputFile;

    if (!PipeAvailable()) {
        FinishWithoutEncoder(index, &job, QStringLiteral("The encoder's output pipe could not be created."),
                             QStringLiteral("not started"));
        EndRunEarly(TRunEnd::NoPipe);
        return;
    }
    job.Output = ReserveName(job);
    // Every name tried was taken (converting would overwrite a file), or the
    // clip holds nothing to convert.
    const QString notStarted = job.Output.isEmpty() ? QStringLiteral("No free output file name was found.")
        : ClipCutToNothing(job.Record)              ? QStringLiteral("The clip is shorter than a tenth of a second.")
                                                    : QString();
    if (!notStarted.isEmpty()) {
        m_doneSeconds += job.ClipSeconds;
        FinishWithoutEncoder(index, &job, notStarted, QStringLiteral("not started"));
        return;
    }
    if (!MakePartial(job)) {
        m_doneSeconds += job.ClipSeconds;
        FinishWithoutEncoder(index, &job, job.Messages.verification, QStringLiteral("not started"));
        return;
    }
    job.Slot = FreeSlot();
    m_jobs.push_back(std::move(owned));
    if (!StartEncoder(job)) {
        EncoderNotStarted(job);
        return;
    }
    emit ItemStarted(index);
}

QString TConversionRun::ReserveName(TJob &job)
{
    const QString out = OutputPathFor(RequestFor(m_snapshot, job.Index, m_inputs, m_taken));
    if (!out.isEmpty())
        m_taken.insert(out);
    return out;
}

bool TConversionRun::MakePartial(TJob &job)
{
    // The encoder writes beside the final file; only a verified output takes
    // the final name, so a failed or stopped item never replaces an older
    // good file nor leaves a broken one behind.
    job.File = std::make_unique<TItemOutput>(m_partials.get());
    QString failure;
    if (job.File->Begin(job.Output, failure))
        return true;
    TEncoderEnd end;
    end.outputFolderGone = !QFileInfo(m_snapshot.OutputFolder).isDir();
    job.Messages.verification = end.outputFolderGone ? FailureText(end, {failure}) : failure;
    return false;
}

bool TConversionRun::StartEncoder(TJob &job)
{
    const TPartialOutput &partial = job.File->Partial();
    const EncoderCommand command =
        ConvertCommand(job.Record.InputFile, ItemArguments(m_snapshot.ArgumentText, job.Record), partial.Path());
    job.Messages.output = job.Output;
    job.Messages.commandLine = Quoted(m_snapshot.EncoderPath) + command.text;
    job.Folder = std::make_unique<TFolderWatch>(m_snapshot.OutputFolder);
    job.Encoder = new TEncoderProcess(this);
    TJob *target = &job;
    connect(job.Encoder, &TEncoderProcess::OutputRead, this,
            [this, target](const QByteArray &piece) { TakeOutput(*target, piece); });
    connect(job.Encoder, &TEncoderProcess::Ended, this, [this, target] { EncoderEnded(*target); });
    job.Encoder->SetOutputDescriptor(partial.Descriptor());
    return job.Encoder->Start(m_snapshot.EncoderPath, command,
                              EncoderThreads(m_snapshot.Processors, m_slots, job.Slot));
}

void TConversionRun::EncoderNotStarted(TJob &job)
{
    const QString reason = QStringLiteral("The encoder could not be started.");
    job.File->Discard();
    job.Messages.exitText = QStringLiteral("could not be started");
    job.Messages.verification = reason;
    ++m_failed;
    FinishItem(job, StatusFailed(), reason);
    // Later items would not start either.
    EndRunEarly(TRunEnd::NoEncoder);
}

void TConversionRun::TakeOutput(TJob &job, const QByteArray &piece)
{
    job.Tail.Add(piece);
    // The first pieces carry the banner and the stream report.
    if (job.Chunks++ < UnexaminedChunks || job.StopAsked)
        return;
    const TChunkProgress progress = ExamineChunk(ChunkText(piece), job.CurrentTime, job.ClipSeconds,
                                                 DoneBesides(job), job.ClipSeconds > 0 ? m_totalSeconds : 0);
    if (progress.setCurrent)
        job.Percent = progress.current;
    emit ItemProgress(job.Index, progress);
}

void TConversionRun::EncoderEnded(TJob &job)
{
    TEncoderProcess &encoder = *job.Encoder;
    job.Messages.exitText = ExitDescription(encoder.Killed(), encoder.ExitCode());
    job.Messages.lines = job.Tail.Lines();
    if (job.StopAsked) {
        EndStopped(job);
        return;
    }
    if (encoder.StartFailed()) {
        EncoderNotStarted(job);
        return;
    }
    job.Reached = job.CurrentTime;
    if (encoder.ExitedNormally() && job.CurrentTime > 0 && job.CurrentTime < job.ClipSeconds) {
        // The encoder's last report comes a frame or so before the end of
        // the clip; a finished item that reported progress ends full.
        job.CurrentTime = job.ClipSeconds;
        job.Percent = 100;
        emit ItemProgress(job.Index, ProgressAt(job.CurrentTime, job.ClipSeconds, DoneBesides(job), m_totalSeconds));
    }
    m_doneSeconds += job.ClipSeconds;
    job.Checking = true;
    // Whatever the encoder left running in its group goes now.
    encoder.KillEncoder();

    // A normal end says nothing of an output whose folder went away
    // meanwhile, nor of an output that holds no usable video.
    TEncoderEnd end;
    end.crashed = encoder.Killed();
    end.exitCode = encoder.ExitCode();
    end.outputFolderGone = !job.Folder->StillThere();
    if (!encoder.ExitedNormally() || end.outputFolderGone) {
        Conclude(job, FailureText(end, job.Messages.lines));
        return;
    }
    CheckOutput(job);
    FillSlots();
}

void TConversionRun::CheckOutput(TJob &job)
{
    // The very file the encoder wrote, through the descriptor this program
    // holds: whatever happened to its name meanwhile.
    const TPartialOutput &partial = job.File->Partial();
    TOutputFacts facts;
    facts.exists = partial.IsOpen();
    facts.size = partial.Size();
    if (!facts.exists || facts.size <= 0) {
        OutputChecked(job, facts);
        return;
    }
    // The output check has a measure of its own, never the task list's.
    job.Measure = new TMeasureProcess(this);
    TJob *target = &job;
    const QString path = partial.ProcPath();
    connect(job.Measure, &TMeasureProcess::Finished, this,
            [this, target, facts, path](bool answered, const QByteArray &report) {
                TOutputFacts measured = facts;
                measured.measured = answered;
                if (answered)
                    ReadOutputReport(report, path, measured);
                OutputChecked(*target, measured);
            });
    job.Measure->Start(m_snapshot.EncoderPath, path, m_snapshot.CheckTimeoutMs);
}

void TConversionRun::OutputChecked(TJob &job, const TOutputFacts &facts)
{
    TOutputExpectation expectation;
    expectation.clipStart = std::max(0.0, job.Record.ClipStartSec);
    expectation.expectedSeconds = job.ClipSeconds;
    expectation.claimedSeconds = job.Record.LengthSec;
    // A sound-only source gives no picture, whatever the profile asks.
    expectation.pictureExpected = m_videoExpected && !job.Record.FrameSizeText.trimmed().isEmpty();
    expectation.reachedSeconds = job.Reached;
    const TOutputVerdict verdict = JudgeOutput(facts, expectation);
    QString failure = verdict.failure;
    if (failure.isEmpty()) {
        // A file made under the name meanwhile is kept where the run keeps
        // existing files; the output then takes the next free name.
        const bool replace = m_snapshot.Preferences.Overwrite && !m_snapshot.KeepExisting.value(job.Index);
        const QString taken = job.File->Commit(replace, [this, &job] { return ReserveName(job); }, failure);
        if (!taken.isEmpty())
            job.Output = job.Messages.output = taken;
    }
    Conclude(job, failure, verdict.note);
}

void TConversionRun::Conclude(TJob &job, const QString &failure, const QString &note)
{
    job.Messages.verification = !failure.isEmpty() ? failure.section(QLatin1Char('\n'), 0, 0)
        : !note.isEmpty()                          ? note
                                                   : QStringLiteral("passed");
    if (failure.isEmpty()) {
        FinishItem(job, StatusComplete(), note);
        return;
    }
    if (job.File)
        job.File->Discard();
    ++m_failed;
    FinishItem(job, StatusFailed(), failure);
}

void TConversionRun::EndStopped(TJob &job)
{
    if (job.File)
        job.File->Discard();
    job.Messages.verification = QStringLiteral("stopped");
    FinishItem(job, StatusStop(), QString());
}

void TConversionRun::FinishWithoutEncoder(int index, TJob *job, const QString &reason, const QString &exitText)
{
    ++m_failed;
    TItemResult result;
    result.Index = index;
    result.Status = StatusFailed();
    result.Reason = reason;
    result.Messages = job->Messages;
    result.Messages.exitText = exitText;
    result.Messages.verification = reason;
    result.Messages.status = result.Status;
    if (!m_log.Path().isEmpty())
        m_log.Append(result.Messages);
    emit ItemFinished(result);
}

void TConversionRun::FinishItem(TJob &job, const QString &status, const QString &reason)
{
    TItemResult result;
    result.Index = job.Index;
    result.Status = status;
    result.Reason = reason;
    result.Messages = job.Messages;
    result.Messages.status = status;
    if (!m_log.Path().isEmpty() && !m_log.Append(result.Messages) && !m_logFailed) {
        m_logFailed = true;
        AddWarning(QStringLiteral("The run's log \"%1\" cannot be written.").arg(m_log.Path()));
    }

    // Out of the running list before anyone hears of it; its processes go
    // once their signals have returned.
    std::unique_ptr<TJob> owned;
    for (auto it = m_jobs.begin(); it != m_jobs.end(); ++it)
        if (it->get() == &job) {
            owned = std::move(*it);
            m_jobs.erase(it);
            break;
        }
    if (job.Encoder) {
        job.Encoder->disconnect(this);
        job.Encoder->KillEncoder();
        job.Encoder->deleteLater();
    }
    if (job.Measure) {
        job.Measure->disconnect(this);
        job.Measure->deleteLater();
    }
    emit ItemFinished(result);
    FillSlots();
}

void TConversionRun::EndRunEarly(TRunEnd end)
{
    if (m_stopping)
        return;
    m_end = end;
    // The others running are ended as by Stop; the run ends with them.
    Stop();
}

void TConversionRun::FinishRun()
{
    if (m_ended)
        return;
    m_ended = true;
    TRunResult result;
    result.End = m_stopping && m_end == TRunEnd::Completed ? TRunEnd::Stopped : m_end;
    result.Count = m_count;
    result.Failed = m_failed;
    result.LogPath = m_log.Path();
    result.Warnings = m_warnings;
    // Told from the event loop, so that a listener may show a box or delete
    // the run.
    QTimer::singleShot(0, this, [this, result] { emit Finished(result); });
}
