// The window around a run that goes on by itself: several files at once,
// Pause and Resume, taking up a stopped batch, warnings that hold nothing
// up, and what the desktop is told.
#include "ConversionTestUtil.h"

#include "Clips.h"

#include "TestFiles.h"
#include "conversion/RunStatusDelegate.h"
#include "tasks/TaskListState.h"

#include <QComboBox>
#include <QShortcut>

using namespace conv;

namespace {

const QString Success = "The coversion is completed successfully.";
const QString Canceled = "The Coversion is canceled.";

// What the Status cell of a row shows, as drawn.
QString DrawnStatus(Setup &s, int row)
{
    auto *delegate = qobject_cast<TRunStatusDelegate *>(s.form->ltvTask->itemDelegateForColumn(1 + siStatus));
    const QString drawn = delegate ? delegate->Text(row) : QString("<no delegate>");
    return drawn.isEmpty() ? s.status(row) : drawn;
}

// Progress at 50 % after the header, then a long wait, then the end.
QString SlowScript(int waitMs)
{
    return PiecesScript(HeaderPieces() + QStringList{"frame=1 time=50.00 x\r"}, 250,
                        QString("sleep %1\nout frame=2 time=100.00 x\\r\nexit 0").arg(waitMs));
}

} // namespace

class TestRunControl : public QObject {
    Q_OBJECT
private slots:
    void severalAtOnce()
    {
        Setup s;
        SettingForm->chkOpenDir->setChecked(false);
        SettingForm->cmbSimultaneous->setCurrentIndex(2);
        for (const char *name : {"a.avi", "b.avi", "c.avi"})
            s.addClip(name);
        s.convertWith(SlowScript(700));
        QStringList seen;
        QByteArray kept;
        Driver d(s.form);
        d.when([&] { return DrawnStatus(s, 0) == "Converting 50%" && DrawnStatus(s, 1) == "Converting 50%"; },
               [&] {
                   seen << s.status(0) << s.status(1) << s.status(2) << s.form->labConvertingFile->text()
                        << s.form->labCurProgress->text() << s.form->labTotalProgress->text();
                   s.form->TaskListKeeper->SaveNow();
                   kept = ReadBytes(s.form->TaskListKeeper->Path());
               });
        s.clickStart();
        QVERIFY(!d.gaveUp);
        // Two run side by side: stored "Converting", drawn with their
        // percentage; the bars follow the first, the total counts both.
        QCOMPARE(seen, QStringList({"Converting", "Converting", "OK", "a.avi", "50%", "33%"}));
        QVERIFY(kept.contains("Converting"));
        QVERIFY2(!kept.contains('%'), kept.constData());
        QCOMPARE(QStringList({s.status(0), s.status(1), s.status(2)}),
                 QStringList({"Complete", "Complete", "Complete"}));
        QCOMPARE(s.messageTexts(), QStringList{Success});
        QCOMPARE(s.prog.platform.inhibitReasons, QStringList{"Converting 3 video files"});
        QVERIFY(s.idleLook());
        // What the launcher showed: progress and files left, cleared at the end.
        QCOMPARE(s.prog.platform.taskbar.first(), QString("0/3"));
        QVERIFY(s.prog.platform.taskbar.contains("33/3"));
        QCOMPARE(s.prog.platform.taskbar.last(), QString("clear"));

        // Close during a run of two: both end, nothing is left.
        s.prog.platform.messages.clear();
        s.convertWith(PiecesScript(HeaderPieces(), 100, "hang"));
        QList<qint64> encoders;
        Driver closer(s.form);
        closer.when([&] { return s.form->EncoderProcessIds().size() == 2; },
                    [&] {
                        encoders = s.form->EncoderProcessIds();
                        s.form->close();
                    });
        s.clickStart();
        QVERIFY(!closer.gaveUp);
        QCOMPARE(QStringList({s.status(0), s.status(1), s.status(2)}), QStringList({"Stop", "Stop", "OK"}));
        QVERIFY(!s.form->isVisible());
        for (qint64 pid : encoders)
            QTRY_VERIFY(ProcessState(pid) == '?' || ProcessState(pid) == 'Z');
        QCOMPARE(QDir(s.outDir).entryList(QDir::Files | QDir::Hidden).size(), 3);
    }

    void pauseAndResume()
    {
        Setup s;
        SettingForm->chkOpenDir->setChecked(false);
        s.addClip("a.avi");
        s.addClip("b.avi");
        s.form->activateWindow(); // for the window's keys
        QVERIFY(QTest::qWaitForWindowActive(s.form));
        s.convertWith(SlowScript(1200));
        QStringList seen;
        int elapsedAtPause = -1;
        qint64 encoder = 0;
        Driver d(s.form);
        d.when([&] { return s.form->labCurProgress->text() == "50%"; },
               [&] {
                   encoder = s.form->EncoderProcessIds().value(0);
                   s.form->ElapsedSeconds = 7;
                   QTest::keyClick(s.form, Qt::Key_P, Qt::ControlModifier);
                   elapsedAtPause = s.form->ElapsedSeconds;
                   seen << s.form->tbtnPause->accessibleName() << DrawnStatus(s, 0) << s.status(0)
                        << QString::number(s.form->timerTime->isActive())
                        << QString::number(s.prog.platform.inhibitHeld);
               });
        d.when([&] { return ProcessState(encoder) == 'T'; },
               [&] {
                   QTimer::singleShot(1500, [&] {
                       // Held: the bar and the clock stood still.
                       seen << s.form->labCurProgress->text() << QString::number(s.form->ElapsedSeconds);
                       s.form->tbtnPause->click();
                       seen << s.form->tbtnPause->accessibleName() << DrawnStatus(s, 0)
                            << QString::number(s.form->timerTime->isActive())
                            << QString::number(s.prog.platform.inhibitHeld);
                   });
               });
        s.clickStart();
        QVERIFY(!d.gaveUp);
        QCOMPARE(elapsedAtPause, 7);
        QCOMPARE(seen, QStringList({"Resume", "Paused", "Converting", "0", "0", "50%", "7", "Pause",
                                    "Converting 50%", "1", "1"}));
        QCOMPARE(QStringList({s.status(0), s.status(1)}), QStringList({"Complete", "Complete"}));
        QVERIFY(!s.form->tbtnPause->isEnabled());

        // Stop while paused ends the run with its message, nothing left.
        s.prog.platform.messages.clear();
        s.convertWith(PiecesScript(HeaderPieces(), 100, "write part\nhang"));
        Driver stopper(s.form);
        stopper.when([&] { return s.form->EncoderProcessIds().size() == 1; },
                     [&] {
                         encoder = s.form->EncoderProcessIds().first();
                         s.form->tbtnPause->click();
                     });
        stopper.when([&] { return ProcessState(encoder) == 'T'; }, [&] { s.clickStop(); });
        s.clickStart();
        QVERIFY(!stopper.gaveUp);
        QCOMPARE(s.messageTexts(), QStringList{Canceled});
        QCOMPARE(s.status(0), QString("Stop"));
        QTRY_VERIFY(ProcessState(encoder) == '?' || ProcessState(encoder) == 'Z');
        QCOMPARE(QDir(s.outDir).entryList(QDir::Files | QDir::Hidden), QStringList({"a.mp4", "b.mp4"}));
    }

    void takeUpAStoppedBatch()
    {
        Setup s;
        SettingForm->chkOpenDir->setChecked(false);
        for (const char *name : {"a.avi", "b.avi", "c.avi"})
            s.addClip(name);
        s.convertWith(PiecesScript({"x\n"}, 200));
        Driver d(s.form);
        d.when([&] { return s.status(0) == "Complete"; },
               [&] {
                   s.encoder().setScript("[convert]\nhang\n");
                   s.clickStop();
               });
        s.clickStart();
        QCOMPARE(QStringList({s.status(0), s.status(1), s.status(2)}), QStringList({"Complete", "Stop", "OK"}));

        // Yes: only the others are converted; the done row stays as it is.
        s.prog.platform.messages.clear();
        s.convertWith(PiecesScript({"x\n"}, 10));
        s.clickStart();
        QCOMPARE(s.prog.platform.messages.size(), 2);
        QCOMPARE(s.prog.platform.messages[0].text,
                 QString("1 of 3 files was converted before the stop. Convert only the other 2?"));
        QCOMPARE(s.prog.platform.messages[0].caption, QString("Velvo"));
        QCOMPARE(s.prog.platform.messages[0].buttons, Platform::Buttons::YesNo);
        const QList<QStringList> runs = s.encoder().conversions();
        QCOMPARE(runs.size(), 2);
        QVERIFY(runs[0].contains(s.inDir + "b.avi"));
        QCOMPARE(QStringList({s.status(0), s.status(1), s.status(2)}),
                 QStringList({"Complete", "Complete", "Complete"}));
        QCOMPARE(s.prog.platform.messages[1].text, Success);

        // A batch that completed is not offered again; after another stop,
        // No converts every row.
        s.prog.platform.messages.clear();
        s.convertWith(PiecesScript({"x\n"}, 200));
        Driver again(s.form);
        again.when([&] { return s.status(1) == "Complete"; },
                   [&] {
                       s.encoder().setScript("[convert]\nhang\n");
                       s.clickStop();
                   });
        s.clickStart();
        QCOMPARE(s.messageTexts(), QStringList{Canceled});
        s.prog.platform.messages.clear();
        s.prog.platform.answers.enqueue(Platform::No);
        s.convertWith(PiecesScript({"x\n"}, 10));
        s.clickStart();
        QCOMPARE(s.messageTexts(),
                 QStringList({"2 of 3 files were converted before the stop. Convert only the other 1?", Success}));
        QCOMPARE(s.encoder().conversions().size(), 3);
    }

    void warningsHoldNothingUp()
    {
        Setup s;
        SettingForm->chkOpenDir->setChecked(false);
        s.addClip("a.avi");
        s.addClip("b.avi");
        s.convertWith(PiecesScript({"x\n", "y\n"}, 250));
        QString statusLine;
        bool lockedAtBox = true;
        s.prog.platform.onMessage = [&](const FakePlatform::Message &) { lockedAtBox = s.prog.platform.inhibitHeld; };
        Driver d(s.form);
        d.when([&] { return s.status(0) == "Converting"; },
               [&] {
                   // The state folder becomes a file: neither the task list
                   // nor the log can be written from now on.
                   QDir(s.prog.stateDir()).removeRecursively();
                   Touch(s.prog.stateDir().chopped(1));
                   s.form->TaskListKeeper->SaveNow();
               });
        d.when([&] { return s.status(1) == "Converting"; },
               [&] { statusLine = s.form->labStatus->isVisible() ? s.form->labStatus->text() : QString(); });
        s.clickStart();
        QVERIFY(!d.gaveUp);
        QVERIFY2(statusLine.startsWith("The run's log") || statusLine.startsWith("The task list cannot be kept"),
                 qPrintable(statusLine));
        QCOMPARE(QStringList({s.status(0), s.status(1)}), QStringList({"Complete", "Complete"}));
        // One box, after the run, with the warnings; the machine could sleep by then.
        QCOMPARE(s.prog.platform.messages.size(), 1);
        const QString text = s.prog.platform.messages[0].text;
        QVERIFY2(text.startsWith(Success + "\n\nThe task list cannot be kept in"), qPrintable(text));
        QVERIFY2(text.contains("The run's log"), qPrintable(text));
        QCOMPARE(s.prog.platform.messages[0].icon, Platform::Icon::Warning);
        QVERIFY(!lockedAtBox);
        QVERIFY(s.idleLook());
        QFile::remove(s.prog.stateDir().chopped(1));
    }

    void desktopNotification()
    {
        Setup s;
        SettingForm->chkOpenDir->setChecked(false);
        s.addClip("a.avi");
        s.addClip("b.avi");
        s.convertWith(PiecesScript({"x\n"}, 10));
        // Not looking at the window: told, with a way to the folder.
        QWidget elsewhere;
        elsewhere.show();
        elsewhere.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&elsewhere));
        s.clickStart();
        QCOMPARE(s.prog.platform.notifications.size(), 1);
        const FakePlatform::Notification note = s.prog.platform.notifications[0];
        QCOMPARE(note.summary, QString("Velvo: 2 files converted"));
        QCOMPARE(note.actionLabel, QString("Open Folder"));
        QVERIFY(s.prog.platform.opened.isEmpty());
        note.onAction();
        QCOMPARE(s.prog.platform.opened, QStringList{s.outDir});
        // A failure is named.
        s.convertWith("[convert]\nexit 1\n");
        s.clickStart();
        QCOMPARE(s.prog.platform.notifications.last().summary, QString("2 of 2 files could not be converted"));

        // At the window: no notification.
        elsewhere.hide();
        s.form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(s.form));
        s.convertWith(PiecesScript({"x\n"}, 10));
        s.clickStart();
        QCOMPARE(s.prog.platform.notifications.size(), 2);
    }
};

QTEST_MAIN(TestRunControl)
#include "tst_runcontrol.moc"
