// The main window's keyboard: the usual desktop keys for the toolbar's
// commands, each shown in its control's tooltip. The task list's own keys
// (Delete, Backspace, Return) are handled by the list.
#include "app/MainForm.h"

#include "app/Accessibility.h"
#include "common/Platform.h"

#include <QEvent>
#include <QKeySequence>
#include <QShortcut>
#include <QToolButton>
#include <QTreeWidget>

namespace {

// Appends the key to a control's tooltip: "Start (Ctrl+Return)".
void ShowKey(QWidget *control, const QKeySequence &key)
{
    control->setToolTip(control->toolTip() + QStringLiteral(" (%1)").arg(key.toString(QKeySequence::NativeText)));
}

// Escape is taken by the window only while Stop can be pressed, so that it
// still cancels an edit in the parameter grids at any other time.
class TStopKeyFollower : public QObject {
public:
    TStopKeyFollower(QToolButton *stop, QShortcut *key) : QObject(key), m_key(key)
    {
        stop->installEventFilter(this);
        key->setEnabled(stop->isEnabled());
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::EnabledChange)
            m_key->setEnabled(static_cast<QWidget *>(watched)->isEnabled());
        return false;
    }

private:
    QShortcut *m_key;
};

} // namespace

void TMainForm::SetupKeyboard()
{
    // A key works exactly when its button can be pressed.
    const auto bind = [this](const QKeySequence &key, QToolButton *button, bool show = true) {
        connect(new QShortcut(key, this), &QShortcut::activated, button, [button] {
            if (button->isEnabled())
                button->click();
        });
        if (show)
            ShowKey(button, key);
    };
    bind(QKeySequence(Qt::CTRL | Qt::Key_O), tbtnAddFile);
    bind(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O), tbtnAddDir);
    bind(QKeySequence(Qt::Key_F1), tbtnHelp);
    bind(QKeySequence(Qt::CTRL | Qt::Key_Return), tbtnStart);
    bind(QKeySequence(Qt::CTRL | Qt::Key_Enter), tbtnStart, false); // the keypad's Enter
    // Its tooltip names the key with the word it shows (Pause or Resume).
    bind(QKeySequence(Qt::CTRL | Qt::Key_P), tbtnPause, false);
    bind(QKeySequence(Qt::CTRL | Qt::Key_Up), tbtnUp);
    bind(QKeySequence(Qt::CTRL | Qt::Key_Down), tbtnDown);
    bind(QKeySequence(Qt::CTRL | Qt::Key_Comma), tbtnSetting);
    InstallContextMenuKey(this);
    auto *quit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this);
    connect(quit, &QShortcut::activated, this, &QWidget::close);

    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &TMainForm::AskToStop);
    new TStopKeyFollower(tbtnStop, escape);
    ShowKey(tbtnStop, escape->key());

    ShowKey(tbtnRemove, QKeySequence(Qt::Key_Delete));
    ShowKey(tbtnClear, QKeySequence(Qt::Key_Backspace));
    ltvTask->setToolTip(QStringLiteral("Return plays the selected file in the preview, Delete removes the "
                                       "selected files, Backspace clears the list, Shift+F10 opens the menu."));
}

void TMainForm::AskToStop()
{
    // A start waiting for measures loses nothing by giving up: no question.
    if (WaitingToStart())
        tbtnStop->click();
    if (RunState != 1)
        return;
    if (Platform::Instance().MessageBox(this, QStringLiteral("Stop the conversion?"), QStringLiteral("Stop"),
                                        Platform::Icon::Question, Platform::Buttons::YesNo)
        == Platform::Yes)
        tbtnStopClick(); // does nothing when the run ended meanwhile
}
