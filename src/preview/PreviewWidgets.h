#pragma once
#include <QSlider>
#include <QWidget>

// The black area the preview's video is shown in.
class TVideoArea : public QWidget {
    Q_OBJECT
public:
    explicit TVideoArea(QWidget *parent = nullptr);
};

// The seek bar: whole seconds, refreshed once a second while playing.
class TDSTrackBar : public QSlider {
    Q_OBJECT
public:
    explicit TDSTrackBar(QWidget *parent = nullptr);
};
