// The conversion run driven by real clicks on Start and Stop, with the fake
// encoder printing scripted pieces: statuses, bars and labels, command lines,
// output names, stopping, the timer, completion actions and failures.
#include "ConversionTestUtil.h"

#include "Clips.h"
#include "app/Application.h"
#include "app/Forms.h"
#include "app/SplitterBar.h"
#include "common/TimeText.h"
#include "conversion/EncoderProcess.h"
#include "conversion/RunOutcome.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QDialog>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#include <sys/resource.h>

using namespace conv;

namespace {

const QString Success = "The coversion is completed successfully.";
const QString Canceled = "The Coversion is canceled.";
const QString CloseQuestion = "A conversion is running. Stop it and close Velvo?";

// The encoder's argument list for a conversion.
// A run stopped for closing the program: the window is gone, the
// preferences saved, no encoder or partial file left.
void CheckClosedWithNothingLeft(Setup &s, qint64 encoderPid)
{
    QVERIFY(!s.form->isVisible());
    QVERIFY(QFileInfo::exists(s.prog.path("Preferences.ini")));
    QTRY_VERIFY_WITH_TIMEOUT(!Alive(encoderPid), 2000);
    QTRY_VERIFY_WITH_TIMEOUT(!Alive(s.encoder().childPid()), 2000);
    QCOMPARE(QDir(s.outDir).entryList(QDir::Files | QDir::Hidden), QStringList());
}

// The file the encoder writes before an item is judged and renamed.
QString Part(const QString &out)
{
    return PartialOutputPath(out, QCoreApplication::applicationPid());
}

QStringList ConvertArgs(const QString &in, const QStringList &middle, const QString &out)
{
    return QStringList{"-y", "-i", in} + middle + QStringList{Part(out)};
}

} // namespace

class TestConversionRun : public QObject {
    Q_OBJECT
private slots:
    // progress
    void barsFollowThePieces();
    void outputInOneOrTwoPiecesLeavesTheBars_data();
    void outputInOneOrTwoPiecesLeavesTheBars();
    void timeBeyondTheClipFillsTheBar();
    void malformedLengthKeepsCurrentBarAtZero();
    // command lines and names
    void commandLinesCarryTheItemsRange();
    void profileArgumentsReachEveryItem();
    void outputNamesOverwriteMode();
    void outputNamesRenameMode();
    void outputNeverOverwritesAnInput();
    // locking
    void windowLockedDuringRunAndUnlockedAfter();
    // stop
    void stopBeforeTheFirstPiece();
    void stopMidItemSecondStopIgnored();
    void stopBetweenItems();
    void stopEndsWhatTheEncoderStarted();
    void stopWhileIdleDoesNothing();
    // timer
    void timerTicksWhileWaiting();
    void remainingTimeFromTheTotalBar();
    // completion
    void completionMessageAndFolder_data();
    void completionMessageAndFolder();
    void completionExitClosesTheWindow();
    void completionPowerOff_data();
    void completionPowerOff();
    void closeDuringRunAnsweredNo();
    void closeDuringRunAnsweredYes();
    // failures
    void missingEncoder();
    void pipeCannotBeCreated();
    void failedExitIsReportedAndCounted();
    void crashedEncoderIsFailed();
    void outputFolderMissing();
    void outputFolderRemovedDuringItem();
    void emptyListDoesNothing();

    // trustworthy outputs
    void stopKeepsTheOlderOutput();
    void failureHalfWayLeavesNoFile();
    void outputWithoutLengthFails();
    void unknownLengthsCountAsNothing();
    void statusesBelongToThisRun();
    void encoderMessagesAndLog();
    void terminationSignalDuringRun();
    void terminationSignalClosesAnOpenBox();
    void malformedProfileLeavesTheWindowIdle();
};

// ---------------------------------------------------------------- progress

void TestConversionRun::barsFollowThePieces()
{
    Setup s;
    s.addClip("a.avi", "00:01:40.00"); // 100 s
    s.addClip("b.avi", "00:05:00.00"); // 300 s
    s.convertWith(PiecesScript(HeaderPieces() + QStringList{
                                   "frame=1 time=50.00 bitrate=1\r",
                                   "frame=2 time=30.00 bitrate=1\r",       // backwards
                                   "frame=3 overtime: time=80.00 \r",      // first "time" in a word
                                   "frame=4 time=90.00",                   // no blank after it
                                   "frame=5 time=100.00 bitrate=1\r"}));
    Driver d(s.form);
    s.clickStart();
    d.record();
    QVERIFY(!d.gaveUp);
    // Total 400 s. First item: 50 s -> 50 % and 12.5 -> 12 %; 100 s -> 100 % and 25 %.
    // Second item (100 s done): 50 of 300 -> 17 %, 150 of 400 -> 37.5 -> 38 %; 100 s -> 33 % and 50 %.
    // The finished second item, which reported progress, ends full.
    QCOMPARE(d.states, QStringList({"0/0/0%/0%", "50/12/50%/12%", "100/25/100%/25%", "0/25/0%/25%",
                                    "17/38/17%/38%", "33/50/33%/50%", "100/100/100%/100%"}));
    QCOMPARE(s.status(0), QString("Complete"));
    QCOMPARE(s.status(1), QString("Complete"));
    // After the last item the bars are not reset.
    QCOMPARE(s.form->pgbCurrent->value(), 100);
    QCOMPARE(s.form->labTotalProgress->text(), QString("100%"));
    QCOMPARE(s.messageTexts(), QStringList{Success});
    QVERIFY(s.idleLook());
}

void TestConversionRun::outputInOneOrTwoPiecesLeavesTheBars_data()
{
    QTest::addColumn<QStringList>("pieces");
    QTest::newRow("one piece") << QStringList{
        "banner\nInput #0\nframe=1 time=50.00 bitrate=1\rframe=2 time=100.00 bitrate=1\r\n"};
    QTest::newRow("two pieces") << QStringList{"banner\nInput #0\nframe=1 time=50.00 bitrate=1\r",
                                               "frame=2 time=100.00 bitrate=1\r\n"};
}

void TestConversionRun::outputInOneOrTwoPiecesLeavesTheBars()
{
    QFETCH(QStringList, pieces);
    Setup s;
    s.addClip("a.avi");
    s.convertWith(PiecesScript(pieces));
    Driver d(s.form);
    s.clickStart();
    d.record();
    QCOMPARE(d.states, QStringList{"0/0/0%/0%"});
    QCOMPARE(s.status(0), QString("Complete"));
    QCOMPARE(s.messageTexts(), QStringList{Success});
}

void TestConversionRun::timeBeyondTheClipFillsTheBar()
{
    Setup s;
    s.addClip("a.avi", "00:00:10.00");
    s.convertWith(PiecesScript(HeaderPieces() + QStringList{"frame=1 time=4.00 x\r", "frame=2 time=15.50 x\r"}));
    Driver d(s.form);
    s.clickStart();
    d.record();
    QCOMPARE(d.states, QStringList({"0/0/0%/0%", "40/40/40%/40%", "100/100/100%/100%"}));
    QCOMPARE(s.status(0), QString("Complete"));
}

void TestConversionRun::malformedLengthKeepsCurrentBarAtZero()
{
    Setup s;
    s.addClip("a.avi", "00:00:10.00");
    ltvItemData rec = s.item(0);
    rec.ClipLength = "garbage"; // -1 seconds
    s.setItem(0, rec);
    s.addClip("b.avi", "00:00:11.00");
    s.convertWith(PiecesScript(HeaderPieces() + QStringList{"frame=1 time=5.00 x\r"}));
    Driver d(s.form);
    d.record(); // the first item shows its busy bar as soon as Start returns
    s.clickStart();
    d.record();
    // An unknown length counts as nothing: the total is 11 s. First item: a
    // busy current bar, the total bar stays. Second item: 5 of 11 -> 45 %.
    QCOMPARE(d.states,
             QStringList({"0/0/0%/0%", "0/0//0%", "0/0/0%/0%", "45/45/45%/45%", "100/100/100%/100%"}));
    // The broken length still reaches the encoder, as -1 seconds.
    const QList<QStringList> runs = s.encoder().conversions();
    QCOMPARE(runs.size(), 2);
    QVERIFY(runs[0].join(' ').contains("-t -1"));
}

// ---------------------------------------------------------------- command lines and names

void TestConversionRun::commandLinesCarryTheItemsRange()
{
    Setup s;
    const QString a = s.addClip("a.avi");
    const QString b = s.addClip("b file.avi"); // a blank stays inside one argument
    const QString c = s.addClip("c.mpg");
    ltvItemData rec = s.item(1);
    rec.ClipStart = "00:00:05.5";
    rec.ClipEnd = "00:00:16";
    rec.ClipLength = "00:00:10.5";
    s.setItem(1, rec);
    rec = s.item(2);
    rec.ClipLength = "00:00:11.5";
    rec.ClipEnd = "00:00:11.5";
    rec.OutputName = "custom name";
    s.setItem(2, rec);
    s.convertWith(PiecesScript({"x\n"}));
    s.clickStart();

    const QList<QStringList> runs = s.encoder().conversions();
    QCOMPARE(runs.size(), 3);
    QCOMPARE(runs[0], ConvertArgs(a, {}, s.outDir + "a.mp4"));
    QCOMPARE(runs[1], ConvertArgs(b, {"-ss", "00:00:05.5", "-t", "10.5"}, s.outDir + "b file.mp4"));
    QCOMPARE(runs[2], ConvertArgs(c, {"-t", "11.5"}, s.outDir + "custom name.mp4"));
    for (int i = 0; i < 3; ++i)
        QCOMPARE(s.status(i), QString("Complete"));
}

void TestConversionRun::profileArgumentsReachEveryItem()
{
    const QByteArray profile = "[Main]\r\nType=mkv\r\nPara=2\r\n0=Video Codec\r\n1=Bit Rate\r\n\r\n"
                               "[Video Codec]\r\nSort=1\r\nList=0\r\nReadOnly=1\r\nCaption=MPEG-4\r\n"
                               "Value=mpeg4\r\ncmd=-vcodec\r\n\r\n"
                               "[Bit Rate]\r\nSort=1\r\nList=0\r\nCaption=800k\r\nValue=800k\r\ncmd=-b:v\r\n";
    Setup s({{"Small.vpf", profile}});
    QCOMPARE(s.form->cmbProfile->currentText(), QString("Small"));
    QCOMPARE(s.form->CurrentOutputExt, QString(".mkv"));
    const QString a = s.addClip("a.avi");
    const QString b = s.addClip("b.avi");
    ltvItemData rec = s.item(0);
    rec.ClipStart = "00:00:01";
    s.setItem(0, rec);
    s.convertWith(PiecesScript({"x\n"}));
    s.clickStart();
    const QList<QStringList> runs = s.encoder().conversions();
    QCOMPARE(runs.size(), 2);
    QCOMPARE(runs[0], ConvertArgs(a, {"-vcodec", "mpeg4", "-b:v", "800k", "-ss", "00:00:01"},
                                  s.outDir + "a.mkv"));
    // The second item starts again from the profile's text alone.
    QCOMPARE(runs[1], ConvertArgs(b, {"-vcodec", "mpeg4", "-b:v", "800k"}, s.outDir + "b.mkv"));
}

void TestConversionRun::outputNamesOverwriteMode()
{
    Setup s;
    QVERIFY(!SettingForm->rdbRename->isChecked());
    const QString a = s.addClip("a.avi");
    const QString b = s.addClip("b.avi");
    const QString c = s.addClip("c.avi");
    Touch(s.outDir + "a.mp4");
    ltvItemData rec = s.item(2);
    rec.OutputName = "b"; // the same name as the second item
    s.setItem(2, rec);
    s.convertWith(PiecesScript({"x\n"}));
    s.clickStart();
    const QList<QStringList> runs = s.encoder().conversions();
    QCOMPARE(runs.size(), 3);
    QCOMPARE(runs[0].last(), Part(s.outDir + "a.mp4")); // overwritten
    QCOMPARE(runs[1].last(), Part(s.outDir + "b.mp4"));
    // The later one never replaces what the run has just made.
    QCOMPARE(runs[2].last(), Part(s.outDir + "b_3.mp4"));
    QCOMPARE(QDir(s.outDir).entryList(QDir::Files), QStringList({"a.mp4", "b.mp4", "b_3.mp4"}));
}

void TestConversionRun::outputNamesRenameMode()
{
    Setup s;
    SettingForm->rdbRename->setChecked(true);
    s.addClip("a.avi");
    s.addClip("b.avi");
    s.addClip("c.avi");
    s.addClip("d.avi");
    Touch(s.outDir + "a.mp4");
    Touch(s.outDir + "b.mp4");
    Touch(s.outDir + "b_2.mp4"); // an earlier run's numbered output
    Touch(s.outDir + "d.mp4");
    ltvItemData rec = s.item(3);
    rec.OutputExt.clear(); // named before any profile was loaded
    s.setItem(3, rec);
    s.convertWith(PiecesScript({"x\n"}));
    s.clickStart();
    const QList<QStringList> runs = s.encoder().conversions();
    QCOMPARE(runs.size(), 4);
    QCOMPARE(runs[0].last(), Part(s.outDir + "a_1.mp4"));
    QCOMPARE(runs[1].last(), Part(s.outDir + "b_2_2.mp4"));
    QCOMPARE(runs[2].last(), Part(s.outDir + "c.mp4"));
    QCOMPARE(runs[3].last(), Part(s.outDir + "d_4.mp4"));
    // Nothing that existed was replaced.
    for (const QString &name : {"a.mp4", "b.mp4", "b_2.mp4", "d.mp4"}) {
        QFile kept(s.outDir + name);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("x"));
    }
}

void TestConversionRun::outputNeverOverwritesAnInput()
{
    Setup s;
    // Inputs in the output folder, named in other spellings than the output.
    const QString x = s.outDir + "x.mp4";
    Touch(x);
    QVERIFY(QFile::link(x, s.inDir + "link.mp4"));
    s.addClip(s.outDir + "x.mp4");
    s.addClip(s.inDir + "link.mp4");
    const QString y = s.addClip("y.avi");
    Touch(s.outDir + "z.mp4");
    s.addClip(s.outDir + "z.mp4");
    ltvItemData rec = s.item(1);
    rec.OutputName = "x";
    s.setItem(1, rec);
    rec = s.item(2);
    rec.OutputName = "z"; // would write the fourth item's input
    s.setItem(2, rec);
    s.form->edtOutputdir->setText(s.media.path() + "/./out//");
    s.convertWith(PiecesScript({"x\n"}));
    s.clickStart();
    const QList<QStringList> runs = s.encoder().conversions();
    QCOMPARE(runs.size(), 4);
    const QString shown = s.media.path() + "/./out//";
    QCOMPARE(runs[0].last(), Part(shown + "x_1.mp4"));
    QCOMPARE(runs[1].last(), Part(shown + "x_2.mp4"));
    QCOMPARE(runs[2].last(), Part(shown + "z_3.mp4"));
    QCOMPARE(runs[3].last(), Part(shown + "z_4.mp4"));
    QCOMPARE(runs[2][2], y);
}

// ---------------------------------------------------------------- locking

void TestConversionRun::windowLockedDuringRunAndUnlockedAfter()
{
    Setup s;
    s.addClip("first clip.avi");
    s.form->ltvTask->clearSelection();
    s.convertWith(PiecesScript(HeaderPieces() + QStringList{"frame=1 time=10.00 x\r"}, 300));
    QStringList during;
    Driver d(s.form);
    d.when([&] { return s.form->labCurProgress->text() == "10%"; },
           [&] {
               for (QWidget *w : std::initializer_list<QWidget *>{
                        s.form->tbtnAddFile, s.form->tbtnAddDir, s.form->tbtnUp, s.form->tbtnDown,
                        s.form->tbtnRemove, s.form->tbtnClear, s.form->tbtnStart, s.form->tbtnStop,
                        s.form->tbtnSetting, s.form->ltvTask, static_cast<QWidget *>(s.form->panSplitter),
                        s.form->gpbProfile})
                   during << w->objectName() + (w->isEnabled() ? "+" : "-");
               during << QString("left%1 center%2 timer%3 state%4 file=%5")
                             .arg(s.form->panBottomLeft->isVisible())
                             .arg(s.form->panBottomCenter->isVisible())
                             .arg(s.form->timerTime->isActive())
                             .arg(s.form->RunState)
                             .arg(s.form->labConvertingFile->text());
           });
    s.clickStart();
    QCOMPARE(during, QStringList({"tbtnAddFile-", "tbtnAddDir-", "tbtnUp-", "tbtnDown-", "tbtnRemove-",
                                  "tbtnClear-", "tbtnStart-", "tbtnStop+", "tbtnSetting-", "ltvTask-",
                                  "panSplitter-", "gpbProfile-",
                                  "left1 center0 timer1 state1 file=first clip.avi"}));
    // Unlocked whatever the selection: nothing is selected here.
    QVERIFY(s.form->ltvTask->selectedItems().isEmpty());
    for (QWidget *w : std::initializer_list<QWidget *>{
             s.form->tbtnAddFile, s.form->tbtnAddDir, s.form->tbtnUp, s.form->tbtnDown, s.form->tbtnRemove,
             s.form->tbtnClear, s.form->tbtnStart, s.form->tbtnSetting, s.form->ltvTask,
             static_cast<QWidget *>(s.form->panSplitter), s.form->gpbProfile})
        QVERIFY2(w->isEnabled(), qPrintable(w->objectName()));
    QVERIFY(!s.form->tbtnStop->isEnabled());
    QVERIFY(s.idleLook());
    // The bare process dialog is never shown.
    QVERIFY(ProcessForm);
    QVERIFY(!ProcessForm->isVisible());
}

// ---------------------------------------------------------------- stop

void TestConversionRun::stopBeforeTheFirstPiece()
{
    Setup s;
    s.addClip("a.avi");
    s.addClip("b.avi");
    ltvItemData rec = s.item(1);
    rec.Status = "Complete"; // from an earlier run
    s.setItem(1, rec);
    s.convertWith("[convert]\nhang\n");
    QList<qint64> children;
    Driver d(s.form);
    d.when([&] { return s.status(0) == "Converting" && s.encoder().conversions().size() == 1; },
           [&] {
               children = ChildProcesses(QCoreApplication::applicationPid());
               s.clickStop();
           });
    s.clickStart();
    QVERIFY(!d.gaveUp);
    QCOMPARE(d.pendingSteps(), 0);
    QVERIFY(!children.isEmpty());
    QCOMPARE(s.status(0), QString("Stop"));
    QCOMPARE(s.status(1), QString("OK")); // this run never reached it
    QCOMPARE(s.encoder().conversions().size(), 1);
    QCOMPARE(s.prog.platform.messages.size(), 1);
    QCOMPARE(s.prog.platform.messages[0].text, Canceled);
    QCOMPARE(s.prog.platform.messages[0].caption, QString("Cancel"));
    QCOMPARE(s.prog.platform.messages[0].icon, Platform::Icon::Information);
    QVERIFY(s.idleLook());
    for (qint64 pid : children)
        QTRY_VERIFY_WITH_TIMEOUT(!Alive(pid), 5000);
}

void TestConversionRun::stopMidItemSecondStopIgnored()
{
    Setup s;
    s.addClip("a.avi");
    s.addClip("b.avi");
    s.convertWith(PiecesScript(HeaderPieces() + QStringList{"frame=1 time=25.00 x\r"}, 250, "hang"));
    int stateAfterSecond = -1;
    Driver d(s.form);
    d.when([&] { return s.form->labCurProgress->text() == "25%"; },
           [&] {
               s.clickStop();
               s.clickStop();
               stateAfterSecond = s.form->RunState;
           });
    s.clickStart();
    QVERIFY(!d.gaveUp);
    QCOMPARE(stateAfterSecond, 2);
    QCOMPARE(s.status(0), QString("Stop"));
    QCOMPARE(s.status(1), QString("OK"));
    QCOMPARE(s.messageTexts(), QStringList{Canceled});
    // The stop leaves the bars as they were.
    QCOMPARE(s.form->pgbCurrent->value(), 25);
    QCOMPARE(s.form->labTotalProgress->text(), QString("12%")); // 25 of 200 s: 12.5 goes to the even side
    QVERIFY(s.idleLook());
}

void TestConversionRun::stopBetweenItems()
{
    Setup s;
    s.addClip("a.avi");
    s.addClip("b.avi");
    s.addClip("c.avi");
    s.convertWith(PiecesScript({"x\n"}, 300));
    Driver d(s.form);
    d.when([&] { return s.status(0) == "Complete"; }, [&] {
        // The next item is either about to start or already started.
        s.encoder().setScript("[convert]\nhang\n");
        s.clickStop();
    });
    s.clickStart();
    QVERIFY(!d.gaveUp);
    QCOMPARE(s.status(0), QString("Complete"));
    QCOMPARE(s.status(1), QString("Stop"));
    QCOMPARE(s.status(2), QString("OK"));
    QCOMPARE(s.messageTexts(), QStringList{Canceled});
    QVERIFY(s.encoder().conversions().size() <= 2);
    QVERIFY(s.idleLook());
}

void TestConversionRun::stopEndsWhatTheEncoderStarted()
{
    Setup s;
    s.addClip("a.avi");
    s.convertWith("[convert]\nchild\nout started\\n\nhang\n");
    Driver d(s.form);
    d.when([&] { return s.encoder().childPid() > 0; }, [&] { s.clickStop(); });
    s.clickStart();
    QVERIFY(!d.gaveUp);
    const qint64 child = s.encoder().childPid();
    QVERIFY(child > 0);
    // Killed at once; the kill only takes a moment to land.
    QTRY_VERIFY_WITH_TIMEOUT(!Alive(child), 5000);
    QCOMPARE(s.status(0), QString("Stop"));
}

void TestConversionRun::stopWhileIdleDoesNothing()
{
    Setup s;
    s.addClip("a.avi");
    QVERIFY(!s.form->tbtnStop->isEnabled());
    s.form->tbtnStopClick();
    QCOMPARE(s.form->RunState, 0);
    QVERIFY(s.prog.platform.messages.isEmpty());
    QCOMPARE(s.status(0), QString("OK"));
}

// ---------------------------------------------------------------- timer

void TestConversionRun::timerTicksWhileWaiting()
{
    Setup s;
    s.addClip("a.avi");
    s.convertWith(PiecesScript(HeaderPieces() + QStringList{"frame=1 time=50.00 x\r"}, 250,
                               "sleep 2300\nout frame=2 time=100.00 x\\r\nexit 0"));
    bool emptyAtStart = false;
    int seenElapsed = 0;
    Driver d(s.form);
    d.when([&] { return s.form->RunState == 1; },
           [&] {
               // Until the first tick both labels are empty.
               emptyAtStart = s.form->ElapsedSeconds == 0 && s.form->labElapsed->text().isEmpty()
                   && s.form->labRemaining->text().isEmpty();
           });
    d.when([&] { return s.form->ElapsedSeconds >= 1; },
           [&] { seenElapsed = s.form->ElapsedSeconds; });
    s.clickStart();
    QVERIFY(emptyAtStart);
    // The timer ticked while the window waited for the encoder.
    QVERIFY(seenElapsed >= 1);
    QVERIFY(s.form->ElapsedSeconds >= 1);
    QCOMPARE(s.form->labElapsed->text(), SecondsToTimeText(s.form->ElapsedSeconds));
    QVERIFY(!s.form->timerTime->isActive());
    // Window events kept flowing: the driver's 2 ms timer ran many times.
    QVERIFY(d.ticks > 50);
    QCOMPARE(s.status(0), QString("Complete"));
}

void TestConversionRun::remainingTimeFromTheTotalBar()
{
    Setup s;
    s.addClip("a.avi");
    s.convertWith(PiecesScript(HeaderPieces() + QStringList{"frame=1 time=25.00 x\r"}, 250,
                               "sleep 100000\nout frame=1 time=100.00 x\\r\nhang"));
    QStringList labels;
    auto tick = [&](int before) {
        s.form->ElapsedSeconds = before;
        s.form->timerTimeTimer();
        labels << s.form->labElapsed->text() + " " + s.form->labRemaining->text();
    };
    Driver d(s.form);
    d.when([&] { return s.form->RunState == 1 && s.form->pgbTotal->value() == 0; },
           [&] { tick(4); }); // no progress yet: remaining stays 0
    d.when([&] { return s.form->pgbTotal->value() == 25; },
           [&] {
               tick(29);            // 30 ticks at 25 %: 90 s left
               s.form->pgbTotal->setValue(80);
               tick(1);             // 2 / 0.8 - 2 = 0.5 -> 0
               tick(5);             // 6 / 0.8 - 6 = 1.5 -> 2
               s.form->pgbTotal->setValue(100);
               tick(41);            // done: nothing left
               s.clickStop();
           });
    s.clickStart();
    QVERIFY(!d.gaveUp);
    QCOMPARE(labels, QStringList({"00:00:05 00:00:00", "00:00:30 00:01:30", "00:00:02 00:00:00",
                                  "00:00:06 00:00:02", "00:00:42 00:00:00"}));
}

// ---------------------------------------------------------------- completion

void TestConversionRun::completionMessageAndFolder_data()
{
    QTest::addColumn<bool>("openDir");
    QTest::newRow("message only") << false;
    QTest::newRow("message, then the folder") << true;
}

void TestConversionRun::completionMessageAndFolder()
{
    QFETCH(bool, openDir);
    Setup s;
    SettingForm->chkOpenDir->setChecked(openDir);
    SettingForm->chkExit->setChecked(false);
    SettingForm->chkTurnoff->setChecked(false);
    s.addClip("a.avi");
    s.convertWith(PiecesScript({"x\n"}));
    int openedAtMessage = -1;
    int stateAtMessage = -1;
    s.prog.platform.onMessage = [&](const FakePlatform::Message &) {
        openedAtMessage = int(s.prog.platform.opened.size());
        stateAtMessage = s.form->RunState;
    };
    s.clickStart();
    QCOMPARE(s.prog.platform.messages.size(), 1);
    QCOMPARE(s.prog.platform.messages[0].text, Success);
    QCOMPARE(s.prog.platform.messages[0].caption, QString("Complete"));
    QCOMPARE(s.prog.platform.messages[0].icon, Platform::Icon::Information);
    QCOMPARE(openedAtMessage, 0); // the folder opens after the message
    QCOMPARE(stateAtMessage, 1);
    QCOMPARE(s.prog.platform.opened, openDir ? QStringList{s.outDir} : QStringList());
    QCOMPARE(s.prog.platform.powerOffs, 0);
    QVERIFY(s.form->isVisible());
    QVERIFY(s.idleLook());
}

void TestConversionRun::completionExitClosesTheWindow()
{
    Setup s;
    SettingForm->chkOpenDir->setChecked(true); // ignored with exit
    SettingForm->chkExit->setChecked(true);
    s.addClip("a.avi");
    s.convertWith(PiecesScript({"x\n"}));
    QFile::remove(s.prog.path("Preferences.ini"));
    s.clickStart();
    QCOMPARE(s.status(0), QString("Complete"));
    QVERIFY(s.prog.platform.messages.isEmpty());
    QVERIFY(s.prog.platform.opened.isEmpty());
    QCOMPARE(s.prog.platform.powerOffs, 0);
    QVERIFY(!s.form->isVisible());
    // The close saved the preferences.
    QVERIFY(s.prog.readFile("Preferences.ini").contains("Auto Exit"));
}

void TestConversionRun::completionPowerOff_data()
{
    QTest::addColumn<bool>("exitToo");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("power off") << false << true;
    QTest::newRow("power off and exit") << true << true;
    QTest::newRow("power off refused") << false << false;
}

void TestConversionRun::completionPowerOff()
{
    QFETCH(bool, exitToo);
    QFETCH(bool, accepted);
    Setup s;
    SettingForm->chkOpenDir->setChecked(true);
    SettingForm->chkExit->setChecked(exitToo);
    SettingForm->chkTurnoff->setChecked(true);
    s.prog.platform.powerOffResult = accepted;
    s.form->PowerOffTickMs = 1; // the countdown runs out at once
    s.addClip("a.avi");
    s.convertWith(PiecesScript({"x\n"}));
    s.clickStart();
    QCOMPARE(s.prog.platform.powerOffs, 1);
    // A refusal is shown with the system's reason; the window closes all the same.
    QCOMPARE(s.messageTexts(), accepted ? QStringList()
                                        : QStringList{"The computer could not be turned off: "
                                                      + s.prog.platform.powerOffRefusal});
    QVERIFY(s.prog.platform.opened.isEmpty());
    QVERIFY(!s.form->isVisible());
}

void TestConversionRun::closeDuringRunAnsweredNo()
{
    Setup s;
    SettingForm->chkOpenDir->setChecked(true);
    s.addClip("a.avi");
    s.addClip("b.avi");
    s.convertWith(PiecesScript(HeaderPieces() + QStringList{"frame=1 time=50.00 x\r"}));
    s.prog.platform.answers.enqueue(Platform::No);
    bool stillRunning = false;
    Driver d(s.form);
    d.when([&] { return s.form->labCurProgress->text() == "50%"; },
           [&] {
               QFile::remove(s.prog.path("Preferences.ini"));
               s.form->close();
               stillRunning = s.form->isVisible() && s.form->RunState == 1;
           });
    s.clickStart();
    QVERIFY(stillRunning);
    QCOMPARE(s.messageTexts(), QStringList({CloseQuestion, Success}));
    QCOMPARE(s.prog.platform.messages[0].buttons, Platform::Buttons::YesNo);
    QCOMPARE(s.status(0), QString("Complete"));
    QCOMPARE(s.status(1), QString("Complete"));
    // The program stays open afterwards, and nothing was saved for a close.
    QVERIFY(s.form->isVisible());
    QVERIFY(s.idleLook());
    QVERIFY(!QFileInfo::exists(s.prog.path("Preferences.ini")));
}

void TestConversionRun::closeDuringRunAnsweredYes()
{
    Setup s;
    SettingForm->chkOpenDir->setChecked(true);
    s.addClip("a.avi");
    s.addClip("b.avi");
    s.convertWith(PiecesScript(HeaderPieces(), 150, "child\nhang"));
    Driver d(s.form);
    qint64 encoderPid = 0;
    d.when([&] { return s.encoder().childPid() > 0; },
           [&] {
               encoderPid = s.form->EncoderProcessIds().value(0);
               QFile::remove(s.prog.path("Preferences.ini"));
               s.form->close();
           });
    QElapsedTimer clock;
    clock.start();
    s.clickStart();
    QVERIFY(!d.gaveUp);
    QVERIFY(clock.elapsed() < 10000);
    // Ended as by Stop, without the cancel message, and closed.
    QCOMPARE(s.status(0), QString("Stop"));
    QCOMPARE(s.status(1), QString("OK"));
    QCOMPARE(s.messageTexts(), QStringList{CloseQuestion});
    QVERIFY(s.prog.platform.opened.isEmpty());
    CheckClosedWithNothingLeft(s, encoderPid);
}

// ---------------------------------------------------------------- failures

void TestConversionRun::missingEncoder()
{
    Setup s;
    SettingForm->chkOpenDir->setChecked(true);
    s.addClip("a.avi");
    s.addClip("b.avi");
    QVERIFY(QFile::remove(s.prog.path("vxenc.dll")));
    s.clickStart();
    QCOMPARE(s.prog.platform.messages.size(), 1);
    QCOMPARE(s.prog.platform.messages[0].text, QString("Error on CreateProcess()"));
    QCOMPARE(s.prog.platform.messages[0].caption, QString("Velvo"));
    // The run ends at once: the item is not left "Converting", later ones untouched.
    QCOMPARE(s.status(0), QString("Failed"));
    QCOMPARE(s.status(1), QString("OK"));
    QVERIFY(!s.toolTip(0).isEmpty());
    QVERIFY(s.prog.platform.opened.isEmpty());
    QVERIFY(s.idleLook());
}

void TestConversionRun::pipeCannotBeCreated()
{
    Setup s;
    s.addClip("a.avi");
    s.addClip("b.avi");
    s.convertWith(PiecesScript({"x\n"}));
    // No descriptor left below the limit: the next pipe fails.
    int firstFree = 0;
    while (::fcntl(firstFree, F_GETFD) != -1)
        ++firstFree;
    rlimit saved{};
    QCOMPARE(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit tight = saved;
    tight.rlim_cur = rlim_t(firstFree);
    QCOMPARE(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    s.clickStart();
    ::setrlimit(RLIMIT_NOFILE, &saved);
    QCOMPARE(s.prog.platform.messages.size(), 1);
    QCOMPARE(s.prog.platform.messages[0].text, QString("Error On CreatePipe()"));
    QCOMPARE(s.prog.platform.messages[0].caption, QString("Velvo"));
    QCOMPARE(s.status(0), QString("Failed"));
    QCOMPARE(s.status(1), QString("OK"));
    QVERIFY(s.encoder().conversions().isEmpty());
    QVERIFY(s.idleLook());
}

void TestConversionRun::failedExitIsReportedAndCounted()
{
    Setup s;
    SettingForm->chkOpenDir->setChecked(true);
    s.addClip("a.avi");
    s.addClip("b.avi");
    s.addClip("c.avi");
    // Every run waits a moment after reading its script, so the driver can
    // change the script for the next one meanwhile.
    const QString good = PiecesScript({"banner\n", "streams\n", "frame=1 time=100.00 x\r"}, 150,
                                      "exit 0", "sleep 600\n");
    const QString bad = PiecesScript({"banner\n", "line 1\n", "line 2\nline 3\n",
                                      "Error: cannot write the output\n"}, 100, "exit 1", "sleep 600\n");
    s.convertWith(good);
    Driver d(s.form);
    d.when([&] { return s.encoder().conversions().size() == 1; },
           [&] { QTimer::singleShot(250, [&] { s.encoder().setScript(bad); }); });
    d.when([&] { return s.encoder().conversions().size() == 2; },
           [&] { QTimer::singleShot(250, [&] { s.encoder().setScript(good); }); });
    // An earlier failure's tooltip goes away when the row converts again.
    s.form->ltvTask->topLevelItem(2)->setToolTip(0, "old");
    s.clickStart();
    QVERIFY(!d.gaveUp);
    QCOMPARE(s.status(0), QString("Complete"));
    QCOMPARE(s.status(1), QString("Failed"));
    QCOMPARE(s.status(2), QString("Complete"));
    for (int column : {0, 1, 3}) {
        const QString tip = s.toolTip(1, column);
        // The cause in words, then the encoder's last error line.
        QCOMPARE(tip, QString("The encoder ended with exit code 1.\nError: cannot write the output"));
    }
    QVERIFY(s.toolTip(0).isEmpty());
    QVERIFY(s.toolTip(2).isEmpty());
    // The closing box names the log and can open it.
    QVERIFY(s.prog.platform.messages.isEmpty());
    QCOMPARE(s.prog.platform.questions.size(), 1);
    const FakePlatform::Question &box = s.prog.platform.questions[0];
    QVERIFY2(box.text.startsWith("1 of 3 files could not be converted.\nThe encoder messages are in "
                                 + s.prog.stateDir()),
             qPrintable(box.text));
    QCOMPARE(box.caption, QString("Velvo"));
    QCOMPARE(box.icon, Platform::Icon::Warning);
    QCOMPARE(box.buttons, QStringList({"OK", "Open Log"}));
    QCOMPARE(box.defaultButton, QString("OK"));
    // The completion actions run as chosen.
    QCOMPARE(s.prog.platform.opened, QStringList{s.outDir});

    // "Open Log" opens the log the box names, then the folder as chosen.
    s.prog.platform.questions.clear();
    s.prog.platform.opened.clear();
    s.prog.platform.askAnswers.enqueue("Open Log");
    s.convertWith(bad);
    s.clickStart();
    QCOMPARE(s.prog.platform.questions.size(), 1);
    QCOMPARE(s.prog.platform.opened.size(), 2);
    QVERIFY(s.prog.platform.questions[0].text.endsWith(s.prog.platform.opened[0]));
    QCOMPARE(s.prog.platform.opened[1], s.outDir);
    QVERIFY(s.idleLook());
}

void TestConversionRun::crashedEncoderIsFailed()
{
    Setup s;
    s.addClip("a.avi");
    s.addClip("b.avi");
    s.convertWith(PiecesScript({"banner\n", "about to fail\n"}, 100, "crash"));
    s.clickStart();
    QCOMPARE(s.status(0), QString("Failed"));
    QCOMPARE(s.status(1), QString("Failed"));
    QVERIFY(s.toolTip(0).contains("about to fail"));
    QCOMPARE(s.prog.platform.questions.size(), 1);
    QVERIFY2(s.prog.platform.questions[0].text.contains("2 of 2"), qPrintable(s.prog.platform.questions[0].text));

    // A later run that succeeds reports success and clears the tooltips.
    s.convertWith(PiecesScript({"x\n"}));
    s.clickStart();
    QCOMPARE(s.status(0), QString("Complete"));
    QVERIFY(s.toolTip(0).isEmpty());
    QCOMPARE(s.messageTexts(), QStringList{Success});
}

void TestConversionRun::outputFolderMissing()
{
    Setup s;
    s.addClip("a.avi");
    s.form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(s.form));
    s.form->edtOutputdir->setText(s.media.path() + "/no such folder/");
    s.convertWith(PiecesScript({"x\n"}));
    s.clickStart();
    QCOMPARE(s.prog.platform.messages.size(), 1);
    QCOMPARE(s.prog.platform.messages[0].text,
             QString("The output path does not exist. Please specify another one."));
    QCOMPARE(s.prog.platform.messages[0].caption, QString("Output path does not exist"));
    QCOMPARE(s.prog.platform.messages[0].icon, Platform::Icon::Information);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(s.form->edtOutputdir));
    QVERIFY(s.encoder().conversions().isEmpty());
    QCOMPARE(s.status(0), QString("OK"));
    QVERIFY(s.idleLook());
}

void TestConversionRun::outputFolderRemovedDuringItem()
{
    // The encoder writes into its open file and still ends normally when the
    // folder goes away under it; the output is lost all the same.
    Setup s;
    s.addClip("a.avi");
    s.addClip("b.avi");
    s.addClip("c.avi");
    s.convertWith(PiecesScript({"banner\n", "writing the output\n", "frame=9 time=50.00 x\r"}, 150));
    Driver d(s.form);
    // During the first item the folder is removed and at once made again
    // (another folder of the same name); during the third it stays away.
    d.when([&] { return s.encoder().conversions().size() == 1; },
           [&] {
               Touch(s.outDir + "a.mp4", "part of an output");
               QDir(s.outDir).removeRecursively();
               QDir().mkpath(s.outDir);
           });
    d.when([&] { return s.encoder().conversions().size() == 3; }, [&] { QDir(s.outDir).removeRecursively(); });
    s.clickStart();
    QVERIFY(!d.gaveUp);
    QCOMPARE(d.pendingSteps(), 0);
    QCOMPARE(s.status(0), QString("Failed"));
    QCOMPARE(s.status(1), QString("Complete"));
    QCOMPARE(s.status(2), QString("Failed"));
    for (int i : {0, 2}) {
        const QString tip = s.toolTip(i);
        QVERIFY2(tip.startsWith("The output folder was removed during the conversion.\n"), qPrintable(tip));
        QVERIFY2(tip.contains("writing the output"), qPrintable(tip));
    }
    QVERIFY(s.toolTip(1).isEmpty());
    QCOMPARE(s.prog.platform.questions.size(), 1);
    QVERIFY2(s.prog.platform.questions[0].text.contains("2 of 3"), qPrintable(s.prog.platform.questions[0].text));
    QVERIFY(s.idleLook());
}

void TestConversionRun::emptyListDoesNothing()
{
    Setup s;
    QVERIFY(!s.form->tbtnStart->isEnabled());
    s.form->tbtnStartClick();
    QVERIFY(s.prog.platform.messages.isEmpty());
    QCOMPARE(s.form->RunState, 0);
    QVERIFY(s.form->panBottomCenter->isVisible());
    QVERIFY(!s.form->tbtnStop->isEnabled());
    QVERIFY(s.encoder().conversions().isEmpty());
}

void TestConversionRun::malformedProfileLeavesTheWindowIdle()
{
    const QByteArray good = "[Main]\r\nType=mp4\r\nPara=1\r\n0=Video Codec\r\n\r\n"
                            "[Video Codec]\r\nSort=1\r\nList=0\r\nCaption=x\r\nValue=x\r\ncmd=-vcodec\r\n";
    Setup s({{"Broken.vpf", good}});
    QCOMPARE(s.form->cmbProfile->currentText(), QString("Broken"));
    s.addClip("a.avi");
    // The file is broken after it was loaded: Para names a parameter that is not listed.
    s.prog.addProfile("Broken.vpf", QByteArray(good).replace("Para=1", "Para=2"));
    s.convertWith(PiecesScript({"x\n"}));
    s.prog.platform.messages.clear();
    s.clickStart();
    QCOMPARE(s.prog.platform.messages.size(), 1);
    QVERIFY(s.prog.platform.messages[0].text != Success);
    QVERIFY(s.encoder().conversions().isEmpty());
    QCOMPARE(s.status(0), QString("OK"));
    QVERIFY(s.idleLook());
    QVERIFY(s.form->tbtnAddFile->isEnabled());
    QVERIFY(s.form->gpbProfile->isEnabled());
}

// ---------------------------------------------------------------- trustworthy outputs

void TestConversionRun::stopKeepsTheOlderOutput()
{
    Setup s;
    s.addClip("a.avi", "00:01:00.00");
    Touch(s.outDir + "a.mp4", "an older good output");
    // The encoder has written part of its file when the Stop comes.
    s.convertWith(PiecesScript(HeaderPieces() + QStringList{"frame=1 time=12.00 x\r"}, 100,
                               "hang", "write half a file\n"));
    Driver d(s.form);
    d.when([&] { return s.form->labCurProgress->text() == "20%"; }, [&] { s.clickStop(); });
    s.clickStart();
    QVERIFY(!d.gaveUp);
    QCOMPARE(s.status(0), QString("Stop"));
    QFile older(s.outDir + "a.mp4");
    QVERIFY(older.open(QIODevice::ReadOnly));
    QCOMPARE(older.readAll(), QByteArray("an older good output"));
    QCOMPARE(QDir(s.outDir).entryList(QDir::Files | QDir::Hidden), QStringList{"a.mp4"});
}

void TestConversionRun::failureHalfWayLeavesNoFile()
{
    Setup s;
    s.addClip("a.avi");
    s.convertWith(PiecesScript(HeaderPieces(), 50,
                               "out av_interleaved_write_frame(): No space left on device\\n\nexit 1",
                               "write half a file\n"));
    s.clickStart();
    QCOMPARE(s.status(0), QString("Failed"));
    QVERIFY2(s.toolTip(0).startsWith("The disk is full.\n"), qPrintable(s.toolTip(0)));
    QCOMPARE(QDir(s.outDir).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TestConversionRun::outputWithoutLengthFails()
{
    Setup s;
    s.addClip("a.avi", "00:00:05.00");
    ltvItemData rec = s.item(0);
    rec.ClipStart = "00:00:01.0";
    rec.ClipEnd = "00:00:01.4";
    rec.ClipLength = "00:00:00.4";
    s.setItem(0, rec);
    // What an encoder writes for a clip it cut to nothing.
    s.convertWith(PiecesScript({"x\n"}, 10, "write fakeenc-output 0.00 video\nexit 0"));
    s.clickStart();
    QCOMPARE(s.status(0), QString("Failed"));
    QCOMPARE(s.toolTip(0), QString("The output has no playable length."));
    QCOMPARE(s.prog.platform.questions.size(), 1);
    const FakePlatform::Question &m = s.prog.platform.questions[0];
    QVERIFY2(m.text.startsWith("1 of 1 files could not be converted."), qPrintable(m.text));
    QVERIFY(!m.text.contains("successfully"));
    QCOMPARE(m.caption, QString("Velvo"));
    QCOMPARE(m.icon, Platform::Icon::Warning);
    QCOMPARE(QDir(s.outDir).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TestConversionRun::unknownLengthsCountAsNothing()
{
    Setup s;
    s.addClip("a.avi", "N/A");
    s.addClip("b.avi", "00:00:01.00");
    QCOMPARE(s.item(0).ClipLengthSec, -1.0);
    s.convertWith(PiecesScript(HeaderPieces() + QStringList{"frame=1 time=0.50 x\r"}));
    bool busyWhileUnknown = false;
    bool measuredNotBusy = false;
    Driver d(s.form);
    d.when([&] { return s.status(0) == "Converting" && s.encoder().conversions().size() == 1; },
           [&] { busyWhileUnknown = s.form->pgbCurrent->maximum() == 0; });
    d.when([&] { return s.status(1) == "Converting" && s.form->pgbTotal->value() > 0; },
           [&] { measuredNotBusy = s.form->pgbCurrent->maximum() == 100; });
    s.clickStart();
    QVERIFY(busyWhileUnknown);
    QVERIFY(measuredNotBusy);
    // The total follows the measured item alone: half of it, then all.
    QVERIFY2(d.states.contains("50/50/50%/50%"), qPrintable(d.states.join(" ")));
    QCOMPARE(s.form->pgbTotal->value(), 100);
    QCOMPARE(s.status(0), QString("Complete"));
    QCOMPARE(s.status(1), QString("Complete"));
}

void TestConversionRun::statusesBelongToThisRun()
{
    Setup s;
    for (const char *name : {"a.avi", "b.avi", "c.avi"})
        s.addClip(name);
    s.convertWith(PiecesScript({"x\n"}, 10));
    s.clickStart();
    QCOMPARE(s.status(2), QString("Complete"));
    s.convertWith(PiecesScript({"x\n"}, 150, "hang"));
    QStringList seen;
    Driver d(s.form);
    d.when([&] { return s.encoder().conversions().size() == 1; },
           [&] {
               seen = QStringList{s.status(0), s.status(1), s.status(2)};
               s.clickStop();
           });
    s.clickStart();
    QCOMPARE(seen, QStringList({"Converting", "OK", "OK"}));
    // After a Stop the rows behind the stopped one say nothing was done.
    QCOMPARE(QStringList({s.status(0), s.status(1), s.status(2)}), QStringList({"Stop", "OK", "OK"}));
}

void TestConversionRun::encoderMessagesAndLog()
{
    Setup s;
    s.addClip("a.avi");
    s.addClip("b.avi");
    s.form->ltvTask->topLevelItem(1)->setSelected(true);
    s.form->ppmTaskPopup();
    QVERIFY(!s.form->mniShowMessages->isEnabled()); // not converted yet
    // The second item fails; the first converts.
    s.convertWith("[convert]\nout frame=1 time=1.0 \\r\nsleep 20\n"
                  "out [mp4 @ 0x1] Could not write header: Invalid argument\\n\n"
                  "sleep 20\nexit 0\n");
    s.clickStart();
    s.convertWith("[convert]\nout Conversion failed!\\n\nexit 1\n");
    s.form->ltvTask->clearSelection();
    s.form->ltvTask->topLevelItem(0)->setSelected(true);
    // Converting the first row again, alone, leaves it failed.
    QCOMPARE(s.status(0), QString("Complete"));
    QCOMPARE(s.status(1), QString("Complete"));
    delete s.form->ltvTask->takeTopLevelItem(1);
    s.clickStart();
    QCOMPARE(s.status(0), QString("Failed"));

    s.form->ltvTask->topLevelItem(0)->setSelected(true);
    s.form->ppmTaskPopup();
    QVERIFY(s.form->mniShowMessages->isEnabled());
    s.form->mniShowMessages->trigger();
    auto *window = s.form->findChild<QDialog *>("frmEncoderMessages");
    QVERIFY(window && window->isVisible());
    auto *text = window->findChild<QPlainTextEdit *>("memEncoderMessages");
    QVERIFY(text->isReadOnly());
    const QString shown = text->toPlainText();
    QVERIFY2(shown.contains("-y -i \"" + s.inDir + "a.avi\""), qPrintable(shown));
    QVERIFY(shown.contains("Conversion failed!"));
    QVERIFY(shown.contains("exit status 1"));
    window->hide();

    // Each run wrote its own log; the failed run's message names it.
    const QStringList logs = QDir(s.prog.stateDir()).entryList({"velvo-*.log"}, QDir::Files, QDir::Name);
    QCOMPARE(logs.size(), 2);
    const QString lastLog = s.prog.stateDir() + logs.last();
    QVERIFY2(s.prog.platform.questions.last().text.contains(lastLog), qPrintable(s.prog.platform.questions.last().text));
    QFile first(s.prog.stateDir() + logs.first());
    QVERIFY(first.open(QIODevice::ReadOnly));
    const QByteArray firstText = first.readAll();
    QVERIFY(firstText.contains("Input: " + s.inDir.toUtf8() + "a.avi"));
    QVERIFY(firstText.contains("Input: " + s.inDir.toUtf8() + "b.avi"));
    QVERIFY(firstText.contains("Could not write header"));
}

void TestConversionRun::terminationSignalDuringRun()
{
    Setup s;
    InstallTerminationHandlers();
    s.addClip("a.avi", "00:01:00.00");
    s.addClip("b.avi");
    s.convertWith(PiecesScript(HeaderPieces() + QStringList{"frame=1 time=18.00 x\r"}, 100,
                               "child\nhang", "write half a file\n"));
    QFile::remove(s.prog.path("Preferences.ini"));
    qint64 encoderPid = 0;
    Driver d(s.form);
    d.when([&] { return s.form->labCurProgress->text() == "30%" && s.encoder().childPid() > 0; },
           [&] {
               encoderPid = s.form->EncoderProcessIds().value(0);
               ::kill(::getpid(), SIGTERM);
           });
    QElapsedTimer clock;
    clock.start();
    s.clickStart();
    QVERIFY(!d.gaveUp);
    QVERIFY(clock.elapsed() < 10000);
    QCOMPARE(s.status(0), QString("Stop"));
    QCOMPARE(s.status(1), QString("OK"));
    // No box waits for anybody, the preferences are saved, nothing is left.
    QVERIFY(s.prog.platform.messages.isEmpty());
    CheckClosedWithNothingLeft(s, encoderPid);
    Platform::SetSessionEnding(false);
}

void TestConversionRun::terminationSignalClosesAnOpenBox()
{
    Setup s;
    InstallTerminationHandlers();
    QFile::remove(s.prog.path("Preferences.ini"));
    // A real box waiting for an answer, as an error or question would show.
    QMessageBox box(QMessageBox::Question, "Velvo", "Waiting", QMessageBox::Yes | QMessageBox::No, s.form);
    QTimer::singleShot(50, [] { ::kill(::getpid(), SIGTERM); });
    QTimer::singleShot(5000, &box, [&box] { box.done(-2); }); // only if the signal did nothing
    QElapsedTimer clock;
    clock.start();
    box.exec();
    QVERIFY(clock.elapsed() < 4000);
    QVERIFY(!s.form->isVisible());
    QVERIFY(QFileInfo::exists(s.prog.path("Preferences.ini")));
    // Further boxes are not shown any more.
    QCOMPARE(Platform::Instance().MessageBox(s.form, "x", "y", Platform::Icon::Question, Platform::Buttons::YesNo),
             int(Platform::No));
    QVERIFY(s.prog.platform.messages.isEmpty());
    Platform::SetSessionEnding(false);
}

QTEST_MAIN(TestConversionRun)
#include "tst_conversionrun.moc"
