#pragma once
#include <QFrame>

// The bar between the task panel and the side pane: reports pointer moves so
// the window can resize the side pane; a click does nothing. Its caption "<>"
// is drawn small enough to fit the bar.
class TSplitterBar : public QFrame {
    Q_OBJECT
public:
    explicit TSplitterBar(QWidget *parent = nullptr);
    QString text() const { return QStringLiteral("<>"); }

signals:
    void Dragged(int x, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);

protected:
    void mouseMoveEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
};
