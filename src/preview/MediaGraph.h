#pragma once
// What the preview needs from the media playback service: one graph that
// holds at most one rendered file and shows it in the video area.

#include <QString>
#include <QtGlobal>

class QWidget;

class IMediaGraph {
public:
    enum State { Stopped, Paused, Running };
    virtual ~IMediaGraph() = default;

    // False when the playback service cannot be used at all; the reason is
    // then in UnavailableReason().
    virtual bool Available() const = 0;
    virtual QString UnavailableReason() const = 0;
    virtual void Clear() = 0;                          // stop and drop the file
    virtual void RenderFile(const QString &path) = 0;  // build the playback chain
    virtual void Run() = 0;
    virtual void Pause() = 0;
    virtual void Stop() = 0;
    virtual State GetState() const = 0;
    virtual qint64 DurationMs() const = 0;
    virtual qint64 StopPositionMs() const = 0;
    virtual qint64 CurrentPositionMs() const = 0;
    virtual void SeekMs(qint64 position) = 0;          // stop position unchanged
    virtual void ShowIn(QWidget *videoArea) = 0;       // stretched over the area
};
