#pragma once
// A balloon tip: a small window beside a control with an icon, a bold title
// and a text. It goes away by itself after a while, or when hidden.
#include <QFrame>

class QLabel;
class QTimer;

class TBalloonTip : public QFrame {
    Q_OBJECT
public:
    // Icons as the system numbers them: 1 information, 2 warning, 3 error,
    // anything else none.
    explicit TBalloonTip(QWidget *owner);

    // Shows the tip pointing at the middle of window; it hides itself after
    // TimeoutMs.
    void ShowAt(QWidget *window, int icon, const QString &title, const QString &text);

    static constexpr int TimeoutMs = 10000;

    QLabel *labIcon = nullptr;
    QLabel *labText = nullptr;

private:
    QTimer *m_timer = nullptr;
};
