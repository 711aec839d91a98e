// The preview pane's rules, with a media graph double in place of the real
// player: the buttons, the list's double click and "Open", the seek bar's
// refresh and release seek, the time label, a run stopping the preview, and
// an unusable playback service.

#include "FakeMediaGraph.h"
#include "PreviewTestUtil.h"
#include "TestProgram.h"

#include "app/MainForm.h"
#include "preview/PreviewWidgets.h"
#include "preview/SeekArithmetic.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

using namespace previewtest;

class PreviewPlayerTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestProgram> prog;
    TMainForm *form = nullptr;
    FakeMediaGraph *graph = nullptr; // owned by the form once created
    int created = 0;
    int serviceChecks = 0;

    // The window with the double in place and a usable playback service,
    // and rows /videos/r0.avi .. r<rows-1>.avi, none selected.
    void Start(int rows, const QString &serviceProblem = QString())
    {
        prog.reset(new TestProgram);
        prog->fakeEncoder();
        form = prog->start({}, false);
        created = 0;
        graph = new FakeMediaGraph;
        FakeMediaGraph *fresh = graph;
        form->CreateMediaGraph = [this, fresh]() -> IMediaGraph * {
            ++created;
            return fresh;
        };
        serviceChecks = 0;
        form->CheckMediaService = [this, serviceProblem] {
            ++serviceChecks;
            return serviceProblem;
        };
        form->show();
        QCoreApplication::processEvents();
        for (int i = 0; i < rows; ++i)
            form->AddFile(QString("/videos/r%1.avi").arg(i));
        WaitUntilMeasured(form);
        QCOMPARE(form->ltvTask->topLevelItemCount(), rows);
        form->ltvTask->clearSelection();
        QCOMPARE(form->SelectedIndex(), -1);
    }

    void Select(int row)
    {
        form->ltvTask->clearSelection();
        form->ltvTask->topLevelItem(row)->setSelected(true);
    }

    QStringList PlayCalls(int row) const
    {
        return {"Clear", QString("Render /videos/r%1.avi").arg(row), "Run"};
    }

    // A double click as the window system delivers it: press, release,
    // double-click press, release.
    static void DoubleClick(QWidget *widget, QPoint at)
    {
        QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseDClick(widget, Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, at);
    }

    // Deletes an unused double (the form owns it once it was created).
    void Finish()
    {
        if (created == 0)
            delete graph;
        graph = nullptr;
        prog.reset();
        form = nullptr;
    }

private slots:
    void cleanup() { Finish(); }

    // ---- the seek arithmetic on its own

    void seekArithmetic_data()
    {
        QTest::addColumn<qint64>("stopMs");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<qint64>("expectedMs");
        QTest::newRow("100 s, 37 of 100") << qint64(100000) << 37 << 100 << qint64(37000);
        QTest::newRow("start") << qint64(100000) << 0 << 100 << qint64(0);
        QTest::newRow("end") << qint64(83900) << 83 << 83 << qint64(83900);
        // 1001 ms = 10010000 units; / 3 truncates to 3336666 units = 333 ms.
        QTest::newRow("truncated") << qint64(1001) << 1 << 3 << qint64(333);
        // 10 h: 3.6e11 units × 12345 needs more than 32 bits.
        QTest::newRow("ten hours") << qint64(36000000) << 12345 << 36000 << qint64(12345000);
        QTest::newRow("no maximum") << qint64(100000) << 0 << 0 << qint64(-1);
    }
    void seekArithmetic()
    {
        QFETCH(qint64, stopMs);
        QFETCH(int, position);
        QFETCH(int, maximum);
        QFETCH(qint64, expectedMs);
        QCOMPARE(SeekTargetMs(stopMs, position, maximum), expectedMs);
    }

    void seekArithmeticInUnits()
    {
        QCOMPARE(MsToUnits(1), qint64(10000));
        QCOMPARE(SeekTargetUnits(MsToUnits(100000), 37, 100), qint64(370000000));
        // A product beyond 64 bits is computed by dividing first instead of
        // wrapping to a negative position.
        const qint64 huge = std::numeric_limits<qint64>::max() / 2;
        const qint64 t = SeekTargetUnits(huge, 3, 4);
        QVERIFY(t > huge / 2 && t <= huge);
        QCOMPARE(SeekTargetUnits(-5, 1, 2), qint64(-1));
    }

    // ---- Play

    void playWithEmptyListDoesNothing()
    {
        Start(0);
        form->sbtnPlay->click();
        QCOMPARE(created, 0);
        QVERIFY(form->FilterGraph == nullptr);
        QCOMPARE(form->labPreviewTime->text(), QString("00:00:00"));
    }

    void playWithoutSelectionSelectsAndPlaysFirstRow()
    {
        Start(3);
        form->sbtnPlay->click();
        QCOMPARE(form->SelectedIndex(), 0);
        QVERIFY(form->ltvTask->topLevelItem(0)->isSelected());
        QVERIFY(!form->ltvTask->topLevelItem(1)->isSelected());
        QCOMPARE(created, 1);
        QCOMPARE(form->FilterGraph, static_cast<IMediaGraph *>(graph));
        // Bound to the area and the bar on creation, then rendered and run.
        QCOMPARE(graph->calls, QStringList{"ShowIn"} + PlayCalls(0));
        QCOMPARE(graph->shownIn, static_cast<QWidget *>(form->VideoWindow1));
        QCOMPARE(form->TrackBar->FilterGraph(), static_cast<IMediaGraph *>(graph));
        QVERIFY(form->TrackBar->Refreshing());
    }

    void playPlaysTheSelectedRowAndCreatesTheGraphOnce()
    {
        Start(3);
        Select(2);
        form->sbtnPlay->click();
        QCOMPARE(graph->file, QString("/videos/r2.avi"));
        Select(1);
        form->sbtnPlay->click();
        QCOMPARE(graph->file, QString("/videos/r1.avi"));
        QCOMPARE(created, 1);
        QCOMPARE(graph->calls.mid(graph->calls.size() - 3), PlayCalls(1));
    }

    void playWhilePlayingRestartsFromTheBeginning()
    {
        Start(2);
        Select(1);
        form->sbtnPlay->click();
        graph->currentMs = 50000;
        graph->calls.clear();
        form->sbtnPlay->click();
        // Emptied and rendered again: the file starts over.
        QCOMPARE(graph->calls, PlayCalls(1));
        QCOMPARE(graph->state, IMediaGraph::Running);
        QCOMPARE(graph->currentMs, qint64(0));
        QVERIFY(graph->seeks.isEmpty());
    }

    // ---- Pause / Resume and Stop

    void pauseTwicePausesThenResumes()
    {
        Start(1);
        form->sbtnPlay->click();
        graph->calls.clear();
        form->sbtnPause->click();
        QCOMPARE(graph->state, IMediaGraph::Paused);
        QVERIFY(!form->TrackBar->Refreshing());
        form->sbtnPause->click();
        QCOMPARE(graph->state, IMediaGraph::Running);
        QVERIFY(form->TrackBar->Refreshing());
        // Resumed where it was: no render and no seek in between.
        QCOMPARE(graph->calls, (QStringList{"Pause", "Run"}));
    }

    void stopKeepsThePositionAndThenPauseDoesNothing()
    {
        Start(2);
        Select(1);
        form->sbtnPlay->click();
        graph->currentMs = 12000;
        graph->calls.clear();
        form->sbtnStop->click();
        QCOMPARE(graph->state, IMediaGraph::Stopped);
        QCOMPARE(graph->calls, QStringList{"Stop"});
        QCOMPARE(graph->currentMs, qint64(12000)); // not rewound
        QVERIFY(!form->TrackBar->Refreshing());
        form->sbtnPause->click();
        form->sbtnPause->click();
        QCOMPARE(graph->calls, QStringList{"Stop"});
        QCOMPARE(graph->state, IMediaGraph::Stopped);
        // Play starts the current item from its beginning.
        form->sbtnPlay->click();
        QCOMPARE(graph->calls.mid(1), PlayCalls(1));
    }

    void pauseAndStopBeforeAnyPreviewDoNothing()
    {
        Start(2);
        form->sbtnPause->click();
        form->sbtnStop->click();
        form->StopPreview();
        QCOMPARE(created, 0);
        QVERIFY(form->FilterGraph == nullptr);
        QVERIFY(!form->TrackBar->Refreshing());
    }

    // ---- the task list's double click and "Open"

    void doubleClickWithoutSelectionDoesNothing()
    {
        Start(2);
        form->ltvTaskDblClick();
        // A real double click below the rows leaves nothing selected either.
        QWidget *viewport = form->ltvTask->viewport();
        DoubleClick(viewport, QPoint(10, viewport->height() - 3));
        QCOMPARE(form->SelectedIndex(), -1);
        QCOMPARE(created, 0);
    }

    void doubleClickOnARowPlaysIt()
    {
        Start(3);
        QTreeWidget *list = form->ltvTask;
        const QRect rect = list->visualItemRect(list->topLevelItem(1));
        DoubleClick(list->viewport(), rect.center());
        QCOMPARE(form->SelectedIndex(), 1);
        QCOMPARE(created, 1);
        QCOMPARE(graph->file, QString("/videos/r1.avi"));
        QCOMPARE(graph->state, IMediaGraph::Running);
    }

    void popupOpenPlaysTheSelectedRow()
    {
        Start(3);
        form->mniOpen->trigger();
        QCOMPARE(created, 0);
        Select(2);
        form->mniOpen->trigger();
        QCOMPARE(created, 1);
        QCOMPARE(graph->calls.mid(1), PlayCalls(2));
    }

    // ---- the seek bar and the time label

    void refreshShowsWholeSeconds()
    {
        Start(1);
        form->sbtnPlay->click();
        graph->durationMs = 200500;
        graph->currentMs = 83900;
        QSignalSpy ticks(form->TrackBar, &TDSTrackBar::Timer);
        form->TrackBar->Refresh();
        QCOMPARE(form->TrackBar->minimum(), 0);
        QCOMPARE(form->TrackBar->maximum(), 200);
        QCOMPARE(form->TrackBar->value(), 83);
        QCOMPARE(form->labPreviewTime->text(), QString("00:01:23"));
        QCOMPARE(ticks.size(), 1);
        QCOMPARE(ticks.at(0).at(0).toLongLong(), qint64(83900));
        QCOMPARE(ticks.at(0).at(1).toLongLong(), qint64(200500));
        graph->currentMs = 3725999;
        graph->durationMs = 7200000;
        form->TrackBar->Refresh();
        QCOMPARE(form->labPreviewTime->text(), QString("01:02:05"));
    }

    void refreshRunsOnceASecondOnlyWhileRunning()
    {
        Start(1);
        auto *timer = form->TrackBar->findChild<QTimer *>("TrackBarRefresh");
        QVERIFY(timer);
        QCOMPARE(timer->interval(), 1000);
        QVERIFY(!timer->isActive());
        form->sbtnPlay->click();
        QVERIFY(timer->isActive());
        graph->durationMs = 100000;
        graph->currentMs = 61200;
        // The window timer itself drives the label.
        QTRY_COMPARE_WITH_TIMEOUT(form->labPreviewTime->text(), QString("00:01:01"), 5000);
        form->sbtnPause->click();
        QVERIFY(!timer->isActive());
        form->sbtnPause->click();
        QVERIFY(timer->isActive());
        form->sbtnStop->click();
        QVERIFY(!timer->isActive());
        form->sbtnPlay->click();
        QVERIFY(timer->isActive());
    }

    void dragHoldsTheLabelAndReleaseSeeks()
    {
        Start(1);
        form->sbtnPlay->click();
        graph->durationMs = 100000;
        graph->currentMs = 10000;
        form->TrackBar->Refresh();
        QCOMPARE(form->labPreviewTime->text(), QString("00:00:10"));
        QCOMPARE(form->TrackBar->maximum(), 100);

        QVERIFY(PressAndDragTo(form->TrackBar, 37));
        QVERIFY(graph->seeks.isEmpty()); // nothing moves before the release
        // Refreshes while the thumb is held leave the bar and the label alone.
        graph->currentMs = 20000;
        form->TrackBar->Refresh();
        QCOMPARE(form->TrackBar->value(), 37);
        QCOMPARE(form->labPreviewTime->text(), QString("00:00:10"));

        ReleaseOnThumb(form->TrackBar);
        QCOMPARE(graph->seeks, QList<qint64>{37000}); // 100 s × 37 ÷ 100
        QCOMPARE(graph->StopPositionMs(), qint64(100000));
        // The next refresh follows the graph again.
        form->TrackBar->Refresh();
        QCOMPARE(form->TrackBar->value(), 37);
        QCOMPARE(form->labPreviewTime->text(), QString("00:00:37"));
    }

    void releaseSeeksByTheStopPosition()
    {
        Start(1);
        form->sbtnPlay->click();
        graph->durationMs = 120000; // bar 0..120
        graph->stopPositionMs = 60000;
        form->TrackBar->Refresh();
        QVERIFY(PressAndDragTo(form->TrackBar, 40));
        ReleaseOnThumb(form->TrackBar);
        QCOMPARE(graph->seeks, QList<qint64>{20000}); // 60 s × 40 ÷ 120
    }

    void releaseWithoutMaximumDoesNotSeek()
    {
        Start(1);
        form->sbtnPlay->click(); // duration 0: the bar's maximum stays 0
        form->TrackBar->Refresh();
        QCOMPARE(form->TrackBar->maximum(), 0);
        QTest::mouseClick(form->TrackBar, Qt::LeftButton, Qt::NoModifier, HandleCenter(form->TrackBar));
        QVERIFY(graph->seeks.isEmpty());
    }

    // ---- a conversion run

    void disableForRunStopsThePreview()
    {
        Start(2);
        form->sbtnPlay->click();
        QVERIFY(form->TrackBar->Refreshing());
        form->DisableForRun();
        QCOMPARE(graph->state, IMediaGraph::Stopped);
        QCOMPARE(graph->calls.last(), QString("Stop"));
        QVERIFY(!form->TrackBar->Refreshing());
        for (QToolButton *b : {form->sbtnPlay, form->sbtnPause, form->sbtnStop})
            QVERIFY(b->isEnabled());
        form->EnableAfterRun();
    }

    void startStopsThePlayerAndPreviewStaysUsable()
    {
        Start(2);
        Select(1);
        form->sbtnPlay->click();
        QCOMPARE(graph->state, IMediaGraph::Running);
        bool checked = false;
        prog->platform.onMessage = [&](const FakePlatform::Message &) {
            if (checked)
                return;
            checked = true;
            // Still inside the run: the list is locked, the preview is not.
            QVERIFY(!form->ltvTask->isEnabled());
            QVERIFY(graph->calls.contains("Stop"));
            QCOMPARE(graph->state, IMediaGraph::Stopped);
            for (QToolButton *b : {form->sbtnPlay, form->sbtnPause, form->sbtnStop})
                QVERIFY(b->isEnabled());
            graph->calls.clear();
            form->sbtnPlay->click();
            QCOMPARE(graph->calls, PlayCalls(1));
        };
        // (Rows added by AddFile alone leave the toolbar button as it was.)
        form->tbtnStartClick();
        WaitForRunEnd(form);
        QVERIFY2(checked, qPrintable(prog->platform.messages.isEmpty() ? QString("no message")
                                                                     : prog->platform.messages.last().text));
        QCOMPARE(graph->state, IMediaGraph::Running);
        QCOMPARE(created, 1);
    }

    // ---- no playback service

    void unusableGraphDisablesTheButtonsWithTheReason()
    {
        Start(2);
        graph->available = false;
        graph->reason = "no media backend in this test";
        const bool startWasEnabled = form->tbtnStart->isEnabled();
        form->sbtnPlay->click();
        QCOMPARE(created, 1);
        const QList<QToolButton *> buttons{form->sbtnPlay, form->sbtnPause, form->sbtnStop};
        for (QToolButton *b : buttons) {
            QVERIFY(!b->isEnabled());
            QVERIFY2(b->toolTip().contains("no media backend in this test"), qPrintable(b->toolTip()));
        }
        QVERIFY(form->sbtnPlay->toolTip().startsWith("Play"));
        QVERIFY(form->sbtnPause->toolTip().startsWith("Pause / Resume"));
        // Nothing was rendered or run, and nothing else changed.
        QVERIFY(graph->calls.isEmpty());
        QVERIFY(form->FilterGraph == nullptr);
        QCOMPARE(form->tbtnStart->isEnabled(), startWasEnabled);
        QVERIFY(form->ltvTask->isEnabled());
        QVERIFY(prog->platform.messages.isEmpty());
        // The list's double click does not try again.
        Select(1);
        form->ltvTaskDblClick();
        QCOMPARE(created, 1);
        QVERIFY(graph->calls.isEmpty());
    }

    void unusableGraphWithoutReasonIsNotCreatedAgain()
    {
        Start(1);
        graph->available = false;
        form->sbtnPlay->click();
        QVERIFY(!form->sbtnPlay->isEnabled());
        QVERIFY(form->sbtnPlay->toolTip().startsWith("Play\n"));
        QVERIFY(form->sbtnPlay->toolTip().size() > 5);
        form->ltvTaskDblClick();
        QCOMPARE(created, 1);
    }

    void unusableServiceAtStartUpDisablesTheButtons()
    {
        Start(2, "GStreamer is missing here");
        // Asked once the window has been painted.
        QTRY_COMPARE(serviceChecks, 1);
        for (QToolButton *b : {form->sbtnPlay, form->sbtnPause, form->sbtnStop}) {
            QVERIFY(!b->isEnabled());
            QVERIFY(b->toolTip().contains("GStreamer is missing here"));
        }
        Select(0);
        form->ltvTaskDblClick();
        form->mniOpen->trigger();
        QCOMPARE(created, 0);
        QVERIFY(prog->platform.messages.isEmpty());
    }

    void usableServiceKeepsTheButtons()
    {
        Start(1);
        QTRY_COMPARE(serviceChecks, 1);
        QCOMPARE(form->sbtnPlay->toolTip(), QString("Play"));
        QCOMPARE(form->sbtnPause->toolTip(), QString("Pause / Resume"));
        QCOMPARE(form->sbtnStop->toolTip(), QString("Stop"));
        for (QToolButton *b : {form->sbtnPlay, form->sbtnPause, form->sbtnStop})
            QVERIFY(b->isEnabled());
        QVERIFY(form->PreviewUnavailableReason.isEmpty());
    }
};

QTEST_MAIN(PreviewPlayerTest)
#include "tst_previewplayer.moc"
