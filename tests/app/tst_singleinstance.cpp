// One window per user and display: a later start of the real program hands
// its files (names relative to its own working folder) to the window that is
// open here, and ends. The window here is the test's own, so its rows can be
// read; the later start is the real program, run offscreen.

#include "TestFiles.h"
#include "TestProgram.h"
#include "app/MainForm.h"
#include "app/SingleInstance.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

class TestSingleInstance : public QObject {
    Q_OBJECT
private slots:
    void init();
    void laterStartHandsOverItsFiles();
    void runningBatchRefusesFiles();
    void leftoverSocketFileIsReplaced();

private:
    // Runs the program copied into prog's folder with arguments, from folder;
    // its exit code, -1 when it did not end.
    int runLaterStart(TestProgram &prog, const QString &folder, const QStringList &arguments);

    QTemporaryDir m_runtime;
};

void TestSingleInstance::init()
{
    QVERIFY(m_runtime.isValid());
    // The sockets of this test only.
    qputenv("XDG_RUNTIME_DIR", m_runtime.path().toUtf8());
}

int TestSingleInstance::runLaterStart(TestProgram &prog, const QString &folder, const QStringList &arguments)
{
    // The copy sits in the program folder the window here uses, so both
    // name the same socket.
    const QString program = prog.path("velvo");
    if (!QFileInfo::exists(program)) {
        if (!QFile::copy(QString(VELVO_PROGRAM_DIR) + "velvo", program))
            return -2;
        QFile::setPermissions(program, QFile::permissions(program) | QFile::ExeOwner);
    }
    QProcess velvo;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    velvo.setProcessEnvironment(env);
    velvo.setWorkingDirectory(folder);
    velvo.start(program, arguments);
    // It waits for nothing but this window's answer, which the event loop
    // here gives.
    QElapsedTimer clock;
    clock.start();
    while (velvo.state() != QProcess::NotRunning && clock.elapsed() < 20000) {
        QCoreApplication::processEvents();
        velvo.waitForFinished(10);
    }
    if (velvo.state() != QProcess::NotRunning) {
        velvo.kill();
        velvo.waitForFinished();
        return -1;
    }
    return velvo.exitStatus() == QProcess::NormalExit ? velvo.exitCode() : -1;
}

void TestSingleInstance::laterStartHandsOverItsFiles()
{
    TestProgram prog;
    prog.fakeEncoder();
    QTemporaryDir clips;
    WriteBytes(clips.path() + "/a.mp4", "clip");
    WriteBytes(clips.path() + "/sub/b.avi", "clip");
    WriteBytes(clips.path() + "/notes.txt", "not a video");
    TMainForm *form = prog.start();

    TInstanceServer server;
    QVERIFY(!server.HandOverOrListen({}));
    QVERIFY(server.IsListening());
    QVERIFY(QFileInfo::exists(TInstanceServer::SocketPath()));

    // Before the window takes requests, they wait; the later start ends at once.
    QCOMPARE(runLaterStart(prog, clips.path(), {"a.mp4", "sub", "notes.txt"}), 0);
    QCOMPARE(form->ltvTask->topLevelItemCount(), 0);
    server.SetReceiver([form](const QString &folder, const QStringList &arguments) {
        form->TakeHandedArguments(folder, arguments);
    });
    QTRY_COMPARE(form->ltvTask->topLevelItemCount(), 2);
    QCOMPARE(form->ltvTask->topLevelItem(0)->text(0), clips.path() + "/a.mp4");
    QCOMPARE(form->ltvTask->topLevelItem(1)->text(0), clips.path() + "/sub/b.avi");
    QVERIFY(form->tbtnStart->isEnabled());

    // A list file's names are taken from the later start's folder as well.
    WriteBytes(clips.path() + "/list.tmp", "c.mov\n");
    WriteBytes(clips.path() + "/sub/c.mov", "clip");
    QCOMPARE(runLaterStart(prog, clips.path() + "/sub", {"../list.tmp"}), 0);
    QTRY_COMPARE(form->ltvTask->topLevelItemCount(), 3);
    QCOMPARE(form->ltvTask->topLevelItem(2)->text(0), clips.path() + "/sub/c.mov");

    // Without files the later start only brings this window forward.
    QCOMPARE(runLaterStart(prog, clips.path(), {}), 0);
    QTest::qWait(50);
    QCOMPARE(form->ltvTask->topLevelItemCount(), 3);
    QVERIFY(prog.platform.messages.isEmpty());
    QVERIFY(prog.platform.notices.isEmpty());
}

void TestSingleInstance::runningBatchRefusesFiles()
{
    TestProgram prog;
    prog.fakeEncoder();
    QTemporaryDir clips;
    WriteBytes(clips.path() + "/a.mp4", "clip");
    WriteBytes(clips.path() + "/b.mp4", "clip");
    TMainForm *form = prog.start();
    TInstanceServer server;
    QVERIFY(!server.HandOverOrListen({}));
    server.SetReceiver([form](const QString &folder, const QStringList &arguments) {
        form->TakeHandedArguments(folder, arguments);
    });

    form->RunState = 1; // as while a batch converts
    QCOMPARE(runLaterStart(prog, clips.path(), {"a.mp4", "b.mp4"}), 0);
    QTRY_COMPARE(prog.platform.notices.size(), 1);
    QCOMPARE(prog.platform.notices[0].text,
             QString("A batch is being converted, so the 2 files given were not added to the task list. "
                     "Add them again when the batch has ended."));
    QCOMPARE(prog.platform.notices[0].icon, Platform::Icon::Information);
    QCOMPARE(form->ltvTask->topLevelItemCount(), 0);
    QVERIFY(prog.platform.messages.isEmpty()); // nothing that waits for the user

    QCOMPARE(runLaterStart(prog, clips.path(), {"a.mp4"}), 0);
    QTRY_COMPARE(prog.platform.notices.size(), 2);
    QVERIFY(prog.platform.notices[1].text.startsWith("A batch is being converted, so the file given was not"));
    form->RunState = 0;

    // Once the batch has ended, files are taken again.
    QCOMPARE(runLaterStart(prog, clips.path(), {"b.mp4"}), 0);
    QTRY_COMPARE(form->ltvTask->topLevelItemCount(), 1);
}

void TestSingleInstance::leftoverSocketFileIsReplaced()
{
    TestProgram prog;
    // What a crashed program leaves: a socket file nobody listens on.
    const QString path = TInstanceServer::SocketPath();
    WriteBytes(path, "");
    {
        TInstanceServer server;
        QVERIFY(!server.HandOverOrListen({}));
        QVERIFY(server.IsListening());
    }
    // Closing removes the socket, so the next start listens again.
    QVERIFY(!QFileInfo::exists(path));
}

QTEST_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
