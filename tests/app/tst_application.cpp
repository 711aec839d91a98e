// The application object: errors escaping handlers, termination signals,
// measures that never answer.

#include "Clips.h"
#include "FakeEncoder.h"
#include "FakePlatform.h"
#include "app/Application.h"
#include "ini/NewInifiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

namespace {

class Throwing : public QObject {
public:
    int handled = 0;
    bool event(QEvent *e) override
    {
        if (e->type() == QEvent::User) {
            ++handled;
            throw EFileError("Cannot create file \"/x/Preferences.ini\". Permission denied");
        }
        return QObject::event(e);
    }
};

// Starts the real program offscreen; its start-up report line tells when
// the window is up.
void StartOffscreen(QProcess &velvo, const QString &program, const QStringList &arguments)
{
    // On the caller's environment when it gave one.
    QProcessEnvironment env = velvo.processEnvironment();
    if (env.isEmpty())
        env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("VELVO_REPORT_STARTUP", "1");
    env.remove("VELVO_EXIT_AFTER_STARTUP");
    velvo.setProcessEnvironment(env);
    velvo.start(program, arguments);
}

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestApplication : public QObject {
    Q_OBJECT
private slots:
    void escapedErrorIsShownAndProgramGoesOn();
    void errorInClickHandlerStopsThatHandler();
    void terminationSignalClosesLikeTheCloseBox();
    void terminationSignalDuringAStartUpBox();
    void hangingMeasuresHoldNeitherTheWindowNorTheEnd();
};

void TestApplication::escapedErrorIsShownAndProgramGoesOn()
{
    FakePlatform platform;
    Throwing target;
    QEvent event(QEvent::User);
    QCoreApplication::sendEvent(&target, &event);
    QCOMPARE(target.handled, 1);
    QCOMPARE(platform.messages.size(), 1);
    QCOMPARE(platform.messages[0].text, QString("Cannot create file \"/x/Preferences.ini\". Permission denied"));
    QCOMPARE(platform.messages[0].caption, QString("Velvo"));
    QCOMPARE(platform.messages[0].icon, Platform::Icon::Error);
    // The program keeps running: later events are delivered as usual.
    QCoreApplication::sendEvent(&target, &event);
    QCOMPARE(target.handled, 2);
    QCOMPARE(platform.messages.size(), 2);
}

void TestApplication::errorInClickHandlerStopsThatHandler()
{
    FakePlatform platform;
    QPushButton button("Go");
    button.show();
    bool after = false;
    QObject::connect(&button, &QPushButton::clicked, [&] {
        throw EFileError("Cannot open file \"p\". No such file");
        after = true; // never reached: the handler stops at the error
    });
    QTest::mouseClick(&button, Qt::LeftButton);
    QVERIFY(!after);
    QCOMPARE(platform.messages.size(), 1);
    QCOMPARE(platform.messages[0].text, QString("Cannot open file \"p\". No such file"));
    QVERIFY(button.isVisible());
}

void TestApplication::terminationSignalClosesLikeTheCloseBox()
{
    QTemporaryDir dir;
    const QString program = dir.path() + "/velvo";
    QVERIFY(QFile::copy(QString(VELVO_PROGRAM_DIR) + "velvo", program));
    QFile::setPermissions(program, QFile::permissions(program) | QFile::ExeOwner);
    const QString prefs = dir.path() + "/Preferences.ini";

    for (int signal : {SIGTERM, SIGINT}) {
        QFile::remove(prefs);
        QProcess velvo;
        StartOffscreen(velvo, program, {});
        QVERIFY(velvo.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(velvo.canReadLine(), 30000);
        QTest::qWait(300);
        // The first start only reads the preferences.
        QVERIFY(!QFileInfo::exists(prefs));
        ::kill(velvo.processId(), signal);
        QVERIFY(velvo.waitForFinished(10000));
        QCOMPARE(velvo.exitStatus(), QProcess::NormalExit);
        QCOMPARE(velvo.exitCode(), 0);
        // The close saved the preferences as the close box does.
        QFile file(prefs);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY2(text.startsWith("[Main]\r\n"), text.constData());
        QVERIFY(text.contains("\r\nProfile="));
    }
}

void TestApplication::terminationSignalDuringAStartUpBox()
{
    // An unreadable list file holds the start in an error box; a signal then
    // still ends the program, at once and normally.
    QTemporaryDir dir;
    const QString program = dir.path() + "/velvo";
    QVERIFY(QFile::copy(QString(VELVO_PROGRAM_DIR) + "velvo", program));
    QFile::setPermissions(program, QFile::permissions(program) | QFile::ExeOwner);
    QProcess velvo;
    StartOffscreen(velvo, program, {dir.path() + "/missing/list.tmp"});
    QVERIFY(velvo.waitForStarted());
    // The window is not up while the box waits.
    QTest::qWait(1500);
    QVERIFY(!velvo.canReadLine());
    QCOMPARE(velvo.state(), QProcess::Running);
    ::kill(velvo.processId(), SIGTERM);
    QVERIFY(velvo.waitForFinished(5000));
    QCOMPARE(velvo.exitStatus(), QProcess::NormalExit);
    QCOMPARE(velvo.exitCode(), 0);
}

void TestApplication::hangingMeasuresHoldNeitherTheWindowNorTheEnd()
{
    // Files whose measure never answers (a live stream's playlist named
    // .ts, an encoder that hangs): their rows are listed at once, a
    // termination signal still ends the program at once, and no measure
    // outlives the program, however it ends.
    QTemporaryDir dir;
    const QString program = dir.path() + "/velvo";
    QVERIFY(QFile::copy(QString(VELVO_PROGRAM_DIR) + "velvo", program));
    QFile::setPermissions(program, QFile::permissions(program) | QFile::ExeOwner);
    FakeEncoder fake(dir.path());
    fake.setScript("[measure]\nhang\n");
    QStringList files;
    for (const char *name : {"live1.ts", "live2.ts", "live3.ts"}) {
        files << dir.path() + "/in/" + name;
        QDir().mkpath(dir.path() + "/in");
        QFile playlist(files.last());
        QVERIFY(playlist.open(QIODevice::WriteOnly));
        playlist.write("#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXTINF:2.0,\nhttp://192.0.2.1/live/1.ts\n");
    }
    files << dir.path() + "/in/clip.avi";
    QVERIFY(MakeTestClip(files.last(), 1.0, 160, 120, false));

    for (int signal : {SIGTERM, SIGKILL}) {
        const QString state = dir.path() + QString("/state%1").arg(signal);
        QProcess velvo;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_STATE_HOME", state);
        velvo.setProcessEnvironment(env);
        StartOffscreen(velvo, program, files);
        QVERIFY(velvo.waitForStarted());
        // The rows reach the kept task list, all four, within seconds.
        const QString kept = state + QString("/velvo/tasklist-%1.ini").arg(velvo.processId());
        QTRY_VERIFY_WITH_TIMEOUT(ReadAll(kept).count("[Row]") == 4, 4000);
        QTRY_VERIFY_WITH_TIMEOUT(ProcessesRunning(fake.path()).size() >= 1, 5000);
        QElapsedTimer clock;
        clock.start();
        ::kill(velvo.processId(), signal);
        QVERIFY(velvo.waitForFinished(3000));
        if (signal == SIGTERM) {
            QCOMPARE(velvo.exitStatus(), QProcess::NormalExit);
            QCOMPARE(velvo.exitCode(), 0);
            QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
        }
        QTRY_VERIFY_WITH_TIMEOUT(ProcessesRunning(fake.path()).isEmpty(), 2000);
    }
}

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    TestApplication test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_application.moc"
