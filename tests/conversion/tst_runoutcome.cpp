// How an item's output is judged, named while it is written, and reported:
// the partial name, the output check, failure words, the closing message,
// and the run's log files.
#include "conversion/OutputNaming.h"
#include "conversion/RunLog.h"
#include "conversion/RunOutcome.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestRunOutcome : public QObject {
    Q_OBJECT
private slots:
    void partialNameSitsBesideTheFinalOne()
    {
        QCOMPARE(PartialOutputPath("/out/clip.mp4", "42"), QString("/out/.clip.mp4.part-42.mp4"));
        QCOMPARE(PartialOutputPath("/o.d/a.b.c.avi", "7"), QString("/o.d/.a.b.c.avi.part-7.avi"));
        // No extension of its own: none is invented, and a folder's dot is not one.
        QCOMPARE(PartialOutputPath("/o.d/noext", "7"), QString("/o.d/.noext.part-7"));
        QCOMPARE(PartialOutputPath("/out/.hidden", "7"), QString("/out/..hidden.part-7"));
        // A final name near the file-name limit still gives a usable partial name.
        const QString longName = QString(120, QChar(0x00e9)) + ".mp4"; // 244 bytes
        const QString partial = PartialOutputPath("/out/" + longName, "123456");
        QVERIFY(QFile::encodeName(partial.mid(5)).size() <= 255);
        QVERIFY(partial.startsWith("/out/." + QString(100, QChar(0x00e9))));
        QVERIFY(partial.endsWith(".part-123456.mp4"));
    }

    void judgement_data()
    {
        QTest::addColumn<QString>("length");   // the output's, "" for none
        QTest::addColumn<int>("streams");
        QTest::addColumn<bool>("video");
        QTest::addColumn<bool>("pictureExpected");
        QTest::addColumn<double>("expected");  // the clip's seconds to convert
        QTest::addColumn<double>("reached");   // the encoder's last progress time
        QTest::addColumn<QString>("failure");
        QTest::addColumn<QString>("note");
        QTest::newRow("good") << "00:00:03.00" << 2 << true << true << 3.0 << 2.96 << "" << "";
        // The source's header claimed 4 s (clip start 0.5), the encoder read to its real end.
        QTest::newRow("source shorter than it claims")
            << "00:00:01.80" << 2 << true << true << 3.5 << 1.8 << ""
            << "The source ends at 2.3 s although it claims 4.0 s.";
        QTest::newRow("no progress seen") << "00:00:01.80" << 1 << true << true << 3.5 << 0.0 << ""
                                          << "The source ends at 2.3 s although it claims 4.0 s.";
        QTest::newRow("short of what the encoder reached")
            << "00:00:01.00" << 2 << true << true << 3.5 << 3.4 << "The output lasts 1.0 s; the encoder reached 3.4 s."
            << "";
        QTest::newRow("no length") << "" << 1 << true << true << 3.0 << 2.9
                                   << "The output has no playable length." << "";
        QTest::newRow("zero length") << "00:00:00.00" << 1 << true << true << 0.4 << 0.0
                                     << "The output has no playable length." << "";
        // A time reported past the clip's end counts as the clip's end.
        QTest::newRow("time beyond the clip") << "00:00:03.00" << 2 << true << true << 3.0 << 15.5 << "" << "";
        QTest::newRow("no stream") << "00:00:03.00" << 0 << false << false << 3.0 << 3.0
                                   << "The output holds no stream." << "";
        QTest::newRow("no picture where due") << "00:00:03.00" << 1 << false << true << 3.0 << 3.0
                                              << "The output has no picture." << "";
        QTest::newRow("sound from a sound-only source") << "00:00:03.00" << 1 << false << false << 3.0 << 3.0
                                                        << "" << "";
        QTest::newRow("unknown clip length") << "00:00:07.00" << 1 << true << true << 0.0 << 7.0 << "" << "";
        QTest::newRow("two percent of a long clip") << "00:01:58.00" << 1 << true << true << 120.0 << 118.0
                                                    << "" << "";
    }

    void judgement()
    {
        QFETCH(QString, length);
        QFETCH(int, streams);
        QFETCH(bool, video);
        QFETCH(bool, pictureExpected);
        QFETCH(double, expected);
        QFETCH(double, reached);
        QFETCH(QString, failure);
        QFETCH(QString, note);
        TOutputFacts facts;
        facts.exists = true;
        facts.size = 1000;
        facts.lengthText = length;
        facts.streams = streams;
        facts.hasVideo = video;
        TOutputExpectation expectation;
        expectation.clipStart = 0.5;
        expectation.expectedSeconds = expected;
        expectation.claimedSeconds = 4.0;
        expectation.pictureExpected = pictureExpected;
        expectation.reachedSeconds = reached;
        const TOutputVerdict verdict = JudgeOutput(facts, expectation);
        QCOMPARE(verdict.failure, failure);
        QCOMPARE(verdict.note, note);
    }

    void judgementOfMissingAndUnmeasuredOutputs()
    {
        TOutputFacts facts;
        const TOutputExpectation expectation;
        QCOMPARE(JudgeOutput(facts, expectation).failure, QString("The encoder wrote no output file."));
        facts.exists = true;
        QCOMPARE(JudgeOutput(facts, expectation).failure, QString("The output file is empty."));
        // A measure that never answered: the file is kept, and the row says so.
        facts.size = 10;
        facts.measured = false;
        const TOutputVerdict unmeasured = JudgeOutput(facts, expectation);
        QVERIFY(unmeasured.failure.isEmpty());
        QCOMPARE(unmeasured.note, QString("The output could not be measured; it was kept unchecked."));
    }

    void outputReportFacts()
    {
        const QByteArray report = "Input #0, mov, from '/out/.a Stream #9.mp4':\n"
                                  "  Duration: 00:00:02.00, start: 0.000000, bitrate: 1 kb/s\n"
                                  "  Stream #0:0(und): Audio: aac (LC), 48000 Hz, stereo, fltp\n";
        TOutputFacts facts;
        ReadOutputReport(report, "/out/.a Stream #9.mp4", facts);
        QCOMPARE(facts.lengthText, QString("00:00:02.00"));
        QCOMPARE(facts.streams, 1); // the path's own text does not count
        QVERIFY(!facts.hasVideo);
        ReadOutputReport(report + "  Stream #0:1: Video: h264, yuv420p, 320x240, 25 fps\n", "/out/.a Stream #9.mp4",
                         facts);
        QCOMPARE(facts.streams, 2);
        QVERIFY(facts.hasVideo);
    }

    void videoSwitchIsAWholeWord()
    {
        QVERIFY(DisablesVideo(" -c:a aac -vn "));
        QVERIFY(!DisablesVideo(" -c:v libx264 -vf yadif "));
        QVERIFY(!DisablesVideo(" -metadata title=-vnx "));
    }

    void failureWords_data()
    {
        QTest::addColumn<bool>("crashed");
        QTest::addColumn<bool>("folderGone");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("expected");
        QTest::newRow("disk full") << false << false
                                   << QStringList{"frame=10 time=00:00:01.00",
                                                  "av_interleaved_write_frame(): No space left on device"}
                                   << "The disk is full.\nav_interleaved_write_frame(): No space left on device";
        QTest::newRow("frame size") << false << false
                                    << QStringList{"[libx264 @ 0x55] width not divisible by 2 (321x241)",
                                                   "Conversion failed!"}
                                    << "The frame size does not suit the codec.\nConversion failed!";
        QTest::newRow("unreadable input") << false << false
                                          << QStringList{"/in/a.mp4: Invalid data found when processing input"}
                                          << "The input is not a readable video.\n"
                                             "/in/a.mp4: Invalid data found when processing input";
        // vxenc's refusal names the file, and the reason may read like a damaged one.
        QTest::newRow("not a media file")
            << false << false
            << QStringList{"vxenc: the input is not a media file: /in/a.mp4 is an HLS playlist, which names other "
                           "files or addresses"}
            << "The input is not a media file.\nvxenc: the input is not a media file: /in/a.mp4 is an HLS playlist, "
               "which names other files or addresses";
        QTest::newRow("crash") << true << false << QStringList{"frame=1 time=0.04"}
                               << "The encoder crashed.";
        QTest::newRow("folder gone") << false << true << QStringList{"muxing overhead: 1%"}
                                     << "The output folder was removed during the conversion.\nmuxing overhead: 1%";
        // ffmpeg killed by a signal: the encoder exits 128 + N and says so last.
        QTest::newRow("ffmpeg crashed") << false << false
                                        << QStringList{"frame=1 time=0.04", "vxenc: ffmpeg ended by signal 11"}
                                        << "The encoder crashed (signal 11).\nvxenc: ffmpeg ended by signal 11";
        QTest::newRow("file size limit") << false << false << QStringList{"vxenc: ffmpeg ended by signal 25"}
                                         << "The output file reached this session's file size limit (ulimit -f).\n"
                                            "vxenc: ffmpeg ended by signal 25";
        QTest::newRow("other") << false << false << QStringList{"something odd"}
                               << "The encoder ended with exit code 3.\nsomething odd";
    }

    void failureWords()
    {
        QFETCH(bool, crashed);
        QFETCH(bool, folderGone);
        QFETCH(QStringList, lines);
        QFETCH(QString, expected);
        TEncoderEnd end;
        end.crashed = crashed;
        end.exitCode = crashed ? -1 : 3;
        end.outputFolderGone = folderGone;
        QCOMPARE(FailureText(end, lines), expected);
    }

    void completionMessages()
    {
        const TCompletionMessage ok = CompletionMessage(0, 3, "/log");
        QCOMPARE(ok.text, QString("The coversion is completed successfully."));
        QCOMPARE(ok.caption, QString("Complete"));
        QVERIFY(!ok.warning);
        const TCompletionMessage bad = CompletionMessage(3, 3, "/s/velvo-1.log");
        QCOMPARE(bad.caption, QString("Velvo"));
        QVERIFY(bad.warning);
        QVERIFY(bad.text.startsWith("3 of 3 files could not be converted."));
        QVERIFY(bad.text.contains("/s/velvo-1.log"));
        QCOMPARE(CompletionMessage(1, 2, QString()).text, QString("1 of 2 files could not be converted."));
    }

    void outputsOfTheRunAreTaken()
    {
        QTemporaryDir dir;
        TOutputRequest r;
        r.folder = dir.path() + "/";
        r.outputName = "clip";
        r.currentExt = ".mp4";
        r.position = 2;
        QCOMPARE(OutputPathFor(r), r.folder + "clip.mp4");
        // Overwrite mode still never replaces an output this run has made.
        const QSet<QString> taken{r.folder + "clip.mp4", r.folder + "clip_2.mp4"};
        r.runOutputs = &taken;
        QCOMPARE(OutputPathFor(r), r.folder + "clip_2_2.mp4");
    }

    void logsAreKeptNewestTwenty()
    {
        QTemporaryDir dir;
        const QString folder = dir.path() + "/state/velvo";
        const QDateTime base(QDate(2026, 1, 1), QTime(10, 0, 0));
        TRunLog log;
        for (int i = 0; i < 22; ++i)
            QVERIFY(log.Open(folder, base.addSecs(i)));
        QCOMPARE(int(QFileInfo(folder).permissions() & 0x0077), 0);
        const QStringList logs = QDir(folder).entryList({"velvo-*.log"}, QDir::Files, QDir::Name);
        QCOMPARE(logs.size(), 20);
        QCOMPARE(logs.first(), QString("velvo-20260101-100002.log"));
        QCOMPARE(log.Path(), folder + "/velvo-20260101-100021.log");

        // A second run within the same second gets its own file.
        TRunLog again;
        QVERIFY(again.Open(folder, base.addSecs(21)));
        QCOMPARE(again.Path(), folder + "/velvo-20260101-100021_02.log");

        TItemMessages item;
        item.input = "/in/a.mp4";
        item.commandLine = "\"vxenc.dll\" -y -i \"/in/a.mp4\"";
        item.exitText = "exit status 1";
        item.lines = QStringList{"first", "Conversion failed!"};
        log.Append(item);
        item.input = "/in/b.mp4";
        log.Append(item);
        QFile file(log.Path());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        QVERIFY(text.contains("Input: /in/a.mp4") && text.contains("Input: /in/b.mp4"));
        QVERIFY(text.contains("Conversion failed!") && text.contains("exit status 1"));

        // Logs from the future (a clock once set wrong) never cost this
        // run its own log, and a file of another name is not a log.
        for (int i = 0; i < 20; ++i)
            QVERIFY(QFile(folder + QString("/velvo-20991231-0000%1.log").arg(i, 2, 10, QChar('0')))
                        .open(QIODevice::WriteOnly));
        QVERIFY(QFile(folder + "/velvo-notes.log").open(QIODevice::WriteOnly));
        TRunLog now;
        QVERIFY(now.Open(folder, base.addSecs(60)));
        QVERIFY(QFileInfo::exists(now.Path()));
        QVERIFY(QFileInfo::exists(folder + "/velvo-notes.log"));
        QCOMPARE(QDir(folder).entryList({"velvo-2*.log"}, QDir::Files).size(), 21);

        // The state folder is named cleanly whatever XDG_STATE_HOME ends with.
        const QByteArray saved = qgetenv("XDG_STATE_HOME");
        qputenv("XDG_STATE_HOME", "/s//state/");
        QCOMPARE(VelvoStateFolder(), QString("/s/state/velvo"));
        qputenv("XDG_STATE_HOME", saved);

        // A folder that cannot be made gives no log and no error.
        TRunLog none;
        QVERIFY(!none.Open("/proc/velvo-cannot-be-here", base));
        none.Append(item);
        QVERIFY(none.Path().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestRunOutcome)
#include "tst_runoutcome.moc"
