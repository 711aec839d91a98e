#pragma once
// Test double for the preview's media graph: keeps a state like a real graph
// (stopped, paused, running), answers durations and positions the test sets,
// and records every operation in order.

#include "preview/MediaGraph.h"

#include <QList>
#include <QString>
#include <QStringList>

class QWidget;

class FakeMediaGraph : public IMediaGraph {
public:
    // What the test sets.
    bool available = true;
    QString reason;
    qint64 durationMs = 0;
    qint64 stopPositionMs = -1; // -1: the duration, as for a freshly rendered file
    qint64 currentMs = 0;

    // What the graph was asked: "Clear", "Render <path>", "Run", "Pause",
    // "Stop", "Seek <ms>", "ShowIn".
    QStringList calls;
    QList<qint64> seeks;
    QWidget *shownIn = nullptr;
    State state = Stopped;
    QString file;

    bool Available() const override { return available; }
    QString UnavailableReason() const override { return reason; }
    void Clear() override
    {
        calls << "Clear";
        state = Stopped;
        file.clear();
        currentMs = 0;
    }
    void RenderFile(const QString &path) override
    {
        calls << "Render " + path;
        file = path;
    }
    void Run() override
    {
        calls << "Run";
        state = Running;
    }
    void Pause() override
    {
        calls << "Pause";
        state = Paused;
    }
    void Stop() override
    {
        calls << "Stop";
        state = Stopped;
    }
    State GetState() const override { return state; }
    qint64 DurationMs() const override { return durationMs; }
    qint64 StopPositionMs() const override { return stopPositionMs < 0 ? durationMs : stopPositionMs; }
    qint64 CurrentPositionMs() const override { return currentMs; }
    void SeekMs(qint64 position) override
    {
        calls << "Seek " + QString::number(position);
        seeks << position;
        currentMs = position;
    }
    void ShowIn(QWidget *videoArea) override
    {
        calls << "ShowIn";
        shownIn = videoArea;
    }
};
