// Faults from outside the program: killed while it saves Preferences.ini or a
// profile, an output folder removed during a run, an input removed between
// adding it and Start. The runs use the real encoder.
#include "RealRunUtil.h"

#include "conversion/RunOutcome.h"
#include "ini/NewInifiles.h"
#include "prefs/Preferences.h"
#include "profiles/ProfileFiles.h"
#include "settings/ProfileSaving.h"

#include <QRandomGenerator>

#include <cerrno>
#include <csignal>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

using namespace realrun;

namespace {

QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

bool WriteAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// What one save of the child writes: variant 0 or 1 of the file's content.
using SaveOnce = std::function<void(int variant)>;

// The file as each of the two saves leaves it; saving again must give the
// same bytes, or the kill loop could not tell old from new.
void RecordBothContents(const QString &path, const SaveOnce &save, QByteArray contents[2])
{
    save(1);
    contents[1] = ReadAll(path);
    save(0);
    contents[0] = ReadAll(path);
    save(1);
    QCOMPARE(ReadAll(path), contents[1]);
    save(0);
    QCOMPARE(ReadAll(path), contents[0]);
}

struct KillReport {
    int oldOrNew[2] = {0, 0}; // how often the file held content 0 or 1
    QString fault;            // the first thing found wrong
};

// The average time of one save, in microseconds (the file ends with content 0).
int SaveMicroseconds(const SaveOnce &save)
{
    QElapsedTimer clock;
    clock.start();
    for (int variant : {1, 0, 1, 0})
        save(variant);
    return int(clock.nsecsElapsed() / 4000);
}

// Runs saves over and over in a child process (variants 1, 0, 1, ... from a
// file holding variant 0) and kills it outright after a random time of up to
// maxDelayUs, rounds times. After every kill the file must hold one of the
// two contents whole. The child (forked while only the test library's
// watchdog thread runs beside this one) uses nothing but the file code.
KillReport KillWhileSaving(const QString &path, const QByteArray contents[2], const SaveOnce &save,
                           int rounds, int maxDelayUs)
{
    KillReport report;
    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    if (ReadAll(path) != contents[0])
        report.fault = "the file does not hold the first content to begin with";
    for (int round = 0; round < rounds && report.fault.isEmpty(); ++round) {
        const pid_t pid = ::fork();
        if (pid < 0) {
            report.fault = "fork failed";
            break;
        }
        if (pid == 0) {
            // The child never returns into the test; only the kill ends it.
            for (int n = 1;; ++n) {
                try {
                    save(n % 2);
                } catch (...) {
                    ::_exit(3);
                }
            }
        }
        ::usleep(random.bounded(quint32(maxDelayUs) + 1));
        ::kill(pid, SIGKILL);
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        if (!WIFSIGNALED(status) || WTERMSIG(status) != SIGKILL) {
            report.fault = QString("round %1 (seed %2): the saving child ended by itself (status %3)")
                               .arg(round)
                               .arg(seed)
                               .arg(status);
            break;
        }
        const QByteArray now = ReadAll(path);
        if (now == contents[0])
            ++report.oldOrNew[0];
        else if (now == contents[1])
            ++report.oldOrNew[1];
        else
            report.fault = QString("round %1 (seed %2): the file holds %3 bytes that are neither content")
                               .arg(round)
                               .arg(seed)
                               .arg(now.size());
    }
    return report;
}

// Names in folder other than keep.
QStringList OtherEntries(const QString &folder, const QString &keep)
{
    QStringList names = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    names.removeAll(keep);
    return names;
}

// Filler that makes the file large enough for a save to take a while.
QByteArray FillerSection(const QByteArray &header, int lines)
{
    QByteArray text = "[" + header + "]\r\n";
    for (int i = 0; i < lines; ++i)
        text += "Entry" + QByteArray::number(i) + "=remembered value number " + QByteArray::number(i * 7919) + "\r\n";
    return text;
}

constexpr int KillRounds = 200;

// Kills come at random moments within the first few saves: at least 20 ms,
// longer on a machine slow enough that a save takes more than a few ms.
int MaxKillDelayUs(const SaveOnce &save)
{
    return qMax(20000, 3 * SaveMicroseconds(save));
}

// A slow profile: the realtime filter makes a conversion last as long as the
// clip, so that a folder can be removed while the encoder writes.
const QByteArray PacedProfile =
    "[Main]\r\nType=mp4\r\nPara=2\r\n0=Video Codec\r\n1=Pace\r\n\r\n"
    "[Video Codec]\r\nSort=1\r\nList=0\r\nReadOnly=1\r\nCaption=MPEG-4\r\nValue=mpeg4\r\ncmd=-c:v\r\n\r\n"
    "[Pace]\r\nSort=3\r\nList=0\r\nReadOnly=1\r\nCaption=Real time\r\nValue=realtime\r\ncmd=-vf\r\n";

} // namespace

class TestFaults : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    // killed while saving
    void killedWhileSavingPreferences();
    void killedWhileSavingProfile();
    // files going away
    void outputFolderRemovedDuringRun();
    void inputRemovedBeforeStart();
};

void TestFaults::initTestCase()
{
    QVERIFY2(RunProgram(FfmpegPath(), {"-version"}) == 0, "ffmpeg is needed for the runs");
}

// ---------------------------------------------------------------- killed while saving

void TestFaults::killedWhileSavingPreferences()
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/Preferences.ini";
    // What the main window's close writes, with two sets of values; the
    // other lines of the file stay as they are.
    TGeneralPreferences prefs[2];
    prefs[0].OutputPath = "/media/first output folder/";
    prefs[1].OutputPath = "/media/a second and longer output folder/with more in it/";
    prefs[1].SynMode = 2;
    prefs[1].AutoOpenDir = false;
    prefs[1].AutoExit = true;
    prefs[1].Overwrite = false;
    const SaveOnce save = [&](int variant) {
        TNewInifile ini(path);
        WriteMainPreferences(ini, variant ? 7 : 0, prefs[variant]);
        ini.SaveAndFree();
    };

    QVERIFY(WriteAll(path, "[Main]\r\nVersion=1.8\r\n" + FillerSection("History", 2000)));
    QByteArray contents[2];
    RecordBothContents(path, save, contents);
    if (QTest::currentTestFailed())
        return;
    QVERIFY(contents[0].size() > 60000);
    QVERIFY(contents[0] != contents[1]);

    const KillReport report = KillWhileSaving(path, contents, save, KillRounds, MaxKillDelayUs(save));
    QVERIFY2(report.fault.isEmpty(), qPrintable(report.fault));
    // Both contents were seen: the kills came while saves were going on.
    QVERIFY2(report.oldOrNew[0] > 0 && report.oldOrNew[1] > 0,
             qPrintable(QString("%1 / %2").arg(report.oldOrNew[0]).arg(report.oldOrNew[1])));

    // A kill between writing and renaming leaves the save's temporary file
    // (Preferences.ini.XXXXXX); never anything else, never more than one a kill.
    const QStringList left = OtherEntries(dir.path(), "Preferences.ini");
    QVERIFY2(left.size() <= KillRounds, qPrintable(QString::number(left.size())));
    for (const QString &name : left)
        QVERIFY2(name.startsWith("Preferences.ini."), qPrintable(name));
    // The program reads the file as before, and its next save works.
    {
        TNewInifile ini(path);
        const TGeneralPreferences read = ReadGeneralPreferences(ini, "Main", MainDefaults("/x/"));
        QVERIFY(read.OutputPath == prefs[0].OutputPath || read.OutputPath == prefs[1].OutputPath);
        ini.SaveAndFree();
    }
    save(1);
    QCOMPARE(ReadAll(path), contents[1]);
    qInfo("kills: %d left the old or new text whole (%d / %d), %d temporary files left",
          report.oldOrNew[0] + report.oldOrNew[1], report.oldOrNew[0], report.oldOrNew[1], int(left.size()));
}

void TestFaults::killedWhileSavingProfile()
{
    TestProgram prog;
    const QString name = "MP4 - H.264 Video";
    prog.copyShippedProfiles();
    const QString folder = prog.path("Profiles/");
    const QString path = folder + name + ".vpf";
    // The shipped profile with many lines of notes below it.
    QVERIFY(WriteAll(path, ReadAll(path) + "\r\n" + FillerSection("Notes", 100)));
    QDir profiles(folder);
    for (const QString &other : profiles.entryList({"*.vpf"}, QDir::Files))
        if (other != name + ".vpf")
            QVERIFY(profiles.remove(other));

    // Two sets of editor values, as the settings dialog's editors would show
    // them; the dialog's saving code writes them.
    ProfileData profile;
    {
        TNewInifile ini(path);
        profile = ReadProfile(ini, name);
    }
    QVERIFY2(profile.ok(), qPrintable(profile.problem));
    int editable = 0;
    for (const ProfileParameter &p : profile.parameters)
        editable += p.readOnly ? 0 : 1;
    QVERIFY(editable >= 4);
    const auto lookup = [&](int variant) {
        return [&profile, variant](int group, const QString &parameter) {
            TShownValue shown;
            for (const ProfileParameter &p : profile.parameters) {
                if (p.group != group || p.name.compare(parameter, Qt::CaseInsensitive) != 0)
                    continue;
                shown.Found = true;
                if (p.isList) {
                    shown.PickList = p.captions;
                    shown.Text = p.captions.value(qMin<int>(variant + 1, int(p.captions.size()) - 1));
                } else {
                    shown.Text = variant ? "a much longer text, typed by hand" : "short";
                }
            }
            return shown;
        };
    };
    const SaveOnce save = [&](int variant) {
        TNewInifile ini(path);
        QString problem;
        if (!ApplyShownValues(ini, name, lookup(variant), problem))
            throw EFileError(problem);
        ini.SaveAndFree();
    };

    QByteArray contents[2];
    RecordBothContents(path, save, contents);
    if (QTest::currentTestFailed())
        return;
    QVERIFY(contents[0] != contents[1]);

    const KillReport report = KillWhileSaving(path, contents, save, KillRounds, MaxKillDelayUs(save));
    QVERIFY2(report.fault.isEmpty(), qPrintable(report.fault));
    QVERIFY2(report.oldOrNew[0] > 0 && report.oldOrNew[1] > 0,
             qPrintable(QString("%1 / %2").arg(report.oldOrNew[0]).arg(report.oldOrNew[1])));

    const QStringList left = OtherEntries(folder, name + ".vpf");
    QVERIFY2(left.size() <= KillRounds, qPrintable(QString::number(left.size())));
    for (const QString &leftName : left)
        QVERIFY2(leftName.startsWith(name + ".vpf."), qPrintable(leftName));
    // What a kill leaves never joins the catalogue, and the profile still
    // loads in the main window.
    QCOMPARE(ListFilesWithExtension(folder, ".vpf"), QStringList{name + ".vpf"});
    TMainForm *form = prog.start();
    QCOMPARE(form->cmbProfile->count(), 1);
    QCOMPARE(form->cmbProfile->currentText(), name);
    QCOMPARE(form->CurrentOutputExt, QString(".mp4"));
    QVERIFY(prog.platform.messages.isEmpty());
    prog.stop();
    save(1);
    QCOMPARE(ReadAll(path), contents[1]);
    qInfo("kills: %d left the old or new text whole (%d / %d), %d temporary files left",
          report.oldOrNew[0] + report.oldOrNew[1], report.oldOrNew[0], report.oldOrNew[1], int(left.size()));
}

// ---------------------------------------------------------------- files going away

void TestFaults::outputFolderRemovedDuringRun()
{
    Run run("MP4 paced", {{"MP4 paced.vpf", PacedProfile}});
    QVERIFY(run.encoderReady);
    QVERIFY(run.profileChosen);
    const QStringList inputs = {run.inDir + "a.avi", run.inDir + "b.avi", run.inDir + "c.avi"};
    QVERIFY(MakeTestClip(inputs[0], 2.0, 160, 120));
    QVERIFY(MakeTestClip(inputs[1], 1.0, 160, 120));
    QVERIFY(QFile::copy(inputs[1], inputs[2]));
    for (const QString &in : inputs)
        run.addByDialog({in});
    QCOMPARE(run.rows(), 3);
    const int a = run.rowOf(inputs[0]), b = run.rowOf(inputs[1]), c = run.rowOf(inputs[2]);
    QVERIFY(a >= 0 && b >= 0 && c >= 0);
    // Converted in list order.
    QCOMPARE(QList<int>({a, b, c}), QList<int>({0, 1, 2}));

    // While the first output is being written its folder is removed and a
    // new one of the same name made; once the second item is done the
    // folder is removed for good.
    Poller poll;
    bool midFile = false;
    const QString partial = PartialOutputPath(run.outDir + "a.mp4", QCoreApplication::applicationPid());
    poll.when([&] { return QFileInfo(partial).size() > 0; },
              [&] {
                  midFile = run.status(a) == "Converting";
                  QVERIFY(QDir(run.outDir).removeRecursively());
                  QVERIFY(QDir().mkpath(run.outDir));
              });
    poll.when([&] { return run.status(b) == "Complete"; },
              [&] { QVERIFY(QDir(run.outDir).removeRecursively()); });
    run.clickStart();
    QCOMPARE(poll.pending(), 0);
    QVERIFY2(midFile, "the folder was removed only after the first item ended");

    QCOMPARE(run.status(a), QString("Failed"));
    QVERIFY2(run.toolTip(a).startsWith("The output folder was removed during the conversion."),
             qPrintable(run.toolTip(a)));
    QCOMPARE(run.status(b), QString("Complete"));
    QVERIFY(run.toolTip(b).isEmpty());
    QCOMPARE(run.status(c), QString("Failed"));
    // The encoder's own last lines tell why.
    QVERIFY2(run.toolTip(c).contains("No such file or directory"), qPrintable(run.toolTip(c)));
    QVERIFY2(run.toolTip(c).startsWith("The output folder was removed"), qPrintable(run.toolTip(c)));
    QCOMPARE(run.prog.platform.questions.size(), 1);
    QVERIFY2(run.prog.platform.questions[0].text.contains("2 of 3"), qPrintable(run.prog.platform.questions[0].text));
    QVERIFY(run.idle());
    QVERIFY(!QFileInfo::exists(run.outDir));
}

void TestFaults::inputRemovedBeforeStart()
{
    Run run("MP4 - H.264 Video");
    QVERIFY(run.encoderReady);
    QVERIFY(run.profileChosen);
    const QString gone = run.inDir + "gone.avi";
    const QString kept = run.inDir + "kept.avi";
    QVERIFY(MakeTestClip(gone, 1.0, 160, 120));
    QVERIFY(QFile::copy(gone, kept));
    run.addByDialog({gone});
    run.addByDialog({kept});
    QCOMPARE(run.rows(), 2);
    QCOMPARE(run.item(0).FrameSizeText.trimmed(), QString("160x120"));
    QVERIFY(QFile::remove(gone));

    run.clickStart();
    QCOMPARE(run.status(0), QString("Failed"));
    QVERIFY2(run.toolTip(0).contains("No such file or directory"), qPrintable(run.toolTip(0)));
    QVERIFY(!QFileInfo::exists(run.outDir + "gone.mp4"));
    QCOMPARE(run.status(1), QString("Complete"));
    QVERIFY(DecodesCleanly(run.outDir + "kept.mp4"));
    QCOMPARE(run.prog.platform.questions.size(), 1);
    QVERIFY2(run.prog.platform.questions[0].text.contains("1 of 2"), qPrintable(run.prog.platform.questions[0].text));
    QVERIFY(run.idle());
}

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
