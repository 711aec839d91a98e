#include "preview/PreviewWidgets.h"

TVideoArea::TVideoArea(QWidget *parent) : QWidget(parent)
{
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
}

TDSTrackBar::TDSTrackBar(QWidget *parent) : QSlider(Qt::Horizontal, parent)
{
    setMinimum(0);
    setMaximum(0);
}
