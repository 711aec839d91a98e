// The run object without a window, with the fake encoder: several items at
// once with reserved names and processor shares, Stop, Pause, failures, and
// a run ended with the program.
#include "Clips.h"
#include "FakeEncoder.h"
#include "TestFiles.h"
#include "conversion/ConversionRun.h"
#include "conversion/RunOutcome.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

bool Alive(qint64 pid)
{
    const char state = ProcessState(pid);
    return state != '?' && state != 'Z' && state != 'X';
}

// A folder with the fake encoder, inputs of ten seconds, an output folder,
// and a run with everything it reported.
class Bench : public QObject {
public:
    Bench()
        : fake(dir.path())
    {
        out = dir.path() + "/out/";
        QDir().mkpath(out);
        snapshot.ArgumentText = " -vcodec x";
        snapshot.OutputFolder = out;
        snapshot.CurrentOutputExt = ".mp4";
        snapshot.EncoderPath = fake.path();
        snapshot.Processors = 4;
    }

    void add(const QString &name, const QString &outputName = QString())
    {
        ltvItemData item;
        item.InputFile = dir.path() + "/" + name;
        WriteBytes(item.InputFile, "fakeenc-length 10");
        item.LengthText = item.SourceEnd = item.ClipEnd = item.ClipLength = "00:00:10.00";
        item.SourceStart = item.ClipStart = "00:00:00.0";
        item.FrameSizeText = " 854x480";
        item.Status = StatusOK();
        item.OutputName = outputName.isEmpty() ? QFileInfo(name).completeBaseName() : outputName;
        item.OutputExt = ".mp4";
        DeriveAllSeconds(item);
        snapshot.Items.append(item);
    }

    void start()
    {
        run = std::make_unique<TConversionRun>(snapshot);
        connect(run.get(), &TConversionRun::ItemStarted, this, [this](int index) {
            started << index;
            mostAtOnce = std::max(mostAtOnce, int(run->EncoderProcessIds().size()));
        });
        connect(run.get(), &TConversionRun::ItemProgress, this,
                [this](int index, const TChunkProgress &) { progressed << index; });
        connect(run.get(), &TConversionRun::ItemFinished, this,
                [this](const TItemResult &result) { finished.insert(result.Index, result); });
        connect(run.get(), &TConversionRun::Finished, this, [this](const TRunResult &result) {
            ++ends;
            end = result;
        });
        run->Start();
    }

    bool waitForEnd(int ms = 20000)
    {
        QElapsedTimer clock;
        clock.start();
        while (ends == 0 && clock.elapsed() < ms)
            QTest::qWait(5);
        return ends == 1;
    }

    QStringList statuses() const
    {
        QStringList list;
        for (int i = 0; i < snapshot.Items.size(); ++i)
            list << (finished.contains(i) ? finished[i].Status : QString("-"));
        return list;
    }

    QTemporaryDir dir;
    FakeEncoder fake;
    QString out;
    TRunSnapshot snapshot;
    std::unique_ptr<TConversionRun> run;
    QList<int> started;
    QList<int> progressed;
    QMap<int, TItemResult> finished;
    int mostAtOnce = 0;
    int ends = 0;
    TRunResult end;
};

const QString Slow = "[convert]\nout banner\\n\nsleep 50\nout streams threads=$THREADS\\n\nsleep 50\n"
                     "out frame=1 time=5.00 x\\r\nsleep 400\nout frame=2 time=10.00 x\\r\nexit 0\n";

} // namespace

class TestRunObject : public QObject {
    Q_OBJECT
private slots:
    void conversionsAtOnce()
    {
        QCOMPARE(FramePixels(" 854x480"), qint64(854 * 480));
        QCOMPARE(FramePixels("N/A"), qint64(0));
        QVector<ltvItemData> small(12);
        for (ltvItemData &item : small)
            item.FrameSizeText = " 854x480";
        QVector<ltvItemData> large = small;
        large[3].FrameSizeText = " 3840x2160";
        // Automatic: at least two side by side, more for small pictures on
        // many processors, never more than the items.
        QCOMPARE(ConversionsAtOnce(0, 2, small, 12), 2);
        QCOMPARE(ConversionsAtOnce(0, 16, small, 12), 8);
        QCOMPARE(ConversionsAtOnce(0, 16, large, 12), 2);
        QCOMPARE(ConversionsAtOnce(0, 16, small, 3), 3);
        QCOMPARE(ConversionsAtOnce(0, 1, small, 12), 1);
        // A number chosen is kept, one at a time included.
        QCOMPARE(ConversionsAtOnce(1, 16, small, 12), 1);
        QCOMPARE(ConversionsAtOnce(3, 2, small, 12), 3);
        // One alone decides for itself; side by side they share.
        QCOMPARE(EncoderThreads(8, 1, 0), 0);
        QCOMPARE(QList<int>({EncoderThreads(8, 3, 0), EncoderThreads(8, 3, 1), EncoderThreads(8, 3, 2)}),
                 QList<int>({3, 3, 2}));
        QCOMPARE(EncoderThreads(2, 3, 2), 1);
    }

    void severalAtOnceWithReservedNames()
    {
        Bench b;
        for (const char *name : {"a.avi", "b.avi", "c.avi", "d.avi"})
            b.add(name, "same");
        b.snapshot.Simultaneous = 2;
        b.fake.setScript(Slow);
        b.start();
        QVERIFY(b.waitForEnd());
        QCOMPARE(b.end.End, TRunEnd::Completed);
        QCOMPARE(b.end.Count, 4);
        QCOMPARE(b.end.Failed, 0);
        QCOMPARE(b.mostAtOnce, 2);
        QCOMPARE(b.started, QList<int>({0, 1, 2, 3}));
        QCOMPARE(b.statuses(), QStringList({"Complete", "Complete", "Complete", "Complete"}));
        // No two items took one name, and each encoder had its share.
        QCOMPARE(QDir(b.out).entryList(QDir::Files | QDir::Hidden),
                 QStringList({"same.mp4", "same_2.mp4", "same_3.mp4", "same_4.mp4"}));
        for (const TItemResult &result : std::as_const(b.finished))
            QVERIFY2(result.Messages.lines.contains("streams threads=2"), qPrintable(result.Messages.Text()));
        QVERIFY(b.progressed.contains(3));
        QVERIFY(QFileInfo::exists(b.end.LogPath) || b.end.LogPath.isEmpty());

        // One at a time the encoder takes what it wants.
        Bench one;
        one.add("a.avi");
        one.fake.setScript(Slow);
        one.start();
        QVERIFY(one.waitForEnd());
        QVERIFY(one.finished[0].Messages.lines.contains("streams threads=-"));
    }

    void stopEndsEveryRunningItem()
    {
        Bench b;
        for (const char *name : {"a.avi", "b.avi", "c.avi"})
            b.add(name);
        b.snapshot.Simultaneous = 2;
        b.fake.setScript("[convert]\nwrite half a file\nchild\nout started\\n\nhang\n");
        b.start();
        QTRY_COMPARE(b.run->EncoderProcessIds().size(), 2);
        const QList<qint64> encoders = b.run->EncoderProcessIds();
        b.run->Stop();
        b.run->Stop(); // a second Stop changes nothing
        QVERIFY(b.waitForEnd());
        QCOMPARE(b.end.End, TRunEnd::Stopped);
        QCOMPARE(b.statuses(), QStringList({"Stop", "Stop", "-"}));
        QCOMPARE(b.finished[0].Messages.verification, QString("stopped"));
        for (qint64 pid : encoders)
            QTRY_VERIFY(!Alive(pid));
        QCOMPARE(QDir(b.out).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    void pauseHoldsEveryEncoder()
    {
        Bench b;
        b.add("a.avi");
        b.add("b.avi");
        b.snapshot.Simultaneous = 2;
        b.fake.setScript("[convert]\nout banner\\n\nsleep 50\nout streams\\n\nsleep 50\nchild\n"
                         "out frame=1 time=1.00 x\\r\nsleep 600\nout frame=2 time=10.00 x\\r\nexit 0\n");
        b.start();
        QTRY_VERIFY(b.run->ItemPercent(0) == 10 && b.run->ItemPercent(1) == 10);
        b.run->Pause();
        QVERIFY(b.run->Paused());
        const QList<qint64> encoders = b.run->EncoderProcessIds();
        QCOMPARE(encoders.size(), 2);
        for (qint64 pid : encoders)
            QTRY_COMPARE(ProcessState(pid), 'T');
        // Held: nothing moves while paused.
        QTest::qWait(900);
        QCOMPARE(b.run->ItemPercent(0), 10);
        QVERIFY(b.finished.isEmpty());
        b.run->Resume();
        QVERIFY(!b.run->Paused());
        QVERIFY(b.waitForEnd());
        QCOMPARE(b.statuses(), QStringList({"Complete", "Complete"}));
    }

    void failuresAreReportedPerItem()
    {
        Bench b;
        b.add("a.avi");
        b.add("b.avi");
        b.add("c.avi");
        ltvItemData &cut = b.snapshot.Items[2];
        cut.ClipEnd = "00:00:00.02";
        cut.ClipLength = "00:00:00.02";
        DeriveAllSeconds(cut);
        b.fake.setScript("[convert]\nout banner\\n\nout Error: cannot write\\n\nexit 1\n");
        b.start();
        QVERIFY(b.waitForEnd());
        QCOMPARE(b.end.End, TRunEnd::Completed);
        QCOMPARE(b.end.Failed, 3);
        QCOMPARE(b.statuses(), QStringList({"Failed", "Failed", "Failed"}));
        QCOMPARE(b.finished[0].Reason, QString("The encoder ended with exit code 1.\nError: cannot write"));
        QCOMPARE(b.finished[2].Reason, QString("The clip is shorter than a tenth of a second."));
        QCOMPARE(b.started, QList<int>({0, 1})); // the cut item never started
        QCOMPARE(QDir(b.out).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    void endedWithTheProgram()
    {
        // A run deleted mid-item (the program ends on SIGTERM) leaves no
        // encoder and no partial file.
        Bench b;
        b.add("a.avi");
        b.fake.setScript("[convert]\nwrite part\nchild\nout banner\\n\nhang\n");
        b.start();
        QTRY_VERIFY(b.fake.childPid() > 0);
        const qint64 pid = b.run->EncoderProcessIds().value(0);
        QVERIFY(pid > 0);
        QTRY_COMPARE(QDir(b.out).entryList(QDir::Files | QDir::Hidden).size(), 1);
        b.run.reset();
        QVERIFY(!Alive(pid));
        QTRY_VERIFY(!Alive(b.fake.childPid()));
        QCOMPARE(QDir(b.out).entryList(QDir::Files | QDir::Hidden), QStringList());
        QCOMPARE(b.ends, 0);
    }
};

QTEST_MAIN(TestRunObject)
#include "tst_runobject.moc"
