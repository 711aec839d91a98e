// The task list kept on disk: its text and parsing, the state folder, which
// files belong to a program that is gone, the keeper's saves, and the start
// that offers a left-behind list back (also after a real SIGKILL).

#include "TaskTestUtil.h"
#include "TestProgram.h"

#include "app/Forms.h"
#include "app/MainForm.h"
#include "common/ProcessInfo.h"
#include "common/ProgramFolder.h"
#include "tasks/TaskListState.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

using namespace tasktest;

namespace {

// A row as the list holds it: caption and the ten sub-items.
QStringList RowTexts(const QString &input, const QString &status, const QString &outputName = "out")
{
    return {input, "00:01:40.00", " 320x240", status, outputName, ".mp4", "00:00:00.0", "00:01:40.00",
            "00:01:40.00", "00:00:00.0", "00:01:40.00"};
}

// The number of a process that has ended.
qint64 DeadPid()
{
    QProcess p;
    p.start("true", {});
    p.waitForStarted();
    const qint64 pid = p.processId();
    p.waitForFinished();
    return pid;
}

// $XDG_STATE_HOME of the test, and the program's folder in it.
QString StateHome(const TestProgram &prog)
{
    return QDir::cleanPath(prog.stateDir() + "/..");
}

QString StateFolder(const TestProgram &prog)
{
    return QDir::cleanPath(prog.stateDir());
}

void WriteLeftover(const QString &path, const QByteArray &text)
{
    QVERIFY(MakePrivateFolder(QFileInfo(path).absolutePath()));
    QVERIFY(Touch(path, text));
}

QStringList StateFiles(const TestProgram &prog)
{
    return QDir(StateFolder(prog)).entryList(QDir::Files | QDir::Hidden);
}

TTaskListSnapshot ReadSnapshot(const QString &path)
{
    QFile file(path);
    TTaskListSnapshot snapshot;
    QString error;
    if (!file.open(QIODevice::ReadOnly) || !ParseTaskList(file.readAll(), snapshot, error))
        qWarning("%s: %s", qPrintable(path), qPrintable(error));
    return snapshot;
}

// Started by the SIGKILL test as a separate process: the program with three
// files from the command line and its own options on the second row, kept on
// disk; then it waits to be killed.
int HoldTaskList(const QStringList &args)
{
    FakePlatform platform;
    SetApplicationFolder(args.value(0));
    qputenv("XDG_STATE_HOME", args.value(1).toLocal8Bit());
    TMainForm *form = CreateForms(args.mid(2));
    WaitUntilMeasured(form);
    ltvItemData rec;
    form->ReadItemData(1, sdAll, rec);
    rec.OutputName = "second, renamed";
    rec.ClipStart = "00:00:01.5";
    form->WriteItemData(1, sdAll, rec);
    while (form->TaskListKeeper->Pending() || !QFileInfo::exists(form->TaskListKeeper->Path()))
        QTest::qWait(20);
    std::printf("held %d\n", form->ltvTask->topLevelItemCount());
    std::fflush(stdout);
    return QApplication::exec();
}

} // namespace

class TestTaskListState : public QObject {
    Q_OBJECT

private slots:
    // ---- the file's text

    void textRoundTrip()
    {
        TTaskListSnapshot snapshot;
        snapshot.Pid = 4242;
        snapshot.ProcessStart = 987654321;
        // Names with every character that could break a line-based file.
        snapshot.Rows << RowTexts("/videos/a\nb\\n=[Row]\r.avi", "Complete")
                      << RowTexts("/videos/ünïcødé.mp4", "OK", "x=y\\") << RowTexts("/v/c.avi", "Converting", "");
        const QByteArray text = TaskListText(snapshot);
        TTaskListSnapshot back;
        QString error;
        QVERIFY2(ParseTaskList(text, back, error), qPrintable(error));
        QCOMPARE(back.Pid, 4242);
        QCOMPARE(back.ProcessStart, 987654321);
        QCOMPARE(back.Rows, snapshot.Rows);
        // An empty list is a valid file too.
        QVERIFY(ParseTaskList(TaskListText(TTaskListSnapshot()), back, error));
        QVERIFY(back.Rows.isEmpty());
    }

    void malformedTexts_data()
    {
        QTest::addColumn<QByteArray>("text");
        TTaskListSnapshot snapshot;
        snapshot.Rows << RowTexts("/v/a.avi", "OK") << RowTexts("/v/b.avi", "OK");
        const QByteArray good = TaskListText(snapshot);
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("cut short") << good.left(good.size() - 5);
        QTest::newRow("cut at a line end") << good.left(good.indexOf("[Row]", 100));
        QTest::newRow("other heading") << QByteArray(good).replace("[Velvo Task List]", "[Main]");
        QTest::newRow("unknown version") << QByteArray(good).replace("Version=1", "Version=2");
        QTest::newRow("row count") << QByteArray(good).replace("Rows=2", "Rows=3");
        QTest::newRow("negative row count") << QByteArray(good).replace("Rows=2", "Rows=-1");
        QTest::newRow("key out of order") << QByteArray(good).replace("LengthText=", "FrameSizeText=");
        QTest::newRow("bad escape") << QByteArray(good).replace("/v/a.avi", "/v/a\\x.avi");
        QTest::newRow("escape at the end") << QByteArray(good).replace("/v/a.avi", "/v/a.avi\\");
        QTest::newRow("binary") << QByteArray("\x7f" "ELF\x02\x01\x01\0\0\0\n", 11);
    }

    void malformedTexts()
    {
        QFETCH(QByteArray, text);
        TTaskListSnapshot snapshot;
        snapshot.Rows << RowTexts("/kept.avi", "OK");
        QString error;
        QVERIFY(!ParseTaskList(text, snapshot, error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(snapshot.Rows.size(), 1); // untouched on failure
    }

    // ---- folder and owners

    void stateFolder()
    {
        const QByteArray saved = qgetenv("XDG_STATE_HOME");
        qputenv("XDG_STATE_HOME", "/somewhere/state/");
        QCOMPARE(TaskStateFolder(), QString("/somewhere/state/velvo"));
        // A relative or empty value is not a base folder: the default applies.
        for (const char *ignored : {"relative/state", ""}) {
            qputenv("XDG_STATE_HOME", ignored);
            QCOMPARE(TaskStateFolder(), QDir::homePath() + "/.local/state/velvo");
        }
        qputenv("XDG_STATE_HOME", saved);
        QCOMPARE(TaskListPath("/s/velvo", 77), QString("/s/velvo/tasklist-77.ini"));

        QTemporaryDir dir;
        const QString folder = dir.path() + "/a/b/velvo";
        QVERIFY(MakePrivateFolder(folder));
        for (const QString &made : {dir.path() + "/a", dir.path() + "/a/b", folder}) {
            struct stat info = {};
            QCOMPARE(::stat(QFile::encodeName(made).constData(), &info), 0);
            QCOMPARE(int(info.st_mode & 0777), 0700);
        }
        // A file where the folder should be.
        QVERIFY(Touch(dir.path() + "/file"));
        QVERIFY(!MakePrivateFolder(dir.path() + "/file/velvo"));
    }

    void orphansAndClaims()
    {
        QTemporaryDir dir;
        const QString folder = dir.path();
        const qint64 self = ::getpid();
        const qint64 dead = DeadPid();
        auto write = [&](const QString &name, qint64 start) {
            TTaskListSnapshot snapshot;
            snapshot.ProcessStart = start;
            snapshot.Rows << RowTexts("/v/a.avi", "OK");
            QVERIFY(Touch(folder + "/" + name, TaskListText(snapshot)));
        };
        write(QString("tasklist-%1.ini").arg(dead), 5);                           // owner gone
        write(QString("tasklist-%1.ini").arg(self), ProcessStartTicks(self));     // ours, alive
        write(QString("tasklist-%1-1.ini").arg(self), 5);                         // being restored by us
        write("tasklist-1.ini", 5);                  // number now used by another process
        QVERIFY(Touch(folder + "/tasklist-1-2.ini", "not a task list")); // taken over by a live process
        QVERIFY(Touch(folder + QString("/tasklist-%1-3.ini").arg(dead), "garbage"));
        QVERIFY(Touch(folder + "/tasklist-x.ini"));
        QVERIFY(Touch(folder + QString("/tasklist-%1.ini.bad").arg(dead)));

        QStringList names;
        for (const QString &path : OrphanedTaskLists(folder))
            names << QFileInfo(path).fileName();
        names.sort();
        QStringList expected{QString("tasklist-%1.ini").arg(dead), QString("tasklist-%1-3.ini").arg(dead),
                             "tasklist-1.ini"};
        expected.sort();
        QCOMPARE(names, expected);

        // A claim moves the file to a name of this process; a second claim
        // of the same file finds nothing.
        const QString orphan = folder + QString("/tasklist-%1.ini").arg(dead);
        const QString claimed = ClaimTaskList(orphan);
        QVERIFY(!claimed.isEmpty());
        QVERIFY(QFileInfo(claimed).fileName().startsWith(QString("tasklist-%1-").arg(self)));
        QVERIFY(!QFileInfo::exists(orphan));
        QCOMPARE(ReadSnapshot(claimed).Rows.size(), 1);
        QVERIFY(ClaimTaskList(orphan).isEmpty());
        QVERIFY(!OrphanedTaskLists(folder).contains(claimed));
    }

    // ---- the keeper in the window

    void keeperSavesGatheredChanges()
    {
        TestProgram prog;
        prog.fakeEncoder();
        TMainForm *form = prog.start();
        const QString path = TaskListPath(StateFolder(prog), ::getpid());
        QCOMPARE(form->TaskListKeeper->Path(), path);
        QVERIFY(!QFileInfo::exists(path)); // nothing to keep yet
        for (const char *name : {"/v/a.avi", "/v/b.avi", "/v/c.avi"})
            form->AddFile(name);
        QVERIFY(form->TaskListKeeper->Pending());
        QVERIFY(!QFileInfo::exists(path));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(path), 5000);
        TTaskListSnapshot saved = ReadSnapshot(path);
        QCOMPARE(saved.Rows.size(), 3);
        QCOMPARE(saved.Rows[2].value(0), QString("/v/c.avi"));
        QCOMPARE(saved.Rows[2].value(3), QString("OK"));
        QCOMPARE(saved.ProcessStart, ProcessStartTicks(::getpid()));
        struct stat info = {};
        QCOMPARE(::stat(QFile::encodeName(StateFolder(prog)).constData(), &info), 0);
        QCOMPARE(int(info.st_mode & 0777), 0700);

        // A change waits for the interval, then lands.
        ltvItemData rec = Row(form, 1);
        rec.Status = "Complete";
        form->WriteItemData(1, 2, rec);
        QVERIFY(form->TaskListKeeper->Pending());
        QCOMPARE(ReadSnapshot(path).Rows[1].value(3), QString("OK"));
        QTRY_COMPARE_WITH_TIMEOUT(ReadSnapshot(path).Rows[1].value(3), QString("Complete"), 5000);
        SelectRows(form, {0});
        form->tbtnUpClick(); // no move from the top: nothing changes
        form->tbtnDownClick();
        QTRY_COMPARE_WITH_TIMEOUT(ReadSnapshot(path).Rows[0].value(0), QString("/v/b.avi"), 5000);

        // An emptied list leaves no file; a normal end neither.
        form->tbtnClearClick();
        QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(path), 5000);
        form->AddFile("/v/d.avi");
        form->TaskListKeeper->SaveNow();
        QVERIFY(QFileInfo::exists(path));
        prog.stop();
        QVERIFY(!QFileInfo::exists(path));
        QVERIFY(prog.platform.messages.isEmpty());
    }

    void keeperReportsAFailedSaveOnce()
    {
        TestProgram prog;
        prog.fakeEncoder();
        prog.writeFile("blocker", "a file, not a folder");
        qputenv("XDG_STATE_HOME", prog.path("blocker").toLocal8Bit());
        TMainForm *form = prog.start();
        form->AddFile("/v/a.avi");
        form->TaskListKeeper->SaveNow();
        form->AddFile("/v/b.avi");
        form->TaskListKeeper->SaveNow();
        QCOMPARE(prog.platform.messages.size(), 1);
        QVERIFY(prog.platform.messages[0].text.startsWith("The task list cannot be kept in \""));
        QCOMPARE(form->ltvTask->topLevelItemCount(), 2); // the list itself is untouched
    }

    // ---- the start after a crash

    void restoreAfterACrash_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("yes") << true;
        QTest::newRow("no") << false;
    }

    void restoreAfterACrash()
    {
        QFETCH(bool, yes);
        TestProgram prog;
        prog.fakeEncoder();
        const QString present = prog.path("in/present.avi");
        const QString converting = prog.path("in/converting.avi");
        const QString fromCommandLine = prog.path("in/later.avi");
        for (const QString &file : {present, converting, fromCommandLine})
            QVERIFY(Touch(file));
        TTaskListSnapshot left;
        left.Pid = DeadPid();
        left.Rows << RowTexts(present, "Complete", "my own name") << RowTexts(converting, "Converting")
                  << RowTexts(prog.path("in/gone.avi"), "OK") << RowTexts(present, "OK"); // a duplicate
        left.Rows[0][9] = "00:00:05.0"; // its own clip start
        const QString leftover = TaskListPath(StateFolder(prog), left.Pid);
        WriteLeftover(leftover, TaskListText(left));

        prog.platform.answers.enqueue(yes ? Platform::Yes : Platform::No);
        TMainForm *form = prog.start({fromCommandLine});
        QCOMPARE(prog.platform.messages.size(), 1);
        QCOMPARE(prog.platform.messages[0].text,
                 QString("Velvo did not close normally last time. Restore the task list of 4 files?"));
        QCOMPARE(prog.platform.messages[0].buttons, Platform::Buttons::YesNo);
        QVERIFY(!QFileInfo::exists(leftover));
        const QString own = TaskListPath(StateFolder(prog), ::getpid());
        if (!yes) {
            QCOMPARE(Captions(form), QStringList{fromCommandLine});
            QCOMPARE(StateFiles(prog), QStringList());
            return;
        }
        // The restored rows come first, in their order, with their options.
        QCOMPARE(Captions(form), QStringList({present, converting, prog.path("in/gone.avi"), fromCommandLine}));
        QCOMPARE(Row(form, 0).Status, QString("Complete"));
        QCOMPARE(Row(form, 0).OutputName, QString("my own name"));
        QCOMPARE(Row(form, 0).ClipStart, QString("00:00:05.0"));
        QCOMPARE(Row(form, 0).LengthText, QString("00:01:40.00"));
        QCOMPARE(Row(form, 1).Status, QString("Stop"));
        QCOMPARE(Row(form, 2).Status, QString("Missing"));
        QCOMPARE(ListButtonsState(form), 1);
        // Kept at once in this program's own file, the only one left.
        QCOMPARE(StateFiles(prog), QStringList{QFileInfo(own).fileName()});
        QTRY_COMPARE_WITH_TIMEOUT(ReadSnapshot(own).Rows.size(), 4, 5000);
        prog.stop();
        QCOMPARE(StateFiles(prog), QStringList());
    }

    void malformedLeftoverIsSetAside()
    {
        TestProgram prog;
        prog.fakeEncoder();
        const QString leftover = TaskListPath(StateFolder(prog), DeadPid());
        WriteLeftover(leftover, "[Velvo Task List]\nVersion=1\nthis is not the rest of it");
        TMainForm *form = prog.start();
        QCOMPARE(prog.platform.messages.size(), 1);
        const FakePlatform::Message &m = prog.platform.messages[0];
        QCOMPARE(m.icon, Platform::Icon::Warning);
        QVERIFY2(m.text.startsWith("The task list left behind last time could not be read ("), qPrintable(m.text));
        QVERIFY2(m.text.endsWith("It was set aside as \"" + leftover + ".bad\"."), qPrintable(m.text));
        QCOMPARE(form->ltvTask->topLevelItemCount(), 0);
        QCOMPARE(StateFiles(prog), QStringList{QFileInfo(leftover).fileName() + ".bad"});
        // Set aside, it is not reported again.
        prog.start();
        QCOMPARE(prog.platform.messages.size(), 1);
    }

    void killedProgramIsOfferedBack()
    {
        TestProgram prog;
        QStringList files;
        for (const char *name : {"one.avi", "two.mp4", "three.mpg"}) {
            files << prog.path(QString("in/") + name);
            QVERIFY(Touch(files.last()));
        }
        QProcess holder;
        holder.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        holder.start(QCoreApplication::applicationFilePath(),
                     QStringList{"--hold-task-list", prog.dir(), StateHome(prog)} + files);
        QVERIFY(holder.waitForStarted());
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT((said += holder.readAll()).contains("held 3"), 30000);
        const QString held = TaskListPath(StateFolder(prog), holder.processId());
        QCOMPARE(ReadSnapshot(held).Rows.size(), 3);

        // While it lives, another program leaves its list alone.
        prog.start();
        QVERIFY(prog.platform.messages.isEmpty());
        QVERIFY(QFileInfo::exists(held));
        prog.stop();

        ::kill(holder.processId(), SIGKILL);
        QVERIFY(holder.waitForFinished(10000));
        QCOMPARE(holder.exitStatus(), QProcess::CrashExit);
        QVERIFY(QFileInfo::exists(held));

        // Rows kept before their measure answered are measured now.
        prog.fakeEncoder();
        TMainForm *form = prog.start();
        QCOMPARE(prog.platform.messages.size(), 1);
        QCOMPARE(prog.platform.messages[0].text,
                 QString("Velvo did not close normally last time. Restore the task list of 3 files?"));
        QCOMPARE(Captions(form), files);
        QCOMPARE(Row(form, 1).OutputName, QString("second, renamed"));
        QCOMPARE(Row(form, 1).ClipStart, QString("00:00:01.5"));
        QCOMPARE(Row(form, 1).LengthText, QString("00:01:40.00"));
        QCOMPARE(Row(form, 1).ClipEnd, QString("00:01:40.00"));
        QCOMPARE(Row(form, 1).ClipLength, QString("00:01:38.5"));
        QCOMPARE(Row(form, 0).OutputName, QString("one"));
        prog.stop();
        QCOMPARE(StateFiles(prog), QStringList());
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.value(1) == "--hold-task-list")
        return HoldTaskList(args.mid(2));
    TestTaskListState test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_taskliststate.moc"
