#pragma once
// One conversion run over a snapshot of the task list: it owns its encoder
// processes (one or several at once) and the measures that check their
// outputs, is driven by their signals, and reports what happens to each item
// and to the whole run. Nothing in it waits: the window stays free meanwhile.
//
// An item goes through these steps, each a method of its own: reserve its
// output name, name its partial file, start its encoder, take the encoder's
// end, check the output, then commit the output to its name or remove it.
// The partial file is made by the run itself, exclusively, and handed to the
// encoder open (conversion/ItemOutput); it is recorded in the partials list
// while it exists.

#include "conversion/ItemOutput.h"
#include "conversion/OutputNaming.h"
#include "conversion/PartialsList.h"
#include "conversion/Progress.h"
#include "conversion/RunLog.h"
#include "conversion/RunOutcome.h"
#include "prefs/Preferences.h"
#include "tasks/ItemData.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>
#include <vector>

// The statuses a run writes into its rows.
inline QString StatusOK() { return QStringLiteral("OK"); }
inline QString StatusConverting() { return QStringLiteral("Converting"); }
inline QString StatusComplete() { return QStringLiteral("Complete"); }
inline QString StatusFailed() { return QStringLiteral("Failed"); }
inline QString StatusStop() { return QStringLiteral("Stop"); }

// What a run starts from; nothing of the window is read afterwards.
struct TRunSnapshot {
    QVector<ltvItemData> Items;  // every row, in list order
    QVector<bool> Skip;          // rows this run leaves as they are (empty: none)
    QVector<bool> KeepExisting;  // rows named as in rename mode whatever the
                                 // mode ("Keep Both"; empty: none)
    QString ArgumentText;        // the profile's switches
    TGeneralPreferences Preferences;
    QString OutputFolder;        // ends with "/"
    QString CurrentOutputExt;
    QString EncoderPath;
    QString LogFolder;           // "" keeps no log
    int Simultaneous = 1;        // conversions at once; 0 picks the number
    int Processors = 0;          // 0: the machine's
    int CheckTimeoutMs = 30000;  // for the measure of an output
};

// What became of one item.
struct TItemResult {
    int Index = -1;
    QString Status;         // StatusComplete(), StatusFailed() or StatusStop()
    QString Reason;         // why it failed, the cause on the first line; for
                            // a kept output a note on it; "" otherwise
    TItemMessages Messages; // what the encoder said, for the row and the log
};

enum class TRunEnd {
    Completed, // every item was tried
    Stopped,   // Stop was asked for
    NoPipe,    // an encoder's output pipe could not be made
    NoEncoder  // an encoder could not be started
};

struct TRunResult {
    TRunEnd End = TRunEnd::Completed;
    int Count = 0;  // items this run was to convert
    int Failed = 0;
    QString LogPath; // "" when no log could be written
    QStringList Warnings;
};

// The rows (not skipped) whose output, named as the run will name it in
// overwrite mode, is a file that exists before the run: those it would
// replace, with those outputs in outputs. Outputs of the run's own earlier
// rows never count. Empty in rename mode.
QList<int> ItemsReplacingFiles(const TRunSnapshot &snapshot, QStringList *outputs = nullptr);

// The pixels of a frame size text such as " 640x480"; 0 when unknown.
qint64 FramePixels(const QString &frameSizeText);
// How many conversions run at once. simultaneous 0 (automatic) takes the
// largest frame among the items: small pictures keep few processors busy
// each, so more of them run side by side. Never more than the items.
int ConversionsAtOnce(int simultaneous, int processors, const QVector<ltvItemData> &items, int itemsToConvert);
// The processor share of the encoder in slot (0-based) of slotCount: 0 when
// one runs alone (the encoder takes what it wants), else an even share with
// the remainder going to the first slots.
int EncoderThreads(int processors, int slotCount, int slot);

class TConversionRun : public QObject {
    Q_OBJECT
public:
    explicit TConversionRun(const TRunSnapshot &snapshot, QObject *parent = nullptr);
    ~TConversionRun() override;

    // Starts the first items; results follow through the signals.
    void Start();
    // Ends every running item as stopped and starts no other; Finished follows.
    void Stop();
    // Stops every running encoder's process group where it is, and continues it.
    void Pause();
    void Resume();
    bool Paused() const { return m_paused; }
    bool Ended() const { return m_ended; }
    // Kept in the log and reported with the run's result.
    void AddWarning(const QString &text);

    int ConversionSlots() const { return m_slots; }
    // The items being converted or checked, in the order they started.
    QList<int> RunningItems() const;
    // The percentage an item has reached, -1 when it is not running or its
    // length is unknown.
    int ItemPercent(int index) const;
    QList<qint64> EncoderProcessIds() const;
    QString LogPath() const { return m_log.Path(); }

signals:
    void ItemStarted(int index);
    // What one piece of an item's output moves: its own bar and the total.
    void ItemProgress(int index, const TChunkProgress &progress);
    void ItemFinished(const TItemResult &result);
    void Warning(const QString &text);
    // Once, after every item has ended; never from inside Start or Stop.
    void Finished(const TRunResult &result);

private:
    struct TJob;

    void FillSlots();
    void StartItem(int index);
    QString ReserveName(TJob &job);
    bool MakePartial(TJob &job);
    bool StartEncoder(TJob &job);
    void EncoderNotStarted(TJob &job);
    void TakeOutput(TJob &job, const QByteArray &piece);
    void EncoderEnded(TJob &job);
    void CheckOutput(TJob &job);
    void OutputChecked(TJob &job, const TOutputFacts &facts);
    void Conclude(TJob &job, const QString &failure, const QString &note = QString());
    void EndStopped(TJob &job);
    void FinishItem(TJob &job, const QString &status, const QString &reason);
    void FinishWithoutEncoder(int index, TJob *job, const QString &reason, const QString &exitText);
    void EndRunEarly(TRunEnd end);
    void FinishRun();
    // The seconds done by the run so far, with every running item's time but job's.
    double DoneBesides(const TJob &job) const;
    TJob *JobOf(int index) const;
    int FreeSlot() const;
    int SlotsTaken() const;

    TRunSnapshot m_snapshot;
    // Before the jobs: an item's output leaves the list when its job goes.
    std::unique_ptr<TPartialsList> m_partials;
    std::vector<std::unique_ptr<TJob>> m_jobs; // in the order they started
    TFileSet m_inputs;
    QSet<QString> m_taken; // output names reserved by this run
    TRunLog m_log;
    bool m_logFailed = false;
    QStringList m_warnings;
    double m_totalSeconds = 0;
    double m_doneSeconds = 0;
    bool m_videoExpected = true;
    int m_slots = 1;
    int m_next = 0;
    int m_count = 0;
    int m_failed = 0;
    bool m_started = false;
    bool m_paused = false;
    bool m_stopping = false;
    bool m_filling = false;
    bool m_ended = false;
    TRunEnd m_end = TRunEnd::Completed;
};
