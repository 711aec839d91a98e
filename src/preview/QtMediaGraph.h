#pragma once
// The media graph on Qt Multimedia: one QMediaPlayer rendering into one
// QVideoWidget. Stop keeps the position and the last picture (the player's
// own stop rewinds), and a file that has played to its end leaves the graph
// running at its end, as the preview expects of a media graph.

#include "preview/MediaGraph.h"

#include <QObject>
#include <QPointer>

class QAudioOutput;
class QMediaPlayer;
class QVideoWidget;

class QtMediaGraph : public QObject, public IMediaGraph {
    Q_OBJECT
public:
    QtMediaGraph();
    ~QtMediaGraph() override;

    // Why the playback service cannot be used, "" when it can: the backend
    // plugin check below, then the backend is asked for video decoders and a
    // player. Worked out once per process.
    static QString ServiceProblem();
    // Only the plugin part: looks for a loadable Qt Multimedia backend without
    // touching Qt Multimedia itself, which ends the program when it has none.
    static QString BackendProblem();

    bool Available() const override { return m_problem.isEmpty(); }
    QString UnavailableReason() const override { return m_problem; }
    void Clear() override;
    void RenderFile(const QString &path) override;
    void Run() override;
    void Pause() override;
    void Stop() override;
    State GetState() const override { return m_state; }
    qint64 DurationMs() const override;
    qint64 StopPositionMs() const override;
    qint64 CurrentPositionMs() const override;
    void SeekMs(qint64 position) override;
    void ShowIn(QWidget *videoArea) override;

    QMediaPlayer *Player() const;
    QVideoWidget *VideoWidget() const;

private:
    bool AtEnd() const;
    void FollowVideo();

    QPointer<QMediaPlayer> m_player;
    QPointer<QVideoWidget> m_video;
    QAudioOutput *m_audio = nullptr;
    State m_state = Stopped;
    QString m_problem;
};
