#pragma once
#include <QLabel>

// The bar between the task panel and the side pane: reports pointer moves so
// the window can resize the side pane; a click does nothing.
class TSplitterBar : public QLabel {
    Q_OBJECT
public:
    explicit TSplitterBar(QWidget *parent = nullptr);

signals:
    void Dragged(int x, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);

protected:
    void mouseMoveEvent(QMouseEvent *event) override;
};
