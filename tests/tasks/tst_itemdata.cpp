// The row record's own rules: a typed clip range against the row's values,
// and the shares of a resize the four shown columns take.
#include "tasks/ItemData.h"

#include <QTest>

class TestItemData : public QObject {
    Q_OBJECT
private slots:
    void clipRange_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QString>("clipStart");
        QTest::addColumn<QString>("clipEnd");
        QTest::addColumn<QString>("clipLength");
        // The row: a 60 s file clipped to 10 .. 20 s.
        QTest::newRow("both taken") << "00:00:30" << "00:01:00" << "00:00:30" << "00:01:00" << "00:00:30";
        QTest::newRow("not times keep the row's") << "x" << "" << "00:00:10" << "00:00:20" << "00:00:10";
        QTest::newRow("start after end keeps start") << "00:00:25" << "00:00:20" << "00:00:10" << "00:00:20"
                                                     << "00:00:10";
        QTest::newRow("start beyond the file") << "00:02:00" << "00:03:00" << "00:00:10" << "00:03:00"
                                               << "00:02:50";
        QTest::newRow("end may pass the file") << "00:00:10" << "00:05:00" << "00:00:10" << "00:05:00"
                                               << "00:04:50";
        QTest::newRow("tenths") << "00:00:01" << "00:00:01.4" << "00:00:01" << "00:00:01.4" << "00:00:00.4";
    }

    void clipRange()
    {
        QFETCH(QString, start);
        QFETCH(QString, end);
        ltvItemData rec;
        rec.SourceStart = "00:00:00.0";
        rec.SourceEnd = "00:01:00.00";
        rec.ClipStart = "00:00:10.0";
        rec.ClipEnd = "00:00:20.0";
        rec.ClipLength = "00:00:10.0";
        DeriveAllSeconds(rec);
        ApplyClipRange(rec, start, end);
        QTEST(rec.ClipStart, "clipStart");
        QTEST(rec.ClipEnd, "clipEnd");
        QTEST(rec.ClipLength, "clipLength");
    }

    void columnsShareAResize()
    {
        // 100 pixels more: 49, 17, 15 and 19 of them.
        QCOMPARE(TaskColumnWidth(0, 200, 100), 249);
        QCOMPARE(TaskColumnWidth(3, 80, 100), 99);
        // Half a pixel goes to the even width.
        QCOMPARE(TaskColumnWidth(1, 10, 50), 18); // 10 + 8.5
        QCOMPARE(TaskColumnWidth(1, 11, 50), 20); // 11 + 8.5
        QCOMPARE(TaskColumnWidth(2, 60, -20), 57);
        // Hidden columns never change.
        QCOMPARE(TaskColumnWidth(5, 0, 100), 0);
    }
};

QTEST_APPLESS_MAIN(TestItemData)
#include "tst_itemdata.moc"
