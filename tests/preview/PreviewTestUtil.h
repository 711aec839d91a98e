#pragma once
// Helpers for the preview tests: where the seek bar's thumb is, and real
// presses, drags and releases on it.

#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>

namespace previewtest {

inline QRect HandleRect(const QSlider *slider)
{
    QStyleOptionSlider opt;
    opt.initFrom(slider);
    opt.subControls = QStyle::SC_None;
    opt.activeSubControls = QStyle::SC_None;
    opt.orientation = slider->orientation();
    opt.minimum = slider->minimum();
    opt.maximum = slider->maximum();
    opt.tickPosition = slider->tickPosition();
    opt.tickInterval = slider->tickInterval();
    opt.upsideDown = slider->orientation() == Qt::Horizontal
                         ? slider->invertedAppearance() != (opt.direction == Qt::RightToLeft)
                         : !slider->invertedAppearance();
    opt.sliderPosition = slider->sliderPosition();
    opt.sliderValue = slider->value();
    opt.singleStep = slider->singleStep();
    opt.pageStep = slider->pageStep();
    if (slider->orientation() == Qt::Horizontal)
        opt.state |= QStyle::State_Horizontal;
    return slider->style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, slider);
}

inline QPoint HandleCenter(const QSlider *slider) { return HandleRect(slider).center(); }

// Presses the left button on the thumb and drags it sideways, pixel by
// pixel, until the bar shows value; the button stays down. False when the
// value cannot be reached.
inline bool PressAndDragTo(QSlider *slider, int value)
{
    QPoint at = HandleCenter(slider);
    QTest::mousePress(slider, Qt::LeftButton, Qt::NoModifier, at);
    if (!slider->isSliderDown())
        return false;
    const int step = value >= slider->value() ? 1 : -1;
    for (int i = 0; i < slider->width() + 40 && slider->value() != value; ++i) {
        at.rx() += step;
        QTest::mouseMove(slider, at);
    }
    return slider->value() == value;
}

inline void ReleaseOnThumb(QSlider *slider)
{
    QTest::mouseRelease(slider, Qt::LeftButton, Qt::NoModifier, HandleCenter(slider));
}

} // namespace previewtest
