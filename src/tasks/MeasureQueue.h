#pragma once
// The measures of the files added to the task list: queued in the order they
// were asked for, run a few at a time (one per processor by default), each
// with a time limit, none of them waited for. Every request gets a ticket; the
// answer names it, so the owner finds the row however the list has changed
// meanwhile, and a dropped ticket is never answered.

#include "tasks/MediaProbe.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QVector>

#include <deque>

class TMeasureProcess;

class TMeasureQueue : public QObject {
    Q_OBJECT
public:
    explicit TMeasureQueue(QObject *parent = nullptr);
    ~TMeasureQueue() override;

    // At most this many measures run at once (at least 1); the processor
    // count unless set.
    void SetParallel(int count);
    int Parallel() const { return m_parallel; }
    // A measure that has not answered after this long is ended; it then
    // counts as unanswered (empty texts).
    void SetTimeLimit(int ms) { m_timeLimitMs = ms; }
    int TimeLimit() const { return m_timeLimitMs; }

    // Queues a measure of path by program; returns its ticket (never 0).
    quint64 Add(const QString &program, const QString &path);
    // Forgets a ticket: a waiting request is taken out, a running measure
    // ended. Nothing is reported for it.
    void Drop(quint64 ticket);
    void DropAll();
    // Requests not yet answered, running ones included.
    int Pending() const { return int(m_queued.size()) + m_running; }

signals:
    // One answer per ticket not dropped; the result is empty when the file
    // could not be measured (no encoder, no answer in time, no report).
    void Measured(quint64 ticket, const MeasureResult &result);
    // Nothing is pending any more (after an answer or a drop).
    void Idle();

private:
    struct Request {
        quint64 ticket = 0;
        QString program;
        QString path;
    };
    struct Slot {
        TMeasureProcess *process = nullptr;
        quint64 ticket = 0; // 0: free
    };

    void StartWaiting();
    void Answered(Slot &slot, bool answered, const QByteArray &report);

    std::deque<Request> m_waiting; // may hold dropped requests, skipped when due
    QSet<quint64> m_queued;        // the tickets of m_waiting not dropped
    QVector<Slot> m_slots;
    int m_running = 0;
    int m_parallel = 1;
    int m_timeLimitMs = 10000;
    quint64 m_lastTicket = 0;
};
