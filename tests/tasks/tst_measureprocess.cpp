// The measure as an object: answered, unanswered for its time limit, a
// program that cannot start, a cancelled measure, and no process left behind.
// The queue of measures: a few at a time, each answer under its own ticket,
// dropped tickets never answered.
#include "Clips.h"
#include "FakeEncoder.h"
#include "tasks/MeasureProcess.h"
#include "tasks/MeasureQueue.h"
#include "common/TimeText.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

class TestMeasureProcess : public QObject {
    Q_OBJECT
private slots:
    void answersWithTheReport();
    void timeLimitEndsTheEncoderAndItsChildren();
    void missingProgramIsUnanswered();
    void cancelReportsNothing();
    void queueAnswersEachTicketWithItsFile();
    void queueRunsAFewAtATimeAndForgetsDropped();
};

void TestMeasureProcess::answersWithTheReport()
{
    QTemporaryDir dir;
    FakeEncoder fake(dir.path());
    fake.setScript("[measure]\nout Duration: 00:00:03.00, start\\n\nexit 1\n");
    TMeasureProcess measure;
    QSignalSpy finished(&measure, &TMeasureProcess::Finished);
    QVERIFY(measure.Start(fake.path(), dir.path() + "/a b.mp4", 5000));
    QVERIFY(measure.Running());
    // A second measure on the same object waits for the first.
    QVERIFY(!measure.Start(fake.path(), dir.path() + "/c.mp4", 5000));
    QVERIFY(finished.wait(5000));
    QCOMPARE(finished.count(), 1);
    // Its exit status does not matter: it answered.
    QCOMPARE(finished.first().at(0).toBool(), true);
    QVERIFY(finished.first().at(1).toByteArray().contains("Duration: 00:00:03.00"));
    QCOMPARE(fake.runs().last(), QStringList({"-i", dir.path() + "/a b.mp4"}));
    QVERIFY(!measure.Running());
}

void TestMeasureProcess::timeLimitEndsTheEncoderAndItsChildren()
{
    QTemporaryDir dir;
    FakeEncoder fake(dir.path());
    fake.setScript("[measure]\nout Duration\nchild\nhang\n");
    TMeasureProcess measure;
    QSignalSpy finished(&measure, &TMeasureProcess::Finished);
    QVERIFY(measure.Start(fake.path(), dir.path() + "/a.mp4", 300));
    QTRY_VERIFY(fake.childPid() > 0);
    const qint64 child = fake.childPid();
    QVERIFY(finished.wait(5000));
    QCOMPARE(finished.first().at(0).toBool(), false);
    QVERIFY(finished.first().at(1).toByteArray().isEmpty());
    // The whole group went, what the encoder started included.
    QTRY_VERIFY(::kill(pid_t(child), 0) != 0);
}

void TestMeasureProcess::missingProgramIsUnanswered()
{
    QTemporaryDir dir;
    TMeasureProcess measure;
    QSignalSpy finished(&measure, &TMeasureProcess::Finished);
    QVERIFY(measure.Start(dir.path() + "/vxenc.dll", dir.path() + "/a.mp4", 0));
    QVERIFY(finished.wait(2000));
    QCOMPARE(finished.first().at(0).toBool(), false);
}

void TestMeasureProcess::cancelReportsNothing()
{
    QTemporaryDir dir;
    FakeEncoder fake(dir.path());
    fake.setScript("[measure]\nhang\n");
    TMeasureProcess measure;
    QSignalSpy finished(&measure, &TMeasureProcess::Finished);
    QVERIFY(measure.Start(fake.path(), dir.path() + "/a.mp4", 0));
    measure.Cancel();
    QVERIFY(!measure.Running());
    QVERIFY(!finished.wait(300));
    // The object is ready for the next file.
    fake.setScript("[measure]\nout Duration: 00:00:01.00,\n");
    QVERIFY(measure.Start(fake.path(), dir.path() + "/b.mp4", 0));
    QVERIFY(finished.wait(5000));
    QVERIFY(finished.first().at(0).toBool());
}

void TestMeasureProcess::queueAnswersEachTicketWithItsFile()
{
    QTemporaryDir dir;
    FakeEncoder fake(dir.path());
    // The fake reports a file of its own making by the length it holds.
    QHash<QString, QString> lengths{{"a.mp4", "00:00:03.00"}, {"b.mp4", "00:01:05.50"}, {"c.mp4", "00:00:00.25"}};
    QHash<quint64, QString> asked;
    TMeasureQueue queue;
    queue.SetParallel(2);
    for (const QString &name : {"a.mp4", "b.mp4", "c.mp4"}) {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("fakeenc-output " + QByteArray::number(TimeTextToSeconds(lengths.value(name)), 'f', 2) + " video\n");
        file.close();
        asked.insert(queue.Add(fake.path(), file.fileName()), name);
    }
    asked.insert(queue.Add(dir.filePath("vxenc-missing"), dir.filePath("a.mp4")), "no program");
    QCOMPARE(queue.Pending(), 4);
    QHash<QString, MeasureResult> answers;
    int idle = 0;
    connect(&queue, &TMeasureQueue::Measured, this,
            [&](quint64 ticket, const MeasureResult &result) { answers.insert(asked.take(ticket), result); });
    connect(&queue, &TMeasureQueue::Idle, this, [&] { ++idle; });
    QTRY_COMPARE_WITH_TIMEOUT(answers.size(), 4, 10000);
    QVERIFY(asked.isEmpty()); // every ticket once
    for (const QString &name : {"a.mp4", "b.mp4", "c.mp4"}) {
        QCOMPARE(answers.value(name).LengthText, lengths.value(name));
        QCOMPARE(answers.value(name).FrameSize, QString(" 320x240"));
    }
    QCOMPARE(answers.value("no program").LengthText, QString());
    QCOMPARE(queue.Pending(), 0);
    QCOMPARE(idle, 1);
}

void TestMeasureProcess::queueRunsAFewAtATimeAndForgetsDropped()
{
    QTemporaryDir dir;
    FakeEncoder fake(dir.path());
    fake.setScript("[measure]\nhang\n");
    TMeasureQueue queue;
    queue.SetParallel(2);
    queue.SetTimeLimit(0); // none: the hanging measures wait for this test
    QList<quint64> answered;
    connect(&queue, &TMeasureQueue::Measured, this, [&](quint64 ticket, const MeasureResult &) { answered << ticket; });
    const quint64 first = queue.Add(fake.path(), dir.filePath("1.mp4"));
    const quint64 second = queue.Add(fake.path(), dir.filePath("2.mp4"));
    const quint64 third = queue.Add(fake.path(), dir.filePath("3.mp4"));
    const quint64 fourth = queue.Add(fake.path(), dir.filePath("4.mp4"));
    QVERIFY(first && second && third && fourth);
    QTRY_COMPARE(fake.runs().size(), 2);
    QTest::qWait(300);
    QCOMPARE(fake.runs().size(), 2); // the others wait their turn
    QCOMPARE(ProcessesRunning(fake.path()).size(), 2);
    QCOMPARE(queue.Pending(), 4);

    // A waiting request dropped is never started; a running one is ended
    // and the next takes its place.
    queue.Drop(third);
    queue.Drop(first);
    QCOMPARE(queue.Pending(), 2);
    QTRY_COMPARE(fake.runs().size(), 3);
    QCOMPARE(fake.runs().last(), QStringList({"-i", dir.filePath("4.mp4")}));

    // The time limit ends the rest, unanswered but reported.
    queue.SetTimeLimit(200);
    fake.clearScript();
    const quint64 fifth = queue.Add(fake.path(), dir.filePath("5.mp4"));
    queue.DropAll();
    QCOMPARE(queue.Pending(), 0);
    const quint64 sixth = queue.Add(fake.path(), dir.filePath("6.mp4"));
    QTRY_COMPARE(answered, QList<quint64>({sixth}));
    QVERIFY(fifth != sixth);
    QTest::qWait(300);
    QCOMPARE(answered, QList<quint64>({sixth})); // nothing for what was dropped
    QTRY_COMPARE(ProcessesRunning(fake.path()).size(), 0);
}

QTEST_MAIN(TestMeasureProcess)
#include "tst_measureprocess.moc"
