// Time texts: hh:mm:ss[.t] written from seconds and read back.
#include "common/TimeText.h"

#include <QRegularExpression>
#include <QtTest>

#include <cmath>

class TestTimeText : public QObject {
    Q_OBJECT
private slots:
    void formats_data();
    void formats();
    void carriesTenthsIntoSeconds_data();
    void carriesTenthsIntoSeconds();
    void hugeValuesKeepOneFractionDigit();
    void parses_data();
    void parses();
    void writtenTextsReadBack();
    void roundsHalfToEven_data();
    void roundsHalfToEven();
};

void TestTimeText::formats_data()
{
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << 0.0 << "00:00:00";
    QTest::newRow("five") << 5.0 << "00:00:05";
    QTest::newRow("half") << 83.5 << "00:01:23.5";
    QTest::newRow("tie to even down") << 3725.25 << "01:02:05.2";
    QTest::newRow("tie to even up") << 3725.75 << "01:02:05.8";
    QTest::newRow("59.94") << 59.94 << "00:00:59.9";
    QTest::newRow("one minute") << 60.0 << "00:01:00";
    QTest::newRow("hours past a day") << 90061.0 << "25:01:01";
    QTest::newRow("hundred hours") << 360000.0 << "100:00:00";
    QTest::newRow("whole seconds no fraction") << 7199.0 << "01:59:59";
    QTest::newRow("small fraction rounds away") << 12.04 << "00:00:12";
    QTest::newRow("tenth") << 0.1 << "00:00:00.1";
}

void TestTimeText::formats()
{
    QFETCH(double, seconds);
    QFETCH(QString, text);
    QCOMPARE(SecondsToTimeText(seconds), text);
}

void TestTimeText::carriesTenthsIntoSeconds_data()
{
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("205.97") << 205.97 << "00:03:26";
    QTest::newRow("0.95") << 0.95 << "00:00:01";
    QTest::newRow("59.96 into the minute") << 59.96 << "00:01:00";
    QTest::newRow("3599.99 into the hour") << 3599.99 << "01:00:00";
    QTest::newRow("0.949 stays") << 0.949 << "00:00:00.9";
}

void TestTimeText::carriesTenthsIntoSeconds()
{
    QFETCH(double, seconds);
    QFETCH(QString, text);
    const QString written = SecondsToTimeText(seconds);
    QCOMPARE(written, text);
    QVERIFY(std::fabs(TimeTextToSeconds(written) - seconds) <= 0.05 + 1e-9);
}

void TestTimeText::hugeValuesKeepOneFractionDigit()
{
    // Beyond 2^63 seconds (an End Time typed as 0:0:1e300) the whole seconds
    // stop at the 64-bit limit; the fraction must not grow with the value.
    const QRegularExpression shape(QStringLiteral("^\\d+:\\d\\d:\\d\\d(\\.\\d)?$"));
    for (const double seconds : {9223372036854775808.0, 1.5e19, 1e300}) {
        const QString text = SecondsToTimeText(seconds);
        QVERIFY2(shape.match(text).hasMatch(), qPrintable(QString::number(seconds) + " -> " + text));
        QVERIFY(text.startsWith(QStringLiteral("2562047788015215:30:07")));
    }
}

void TestTimeText::parses_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("seconds");
    QTest::newRow("encoder duration") << "00:01:23.45" << 83.45;
    QTest::newRow("single digits") << "1:2:3" << 3723.0;
    QTest::newRow("minutes beyond 59") << "0:90:0" << 5400.0;
    QTest::newRow("negative hours") << "-1:00:00" << -3600.0;
    QTest::newRow("one colon") << "12:30" << -1.0;
    QTest::newRow("one colon with zero") << "01:30" << -1.0;
    // Beyond what a time text can be written back as: no time at all.
    QTest::newRow("largest hours") << "2147483647:00:00" << MaxTimeSeconds;
    QTest::newRow("past the largest") << "2147483647:00:00.1" << -1.0;
    QTest::newRow("huge seconds") << "0:0:1e300" << -1.0;
    QTest::newRow("huge negative") << "0:0:-1e300" << -1.0;
    QTest::newRow("empty") << "" << -1.0;
    QTest::newRow("no colon") << "83.5" << -1.0;
    QTest::newRow("three colons") << "1:2:3:4" << -1.0;
    QTest::newRow("seconds start with point") << "00:00:.5" << -1.0;
    QTest::newRow("letters in hours") << "a:00:00" << -1.0;
    QTest::newRow("negative seconds") << "00:00:-1" << -1.0;
    QTest::newRow("blank before hours") << " 1:00:00" << 3600.0;
    QTest::newRow("blank after hours") << "1 :00:00" << -1.0;
    QTest::newRow("blank after minutes") << "1:00 :00" << -1.0;
    QTest::newRow("empty hours") << ":00:00" << -1.0;
    QTest::newRow("empty minutes") << "00::00" << -1.0;
    QTest::newRow("empty seconds") << "00:00:" << -1.0;
    QTest::newRow("hex hours with dollar") << "$A:00:00" << 36000.0;
    QTest::newRow("hex minutes with 0x") << "0:0x10:0" << 960.0;
    QTest::newRow("plus sign") << "+1:+1:+1" << 3661.0;
    QTest::newRow("hours beyond 32 bits") << "2147483648:00:00" << -1.0;
    QTest::newRow("large hours do not wrap") << "600000:00:00" << 2160000000.0;
    QTest::newRow("decimal comma is no point") << "00:00:1,5" << -1.0;
    QTest::newRow("decimals in hours") << "1.5:00:00" << -1.0;
    QTest::newRow("fraction with one digit") << "01:02:05.2" << 3725.2;
}

void TestTimeText::parses()
{
    QFETCH(QString, text);
    QFETCH(double, seconds);
    QCOMPARE(TimeTextToSeconds(text), seconds);
}

// Every text the formatter writes must read back as its value rounded to
// tenths, with at most one digit after the point.
void TestTimeText::writtenTextsReadBack()
{
    QList<double> values;
    for (int i = 0; i < 40000; ++i)
        values.append(i * 0.37 + (i % 7) * 0.013);
    // Every hundredth of a second around many whole seconds, minute and
    // hour boundaries included.
    for (int whole = 0; whole < 90000; whole += 599)
        for (int hundredths = 0; hundredths < 100; ++hundredths)
            values.append(whole + hundredths / 100.0);
    values.append({3599.95, 3599.96, 86399.99, 359999.97, 1e9 + 0.96});
    for (const double seconds : values) {
        const QString text = SecondsToTimeText(seconds);
        const double back = TimeTextToSeconds(text);
        const int point = text.indexOf(QLatin1Char('.'));
        if (point >= 0)
            QVERIFY2(point == text.size() - 2 && text.at(point + 1) != QLatin1Char('0'),
                     qPrintable(text));
        QVERIFY2(std::fabs(back - seconds) <= 0.05 + 1e-6,
                 qPrintable(QStringLiteral("%1 -> %2 -> %3").arg(seconds, 0, 'f', 6).arg(text).arg(back)));
        QCOMPARE(SecondsToTimeText(back), text);
    }
}

void TestTimeText::roundsHalfToEven_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<qint64>("rounded");
    QTest::newRow("0.5") << 0.5 << qint64(0);
    QTest::newRow("1.5") << 1.5 << qint64(2);
    QTest::newRow("2.5") << 2.5 << qint64(2);
    QTest::newRow("10.5") << 10.5 << qint64(10);
    QTest::newRow("11.5") << 11.5 << qint64(12);
    QTest::newRow("-0.5") << -0.5 << qint64(0);
    QTest::newRow("-1.5") << -1.5 << qint64(-2);
    QTest::newRow("2.4999") << 2.4999 << qint64(2);
    QTest::newRow("2.5001") << 2.5001 << qint64(3);
}

void TestTimeText::roundsHalfToEven()
{
    QFETCH(double, value);
    QFETCH(qint64, rounded);
    QCOMPARE(RoundHalfEven(value), rounded);
}

QTEST_MAIN(TestTimeText)
#include "tst_timetext.moc"
