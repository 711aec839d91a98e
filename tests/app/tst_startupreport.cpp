// The start-up report the bench relies on: printed once after the first
// paint when asked for, closing like the close box when asked to, and absent
// otherwise.

#include "FakeEncoder.h"
#include "app/StartupReport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <csignal>

class TestStartupReport : public QObject {
    Q_OBJECT
private slots:
    void init();
    void reportsOnceAfterFirstPaintAndCloses();
    void reportsWithoutClosingUnlessAsked();
    void silentWithoutTheVariable();
    void processAgeFollowsTheClock();

private:
    // Starts the copied program with the given extra environment.
    void start(QProcess &velvo, const QStringList &variables, const QStringList &arguments = {});

    QTemporaryDir m_dir;
    QString m_program;
    QString m_prefs;
};

void TestStartupReport::init()
{
    QVERIFY(m_dir.isValid());
    m_program = m_dir.path() + "/velvo";
    m_prefs = m_dir.path() + "/Preferences.ini";
    QFile::remove(m_prefs);
    if (!QFile::exists(m_program)) {
        QVERIFY(QFile::copy(QString(VELVO_PROGRAM_DIR) + "velvo", m_program));
        QFile::setPermissions(m_program, QFile::permissions(m_program) | QFile::ExeOwner);
    }
}

void TestStartupReport::start(QProcess &velvo, const QStringList &variables, const QStringList &arguments)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.remove("VELVO_REPORT_STARTUP");
    env.remove("VELVO_EXIT_AFTER_STARTUP");
    for (const QString &v : variables)
        env.insert(v.section('=', 0, 0), v.section('=', 1));
    velvo.setProcessEnvironment(env);
    velvo.start(m_program, arguments);
    QVERIFY(velvo.waitForStarted());
}

void TestStartupReport::reportsOnceAfterFirstPaintAndCloses()
{
    QProcess velvo;
    start(velvo, {"VELVO_REPORT_STARTUP=1", "VELVO_EXIT_AFTER_STARTUP=1"});
    QVERIFY(velvo.waitForFinished(30000));
    QCOMPARE(velvo.exitStatus(), QProcess::NormalExit);
    QCOMPARE(velvo.exitCode(), 0);
    const QString out = QString::fromLocal8Bit(velvo.readAllStandardOutput());
    const QRegularExpressionMatch m = QRegularExpression("^startup-ms (\\d+)\\n$").match(out);
    QVERIFY2(m.hasMatch(), qPrintable(out));
    QVERIFY(m.captured(1).toInt() > 0);
    // It closed the way the close box does: the preferences were saved.
    QFile file(m_prefs);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("\r\nProfile="));
}

void TestStartupReport::reportsWithoutClosingUnlessAsked()
{
    QProcess velvo;
    start(velvo, {"VELVO_REPORT_STARTUP=1", "VELVO_EXIT_AFTER_STARTUP=0"});
    QTRY_VERIFY_WITH_TIMEOUT(velvo.bytesAvailable() > 0 || velvo.state() == QProcess::NotRunning, 30000);
    QTest::qWait(500);
    QCOMPARE(velvo.state(), QProcess::Running);
    QVERIFY(QRegularExpression("^startup-ms \\d+\\n$").match(velvo.readAllStandardOutput()).hasMatch());
    ::kill(velvo.processId(), SIGTERM);
    QVERIFY(velvo.waitForFinished(10000));
    QCOMPARE(velvo.exitCode(), 0);
    // Only one report, however often the window paints.
    QCOMPARE(velvo.readAllStandardOutput(), QByteArray());
}

void TestStartupReport::silentWithoutTheVariable()
{
    // A clip named on the command line is measured while the windows are
    // made: the encoder's log shows that the program is up.
    FakeEncoder encoder(m_dir.path());
    QVERIFY(encoder.isValid());
    QFile clip(m_dir.path() + "/clip.avi");
    QVERIFY(clip.open(QIODevice::WriteOnly));
    clip.close();
    QProcess velvo;
    start(velvo, {"VELVO_EXIT_AFTER_STARTUP=1"}, {clip.fileName()});
    QTRY_VERIFY_WITH_TIMEOUT(!encoder.runs().isEmpty(), 30000);
    QTest::qWait(500);
    QCOMPARE(velvo.state(), QProcess::Running);
    ::kill(velvo.processId(), SIGTERM);
    QVERIFY(velvo.waitForFinished(10000));
    QCOMPARE(velvo.exitCode(), 0);
    QCOMPARE(velvo.readAllStandardOutput(), QByteArray());
}

void TestStartupReport::processAgeFollowsTheClock()
{
    const double first = MillisecondsSinceProcessStart();
    QVERIFY(first >= 0);
    QThread::msleep(100);
    const double second = MillisecondsSinceProcessStart();
    // Both readings share the process start time, so the difference is the
    // clock's own.
    QVERIFY2(second - first >= 99.9, qPrintable(QString("%1 then %2").arg(first).arg(second)));
}

QTEST_MAIN(TestStartupReport)
#include "tst_startupreport.moc"
