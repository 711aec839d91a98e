#include "tasks/AddQueue.h"

#include <QElapsedTimer>
#include <QTimer>

TAddQueue::TAddQueue(QObject *parent) : QObject(parent), m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    m_timer->setInterval(0);
    connect(m_timer, &QTimer::timeout, this, &TAddQueue::RunSlice);
}

void TAddQueue::AppendFile(const QString &path)
{
    Append(path, false);
}

void TAddQueue::AppendFolder(const QString &folder)
{
    Append(folder, true);
}

void TAddQueue::Append(const QString &path, bool folder)
{
    m_entries.push_back(Entry{path, folder});
    m_timer->start();
}

void TAddQueue::Clear()
{
    m_entries.clear();
    m_timer->stop();
}

void TAddQueue::RunSlice()
{
    if (m_entries.empty())
        return;
    QElapsedTimer clock;
    clock.start();
    // At least one entry per slice, however slow, so the queue always moves.
    do {
        const Entry entry = std::move(m_entries.front());
        m_entries.pop_front();
        if (!entry.folder) {
            if (AddFile)
                AddFile(entry.path);
        } else if (ListFolder) {
            const QStringList files = ListFolder(entry.path);
            m_entries.insert(m_entries.begin(), files.size(), Entry());
            for (int i = 0; i < files.size(); ++i)
                m_entries[size_t(i)].path = files.at(i);
        }
    } while (!m_entries.empty() && clock.elapsed() < SliceMs);
    if (!m_entries.empty())
        m_timer->start();
    emit SliceDone();
}
