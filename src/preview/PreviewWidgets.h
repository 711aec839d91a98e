#pragma once
#include <QSlider>
#include <QWidget>
#include <QtGlobal>

class IMediaGraph;
class QTimer;

// The black area the preview's video is shown in.
class TVideoArea : public QWidget {
    Q_OBJECT
public:
    explicit TVideoArea(QWidget *parent = nullptr);

signals:
    // Once, when the area has been painted for the first time.
    void FirstPainted();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    bool m_painted = false;
};

// The seek bar: whole seconds, refreshed once a second while the bound
// media graph runs; releasing the left button seeks the graph, and so does
// a move by keys or by assistive technology.
class TDSTrackBar : public QSlider {
    Q_OBJECT
public:
    static constexpr int TimerInterval = 1000; // ms

    explicit TDSTrackBar(QWidget *parent = nullptr);

    void SetFilterGraph(IMediaGraph *graph);
    IMediaGraph *FilterGraph() const { return m_graph; }

    // Follows the graph's state: refreshes run while it runs, and only then.
    void GraphStateChanged();
    bool Refreshing() const;

    // One refresh: unless the left button holds the bar, reads the graph's
    // duration and position and shows them in whole seconds, then emits Timer.
    void Refresh();

    // Seeks the graph to the bar's position (stop × position ÷ maximum).
    void SeekToPosition();

signals:
    void Timer(qint64 currentMs, qint64 durationMs);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    IMediaGraph *m_graph = nullptr;
    QTimer *m_timer = nullptr;
    bool m_leftHeld = false;
    bool m_refreshing = false;
};
