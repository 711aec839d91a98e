// What a run never does to the user's files: replace a file that was there
// before without asking, delete an output that is as good as its source
// allows, write through a name another user planted, or leave a partial
// file behind after being killed. The fake encoder writes through the
// descriptor it is handed; two real encodes check the judgement end to end.
#include "ConversionTestUtil.h"

#include "../app/RealRunUtil.h"
#include "Clips.h"
#include "common/UserFolders.h"
#include "conversion/PartialOutput.h"
#include "conversion/PartialsList.h"

#include <QApplication>
#include <QComboBox>
#include <QDirIterator>
#include <QProcess>
#include <QRadioButton>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

using namespace conv;

namespace {

const QString Success = "The coversion is completed successfully.";

QByteArray Read(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// Every entry of folder, hidden ones included, sorted.
QStringList Entries(const QString &folder)
{
    QStringList names = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    names.sort();
    return names;
}

void SetOverwrite(bool overwrite)
{
    SettingForm->rdbOverWrite->setChecked(overwrite);
    SettingForm->rdbRename->setChecked(!overwrite);
}

// A fake conversion that reports reaching seconds and ends normally.
QString ReachingScript(const QString &seconds)
{
    return PiecesScript({"banner\n", "streams\n", "frame=1 time=" + seconds + " \r"}, 50);
}

// Started by sigkillLeavesNoPartialFile as a process of its own: the
// window with one row whose conversion never ends; says "converting" once
// its partial file exists, then waits to be killed.
int HoldConversion(const QStringList &args)
{
    Setup s;
    qputenv("XDG_STATE_HOME", args.value(0).toLocal8Bit());
    s.addClip("long.avi", "00:01:00.00");
    s.convertWith("[convert]\nout banner\\n\nout streams\\n\nout frame=1 time=1.00 \\r\nhang\n");
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (const QString &name : Entries(s.outDir))
            if (name.contains(".part-")) {
                std::printf("converting %s\n", qPrintable(s.outDir + name));
                std::fflush(stdout);
                poll.stop();
            }
    });
    poll.start(20);
    QTest::mouseClick(s.form->tbtnStart, Qt::LeftButton);
    return QApplication::exec();
}

} // namespace

class TestOutputSafety : public QObject {
    Q_OBJECT
private slots:
    void replaceAskedOnceForFilesThatWereThere_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::newRow("keep both") << "Keep Both";
        QTest::newRow("replace") << "Replace";
        QTest::newRow("cancel") << "Cancel";
        QTest::newRow("closed") << "";
    }

    void replaceAskedOnceForFilesThatWereThere()
    {
        QFETCH(QString, answer);
        Setup s;
        SetOverwrite(true);
        s.addClip("beach.mov", "00:00:03.00");
        s.addClip("dunes.mov", "00:00:03.00");
        Touch(s.outDir + "beach.mp4", "the user's own beach");
        s.convertWith(ReachingScript("3.00"));
        s.prog.platform.askAnswers.enqueue(answer);
        s.clickStart();
        QCOMPARE(s.prog.platform.questions.size(), 1);
        const FakePlatform::Question &q = s.prog.platform.questions[0];
        QCOMPARE(q.text, QString("1 file in the output folder would be replaced: beach.mp4. Replace it?"));
        QCOMPARE(q.caption, QString("Velvo"));
        QCOMPARE(q.buttons, QStringList({"Replace", "Keep Both", "Cancel"}));
        if (answer == "Cancel" || answer.isEmpty()) {
            // Back to the idle window; nothing converted, nothing touched.
            QVERIFY(s.idleLook());
            QVERIFY(s.encoder().conversions().isEmpty());
            QCOMPARE(s.status(0), QString("OK"));
            QCOMPARE(Read(s.outDir + "beach.mp4"), QByteArray("the user's own beach"));
            return;
        }
        QCOMPARE(s.status(0), QString("Complete"));
        QCOMPARE(s.status(1), QString("Complete"));
        QVERIFY(QFileInfo::exists(s.outDir + "dunes.mp4"));
        if (answer == "Replace") {
            QVERIFY(Read(s.outDir + "beach.mp4").startsWith("fakeenc-output"));
            QCOMPARE(Entries(s.outDir), QStringList({"beach.mp4", "dunes.mp4"}));
        } else {
            QCOMPARE(Read(s.outDir + "beach.mp4"), QByteArray("the user's own beach"));
            QVERIFY(Read(s.outDir + "beach_1.mp4").startsWith("fakeenc-output"));
            QCOMPARE(Entries(s.outDir), QStringList({"beach.mp4", "beach_1.mp4", "dunes.mp4"}));
        }
    }

    void noQuestionWithoutAFileToReplace()
    {
        Setup s;
        // The run's own earlier outputs do not count: two inputs, one name.
        SetOverwrite(true);
        s.addClip("a.avi", "00:00:02.00");
        s.addClip("a.mov", "00:00:02.00");
        s.convertWith(ReachingScript("2.00"));
        s.clickStart();
        QVERIFY(s.prog.platform.questions.isEmpty());
        QCOMPARE(Entries(s.outDir), QStringList({"a.mp4", "a_2.mp4"}));
        // Rename mode never asks: the existing files are kept anyway.
        SetOverwrite(false);
        s.clickStart();
        QVERIFY(s.prog.platform.questions.isEmpty());
        QCOMPARE(Entries(s.outDir).size(), 4);
        // Five files would be replaced: two named, then how many more.
        SetOverwrite(true);
        for (const char *name : {"b.avi", "c.avi", "d.avi"})
            s.addClip(name, "00:00:02.00");
        for (const char *name : {"b.mp4", "c.mp4", "d.mp4"})
            Touch(s.outDir + name);
        s.prog.platform.askAnswers.enqueue("Cancel");
        s.clickStart();
        QCOMPARE(s.prog.platform.questions.size(), 1);
        QCOMPARE(s.prog.platform.questions[0].text,
                 QString("5 files in the output folder would be replaced: a.mp4, a_2.mp4 and 3 more. Replace them?"));
    }

    void plantedLinksChangeNothingOutside()
    {
        // Another member of a shared output folder plants links at the names
        // the partial files once had, and at the final name itself.
        Setup s;
        SetOverwrite(true);
        const QString victim = s.media.path() + "/victim.txt";
        Touch(victim, "precious");
        s.addClip("one.avi", "00:00:02.00");
        const qint64 pid = QCoreApplication::applicationPid();
        for (qint64 mark : {pid, pid + 1, pid - 1})
            QVERIFY(QFile::link(victim, s.outDir + QString(".one.mp4.part-%1.mp4").arg(mark)));
        QVERIFY(QFile::link(victim, s.outDir + "one.mp4"));
        s.convertWith(ReachingScript("2.00"));
        s.prog.platform.askAnswers.enqueue("Replace");
        s.clickStart();
        QCOMPARE(s.status(0), QString("Complete"));
        QCOMPARE(Read(victim), QByteArray("precious"));
        struct stat info {};
        QCOMPARE(::lstat(QFile::encodeName(s.outDir + "one.mp4").constData(), &info), 0);
        QVERIFY(S_ISREG(info.st_mode));
        QVERIFY(Read(s.outDir + "one.mp4").startsWith("fakeenc-output 2.00"));
        // The file was never open to others while it was written, and ends
        // with the mode a new file gets.
        QCOMPARE(int(info.st_mode & 0777), int(NewFileMode()));
        // Only the planted links are left beside it.
        QCOMPARE(Entries(s.outDir).filter(".part-").size(), 3);
    }

    void renameModeTakesTheNextNumberForANameTakenMeanwhile()
    {
        Setup s;
        SetOverwrite(false);
        s.addClip("clip.avi", "00:00:02.00");
        s.convertWith("[convert]\nout banner\\n\nout streams\\n\nout frame=1 time=2.00 \\r\nsleep 800\nexit 0\n");
        Driver d(s.form);
        d.when([&] { return s.status(0) == "Converting"; }, [&] { Touch(s.outDir + "clip.mp4", "made meanwhile"); });
        s.clickStart();
        QCOMPARE(s.status(0), QString("Complete"));
        QCOMPARE(Read(s.outDir + "clip.mp4"), QByteArray("made meanwhile"));
        QVERIFY(Read(s.outDir + "clip_1.mp4").startsWith("fakeenc-output"));
    }

    void outputsJudgedByWhatTheSourceGives()
    {
        {
            // The header claims 4 s; the file holds 2.3 s, all of which the
            // encoder read: kept, and said so.
            Setup s;
            Touch(s.inDir + "truncated.avi", "fakeenc-length 2.3");
            s.addClip("truncated.avi", "00:00:04.00");
            s.convertWith(ReachingScript("2.30"));
            s.clickStart();
            QCOMPARE(s.status(0), QString("Complete"));
            const QString note = "The source ends at 2.3 s although it claims 4.0 s.";
            QVERIFY(s.form->ltvTask->topLevelItem(0)->data(0, EncoderMessagesRole).toString().contains(note));
            QCOMPARE(s.toolTip(0), note);
            QCOMPARE(Entries(s.outDir), QStringList{"truncated.mp4"});
            QDirIterator logs(VelvoStateFolder(), {"velvo-*.log"}, QDir::Files);
            QString logText;
            while (logs.hasNext())
                logText += QString::fromUtf8(Read(logs.next()));
            QVERIFY(logText.contains(note));
        }
        // The encoder reached 3 s, the output lasts 1 s: refused and removed.
        Setup s;
        Touch(s.inDir + "short.avi", "fakeenc-length 1");
        s.addClip("short.avi", "00:00:03.00");
        s.convertWith(ReachingScript("3.00"));
        s.clickStart();
        QCOMPARE(s.status(0), QString("Failed"));
        QVERIFY2(s.toolTip(0).startsWith("The output lasts 1.0 s; the encoder reached 3.0 s."),
                 qPrintable(s.toolTip(0)));
        QCOMPARE(Entries(s.outDir), QStringList());
    }

    void crashedEncoderIsNamed_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<QString>("words");
        QTest::newRow("segfault") << 11 << "The encoder crashed (signal 11).";
        QTest::newRow("file size limit") << 25
                                         << "The output file reached this session's file size limit (ulimit -f).";
    }

    void crashedEncoderIsNamed()
    {
        QFETCH(int, signal);
        QFETCH(QString, words);
        Setup s;
        s.addClip("a.avi", "00:00:02.00");
        s.convertWith(QString("[convert]\nnooutput\nout vxenc: ffmpeg ended by signal %1\\n\nexit %2\n")
                          .arg(signal)
                          .arg(128 + signal));
        s.clickStart();
        QCOMPARE(s.status(0), QString("Failed"));
        QVERIFY2(s.toolTip(0).startsWith(words), qPrintable(s.toolTip(0)));
        QVERIFY(Entries(s.outDir).isEmpty());
    }

    void sigkillLeavesNoPartialFile()
    {
        TestProgram prog; // only for its state folder
        const QString stateHome = QDir::cleanPath(prog.stateDir() + "/..");
        QProcess holder;
        holder.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        holder.start(QCoreApplication::applicationFilePath(), {"--hold-conversion", stateHome});
        QVERIFY(holder.waitForStarted());
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT((said += holder.readAll()).contains("\n"), 60000);
        QVERIFY2(said.startsWith("converting "), said.constData());
        const QString partial = QString::fromUtf8(said.mid(11).trimmed());
        QVERIFY(QFileInfo::exists(partial));
        const QString outDir = QFileInfo(partial).absolutePath();
        const QList<qint64> encoders = ChildProcesses(holder.processId());
        ::kill(holder.processId(), SIGKILL);
        QVERIFY(holder.waitForFinished(10000));
        // The encoder ends with the program that started it.
        for (qint64 pid : encoders)
            QTRY_VERIFY_WITH_TIMEOUT(!Alive(pid), 5000);
        QVERIFY(QFileInfo::exists(partial));

        // A start and a normal close with the same state folder.
        prog.fakeEncoder();
        prog.start();
        prog.stop();
        QCOMPARE(Entries(outDir).filter(".part-"), QStringList());
        QCOMPARE(QDir(prog.stateDir()).entryList({"partials-*"}, QDir::Files), QStringList());
        // The killed program's temporary folders are not removed by it.
        QDir(QFileInfo(outDir).absolutePath()).removeRecursively();
    }

    // ---- the real encoder, end to end

    void realEndPastTheFileAndSoundOnly()
    {
        realrun::Run r("MP4 - H.264 Video");
        QVERIFY(r.encoderReady && r.profileChosen);
        const QString clip = r.inDir + "two.mp4";
        const QString song = r.inDir + "song.mp3";
        QVERIFY(MakeTestClip(clip, 2.0));
        QVERIFY(MakeAudioClip(song, 2.0));
        r.addByDialog({clip, song});
        QCOMPARE(r.rows(), 2);
        // End typed past the file's end, as the user typed it.
        ltvItemData rec = r.item(r.rowOf(clip));
        ApplyClipRange(rec, rec.ClipStart, "00:00:10");
        r.form->WriteItemData(r.rowOf(clip), sdAll, rec);
        QCOMPARE(r.item(r.rowOf(clip)).ClipEnd, QString("00:00:10"));
        r.clickStart();
        QTRY_VERIFY_WITH_TIMEOUT(r.idle(), 180000);
        QCOMPARE(r.status(r.rowOf(clip)), QString("Complete"));
        QCOMPARE(r.status(r.rowOf(song)), QString("Complete"));
        const MediaReport video = ProbeMedia(r.outDir + "two.mp4");
        QVERIFY2(video.ok && qAbs(video.duration - 2.0) < 0.2, qPrintable(QString::number(video.duration)));
        const MediaReport audio = ProbeMedia(r.outDir + "song.mp4");
        QVERIFY(audio.ok);
        QVERIFY2(!audio.audioCodec().isEmpty(), qPrintable(audio.codecs.join(",")));
        QCOMPARE(Entries(r.outDir), QStringList({"song.mp4", "two.mp4"}));
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.value(1) == "--hold-conversion")
        return HoldConversion(args.mid(2));
    TestOutputSafety test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_outputsafety.moc"
