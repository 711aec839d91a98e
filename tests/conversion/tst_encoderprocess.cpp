// The encoder process layer, driven with the fake encoder: command lines,
// reading in pieces, keeping the window alive, killing and time limits.
#include "Clips.h"
#include "FakeEncoder.h"
#include "conversion/EncoderProcess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {

// Still running (a zombie waiting to be reaped counts as ended).
bool Alive(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (pid <= 0 || !stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = stat.readAll();
    const int paren = text.lastIndexOf(')');
    if (paren < 0 || paren + 2 >= text.size())
        return false;
    const char state = text.at(paren + 2);
    return state != 'Z' && state != 'X';
}

// Gone entirely: ended and reaped.
bool Gone(qint64 pid)
{
    return pid > 0 && !QFile::exists(QStringLiteral("/proc/%1").arg(pid));
}

// Reads until the output ends, through the signals or the blocking way;
// every piece is checked against the size limit.
QByteArray ReadAll(TEncoderProcess &process, bool signalDriven, int timeoutMs = -1, QList<int> *sizes = nullptr)
{
    QByteArray all;
    bool bad = false;
    const auto take = [&](const QByteArray &chunk) {
        bad = bad || chunk.isEmpty() || chunk.size() > TEncoderProcess::ChunkSize;
        if (sizes)
            sizes->append(int(chunk.size()));
        all += chunk;
    };
    if (!signalDriven) {
        QByteArray chunk;
        while (process.ReadChunk(chunk, timeoutMs))
            take(chunk);
    } else {
        int ends = 0;
        const QMetaObject::Connection pieces = QObject::connect(&process, &TEncoderProcess::OutputRead, take);
        const QMetaObject::Connection end = QObject::connect(&process, &TEncoderProcess::Ended, [&] {
            ++ends;
            // Nothing more comes after the end.
            QObject::disconnect(pieces);
        });
        QElapsedTimer clock;
        clock.start();
        while (ends == 0 && clock.elapsed() < 30000)
            QTest::qWait(5);
        QTest::qWait(20);
        QObject::disconnect(end);
        if (ends != 1)
            return QByteArray("<ended ") + QByteArray::number(ends) + " times>";
    }
    return bad ? QByteArray("<bad chunk>") : all;
}

} // namespace

class TestEncoderProcess : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    std::unique_ptr<FakeEncoder> m_fake;
    QString ProgramDir() const { return m_dir.path() + QLatin1Char('/'); }

private slots:
    void initTestCase();
    void init();

    // Command lines
    void commandTexts_data();
    void commandTexts();
    void argumentsReachEncoderWhole_data();
    void argumentsReachEncoderWhole();
    void builtInReport();

    // Reading
    void chunksNeverExceedLimit();
    void burstSplitIntoPieces_data();
    void burstSplitIntoPieces();
    void blockingReadHandlesNoEvents();

    // Ending
    void exitStates_data();
    void exitStates();
    void killDuringSilentReadEndsGroup();
    void killIsHarmlessAfterEnd();
    void killAfterEndReachesLeftovers_data();
    void killAfterEndReachesLeftovers();
    void timeLimitKillsHangingEncoder();
    void timeLimitUnusedWhenEncoderEnds();
    void destructorKillsEncoder();
    void pauseStopsTheWholeGroup();
    void threadsReachTheEncoder();

    // Start failures
    void startFailures();
};

void TestEncoderProcess::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void TestEncoderProcess::init()
{
    m_fake = std::make_unique<FakeEncoder>(ProgramDir());
    QVERIFY(m_fake->isValid());
    QCOMPARE(m_fake->path(), ProgramDir() + QStringLiteral("vxenc.dll"));
}

void TestEncoderProcess::commandTexts_data()
{
    QTest::addColumn<QString>("in");
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QStringList>("optionArgs");
    // The paths the encoder gets: relative ones are made full.
    QTest::addColumn<QString>("fullIn");
    QTest::addColumn<QString>("fullOut");
    QTest::newRow("plain") << "/v/in.avi" << " -vcodec mpeg4 -b 800k" << "/o/out.mp4"
                           << QStringList{"-vcodec", "mpeg4", "-b", "800k"} << "/v/in.avi" << "/o/out.mp4";
    QTest::newRow("no arguments") << "/v/in.avi" << "" << "/o/out.mp4" << QStringList{} << "/v/in.avi"
                                  << "/o/out.mp4";
    QTest::newRow("blanks in paths") << "/my videos/a b.avi" << " -r 25" << "/out dir/a b.mp4"
                                     << QStringList{"-r", "25"} << "/my videos/a b.avi" << "/out dir/a b.mp4";
    QTest::newRow("quote in path") << "/v/say \"hi\" now.avi" << " -ss 00:00:05.5 -t 10"
                                   << "/o/\"q\".mp4" << QStringList{"-ss", "00:00:05.5", "-t", "10"}
                                   << "/v/say \"hi\" now.avi" << "/o/\"q\".mp4";
    // A relative "-out.mp4" as the last argument would be read as an option.
    const QString here = QDir::currentPath() + '/';
    QTest::newRow("leading dash") << "-in.avi" << " -an" << "-out.mp4" << QStringList{"-an"}
                                  << here + "-in.avi" << here + "-out.mp4";
    // A relative "a:b.avi" would be read as the protocol "a".
    QTest::newRow("relative with colon") << "clips/a:b.avi" << " -an" << "o:x.mp4" << QStringList{"-an"}
                                         << here + "clips/a:b.avi" << here + "o:x.mp4";
    QTest::newRow("several blanks and trailing blank") << "/v/in.avi" << "  -vcodec   mpeg4  -ab 128k "
                                                       << "/o/out.mp4"
                                                       << QStringList{"-vcodec", "mpeg4", "-ab", "128k"}
                                                       << "/v/in.avi" << "/o/out.mp4";
}

void TestEncoderProcess::commandTexts()
{
    QFETCH(QString, in);
    QFETCH(QString, arguments);
    QFETCH(QString, out);
    QFETCH(QStringList, optionArgs);
    QFETCH(QString, fullIn);
    QFETCH(QString, fullOut);

    const EncoderCommand measure = MeasureCommand(in);
    QCOMPARE(measure.text, QStringLiteral(" -i \"") + fullIn + QLatin1Char('"'));
    QCOMPARE(measure.args, (QStringList{QStringLiteral("-i"), fullIn}));

    const EncoderCommand convert = ConvertCommand(in, arguments, out);
    QCOMPARE(convert.text, QStringLiteral(" -y -i \"") + fullIn + QStringLiteral("\"") + arguments
                               + QStringLiteral(" \"") + fullOut + QStringLiteral("\""));
    QCOMPARE(convert.args, QStringList({QStringLiteral("-y"), QStringLiteral("-i"), fullIn}) + optionArgs
                               + QStringList{fullOut});
}

void TestEncoderProcess::argumentsReachEncoderWhole_data()
{
    commandTexts_data();
}

void TestEncoderProcess::argumentsReachEncoderWhole()
{
    QFETCH(QString, in);
    QFETCH(QString, arguments);
    QFETCH(QString, out);
    QFETCH(QString, fullIn);
    QFETCH(QString, fullOut);
    m_fake->setScript(QStringLiteral("[measure]\nout M<$IN>\n[convert]\nout C<$IN|$OUT>\n"));

    TEncoderProcess process;
    const EncoderCommand convert = ConvertCommand(in, arguments, out);
    QVERIFY(process.Start(m_fake->path(), convert));
    QCOMPARE(ReadAll(process, true), QStringLiteral("C<%1|%2>").arg(fullIn, fullOut).toUtf8());
    const EncoderCommand measure = MeasureCommand(in);
    QVERIFY(process.Start(m_fake->path(), measure));
    QCOMPARE(ReadAll(process, false), QStringLiteral("M<%1>").arg(fullIn).toUtf8());

    const QList<QStringList> runs = m_fake->runs();
    QCOMPARE(runs.size(), 2);
    QCOMPARE(runs.at(0), convert.args);
    QCOMPARE(runs.at(1), measure.args);
    m_fake->clearRuns();
    QVERIFY(m_fake->runs().isEmpty());
}

void TestEncoderProcess::builtInReport()
{
    // Without a script the fake gives a report the probe can read and a
    // conversion's progress lines.
    m_fake->clearScript();
    TEncoderProcess process;
    QVERIFY(process.Start(m_fake->path(), MeasureCommand(QStringLiteral("/v/clip one.avi"))));
    const QByteArray report = ReadAll(process, false);
    QVERIFY(process.ExitedNormally());
    const int path = report.indexOf("/v/clip one.avi");
    QVERIFY(path >= 0);
    QVERIFY(report.indexOf("Duration: 00:01:40.00,", path) > path);
    QVERIFY(report.indexOf(", 320x240,", report.indexOf("Video")) > 0);

    QVERIFY(process.Start(m_fake->path(),
                          ConvertCommand(QStringLiteral("/v/a.avi"), QStringLiteral(" -r 25"), QStringLiteral("/o/a.mp4"))));
    const QByteArray progress = ReadAll(process, true);
    QVERIFY(process.ExitedNormally());
    QVERIFY2(progress.count("time=") >= 3, progress.constData());
    QVERIFY(progress.contains("time=100.00 "));
}

void TestEncoderProcess::chunksNeverExceedLimit()
{
    m_fake->setScript(QStringLiteral("out head\\n\nraw 5000 a\nsleep 50\nerr [E]\nraw 9000 b\nsleep 20\n"
                                     "out tail\\r\\n\nraw 4095 c\nraw 1 d\nexit 0\n"));
    const QByteArray expected = "head\n" + QByteArray(5000, 'a') + "[E]" + QByteArray(9000, 'b') + "tail\r\n"
        + QByteArray(4095, 'c') + "d";
    for (const bool signalDriven : {true, false}) {
        TEncoderProcess process;
        QVERIFY(process.Start(m_fake->path(), ConvertCommand("/i", "", "/o")));
        QList<int> sizes;
        const QByteArray all = ReadAll(process, signalDriven, -1, &sizes);
        QCOMPARE(all.size(), expected.size());
        QCOMPARE(all, expected);
        QVERIFY(sizes.size() >= 4); // 14000 bytes and more cannot come in fewer pieces
        QVERIFY(process.ExitedNormally());
        QVERIFY(!process.Running());
    }
}

void TestEncoderProcess::burstSplitIntoPieces_data()
{
    QTest::addColumn<bool>("signalDriven");
    QTest::newRow("signals") << true;
    QTest::newRow("blocking") << false;
}

void TestEncoderProcess::burstSplitIntoPieces()
{
    QFETCH(bool, signalDriven);
    m_fake->setScript(QStringLiteral("raw 10000 q\nexit 0\n"));
    TEncoderProcess process;
    QVERIFY(process.Start(m_fake->path(), ConvertCommand("/i", "", "/o")));
    // Let the whole burst arrive before the first read, with no event handled.
    QThread::msleep(300);
    QList<int> sizes;
    QCOMPARE(ReadAll(process, signalDriven, -1, &sizes), QByteArray(10000, 'q'));
    QCOMPARE(sizes, (QList<int>{4095, 4095, 1810}));
    QByteArray chunk("left over");
    QVERIFY(!process.ReadChunk(chunk));
    QVERIFY(chunk.isEmpty());
}

void TestEncoderProcess::blockingReadHandlesNoEvents()
{
    m_fake->setScript(QStringLiteral("out before\nsleep 300\nout after\n"));
    int ticks = 0;
    QTimer timer;
    timer.setInterval(10);
    connect(&timer, &QTimer::timeout, this, [&ticks] { ++ticks; });
    timer.start();

    TEncoderProcess process;
    QVERIFY(process.Start(m_fake->path(), MeasureCommand("/i")));
    QCOMPARE(ReadAll(process, false), QByteArray("beforeafter"));
    QCOMPARE(ticks, 0);
    QVERIFY(process.ExitedNormally());
}

void TestEncoderProcess::exitStates_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<bool>("normal");
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("killed");
    QTest::addColumn<QByteArray>("output");
    QTest::newRow("exit 0") << "out done\nexit 0" << true << 0 << false << QByteArray("done");
    QTest::newRow("end of script") << "out done" << true << 0 << false << QByteArray("done");
    QTest::newRow("exit 3") << "err failed\nexit 3" << false << 3 << false << QByteArray("failed");
    QTest::newRow("crash") << "out partial\ncrash" << false << -1 << true << QByteArray("partial");
}

void TestEncoderProcess::exitStates()
{
    QFETCH(QString, script);
    QFETCH(bool, normal);
    QFETCH(int, code);
    QFETCH(bool, killed);
    QFETCH(QByteArray, output);
    m_fake->setScript(script);
    for (const bool signalDriven : {true, false}) {
        TEncoderProcess process;
        QVERIFY(process.Start(m_fake->path(), ConvertCommand("/i", " -x 1", "/o")));
        QVERIFY(process.ProcessId() > 0);
        QCOMPARE(ReadAll(process, signalDriven), output);
        // Known as soon as the output has ended, with no further waiting.
        QVERIFY(!process.Running());
        QCOMPARE(process.ExitedNormally(), normal);
        QCOMPARE(process.ExitCode(), code);
        QCOMPARE(process.Killed(), killed);
        QVERIFY(!process.TimedOut());
        QVERIFY(Gone(process.ProcessId()));
    }
}

void TestEncoderProcess::killDuringSilentReadEndsGroup()
{
    m_fake->setScript(QStringLiteral("out started\nchild\nhang\n"));
    TEncoderProcess process;
    QVERIFY(process.Start(m_fake->path(), ConvertCommand("/i", "", "/o")));
    const qint64 pid = process.ProcessId();

    // Stop once the encoder has started its own child, as a Stop click would:
    // from an event handler while a read waits.
    qint64 child = 0;
    int kills = 0;
    QTimer stopper;
    stopper.setInterval(20);
    connect(&stopper, &QTimer::timeout, this, [&] {
        child = m_fake->childPid();
        if (child > 0 && kills == 0) {
            ++kills;
            process.KillEncoder();
        }
    });
    stopper.start();
    QCOMPARE(ReadAll(process, true), QByteArray("started"));
    stopper.stop();

    QCOMPARE(kills, 1);
    QVERIFY(child > 0);
    QVERIFY(!process.Running());
    QVERIFY(process.Killed());
    QVERIFY(!process.ExitedNormally());
    QCOMPARE(process.ExitCode(), -1);
    QVERIFY(!process.TimedOut());
    QVERIFY(Gone(pid)); // reaped: no zombie left
    QTRY_VERIFY(!Alive(child));
    QByteArray chunk;
    QVERIFY(!process.ReadChunk(chunk));
}

void TestEncoderProcess::killIsHarmlessAfterEnd()
{
    m_fake->setScript(QStringLiteral("out x\nexit 5\n"));
    TEncoderProcess process;
    process.KillEncoder(); // nothing started yet
    QVERIFY(!process.Running());
    QVERIFY(!process.ExitedNormally());
    QVERIFY(process.Start(m_fake->path(), MeasureCommand("/i")));
    QCOMPARE(ReadAll(process, false), QByteArray("x"));
    process.KillEncoder();
    process.KillEncoder();
    // The exit state stays that of the normal end.
    QCOMPARE(process.ExitCode(), 5);
    QVERIFY(!process.Killed());
}

void TestEncoderProcess::killAfterEndReachesLeftovers_data()
{
    QTest::addColumn<bool>("signalDriven");
    QTest::newRow("signals") << true;
    QTest::newRow("blocking") << false;
}

// An encoder that ends while something it started still holds the output
// open: the output ends with the encoder, and the kill that follows every
// run ends what it left behind.
void TestEncoderProcess::killAfterEndReachesLeftovers()
{
    QFETCH(bool, signalDriven);
    m_fake->setScript(QStringLiteral("out a\nchild\nout b\nexit 0\n"));
    TEncoderProcess process;
    QVERIFY(process.Start(m_fake->path(), ConvertCommand("/i", "", "/o")));
    QCOMPARE(ReadAll(process, signalDriven), QByteArray("ab"));
    QVERIFY(process.ExitedNormally());
    const qint64 child = m_fake->childPid();
    QVERIFY(child > 0);
    QVERIFY(Alive(child));
    process.KillEncoder();
    QTRY_VERIFY(!Alive(child));
    QVERIFY(process.ExitedNormally());
}

void TestEncoderProcess::timeLimitKillsHangingEncoder()
{
    m_fake->setScript(QStringLiteral("[measure]\nout partial report\nchild\nhang\n[convert]\nexit 1\n"));
    TEncoderProcess process;
    QVERIFY(process.Start(m_fake->path(), MeasureCommand(QStringLiteral("/v/a.avi"))));
    const qint64 pid = process.ProcessId();
    QCOMPARE(ReadAll(process, false, 400), QByteArray("partial report"));
    QVERIFY(process.TimedOut());
    QVERIFY(process.Killed());
    QVERIFY(!process.Running());
    QVERIFY(Gone(pid));
    const qint64 child = m_fake->childPid();
    QVERIFY(child > 0);
    QTRY_VERIFY(!Alive(child));

    // The next start clears the flag.
    QVERIFY(process.Start(m_fake->path(), ConvertCommand("/i", "", "/o")));
    QVERIFY(!process.TimedOut());
    QCOMPARE(ReadAll(process, false, 60000), QByteArray());
    QCOMPARE(process.ExitCode(), 1);
}

void TestEncoderProcess::timeLimitUnusedWhenEncoderEnds()
{
    m_fake->setScript(QStringLiteral("out ok\nsleep 100\nout !\n"));
    TEncoderProcess process;
    QVERIFY(process.Start(m_fake->path(), MeasureCommand("/i")));
    QCOMPARE(ReadAll(process, false, 60000), QByteArray("ok!"));
    QVERIFY(!process.TimedOut());
    QVERIFY(process.ExitedNormally());
}

void TestEncoderProcess::destructorKillsEncoder()
{
    m_fake->setScript(QStringLiteral("child\nhang\n"));
    auto process = std::make_unique<TEncoderProcess>();
    QVERIFY(process->Start(m_fake->path(), ConvertCommand("/i", "", "/o")));
    const qint64 pid = process->ProcessId();
    QTRY_VERIFY(m_fake->childPid() > 0);
    const qint64 child = m_fake->childPid();
    QVERIFY(Alive(pid));
    QVERIFY(Alive(child));
    process.reset();
    QVERIFY(Gone(pid));
    QTRY_VERIFY(!Alive(child));
}

void TestEncoderProcess::pauseStopsTheWholeGroup()
{
    m_fake->setScript(QStringLiteral("child\nout started\nhang\n"));
    TEncoderProcess process;
    QVERIFY(process.Start(m_fake->path(), ConvertCommand("/i", "", "/o")));
    QTRY_VERIFY(m_fake->childPid() > 0);
    const qint64 pid = process.ProcessId();
    const qint64 child = m_fake->childPid();
    process.Pause();
    QVERIFY(process.Paused());
    QTRY_COMPARE(ProcessState(pid), 'T');
    QTRY_COMPARE(ProcessState(child), 'T');
    process.Resume();
    QVERIFY(!process.Paused());
    QTRY_VERIFY(ProcessState(pid) != 'T');
    QTRY_VERIFY(ProcessState(child) != 'T');

    // Ended while paused: continued first, then gone at once.
    process.Pause();
    QTRY_COMPARE(ProcessState(pid), 'T');
    int ends = 0;
    connect(&process, &TEncoderProcess::Ended, this, [&ends] { ++ends; });
    process.KillEncoder();
    QTRY_COMPARE(ends, 1);
    QVERIFY(process.Killed());
    QVERIFY(!process.Paused());
    QTRY_VERIFY(!Alive(child));
}

void TestEncoderProcess::threadsReachTheEncoder()
{
    m_fake->setScript(QStringLiteral("out <$THREADS>\n"));
    const QByteArray outside = qgetenv("VXENC_THREADS");
    qunsetenv("VXENC_THREADS");
    TEncoderProcess process;
    QVERIFY(process.Start(m_fake->path(), ConvertCommand("/i", "", "/o"), 3));
    QCOMPARE(ReadAll(process, true), QByteArray("<3>"));
    QVERIFY(process.Start(m_fake->path(), ConvertCommand("/i", "", "/o")));
    QCOMPARE(ReadAll(process, true), QByteArray("<->"));
    if (!outside.isNull())
        qputenv("VXENC_THREADS", outside);
}

void TestEncoderProcess::startFailures()
{
    TEncoderProcess process;
    const EncoderCommand command = MeasureCommand(QStringLiteral("/v/a.avi"));
    QByteArray chunk;

    QVERIFY(!process.Start(ProgramDir() + QStringLiteral("missing.dll"), command));
    QVERIFY(!process.ReadChunk(chunk));
    QVERIFY(!process.ExitedNormally());
    QVERIFY(!process.Killed());
    QCOMPARE(process.ExitCode(), -1);

    // A file without execute permission.
    const QString plain = ProgramDir() + QStringLiteral("plain.dll");
    QVERIFY(QFile::copy(m_fake->path(), plain));
    QVERIFY(QFile::setPermissions(plain, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    QVERIFY(!process.Start(plain, command));
    QVERIFY(!process.ReadChunk(chunk));

    // A folder is no program either.
    QVERIFY(!process.Start(ProgramDir(), command));

    // After a run, a failed start leaves no state of that run behind.
    m_fake->setScript(QStringLiteral("exit 0\n"));
    QVERIFY(process.Start(m_fake->path(), command));
    QCOMPARE(ReadAll(process, false), QByteArray());
    QVERIFY(process.ExitedNormally());
    QVERIFY(!process.Start(plain, command));
    QVERIFY(!process.ExitedNormally());
    QCOMPARE(process.ProcessId(), qint64(0));
    QCOMPARE(m_fake->runs().size(), 1); // the failed starts never ran anything
}

QTEST_MAIN(TestEncoderProcess)
#include "tst_encoderprocess.moc"
