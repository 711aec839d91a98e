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
        QCOMPARE(PartialOutputPath("/out/clip.mp4", 42), QString("/out/.clip.mp4.part-42.mp4"));
        QCOMPARE(PartialOutputPath("/o.d/a.b.c.avi", 7), QString("/o.d/.a.b.c.avi.part-7.avi"));
        // No extension of its own: none is invented, and a folder's dot is not one.
        QCOMPARE(PartialOutputPath("/o.d/noext", 7), QString("/o.d/.noext.part-7"));
        QCOMPARE(PartialOutputPath("/out/.hidden", 7), QString("/out/..hidden.part-7"));
        // A final name near the file-name limit still gives a usable partial name.
        const QString longName = QString(120, QChar(0x00e9)) + ".mp4"; // 244 bytes
        const QString partial = PartialOutputPath("/out/" + longName, 123456);
        QVERIFY(QFile::encodeName(partial.mid(5)).size() <= 255);
        QVERIFY(partial.startsWith("/out/." + QString(100, QChar(0x00e9))));
        QVERIFY(partial.endsWith(".part-123456.mp4"));
    }

    void outputCheck_data()
    {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("length");
        QTest::addColumn<bool>("video");
        QTest::addColumn<double>("clip");
        QTest::addColumn<bool>("videoExpected");
        QTest::addColumn<QString>("reason");
        QTest::newRow("good") << true << qint64(100) << "00:00:03.00" << true << 3.0 << true << "";
        QTest::newRow("missing") << false << qint64(0) << "" << false << 3.0 << true
                                 << "The encoder wrote no output file.";
        QTest::newRow("empty") << true << qint64(0) << "" << false << 3.0 << true << "The output file is empty.";
        QTest::newRow("no length") << true << qint64(10) << "N/A" << true << 3.0 << true
                                   << "The output has no playable length.";
        QTest::newRow("zero length") << true << qint64(10) << "00:00:00.00" << true << 0.4 << true
                                     << "The output has no playable length.";
        QTest::newRow("no picture") << true << qint64(10) << "00:00:03.00" << false << 3.0 << true
                                    << "The output has no picture.";
        QTest::newRow("sound only wanted") << true << qint64(10) << "00:00:03.00" << false << 3.0 << false << "";
        QTest::newRow("too short") << true << qint64(10) << "00:00:00.40" << true << 3.0 << true
                                   << "The output lasts 0.4 s; 3.0 s were expected.";
        QTest::newRow("within a second") << true << qint64(10) << "00:00:03.95" << true << 3.0 << true << "";
        QTest::newRow("two percent of a long clip") << true << qint64(10) << "00:01:58.00" << true << 120.0
                                                    << true << "";
        QTest::newRow("beyond two percent") << true << qint64(10) << "00:01:57.50" << true << 120.0 << true
                                            << "The output lasts 117.5 s; 120.0 s were expected.";
        QTest::newRow("unknown clip length") << true << qint64(10) << "00:00:07.00" << true << 0.0 << true << "";
    }

    void outputCheck()
    {
        QFETCH(bool, exists);
        QFETCH(qint64, size);
        QFETCH(QString, length);
        QFETCH(bool, video);
        QFETCH(double, clip);
        QFETCH(bool, videoExpected);
        QFETCH(QString, reason);
        TOutputFacts facts;
        facts.exists = exists;
        facts.size = size;
        facts.lengthText = length;
        facts.hasVideo = video;
        QCOMPARE(VerifyOutput(facts, clip, videoExpected), reason);
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

        // A folder that cannot be made gives no log and no error.
        TRunLog none;
        QVERIFY(!none.Open("/proc/velvo-cannot-be-here", base));
        none.Append(item);
        QVERIFY(none.Path().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestRunOutcome)
#include "tst_runoutcome.moc"
