#include "tasks/MeasureQueue.h"

#include "tasks/MeasureProcess.h"

#include <QThread>

TMeasureQueue::TMeasureQueue(QObject *parent) : QObject(parent)
{
    SetParallel(QThread::idealThreadCount());
}

TMeasureQueue::~TMeasureQueue()
{
    // The processes are children and end with it; nothing is reported then.
    for (Slot &slot : m_slots)
        slot.process->disconnect(this);
}

void TMeasureQueue::SetParallel(int count)
{
    m_parallel = qMax(1, count);
    while (m_slots.size() < m_parallel) {
        const int index = int(m_slots.size());
        Slot slot;
        slot.process = new TMeasureProcess(this);
        connect(slot.process, &TMeasureProcess::Finished, this,
                [this, index](bool answered, const QByteArray &report) {
                    Answered(m_slots[index], answered, report);
                });
        m_slots.append(slot);
    }
    StartWaiting();
}

quint64 TMeasureQueue::Add(const QString &program, const QString &path)
{
    const quint64 ticket = ++m_lastTicket;
    m_waiting.push_back(Request{ticket, program, path});
    m_queued.insert(ticket);
    StartWaiting();
    return ticket;
}

void TMeasureQueue::Drop(quint64 ticket)
{
    if (ticket == 0)
        return;
    const int before = Pending();
    if (!m_queued.remove(ticket)) {
        for (Slot &slot : m_slots) {
            if (slot.ticket != ticket)
                continue;
            slot.ticket = 0;
            --m_running;
            slot.process->Cancel();
            break;
        }
    }
    if (before > 0 && Pending() == 0) {
        m_waiting.clear();
        emit Idle();
    }
    StartWaiting();
}

void TMeasureQueue::DropAll()
{
    const bool pending = Pending() > 0;
    m_waiting.clear();
    m_queued.clear();
    for (Slot &slot : m_slots) {
        if (slot.ticket == 0)
            continue;
        slot.ticket = 0;
        slot.process->Cancel();
    }
    m_running = 0;
    if (pending)
        emit Idle();
}

void TMeasureQueue::StartWaiting()
{
    for (int i = 0; i < m_parallel && !m_waiting.empty(); ++i) {
        Slot &slot = m_slots[i];
        if (slot.ticket != 0)
            continue;
        // The next request not dropped meanwhile.
        Request request;
        while (!m_waiting.empty() && request.ticket == 0) {
            if (m_queued.remove(m_waiting.front().ticket))
                request = std::move(m_waiting.front());
            m_waiting.pop_front();
        }
        if (request.ticket == 0)
            break;
        slot.ticket = request.ticket;
        ++m_running;
        slot.process->Start(request.program, request.path, m_timeLimitMs);
    }
}

void TMeasureQueue::Answered(Slot &slot, bool answered, const QByteArray &report)
{
    const quint64 ticket = slot.ticket;
    if (ticket == 0)
        return; // dropped
    slot.ticket = 0;
    --m_running;
    const MeasureResult result =
        answered ? ParseMeasureReport(report, slot.process->Path()) : MeasureResult();
    // The next measure starts before the answer is handled, so that a
    // handler that takes its time does not hold the queue.
    StartWaiting();
    emit Measured(ticket, result);
    if (Pending() == 0)
        emit Idle();
}
