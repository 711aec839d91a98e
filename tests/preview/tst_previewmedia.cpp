// The preview with the real player (Qt Multimedia, offscreen): a generated
// clip plays in the pane, pauses and resumes where it was, seeks from the
// seek bar, stops without rewinding, plays to its end, and a run stops it;
// an unplayable file leaves the area black without a message.

#include "Clips.h"
#include "PreviewTestUtil.h"
#include "TestProgram.h"

#include "app/MainForm.h"
#include "preview/PreviewWidgets.h"
#include "preview/QtMediaGraph.h"
#include "tasks/FileTypes.h"

#include <QLabel>
#include <QAudioDevice>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <QVideoWidget>

using namespace previewtest;

class PreviewMediaTest : public QObject {
    Q_OBJECT

    QTemporaryDir clips;
    QString longClip, shortClip, brokenFile;

    std::unique_ptr<TestProgram> prog;
    TMainForm *form = nullptr;

    TMainForm *Start(const QStringList &files)
    {
        prog.reset(new TestProgram);
        prog->fakeEncoder();
        form = prog->start();
        for (const QString &f : files)
            form->AddFile(f);
        WaitUntilMeasured(form);
        [&] { QCOMPARE(form->ltvTask->topLevelItemCount(), files.size()); }();
        return form;
    }

    QtMediaGraph *Graph() const { return dynamic_cast<QtMediaGraph *>(form->FilterGraph); }

    void SelectRow(int row)
    {
        form->ltvTask->clearSelection();
        form->ltvTask->topLevelItem(row)->setSelected(true);
    }

private slots:
    void initTestCase()
    {
        const QString problem = QtMediaGraph::ServiceProblem();
        if (!problem.isEmpty())
            QSKIP(qPrintable("no media playback here: " + problem));
        QVERIFY(clips.isValid());
        // No audio: a build machine may have no sound device.
        longClip = clips.filePath("long clip.mp4");
        shortClip = clips.filePath("short.avi");
        QVERIFY(MakeTestClip(longClip, 8, 320, 240, false));
        QVERIFY(MakeTestClip(shortClip, 1.5, 160, 120, false));
        brokenFile = clips.filePath("broken.avi");
        QFile f(brokenFile);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("RIFF this is not a video at all").repeated(64));
    }

    void cleanup()
    {
        prog.reset();
        form = nullptr;
    }

    void playsPausesResumesSeeksAndStops()
    {
        Start({longClip});
        form->sbtnPlay->click();
        QtMediaGraph *graph = Graph();
        QVERIFY(graph);
        QVERIFY(graph->Available());
        QMediaPlayer *player = graph->Player();
        QCOMPARE(graph->GetState(), IMediaGraph::Running);
        QTRY_COMPARE_WITH_TIMEOUT(player->playbackState(), QMediaPlayer::PlayingState, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(graph->CurrentPositionMs() > 700, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(graph->DurationMs() > 7500, 5000);
        // The picture covers the video area.
        QTRY_VERIFY_WITH_TIMEOUT(graph->VideoWidget()->isVisible(), 5000);
        QCOMPARE(graph->VideoWidget()->parentWidget(), static_cast<QWidget *>(form->VideoWindow1));
        QCOMPARE(graph->VideoWidget()->aspectRatioMode(), Qt::IgnoreAspectRatio);
        // The seek bar's own one-second refresh moves it and the label.
        QTRY_VERIFY_WITH_TIMEOUT(form->TrackBar->value() >= 1, 5000);
        QCOMPARE(form->TrackBar->maximum(), 8);
        QVERIFY(form->labPreviewTime->text() != "00:00:00");

        // Pause holds the position.
        form->sbtnPause->click();
        QCOMPARE(graph->GetState(), IMediaGraph::Paused);
        QTRY_COMPARE_WITH_TIMEOUT(player->playbackState(), QMediaPlayer::PausedState, 5000);
        const qint64 pausedAt = graph->CurrentPositionMs();
        QTest::qWait(1000); // a second passes while paused
        QVERIFY2(qAbs(graph->CurrentPositionMs() - pausedAt) <= 300,
                 qPrintable(QString("%1 -> %2").arg(pausedAt).arg(graph->CurrentPositionMs())));

        // Resume goes on from there, not from the start.
        qint64 resumedAt = -1;
        auto watch = connect(player, &QMediaPlayer::playbackStateChanged, this,
                             [&](QMediaPlayer::PlaybackState s) {
                                 if (s == QMediaPlayer::PlayingState && resumedAt < 0)
                                     resumedAt = graph->CurrentPositionMs();
                             });
        form->sbtnPause->click();
        QCOMPARE(graph->GetState(), IMediaGraph::Running);
        QTRY_VERIFY_WITH_TIMEOUT(resumedAt >= 0, 5000);
        disconnect(watch);
        QVERIFY2(qAbs(resumedAt - pausedAt) <= 300,
                 qPrintable(QString("paused %1, resumed %2").arg(pausedAt).arg(resumedAt)));
        QTRY_VERIFY_WITH_TIMEOUT(graph->CurrentPositionMs() > pausedAt + 300, 5000);

        // A click on the thumb at second 6 seeks there: 8 s × 6 ÷ 8.
        form->TrackBar->Refresh();
        form->TrackBar->setValue(6);
        QTest::mouseClick(form->TrackBar, Qt::LeftButton, Qt::NoModifier, HandleCenter(form->TrackBar));
        QTRY_VERIFY_WITH_TIMEOUT(graph->CurrentPositionMs() >= 5900 && graph->CurrentPositionMs() < 7900,
                                 5000);
        QCOMPARE(graph->StopPositionMs(), graph->DurationMs()); // unchanged
        QCOMPARE(graph->GetState(), IMediaGraph::Running);

        // Stop stops where it is.
        form->sbtnStop->click();
        QCOMPARE(graph->GetState(), IMediaGraph::Stopped);
        QTRY_VERIFY_WITH_TIMEOUT(player->playbackState() != QMediaPlayer::PlayingState, 5000);
        const qint64 stoppedAt = graph->CurrentPositionMs();
        QVERIFY2(stoppedAt >= 5500, qPrintable(QString::number(stoppedAt)));
        QVERIFY(!form->TrackBar->Refreshing());
        form->sbtnPause->click(); // does nothing after Stop
        QCOMPARE(graph->GetState(), IMediaGraph::Stopped);
        QVERIFY(player->playbackState() != QMediaPlayer::PlayingState);

        // Play starts the file again from its beginning.
        form->sbtnPlay->click();
        QTRY_COMPARE_WITH_TIMEOUT(player->playbackState(), QMediaPlayer::PlayingState, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(graph->CurrentPositionMs() > 0 && graph->CurrentPositionMs() < 3000, 10000);
        QVERIFY(prog->platform.messages.isEmpty());
    }

    void endOfFileKeepsTheGraphRunning()
    {
        Start({shortClip});
        form->sbtnPlay->click();
        QtMediaGraph *graph = Graph();
        QVERIFY(graph);
        QTRY_COMPARE_WITH_TIMEOUT(graph->Player()->mediaStatus(), QMediaPlayer::EndOfMedia, 15000);
        QCOMPARE(graph->GetState(), IMediaGraph::Running);
        QVERIFY(form->TrackBar->Refreshing());
        QVERIFY(graph->CurrentPositionMs() >= graph->DurationMs() - 300);
        form->TrackBar->Refresh();
        QCOMPARE(form->TrackBar->value(), form->TrackBar->maximum());
        QCOMPARE(form->labPreviewTime->text(), QString("00:00:01"));
        // Seeking back plays on from there.
        form->TrackBar->setValue(0);
        QTest::mouseClick(form->TrackBar, Qt::LeftButton, Qt::NoModifier, HandleCenter(form->TrackBar));
        QTRY_COMPARE_WITH_TIMEOUT(graph->Player()->playbackState(), QMediaPlayer::PlayingState, 5000);
    }

    void startStopsThePlayer()
    {
        Start({longClip});
        form->sbtnPlay->click();
        QtMediaGraph *graph = Graph();
        QVERIFY(graph);
        QTRY_COMPARE_WITH_TIMEOUT(graph->Player()->playbackState(), QMediaPlayer::PlayingState, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(graph->CurrentPositionMs() > 300, 10000);
        bool inRun = false;
        prog->platform.onMessage = [&](const FakePlatform::Message &) {
            inRun = true;
            QCOMPARE(graph->GetState(), IMediaGraph::Stopped);
            QVERIFY(graph->Player()->playbackState() != QMediaPlayer::PlayingState);
            QVERIFY(form->sbtnPlay->isEnabled());
        };
        form->tbtnStartClick();
        WaitForRunEnd(form);
        QVERIFY(inRun);
        QCOMPARE(graph->GetState(), IMediaGraph::Stopped);
        QVERIFY(graph->Player()->playbackState() != QMediaPlayer::PlayingState);
    }

    // Every type the task list takes plays in the pane (each needs its
    // demuxer and decoder among the installed GStreamer plugins), and so do
    // the codecs today's profiles write. GStreamer knows a file by its
    // content, so a type written exactly like another one is not repeated.
    void everyListedInputTypePlays_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("codecs"); // for ffmpeg; none: its default for the type
        const QStringList sameAsAnother = {".mpeg", ".m4v", ".mts", ".m2ts", ".3g2"};
        const QStringList soundOnly = {".mp3", ".m4a", ".aac", ".wav", ".flac", ".ogg", ".opus", ".wma"};
        for (const QString &e : InputExtensionList()) {
            QStringList codecs;
            if (e == ".3gp")
                codecs = QStringList{"-c:v", "libx264"}; // its default H.263 takes only a few frame sizes
            if (soundOnly.contains(e))
                codecs = QStringList{"-vn"};
            if (!sameAsAnother.contains(e))
                QTest::newRow(qPrintable(e)) << "type" + e << codecs;
        }
        // H.264 in MPEG-TS with sound, as recorders write it (.m2ts: packets
        // of 192 bytes; .ts and .mts are alike, see the window's test below).
        QTest::newRow("H.264 in .m2ts") << "h264.m2ts" << QStringList{"-c:v", "libx264", "-c:a", "aac", "+sound"};
        QTest::newRow("H.265 in MP4") << "hevc.mp4"
                                      << QStringList{"-c:v", "libx265", "-preset", "ultrafast", "-tag:v", "hvc1"};
        QTest::newRow("AV1 in WebM") << "av1.webm" << QStringList{"-c:v", "libsvtav1", "-preset", "12"};
    }
    void everyListedInputTypePlays()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, codecs);
        const QString clip = clips.filePath(file);
        const bool soundOnly = codecs.contains("-vn");
        const bool withSound = codecs.removeAll("+sound") > 0;
        QStringList args{"-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
                         soundOnly ? "sine=frequency=440:sample_rate=44100:duration=2"
                                   : "testsrc2=size=320x240:rate=25:duration=2"};
        if (withSound)
            args << "-f" << "lavfi" << "-i" << "sine=frequency=440:sample_rate=48000:duration=2";
        if (!soundOnly)
            args << "-pix_fmt" << "yuv420p";
        QCOMPARE(RunProgram(FfmpegPath(), args + codecs + QStringList{clip}, nullptr, 120000), 0);
        QWidget area;
        area.resize(160, 120);
        area.show();
        QtMediaGraph graph;
        QVERIFY(graph.Available());
        graph.ShowIn(&area);
        graph.Clear();
        graph.RenderFile(clip);
        graph.Run();
        // The time moves, with or without a sound device (a build machine has
        // none: the sound then goes nowhere, at its own pace).
        QTRY_VERIFY_WITH_TIMEOUT(graph.CurrentPositionMs() > 300 || graph.Player()->error() != QMediaPlayer::NoError,
                                 10000);
        QCOMPARE(graph.Player()->error(), QMediaPlayer::NoError);
        QCOMPARE(graph.Player()->hasVideo(), !soundOnly);
        // MPEG program streams report their duration only after a while.
        QTRY_VERIFY2_WITH_TIMEOUT(qAbs(graph.DurationMs() - 2000) < 500,
                                  qPrintable(QString::number(graph.DurationMs())), 10000);
    }

    // Through the window: the time label moves for a camera's transport
    // stream and for a file with sound only, whether or not the machine has
    // a sound device (without one the sound goes to a null sink).
    void timeMovesForTransportStreamsAndSoundOnly_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("picture");
        QTest::newRow("H.264 and AC-3 in .mts") << "camera.mts" << true;
        QTest::newRow("MP3") << "tone.mp3" << false;
    }
    void timeMovesForTransportStreamsAndSoundOnly()
    {
        QFETCH(QString, file);
        QFETCH(bool, picture);
        const QString clip = clips.filePath(file);
        QStringList args{"-v", "error", "-nostdin", "-y"};
        if (picture)
            args << "-f" << "lavfi" << "-i" << "testsrc2=size=320x240:rate=25:duration=3";
        args << "-f" << "lavfi" << "-i" << "sine=frequency=440:sample_rate=48000:duration=3";
        if (picture)
            args << "-pix_fmt" << "yuv420p" << "-c:v" << "libx264" << "-c:a" << "ac3";
        QCOMPARE(RunProgram(FfmpegPath(), args + QStringList{clip}, nullptr, 120000), 0);
        Start({clip});
        form->sbtnPlay->click();
        QTRY_VERIFY_WITH_TIMEOUT(form->labPreviewTime->text() != "00:00:00", 10000);
        QVERIFY(form->TrackBar->value() >= 1);
        QVERIFY(form->TrackBar->maximum() == 2 || form->TrackBar->maximum() == 3); // whole seconds of about 3
        QCOMPARE(Graph()->VideoWidget()->isVisible(), picture);
        QCOMPARE(Graph()->Player()->error(), QMediaPlayer::NoError);
    }

    void unplayableFileLeavesTheAreaBlack()
    {
        Start({longClip, brokenFile});
        SelectRow(0);
        form->sbtnPlay->click();
        QtMediaGraph *graph = Graph();
        QVERIFY(graph);
        QTRY_VERIFY_WITH_TIMEOUT(graph->VideoWidget()->isVisible(), 10000);
        SelectRow(1);
        form->ltvTaskDblClick();
        QTRY_COMPARE_WITH_TIMEOUT(graph->Player()->mediaStatus(), QMediaPlayer::InvalidMedia, 10000);
        QVERIFY(!graph->VideoWidget()->isVisible()); // the black area shows
        QVERIFY(prog->platform.messages.isEmpty());
        // The pane still works: Pause, Stop and the bar do no harm.
        form->sbtnPause->click();
        form->sbtnPause->click();
        form->TrackBar->Refresh();
        QCOMPARE(form->TrackBar->maximum(), 0);
        form->sbtnStop->click();
        QVERIFY(prog->platform.messages.isEmpty());
        SelectRow(0);
        form->sbtnPlay->click();
        QTRY_COMPARE_WITH_TIMEOUT(graph->Player()->playbackState(), QMediaPlayer::PlayingState, 10000);
    }
};

QTEST_MAIN(PreviewMediaTest)
#include "tst_previewmedia.moc"
