// The measure as an object: answered, unanswered for its time limit, a
// program that cannot start, a cancelled measure, and no process left behind.
#include "FakeEncoder.h"
#include "tasks/MeasureProcess.h"

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

QTEST_MAIN(TestMeasureProcess)
#include "tst_measureprocess.moc"
