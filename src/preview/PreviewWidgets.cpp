#include "preview/PreviewWidgets.h"

#include "preview/MediaGraph.h"
#include "preview/SeekArithmetic.h"

#include <QMouseEvent>
#include <QTimer>

TVideoArea::TVideoArea(QWidget *parent) : QWidget(parent)
{
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
}

void TVideoArea::paintEvent(QPaintEvent *event)
{
    QWidget::paintEvent(event);
    if (!m_painted) {
        m_painted = true;
        emit FirstPainted();
    }
}

TDSTrackBar::TDSTrackBar(QWidget *parent) : QSlider(Qt::Horizontal, parent)
{
    setMinimum(0);
    setMaximum(0);
    m_timer = new QTimer(this);
    m_timer->setObjectName("TrackBarRefresh");
    m_timer->setInterval(TimerInterval);
    connect(m_timer, &QTimer::timeout, this, &TDSTrackBar::Refresh);
    // A position chosen by keys or by assistive technology seeks at once; a
    // mouse drag seeks on its release, and the refresh moves it without seeking.
    connect(this, &QSlider::valueChanged, this, [this] {
        if (!m_refreshing && !m_leftHeld && !isSliderDown())
            SeekToPosition();
    });
}

void TDSTrackBar::SetFilterGraph(IMediaGraph *graph)
{
    m_graph = graph;
    GraphStateChanged();
}

void TDSTrackBar::GraphStateChanged()
{
    if (m_graph && m_graph->GetState() == IMediaGraph::Running) {
        if (!m_timer->isActive())
            m_timer->start();
    } else {
        m_timer->stop();
    }
}

bool TDSTrackBar::Refreshing() const { return m_timer->isActive(); }

void TDSTrackBar::Refresh()
{
    // The user is choosing a position: leave the thumb (and the label) alone.
    if (!m_graph || m_leftHeld || isSliderDown())
        return;
    const qint64 duration = m_graph->DurationMs();
    const qint64 current = m_graph->CurrentPositionMs();
    m_refreshing = true;
    setMinimum(0);
    setMaximum(WholeSeconds(qMax<qint64>(duration, 0)));
    setValue(WholeSeconds(qMax<qint64>(current, 0)));
    m_refreshing = false;
    emit Timer(current, duration);
}

void TDSTrackBar::SeekToPosition()
{
    if (!m_graph)
        return;
    const qint64 target = SeekTargetMs(m_graph->StopPositionMs(), value(), maximum());
    if (target >= 0)
        m_graph->SeekMs(target);
}

void TDSTrackBar::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_leftHeld = true;
    QSlider::mousePressEvent(event);
}

void TDSTrackBar::mouseReleaseEvent(QMouseEvent *event)
{
    QSlider::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton) {
        m_leftHeld = false;
        SeekToPosition();
    }
}

// A hidden or disabled bar gets no release: do not keep refreshes suspended.
void TDSTrackBar::hideEvent(QHideEvent *event)
{
    m_leftHeld = false;
    QSlider::hideEvent(event);
}

void TDSTrackBar::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        m_leftHeld = false;
    QSlider::changeEvent(event);
}
