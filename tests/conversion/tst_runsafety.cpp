// What guards a long batch: the sleep lock held from Start to the end of the
// run, the countdown before power-off (and its Cancel), Escape asking before
// it stops, and removing the converted rows to re-run only the failed ones.
#include "ConversionTestUtil.h"

#include "conversion/KeepAwake.h"
#include "conversion/PowerOffCountdown.h"

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

using namespace conv;

namespace {

const QString Success = "The coversion is completed successfully.";
const QString Canceled = "The Coversion is canceled.";

// Presses a button of the countdown window once it is shown; records the
// texts it showed first.
class CountdownPresser : public QObject {
public:
    explicit CountdownPresser(const char *button) : m_button(button)
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            auto *window = qobject_cast<TPowerOffCountdown *>(QApplication::activeModalWidget());
            if (!window)
                return;
            m_timer.stop();
            text = window->labCountdown->text();
            buttons = {window->btnTurnOffNow->text(), window->btnCancel->text()};
            window->findChild<QPushButton *>(m_button)->click();
        });
        m_timer.start(10);
    }
    QString text;
    QStringList buttons;

private:
    const char *m_button;
    QTimer m_timer;
};

void CompletionSettings(bool turnOff, bool exit)
{
    SettingForm->chkOpenDir->setChecked(false);
    SettingForm->chkExit->setChecked(exit);
    SettingForm->chkTurnoff->setChecked(turnOff);
}

} // namespace

class TestRunSafety : public QObject {
    Q_OBJECT
private slots:
    void sleepLockFollowsTheRun()
    {
        Setup s;
        CompletionSettings(false, false);
        s.addClip("a.avi");
        s.addClip("b.avi");
        s.convertWith(PiecesScript({"x\n", "y\n"}, 100));
        bool heldDuringRun = false;
        Driver d(s.form);
        d.when([&] { return s.form->RunState == 1; }, [&] { heldDuringRun = s.prog.platform.inhibitHeld; });
        s.clickStart();
        QVERIFY(heldDuringRun);
        QCOMPARE(s.prog.platform.inhibitReasons, QStringList{"Converting 2 video files"});
        QVERIFY(!s.prog.platform.inhibitHeld);
        QCOMPARE(s.prog.platform.inhibitEnds, 1);
        QCOMPARE(KeepAwakeReason(1), QString("Converting 1 video file"));

        // A stopped run lets go as well.
        s.convertWith(PiecesScript({"x\n", "y\n", "z\n"}, 300));
        Driver stopper(s.form);
        stopper.when([&] { return s.encoder().conversions().size() == 1; }, [&] { s.clickStop(); });
        s.clickStart();
        QCOMPARE(s.messageTexts().last(), Canceled);
        QCOMPARE(s.prog.platform.inhibitReasons.size(), 2);
        QVERIFY(!s.prog.platform.inhibitHeld);

        // Without logind there is no lock and nothing is said about it.
        s.prog.platform.inhibitResult = false;
        s.prog.platform.messages.clear();
        s.convertWith(PiecesScript({"x\n"}));
        s.clickStart();
        QCOMPARE(s.messageTexts(), QStringList{Success});
    }

    void countdownWindow()
    {
        QCOMPARE(PowerOffCountdownText(30), QString("The computer will be turned off in 30 seconds."));
        QCOMPARE(PowerOffCountdownText(1), QString("The computer will be turned off in 1 second."));
        // A clock that does not run on its own: the test gives the seconds.
        TPowerOffCountdown countdown(nullptr, 3, 3600 * 1000);
        QCOMPARE(countdown.labCountdown->text(), QString("The computer will be turned off in 3 seconds."));
        QCOMPARE(countdown.btnTurnOffNow->text(), QString("Turn Off Now"));
        QCOMPARE(countdown.btnCancel->text(), QString("Cancel"));
        QVERIFY(countdown.btnCancel->isDefault()); // Return keeps the computer on
        countdown.show();
        countdown.Tick();
        QCOMPARE(countdown.labCountdown->text(), QString("The computer will be turned off in 2 seconds."));
        countdown.Tick();
        QCOMPARE(countdown.labCountdown->text(), QString("The computer will be turned off in 1 second."));
        QVERIFY(countdown.isVisible());
        countdown.Tick();
        QCOMPARE(countdown.Remaining(), 0);
        QCOMPARE(countdown.result(), int(QDialog::Accepted));
        QVERIFY(!countdown.isVisible());
        countdown.Tick(); // nothing below zero
        QCOMPARE(countdown.Remaining(), 0);
    }

    void countdownAtTheEndOfARun_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("exitToo");
        QTest::newRow("turn off now") << "btnTurnOffNow" << false;
        QTest::newRow("cancel") << "btnCancel" << false;
        QTest::newRow("cancel, then exit") << "btnCancel" << true;
    }

    void countdownAtTheEndOfARun()
    {
        QFETCH(QString, button);
        QFETCH(bool, exitToo);
        Setup s;
        CompletionSettings(true, exitToo);
        s.addClip("a.avi");
        s.convertWith(PiecesScript({"x\n"}));
        const QByteArray name = button.toLatin1();
        CountdownPresser presser(name.constData());
        QElapsedTimer clock;
        clock.start();
        s.clickStart();
        QCOMPARE(presser.text, QString("The computer will be turned off in 30 seconds."));
        QCOMPARE(presser.buttons, QStringList({"Turn Off Now", "Cancel"}));
        QVERIFY(clock.elapsed() < 25000); // the button, not the clock, ended it
        const bool turnOff = button == "btnTurnOffNow";
        QCOMPARE(s.prog.platform.powerOffs, turnOff ? 1 : 0);
        // Cancel goes on as if power-off had not been chosen.
        QCOMPARE(s.messageTexts(), turnOff || exitToo ? QStringList() : QStringList{Success});
        QCOMPARE(s.form->isVisible(), !turnOff && !exitToo);
        if (s.form->isVisible())
            QVERIFY(s.idleLook());
    }

    void escapeAsksBeforeStopping()
    {
        Setup s;
        CompletionSettings(false, false);
        s.addClip("a.avi");
        s.form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(s.form));
        // Escape does nothing while idle.
        QTest::keyClick(s.form, Qt::Key_Escape);
        QVERIFY(s.prog.platform.messages.isEmpty());

        s.convertWith(PiecesScript({"x\n", "y\n", "z\n", "w\n"}, 300));
        s.prog.platform.answers.enqueue(Platform::No);
        s.prog.platform.answers.enqueue(Platform::Yes);
        Driver d(s.form);
        d.when([&] { return s.encoder().conversions().size() == 1; }, [&] { QTest::keyClick(s.form, Qt::Key_Escape); });
        d.when([&] { return s.prog.platform.messages.size() == 1; },
               [&] {
                   QCOMPARE(s.form->RunState, 1); // "No": the run goes on
                   QTest::keyClick(s.form, Qt::Key_Escape);
               });
        s.clickStart();
        QVERIFY(!d.gaveUp);
        QCOMPARE(s.messageTexts(), QStringList({"Stop the conversion?", "Stop the conversion?", Canceled}));
        QCOMPARE(s.prog.platform.messages[0].buttons, Platform::Buttons::YesNo);
        QCOMPARE(s.status(0), QString("Stop"));
    }

    void removeCompletedLeavesTheFailed()
    {
        Setup s;
        CompletionSettings(false, false);
        for (const char *name : {"a.avi", "b.avi", "c.avi"})
            s.addClip(name);
        const QString good = PiecesScript({"x\n"}, 50, "exit 0", "sleep 400\n");
        const QString bad = PiecesScript({"x\n"}, 50, "exit 1", "sleep 400\n");
        s.convertWith(good);
        s.form->ppmTaskPopup();
        QVERIFY(!s.form->mniRemoveCompleted->isEnabled()); // nothing converted yet
        bool enabledDuringRun = true;
        Driver d(s.form);
        d.when([&] { return s.encoder().conversions().size() == 1; },
               [&] {
                   s.form->ppmTaskPopup();
                   enabledDuringRun = s.form->mniRemoveCompleted->isEnabled();
                   QTimer::singleShot(150, [&] { s.encoder().setScript(bad); });
               });
        d.when([&] { return s.encoder().conversions().size() == 2; },
               [&] { QTimer::singleShot(150, [&] { s.encoder().setScript(good); }); });
        s.clickStart();
        QVERIFY(!d.gaveUp);
        QVERIFY(!enabledDuringRun);
        QCOMPARE(QStringList({s.status(0), s.status(1), s.status(2)}),
                 QStringList({"Complete", "Failed", "Complete"}));

        // The last item of the popup menu.
        QCOMPARE(s.form->ppmTask->actions().last(), s.form->mniRemoveCompleted);
        QCOMPARE(s.form->mniRemoveCompleted->text(), QString("Remove Completed Items"));
        s.form->ppmTaskPopup();
        QVERIFY(s.form->mniRemoveCompleted->isEnabled());
        s.form->mniRemoveCompleted->trigger();
        QCOMPARE(s.rows(), 1);
        QCOMPARE(s.item(0).InputFile, s.inDir + "b.avi");
        QCOMPARE(s.status(0), QString("Failed"));
        QVERIFY(s.form->tbtnStart->isEnabled());
        s.form->ppmTaskPopup();
        QVERIFY(!s.form->mniRemoveCompleted->isEnabled());
    }
};

QTEST_MAIN(TestRunSafety)
#include "tst_runsafety.moc"
