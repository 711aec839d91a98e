// The media probe: the parse of the measure report (crafted reports and the
// real vxenc.dll's), the measure of added rows with a scripted fake encoder
// (answers finding their rows after moves and removals, an end set before the
// answer, Start waiting for measures), a failed start, and an encoder that
// never ends.

#include "Clips.h"
#include "TaskTestUtil.h"
#include "TestProgram.h"

#include "app/MainForm.h"
#include "settings/Settings.h"
#include "tasks/MeasureQueue.h"
#include "tasks/MediaProbe.h"

#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QCheckBox>
#include <QRegularExpression>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

#include <sys/stat.h>

using namespace tasktest;

namespace {

// Whether pid names a live process (a zombie counts as ended).
bool Alive(qint64 pid)
{
    QFile stat(QString("/proc/%1/stat").arg(pid));
    if (pid <= 0 || !stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = stat.readAll();
    const int close = text.lastIndexOf(')');
    return close > 0 && close + 2 < text.size() && text.at(close + 2) != 'Z';
}

const QByteArray Standard = "Input #0, avi, from '/v/a.avi':\n"
                            "  Duration: 00:00:10.50, start: 0.000000, bitrate: 1000 kb/s\n"
                            "    Stream #0:0: Video: mpeg4, yuv420p, 640x480, 25 fps\n"
                            "    Stream #0:1: Audio: mp3, 44100 Hz, stereo\n";

// A measure that answers after ms with a report of the given length and a
// 320x240 picture.
QString MeasureAfter(int ms, const QString &length)
{
    return QString("[measure]\nsleep %1\nout from '$IN':\\n  Duration: %2, x\\n"
                   "out  Video: a, b, 320x240, c\\n\n")
        .arg(ms)
        .arg(length);
}

} // namespace

class TestMediaProbe : public QObject {
    Q_OBJECT

private slots:
    void parseCrafted_data()
    {
        QTest::addColumn<QByteArray>("report");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("length");
        QTest::addColumn<QString>("frameSize");

        QTest::newRow("standard") << Standard << "/v/a.avi" << "00:00:10.50" << " 640x480";
        QTest::newRow("no path") << Standard << "/v/b.avi" << "" << "";
        QTest::newRow("empty report") << QByteArray() << "/v/a.avi" << "" << "";
        QTest::newRow("no Duration") << QByteArray("from '/v/a.avi':\n Length: 00:00:10.50, x\n"
                                                   " Stream #0:0: Video: h264, yuv420p, 320x240, 25 fps\n")
                                     << "/v/a.avi" << "" << "";
        QTest::newRow("Duration only before the path")
            << QByteArray("Duration: 00:00:03.00, x\nfrom '/v/a.avi':\n Video: h264, yuv420p, 320x240, 25 fps\n")
            << "/v/a.avi" << "" << "";
        QTest::newRow("no colon") << QByteArray("/v/a.avi Duration 10.50, Video a, b, 1x1, c")
                                  << "/v/a.avi" << "" << "";
        QTest::newRow("no comma after duration") << QByteArray("/v/a.avi\n  Duration: 00:00:10.50\n")
                                                 << "/v/a.avi" << "" << "";
        QTest::newRow("no Video") << QByteArray("'/v/a.avi':\n  Duration: 00:00:07.25, start: 0.0, bitrate: 1\n"
                                                "    Stream #0:0: Audio: mp3, 44100 Hz, stereo, fltp\n")
                                  << "/v/a.avi" << "00:00:07.25" << "";
        QTest::newRow("one comma after Video") << QByteArray("/v/a.avi Duration: 00:00:01.00, x\n Video: h264, yuv420p")
                                               << "/v/a.avi" << "00:00:01.00" << "";
        QTest::newRow("no comma after size") << QByteArray("/v/a.avi Duration: 00:00:01.00, x\n Video: h264, yuv420p, 320x240")
                                             << "/v/a.avi" << "00:00:01.00" << "";
        QTest::newRow("no frame rate, a stream below")
            << QByteArray("/v/a.avi\n  Duration: 00:00:01.00, x\n  Stream #0:0: Video: h264, yuv420p, 320x240\n"
                          "  Stream #0:1: Audio: aac, 44100 Hz\n")
            << "/v/a.avi" << "00:00:01.00" << " 320x240";
        QTest::newRow("two fields, a stream below")
            << QByteArray("/v/a.avi\n  Duration: 00:00:01.00, x\n  Stream #0:0: Video: h264, 320x240\r\n"
                          "  Stream #0:1: Audio: aac, 44100 Hz, stereo, fltp\r\n")
            << "/v/a.avi" << "00:00:01.00" << "";
        QTest::newRow("commas and colons in the path")
            << QByteArray("Input #0, avi, from '/v/a, b: c, d.avi':\n  Duration: 00:01:23.45, start: 0.0\n"
                          "  Stream #0:0: Video: h264, yuv420p, 1280x720, 30 fps\n")
            << "/v/a, b: c, d.avi" << "00:01:23.45" << " 1280x720";
        QTest::newRow("Duration and Video in the path")
            << QByteArray("from '/v/Duration: 9, Video: x, y, 1x1, z.avi':\n  Duration: 00:00:02.00, start: 0\n"
                          "  Stream #0:0: Video: vp9, yuv420p, 160x120, 25 fps\n")
            << "/v/Duration: 9, Video: x, y, 1x1, z.avi" << "00:00:02.00" << " 160x120";
        QTest::newRow("path twice, first one counts")
            << QByteArray("/v/a.avi: opening\n/v/a.avi\n  Duration: 00:00:04.00, start: 0\n"
                          "  Stream #0:0: Video: h264, yuv420p, 320x200, 25 fps\n")
            << "/v/a.avi" << "00:00:04.00" << " 320x200";
        QTest::newRow("N/A duration copied") << QByteArray("/v/a.avi\n  Duration: N/A, start: 0\n"
                                                          "  Stream #0:0: Video: mjpeg, yuvj420p, 64x64, 1 fps\n")
                                             << "/v/a.avi" << "N/A" << " 64x64";
        QTest::newRow("cover is no video") << QByteArray("/v/a.mp4\n  Duration: 00:03:00.00, start: 0\n"
                                                        "  Stream #0:0: Audio: aac, 44100 Hz\n"
                                                        "  Stream #0:1: Cover: mjpeg, yuvj420p, 500x500\n")
                                           << "/v/a.mp4" << "00:03:00.00" << "";
        QTest::newRow("non-ASCII path") << QByteArray("from '/v/\xc3\xa9t\xc3\xa9.avi':\n  Duration: 00:00:05.00, s\n"
                                                      "  Stream #0:0: Video: h264, yuv420p, 96x96, 25 fps\n")
                                        << QString::fromUtf8("/v/\xc3\xa9t\xc3\xa9.avi") << "00:00:05.00" << " 96x96";
        QTest::newRow("CR LF and pieces") << QByteArray("x\r\n/v/a.avi\r\n  Duration: 00:00:10.50, start: 0\r\n"
                                                       "  Stream #0:0: Video: h264 (High), yuv420p(tv), 720x576 [SAR 1:1], 25 fps\r\n")
                                          << "/v/a.avi" << "00:00:10.50" << " 720x576 [SAR 1:1]";
    }

    void parseCrafted()
    {
        QFETCH(QByteArray, report);
        QFETCH(QString, path);
        const MeasureResult result = ParseMeasureReport(report, path);
        QTEST(result.LengthText, "length");
        QTEST(result.FrameSize, "frameSize");
    }

    void measureFillsTheRowLater()
    {
        TestProgram prog;
        prog.fakeEncoder().setScript("[measure]\nsleep 300\nout from '$IN':\\n  Duration: 00:00:10.50, start: 0\\n"
                                     "err   Stream #0:0: Video: h264, yuv420p, 640x480, 25 fps\\n\n");
        TMainForm *form = prog.start();
        form->AddFile("/v/one.avi");
        // The row is there at once, its length and size still unknown.
        QCOMPARE(form->ltvTask->topLevelItemCount(), 1);
        QCOMPARE(Row(form, 0).LengthText, QString());
        QCOMPARE(Row(form, 0).OutputName, QString("one"));
        QCOMPARE(form->MeasuresPending(), 1);
        QVERIFY(WaitUntilMeasured(form));
        ltvItemData rec = Row(form, 0);
        QCOMPARE(rec.LengthText, QString("00:00:10.50"));
        QCOMPARE(rec.FrameSizeText, QString(" 640x480"));
        QCOMPARE(rec.SourceStart, QString("00:00:00.0"));
        QCOMPARE(rec.SourceEnd, QString("00:00:10.50"));
        QCOMPARE(rec.ClipStart, QString("00:00:00.0"));
        QCOMPARE(rec.ClipEnd, QString("00:00:10.50"));
        QCOMPARE(rec.ClipLength, QString("00:00:10.50"));

        // Each file gets its own report.
        prog.fakeEncoder().setScript(MeasureAfter(0, "00:02:00.00"));
        form->AddFile("/v/two.avi");
        QVERIFY(WaitUntilMeasured(form));
        rec = Row(form, 1);
        QCOMPARE(rec.LengthText, QString("00:02:00.00"));
        QCOMPARE(rec.FrameSizeText, QString(" 320x240"));
        QCOMPARE(Row(form, 0).LengthText, QString("00:00:10.50"));
        QCOMPARE(prog.fakeEncoder().runs().size(), 2);
    }

    void answersFindTheirRowsAfterMovesAndRemovals()
    {
        TestProgram prog;
        prog.fakeEncoder();
        TMainForm *form = prog.start();
        // The fake measures a file of its own making by the length it holds.
        const QString dir = prog.path("in/");
        for (const char *name : {"a", "b", "c", "d"})
            QVERIFY(Touch(dir + name + ".avi", QByteArray("fakeenc-output ") + QByteArray::number(name[0] - 'a' + 1)
                                                  + " video\n"));
        for (const char *name : {"a", "b", "c", "d"})
            form->AddFile(dir + name + ".avi");
        // Before any answer: d moves up twice, b is removed.
        SelectRows(form, {3});
        form->tbtnUpClick();
        form->tbtnUpClick();
        SelectRows(form, {2});
        QCOMPARE(Row(form, 2).InputFile, dir + "b.avi");
        form->tbtnRemoveClick();
        QVERIFY(WaitUntilMeasured(form));
        QCOMPARE(Captions(form), QStringList({dir + "a.avi", dir + "d.avi", dir + "c.avi"}));
        QCOMPARE(Row(form, 0).LengthText, QString("00:00:01.00"));
        QCOMPARE(Row(form, 1).LengthText, QString("00:00:04.00"));
        QCOMPARE(Row(form, 1).ClipEnd, QString("00:00:04.00"));
        QCOMPARE(Row(form, 2).LengthText, QString("00:00:03.00"));
        QCOMPARE(Row(form, 2).FrameSizeText, QString(" 320x240"));
    }

    void endSetBeforeTheAnswerIsKept()
    {
        TestProgram prog;
        prog.fakeEncoder().setScript(MeasureAfter(400, "00:00:30.00"));
        TMainForm *form = prog.start();
        form->AddFile("/v/early.avi");
        form->AddFile("/v/late.avi");
        ClickRow(form, 0);
        form->vleOutput->SetValues("End Time", "00:00:10");
        form->ApplyOutputOptions();
        ClickRow(form, 1);
        QCOMPARE(EndTime(form), QString());
        QVERIFY(WaitUntilMeasured(form));
        QCOMPARE(Row(form, 0).LengthText, QString("00:00:30.00"));
        QCOMPARE(Row(form, 0).SourceEnd, QString("00:00:30.00"));
        QCOMPARE(Row(form, 0).ClipEnd, QString("00:00:10"));
        QCOMPARE(Row(form, 0).ClipLength, QString("00:00:10"));
        // The row shown in the editor gets its end there too.
        QCOMPARE(Row(form, 1).ClipEnd, QString("00:00:30.00"));
        QCOMPARE(EndTime(form), QString("00:00:30.00"));
    }

    void startWaitsForMeasures()
    {
        TestProgram prog;
        prog.fakeEncoder().setScript(MeasureAfter(400, "00:00:02.00"));
        TMainForm *form = prog.start();
        form->edtOutputdir->setText(prog.path(""));
        SettingForm->chkOpenDir->setChecked(false);
        form->Measures->SetParallel(1);
        auto *status = FIND(QLabel, form, "labStatus");
        // Inputs the fake converts into outputs as long as measured.
        for (const char *name : {"one", "two", "three", "four"})
            QVERIFY(Touch(prog.path(QString("in/%1.avi").arg(name)), "fakeenc-length 2"));
        form->AddFile(prog.path("in/one.avi"));
        form->AddFile(prog.path("in/two.avi"));
        form->SetListButtonsEnabled(true);

        // Stop gives up waiting: no run once the files are measured.
        form->tbtnStart->click();
        QCOMPARE(status->text(), QString("Waiting for 2 files to be measured\u2026"));
        QVERIFY(!form->tbtnStart->isEnabled());
        QVERIFY(form->tbtnStop->isEnabled());
        form->tbtnStop->click();
        QVERIFY(!form->WaitingToStart());
        QVERIFY(status->text().isEmpty());
        QVERIFY(form->tbtnStart->isEnabled());
        // Escape, like Stop, without a question.
        form->tbtnStart->click();
        QVERIFY(form->WaitingToStart());
        form->activateWindow();
        QTest::keyClick(form, Qt::Key_Escape);
        QVERIFY(!form->WaitingToStart());
        QVERIFY(prog.platform.messages.isEmpty());
        QVERIFY(WaitUntilMeasured(form));
        QTest::qWait(100);
        QVERIFY(prog.fakeEncoder().conversions().isEmpty());

        // Otherwise the run starts by itself when the last has answered.
        form->AddFile(prog.path("in/three.avi"));
        form->AddFile(prog.path("in/four.avi"));
        form->tbtnStart->click();
        QCOMPARE(form->RunState, 0);
        QCOMPARE(status->text(), QString("Waiting for 2 files to be measured\u2026"));
        QTRY_COMPARE_WITH_TIMEOUT(status->text(), QString("Waiting for 1 file to be measured\u2026"), 5000);
        QVERIFY(prog.fakeEncoder().conversions().isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(prog.fakeEncoder().conversions().size(), 4, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(form->RunState == 0 && !prog.platform.messages.isEmpty(), 10000);
        QVERIFY(status->text().isEmpty());
        for (int i = 0; i < 4; ++i)
            QCOMPARE(Row(form, i).Status, QString("Complete"));
        QVERIFY(Row(form, 3).LengthText == "00:00:02.00");

        // Clear leaves nothing to wait for, and nothing to start.
        form->AddFile(prog.path("in/five.avi"));
        const int said = int(prog.platform.messages.size());
        form->tbtnStart->click();
        QVERIFY(form->WaitingToStart());
        form->tbtnClearClick();
        QVERIFY(!form->WaitingToStart());
        QVERIFY(status->text().isEmpty());
        QVERIFY(!form->tbtnStop->isEnabled());
        QTest::qWait(100);
        QCOMPARE(prog.platform.messages.size(), said);
        QCOMPARE(form->RunState, 0);
    }

    void reportInManyPieces()
    {
        // The report arrives in several reads (pauses between them); the
        // whole output is parsed once the encoder has ended.
        TestProgram prog;
        prog.fakeEncoder().setScript("[measure]\nout from '$IN':\\n\nsleep 50\nout   Duration: 00:00:\nsleep 50\n"
                                     "out 42.10, start: 0\\n\nraw 9000 x\nout \\n  Video: h264, yuv420p, \nsleep 50\n"
                                     "out 176x144, 25 fps\\n\n");
        TMainForm *form = prog.start();
        form->AddFile("/v/pieces.avi");
        QVERIFY(WaitUntilMeasured(form));
        const ltvItemData rec = Row(form, 0);
        QCOMPARE(rec.LengthText, QString("00:00:42.10"));
        QCOMPARE(rec.FrameSizeText, QString(" 176x144"));
    }

    void reportWithoutMarkersGivesEmptyTexts()
    {
        TestProgram prog;
        prog.fakeEncoder().setScript("[measure]\nerr $IN: Invalid data found when processing input\\n\nexit 1\n");
        TMainForm *form = prog.start();
        form->AddFile("/v/broken.avi");
        QVERIFY(WaitUntilMeasured(form));
        QCOMPARE(form->ltvTask->topLevelItemCount(), 1);
        const ltvItemData rec = Row(form, 0);
        QCOMPARE(rec.LengthText, QString());
        QCOMPARE(rec.FrameSizeText, QString());
        QCOMPARE(rec.Status, QString("OK"));
        QCOMPARE(rec.SourceStart, QString("00:00:00.0"));
        QCOMPARE(rec.SourceEnd, QString());
        QCOMPARE(rec.ClipEnd, QString());
        QVERIFY(prog.platform.messages.isEmpty());
    }

    void failedStartGivesEmptyTexts()
    {
        TestProgram prog;
        prog.fakeEncoder();
        TMainForm *form = prog.start();
        form->AddFile("/v/measured.avi");
        QVERIFY(WaitUntilMeasured(form));
        QCOMPARE(Row(form, 0).LengthText, QString("00:01:40.00"));

        // The encoder is gone: the next row must not take the previous
        // file's length and size.
        QVERIFY(QFile::remove(prog.path("vxenc.dll")));
        form->AddFile("/v/unmeasured.avi");
        QVERIFY(WaitUntilMeasured(form));
        QCOMPARE(form->ltvTask->topLevelItemCount(), 2);
        const ltvItemData rec = Row(form, 1);
        QCOMPARE(rec.LengthText, QString());
        QCOMPARE(rec.FrameSizeText, QString());
        QCOMPARE(rec.SourceStart, QString("00:00:00.0"));
        QCOMPARE(rec.SourceEnd, QString());
        QCOMPARE(rec.ClipLength, QString());
        QCOMPARE(rec.ClipStart, QString("00:00:00.0"));
        QCOMPARE(rec.ClipEnd, QString());
        QCOMPARE(rec.Status, QString("OK"));
        QCOMPARE(rec.OutputName, QString("unmeasured"));
        QVERIFY(prog.platform.messages.isEmpty());

        // An encoder file that cannot be run fails the same way.
        prog.writeFile("vxenc.dll", "not a program");
        form->AddFile("/v/again.avi");
        QVERIFY(WaitUntilMeasured(form));
        QCOMPARE(Row(form, 2).LengthText, QString());
        QCOMPARE(Row(form, 2).FrameSizeText, QString());
    }

    void noEncoderAtAll()
    {
        TestProgram prog; // no vxenc.dll in the program folder
        TMainForm *form = prog.start();
        form->AddFile("/v/x.avi");
        QVERIFY(WaitUntilMeasured(form));
        QCOMPARE(form->ltvTask->topLevelItemCount(), 1);
        QCOMPARE(Row(form, 0).LengthText, QString());
        QCOMPARE(Row(form, 0).FrameSizeText, QString());
    }

    void hangingEncoderIsKilled()
    {
        TestProgram prog;
        // A full report, then the encoder (and a process it started) never end.
        prog.fakeEncoder().setScript("[measure]\nout from '$IN':\\n  Duration: 00:00:10.50, x\\n"
                                     "out  Video: a, b, 320x240, c\\n\nchild\nhang\n");
        TMainForm *form = prog.start();
        QCOMPARE(form->Measures->TimeLimit(), 10000);
        form->Measures->SetTimeLimit(700);
        QElapsedTimer clock;
        clock.start();
        form->AddFile("/v/hangs.avi");
        QVERIFY(WaitUntilMeasured(form));
        QVERIFY(clock.elapsed() < 20000); // far below "never"
        QCOMPARE(form->ltvTask->topLevelItemCount(), 1);
        const ltvItemData rec = Row(form, 0);
        QCOMPARE(rec.LengthText, QString());
        QCOMPARE(rec.FrameSizeText, QString());
        QCOMPARE(rec.ClipEnd, QString());
        // The encoder and what it started are ended.
        const qint64 child = prog.fakeEncoder().childPid();
        QVERIFY(child > 0);
        QTRY_VERIFY(!Alive(child));

        // The next file is measured normally.
        prog.fakeEncoder().clearScript();
        form->AddFile("/v/next.avi");
        QVERIFY(WaitUntilMeasured(form));
        QCOMPARE(Row(form, 1).LengthText, QString("00:01:40.00"));
        QCOMPARE(Row(form, 1).FrameSizeText, QString(" 320x240"));
    }

    void realEncoderReports()
    {
        TestProgram prog;
        QVERIFY(prog.useRealEncoder());
        TMainForm *form = prog.start();
        const QString dir = prog.path("media/");
        QVERIFY(QDir().mkpath(dir));
        struct Clip {
            QString name;
            double seconds;
            int width, height;
        };
        const QList<Clip> clips{
            {"plain.avi", 3.0, 320, 240},
            {"with, commas: and colons.mp4", 2.0, 640, 360},
            {"Duration, Video: x, y.mpg", 2.0, 352, 288},
            {"movie.mov", 1.5, 160, 120},
        };
        for (const Clip &c : clips)
            QVERIFY2(MakeTestClip(dir + c.name, c.seconds, c.width, c.height), qPrintable(c.name));
        for (const Clip &c : clips)
            form->AddFile(dir + c.name);
        QVERIFY(WaitUntilMeasured(form));
        QCOMPARE(form->ltvTask->topLevelItemCount(), clips.size());
        const QRegularExpression durationText("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d$");
        for (int i = 0; i < clips.size(); ++i) {
            const ltvItemData rec = Row(form, i);
            QCOMPARE(rec.InputFile, dir + clips[i].name);
            QCOMPARE(rec.FrameSizeText, QString(" %1x%2").arg(clips[i].width).arg(clips[i].height));
            // The length as the encoder printed it, close to what ffprobe says.
            QVERIFY2(durationText.match(rec.LengthText).hasMatch(), qPrintable(rec.LengthText));
            const double probed = ProbeDuration(dir + clips[i].name);
            QVERIFY2(qAbs(rec.LengthSec - probed) < 0.1,
                     qPrintable(rec.LengthText + " / " + QString::number(probed)));
            QCOMPARE(rec.SourceEnd, rec.LengthText);
            QCOMPARE(rec.ClipEnd, rec.LengthText);
        }

        // A file that is no video is listed with empty length and size.
        QVERIFY(Touch(dir + "notes.avi", "just some text, Duration: 00:00:01.00, Video: a, b, 1x1, c\n"));
        form->AddFile(dir + "notes.avi");
        QVERIFY(WaitUntilMeasured(form));
        ltvItemData rec = Row(form, clips.size());
        QCOMPARE(rec.LengthText, QString());
        QCOMPARE(rec.FrameSizeText, QString());
        // Sound only: a length, no frame size.
        QVERIFY(MakeAudioClip(dir + "tone.mp4", 2.0));
        form->AddFile(dir + "tone.mp4");
        QVERIFY(WaitUntilMeasured(form));
        rec = Row(form, clips.size() + 1);
        QVERIFY2(qAbs(rec.LengthSec - 2.0) < 0.2, qPrintable(rec.LengthText));
        QCOMPARE(rec.FrameSizeText, QString());
        // A file that does not exist.
        form->AddFile(dir + "missing.avi");
        QVERIFY(WaitUntilMeasured(form));
        rec = Row(form, clips.size() + 2);
        QCOMPARE(rec.LengthText, QString());
        QCOMPARE(rec.FrameSizeText, QString());

        // What is no local media file (a live stream's playlist under a
        // listed name, a FIFO) is listed unmeasured, refused by the encoder
        // or ended by the time limit.
        form->Measures->SetTimeLimit(3000);
        QVERIFY(Touch(dir + "live.ts", "#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXTINF:2.0,\nhttp://192.0.2.1/live/1.ts\n"));
        QCOMPARE(::mkfifo(QFile::encodeName(dir + "pipe.avi").constData(), 0600), 0);
        form->AddFile(dir + "live.ts");
        form->AddFile(dir + "pipe.avi");
        QVERIFY(WaitUntilMeasured(form));
        for (int row : {clips.size() + 3, clips.size() + 4}) {
            QCOMPARE(Row(form, row).LengthText, QString());
            QCOMPARE(Row(form, row).FrameSizeText, QString());
        }
    }
};

QTEST_MAIN(TestMediaProbe)
#include "tst_mediaprobe.moc"
