// The reading of the encoder's progress: value texts, numbers, bar
// positions, the chunk examination, the remaining time and the kept lines.
#include "conversion/Progress.h"

#include <QTest>
#include <cmath>
#include <limits>

class TestProgress : public QObject {
    Q_OBJECT
private slots:
    void chunkTextEndsAtZeroByte();
    void valueText_data();
    void valueText();
    void decimalNumbers_data();
    void decimalNumbers();
    void barPositions_data();
    void barPositions();
    void examineRaisesCurrentTimeOnly();
    void examineMovesBothBars();
    void examineWithoutValueStillRecomputes();
    void examineSkipsBarsWithZeroDivisor();
    void examineEndsOnValuesThatCannotBeHeld();
    void examineMalformedClipLengthKeepsCurrentBarAtZero();
    void progressAtAGivenTime();
    void remainingSeconds_data();
    void remainingSeconds();
    void messageTailKeepsLastLines();
};

void TestProgress::chunkTextEndsAtZeroByte()
{
    QCOMPARE(ChunkText(QByteArray("time=12.5 x")), QString("time=12.5 x"));
    QCOMPARE(ChunkText(QByteArray("time=1", 6) + QByteArray(1, '\0') + QByteArray("2.5 ")), QString("time=1"));
    QCOMPARE(ChunkText(QByteArray()), QString());
    // Bytes beyond ASCII stay one character each.
    QCOMPARE(ChunkText(QByteArray("\xc3\xa9time=1 ")).size(), 9);
}

void TestProgress::valueText_data()
{
    QTest::addColumn<QString>("chunk");
    QTest::addColumn<QString>("value");
    QTest::newRow("progress line") << "frame=  50 fps=25 q=2.0 size=  100kB time=12.34 bitrate=10.0kbits/s\r"
                                   << "12.34";
    QTest::newRow("value at the end, no blank") << "frame=1 time=30.00" << "";
    QTest::newRow("value then line end only") << "time=30.00\r" << "";
    QTest::newRow("only the first time counts") << "overtime: time=7.0 " << "";
    QTest::newRow("first time inside a word") << "timestamp x time=7 " << "tamp";
    QTest::newRow("second occurrence ignored") << "time=1.5 time=9.5 " << "1.5";
    QTest::newRow("without time from the fifth character") << "abcd12.5 rest" << "12.5";
    QTest::newRow("without time, short") << "abc" << "";
    QTest::newRow("time at the very end") << "x time" << "";
    QTest::newRow("case-sensitive") << "TIME=5.0 time=6.0 " << "6.0";
    QTest::newRow("blank right after the marker") << "time= 5 " << "";
}

void TestProgress::valueText()
{
    QFETCH(QString, chunk);
    QFETCH(QString, value);
    QCOMPARE(ProgressValueText(chunk), value);
}

void TestProgress::decimalNumbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<double>("value");
    QTest::newRow("fraction") << "12.34" << true << 12.34;
    QTest::newRow("whole") << "7" << true << 7.0;
    QTest::newRow("negative") << "-3.5" << true << -3.5;
    QTest::newRow("plus") << "+2" << true << 2.0;
    QTest::newRow("leading point") << ".5" << true << 0.5;
    QTest::newRow("trailing point") << "5." << true << 5.0;
    QTest::newRow("exponent") << "1.5e2" << true << 150.0;
    QTest::newRow("comma") << "1,5" << false << 0.0;
    QTest::newRow("empty") << "" << false << 0.0;
    QTest::newRow("letters") << "N/A" << false << 0.0;
    QTest::newRow("clock text") << "00:00:01.00" << false << 0.0;
    QTest::newRow("sign only") << "-" << false << 0.0;
    QTest::newRow("bad exponent") << "1e" << false << 0.0;
    QTest::newRow("trailing text") << "12kB" << false << 0.0;
    QTest::newRow("too large") << "1e999" << false << 0.0;
    QTest::newRow("nan") << "nan" << false << 0.0;
}

void TestProgress::decimalNumbers()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(double, value);
    double v = -42;
    QCOMPARE(ParseDecimal(text, v), ok);
    if (ok)
        QCOMPARE(v, value);
    else
        QCOMPARE(v, -42.0);
}

void TestProgress::barPositions_data()
{
    QTest::addColumn<double>("part");
    QTest::addColumn<double>("whole");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("position");
    QTest::newRow("quarter") << 25.0 << 100.0 << true << 25;
    QTest::newRow("tie down to even") << 1.0 << 8.0 << true << 12;   // 12.5
    QTest::newRow("tie up to even") << 3.0 << 8.0 << true << 38;     // 37.5
    QTest::newRow("rounds up") << 2.0 << 3.0 << true << 67;          // 66.67
    QTest::newRow("beyond the end") << 150.0 << 100.0 << true << 100;
    QTest::newRow("exactly the end") << 100.0 << 100.0 << true << 100;
    QTest::newRow("negative divisor") << 5.0 << -1.0 << true << 0;
    QTest::newRow("huge but finite") << 1e16 << 1.0 << true << 100;
    QTest::newRow("beyond 64 bits") << 1e300 << 1.0 << false << 0;
    QTest::newRow("zero divisor") << 5.0 << 0.0 << false << 0;
}

void TestProgress::barPositions()
{
    QFETCH(double, part);
    QFETCH(double, whole);
    QFETCH(bool, ok);
    QFETCH(int, position);
    int p = -7;
    QCOMPARE(BarPosition(part, whole, p), ok);
    QCOMPARE(p, ok ? position : -7);
}

void TestProgress::examineRaisesCurrentTimeOnly()
{
    double current = 0;
    ExamineChunk("frame=1 time=30.5 bitrate=1", current, 100, 0, 100);
    QCOMPARE(current, 30.5);
    // Equal and lower values change nothing.
    TChunkProgress same = ExamineChunk("time=30.5 ", current, 100, 0, 100);
    QCOMPARE(current, 30.5);
    QVERIFY(same.setCurrent);
    QCOMPARE(same.current, 30); // 30.5 % goes to the even side
    TChunkProgress back = ExamineChunk("time=10.0 ", current, 100, 0, 100);
    QCOMPARE(current, 30.5);
    QCOMPARE(back.current, same.current);
    ExamineChunk("time=60 ", current, 100, 0, 100);
    QCOMPARE(current, 60.0);
    // A value at the end of the chunk is not a value.
    ExamineChunk("time=90", current, 100, 0, 100);
    QCOMPARE(current, 60.0);
}

void TestProgress::examineMovesBothBars()
{
    // Second item of a batch: 100 s done out of 400, this clip 300 s long.
    double current = 0;
    TChunkProgress p = ExamineChunk("time=100.00 ", current, 300, 100, 400);
    QVERIFY(p.setCurrent);
    QVERIFY(p.setTotal);
    QVERIFY(p.setLabels);
    QCOMPARE(p.current, 33);
    QCOMPARE(p.total, 50);
    // Half a percent on the total bar goes to the even side.
    current = 0;
    p = ExamineChunk("time=50 ", current, 100, 0, 400);
    QCOMPARE(p.current, 50);
    QCOMPARE(p.total, 12); // 12.5
    current = 0;
    p = ExamineChunk("time=150 ", current, 100, 0, 400);
    QCOMPARE(p.total, 38); // 37.5
    // Beyond the clip: the current bar stops at 100.
    current = 0;
    p = ExamineChunk("time=120 ", current, 100, 0, 100);
    QCOMPARE(p.current, 100);
    QCOMPARE(p.total, 100);
}

void TestProgress::examineWithoutValueStillRecomputes()
{
    double current = 40;
    const TChunkProgress p = ExamineChunk("[mp4 @ 0x1] some message\n", current, 80, 20, 200);
    QCOMPARE(current, 40.0);
    QVERIFY(p.setCurrent && p.setTotal && p.setLabels);
    QCOMPARE(p.current, 50);
    QCOMPARE(p.total, 30);
}

void TestProgress::examineSkipsBarsWithZeroDivisor()
{
    double current = 0;
    TChunkProgress p = ExamineChunk("time=5 ", current, 0, 0, 10);
    QCOMPARE(current, 5.0);
    QVERIFY(!p.setCurrent);
    QVERIFY(p.setTotal);
    QCOMPARE(p.total, 50);
    QVERIFY(p.setLabels);

    current = 0;
    p = ExamineChunk("time=5 ", current, 10, 0, 0);
    QVERIFY(p.setCurrent);
    QCOMPARE(p.current, 50);
    QVERIFY(!p.setTotal);
    QVERIFY(p.setLabels);
}

void TestProgress::examineEndsOnValuesThatCannotBeHeld()
{
    // A number out of the double range ends the examination at once.
    double current = 3;
    TChunkProgress p = ExamineChunk("time=1e999 ", current, 10, 0, 10);
    QCOMPARE(current, 3.0);
    QVERIFY(!p.setCurrent && !p.setTotal && !p.setLabels);

    // A value that is held but cannot become a bar position stops there.
    current = 0;
    p = ExamineChunk("time=1e300 ", current, 1e-10, 0, 10);
    QCOMPARE(current, 1e300);
    QVERIFY(!p.setCurrent && !p.setTotal && !p.setLabels);

    // The current bar is set before the total bar fails.
    current = 0;
    p = ExamineChunk("time=1e300 ", current, 1e300, 0, 1e-300);
    QVERIFY(p.setCurrent);
    QCOMPARE(p.current, 100);
    QVERIFY(!p.setTotal);
    QVERIFY(!p.setLabels);
}

void TestProgress::examineMalformedClipLengthKeepsCurrentBarAtZero()
{
    // A malformed length text gives -1 seconds; the bar computed with it
    // stays at 0, and the total (which also holds the -1) follows its sum.
    double current = 0;
    const TChunkProgress p = ExamineChunk("time=30 ", current, -1, 0, 99);
    QVERIFY(p.setCurrent);
    QCOMPARE(p.current, 0);
    QVERIFY(p.setTotal);
    QCOMPARE(p.total, 30);
}

void TestProgress::progressAtAGivenTime()
{
    TChunkProgress p = ProgressAt(300, 300, 100, 400);
    QVERIFY(p.setCurrent && p.setTotal && p.setLabels);
    QCOMPARE(p.current, 100);
    QCOMPARE(p.total, 100);
    p = ProgressAt(10, 0, 0, 0);
    QVERIFY(!p.setCurrent && !p.setTotal && p.setLabels);
    p = ProgressAt(1e300, 1e-300, 0, 1);
    QVERIFY(!p.setCurrent && !p.setTotal && !p.setLabels);
}

void TestProgress::remainingSeconds_data()
{
    QTest::addColumn<int>("elapsed");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("previous");
    QTest::addColumn<int>("remaining");
    QTest::newRow("quarter after 30 ticks") << 30 << 25 << 0 << 90;
    QTest::newRow("no progress yet keeps the start value") << 5 << 0 << 0 << 0;
    QTest::newRow("no progress keeps the last value") << 9 << 0 << 17 << 17;
    QTest::newRow("complete") << 42 << 100 << 3 << 0;
    QTest::newRow("half tie down") << 2 << 80 << 0 << 0;  // 0.5
    QTest::newRow("one and a half") << 6 << 80 << 0 << 2; // 1.5
    QTest::newRow("two and a half") << 10 << 80 << 0 << 2; // 2.5
    QTest::newRow("four and a half") << 3 << 40 << 0 << 4;
    QTest::newRow("seven and a half") << 5 << 40 << 0 << 8;
    QTest::newRow("beyond 32 bits") << std::numeric_limits<int>::max() << 1 << 0
                                    << std::numeric_limits<int>::max();
}

void TestProgress::remainingSeconds()
{
    QFETCH(int, elapsed);
    QFETCH(int, position);
    QFETCH(int, previous);
    QFETCH(int, remaining);
    QCOMPARE(RemainingSecondsAt(elapsed, position, previous), remaining);
}

void TestProgress::messageTailKeepsLastLines()
{
    TMessageTail tail(3);
    QVERIFY(tail.Lines().isEmpty());
    tail.Add("first\nsecond\r\n\nthird");
    QCOMPARE(tail.Lines(), QStringList({"first", "second", "third"}));
    // A line split over two pieces is one line.
    tail.Add(" part\rfourth\n");
    QCOMPARE(tail.Lines(), QStringList({"second", "third part", "fourth"}));
    tail.Add("frame=1 time=1.00 \rframe=2 time=2.00 \r");
    QCOMPARE(tail.Lines(), QStringList({"fourth", "frame=1 time=1.00", "frame=2 time=2.00"}));
    tail.Add("Error: broken input\n");
    QCOMPARE(tail.Lines().last(), QString("Error: broken input"));
    QCOMPARE(tail.Lines().size(), 3);
    // An endless line does not grow without bound.
    tail.Add(QByteArray(100000, 'x'));
    for (const QString &line : tail.Lines())
        QVERIFY(line.size() <= 4096);
    tail.Clear();
    QVERIFY(tail.Lines().isEmpty());

    // The encoder's own lines say what it chose; ffmpeg's long output after
    // them does not push them out.
    tail.Add("vxenc: 1 audio track was not kept: FLV holds one audio track.\nInput #0\n");
    for (int i = 0; i < 500; ++i)
        tail.Add(QByteArray("frame=") + QByteArray::number(i) + " time=1.00 \r");
    tail.Add("  vxenc: ffmpeg ended by signal 9");
    QCOMPARE(tail.Lines(), QStringList({"vxenc: 1 audio track was not kept: FLV holds one audio track.",
                                        "frame=497 time=1.00", "frame=498 time=1.00", "frame=499 time=1.00",
                                        "vxenc: ffmpeg ended by signal 9"}));
    // Their number has a limit of its own.
    for (int i = 0; i < MaxKeptNotes + 50; ++i)
        tail.Add("vxenc: note\n");
    QCOMPARE(tail.Lines().size(), MaxKeptNotes + 3);
    // "vxenc: " with nothing after it says nothing: an ordinary line.
    TMessageTail one(1);
    one.Add("vxenc: \nlast\n");
    QCOMPARE(one.Lines(), QStringList{"last"});
}

QTEST_APPLESS_MAIN(TestProgress)
#include "tst_progress.moc"
