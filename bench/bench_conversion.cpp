// The conversion run against plain ffmpeg: (1) ten generated clips converted
// by a Start click, one at a time, versus the same ffmpeg command lines run
// one after another by a shell, (2) the longest delay of a 10 ms timer on the
// GUI thread during that batch, (3) from a Stop click to no encoder process
// left, (4) twelve 480p clips converted several at once ("Automatic") versus
// the same ffmpeg lines one after another, with the timer's longest delay,
// (5) the run's own cost per item for 2,000 items against 500, and the memory
// a run of 2,000 items takes.
// Usage: bench_conversion [number of clips, default 10] [seconds per clip, default 8]
// BENCH_PART=several or BENCH_PART=cost runs that part alone.
#include "BenchReport.h"
#include "FakeEncoder.h"
#include "Clips.h"
#include "TestProgram.h"

#include "app/MainForm.h"
#include "conversion/EncoderProcess.h"
#include "conversion/OutputNaming.h"
#include "settings/Settings.h"
#include "tasks/ItemData.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>

namespace {

// Used only when no profile is shipped: MPEG-4 video and AAC audio in MP4.
const QByteArray FallbackProfile =
    "[Main]\r\nType=mp4\r\nPara=2\r\n0=Video Codec\r\n1=Audio Codec\r\n\r\n"
    "[Video Codec]\r\nSort=1\r\nList=0\r\nReadOnly=1\r\nCaption=MPEG-4\r\nValue=mpeg4\r\ncmd=-vcodec\r\n\r\n"
    "[Audio Codec]\r\nSort=2\r\nList=0\r\nReadOnly=1\r\nCaption=AAC\r\nValue=aac\r\ncmd=-acodec\r\n";

void Report(const char *what, double value, const char *unit, double target, bool lowerIsBetter = true,
            bool machine = true)
{
    const bool pass = lowerIsBetter ? value <= target : value >= target;
    std::printf("conversion: %-50s %9.3f %-3s (target <= %.3f %s) %s\n", what, value, unit, target, unit,
                pass ? "PASS" : "FAIL");
    std::fflush(stdout);
    if (machine)
        BenchLine(QString("conversion: ") + what, value, unit, NoBaseline,
                  QString("%1 %2 %3").arg(lowerIsBetter ? "<=" : ">=").arg(target).arg(unit), BenchVerdict(pass));
}

QString ShellQuoted(const QString &text)
{
    QString q = text;
    q.replace("'", "'\\''");
    return "'" + q + "'";
}

bool Alive(qint64 pid)
{
    QFile f(QString("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray stat = f.readAll();
    const int close = stat.lastIndexOf(')');
    return close >= 0 && close + 2 < stat.size() && stat[close + 2] != 'Z' && stat[close + 2] != 'X';
}

// Every live process below pid.
QList<qint64> Descendants(qint64 pid)
{
    QList<qint64> all;
    QList<qint64> todo{pid};
    while (!todo.isEmpty()) {
        const qint64 p = todo.takeFirst();
        for (qint64 c : ChildProcesses(p)) {
            all << c;
            todo << c;
        }
    }
    return all;
}

// The profile a first start selects, else one that writes MP4 among the
// shipped ones (or the first), or the fallback when none is shipped.
QString PrepareProfiles(TestProgram &prog)
{
    prog.copyShippedProfiles();
    const QStringList shipped = QDir(prog.path("Profiles")).entryList({"*.vpf"}, QDir::Files, QDir::Name);
    if (shipped.contains("MP4 - H.264 Video.vpf"))
        return "MP4 - H.264 Video";
    for (const QString &name : shipped)
        if (prog.readFile("Profiles/" + name).contains("Type=mp4"))
            return QFileInfo(name).completeBaseName();
    if (!shipped.isEmpty())
        return QFileInfo(shipped.first()).completeBaseName();
    prog.addProfile("Bench MP4.vpf", FallbackProfile);
    return "Bench MP4";
}

void ClearFolder(const QString &folder)
{
    QDir dir(folder);
    for (const QString &f : dir.entryList(QDir::Files))
        dir.remove(f);
}

struct RunResult {
    double ms = -1;
    double worstTimerLateMs = 0;
    bool allComplete = false;
};

// One batch through the Start button, with a 10 ms timer watching the GUI thread.
RunResult RunBatch(TMainForm *form)
{
    RunResult result;
    QElapsedTimer clock;
    qint64 lastTick = -1;
    QTimer watch;
    watch.setTimerType(Qt::PreciseTimer);
    watch.setInterval(10);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (lastTick >= 0)
            result.worstTimerLateMs = std::max(result.worstTimerLateMs, (now - lastTick) / 1e6 - 10.0);
        lastTick = now;
    });
    clock.start();
    watch.start();
    StartAndWait(form);
    result.ms = clock.nsecsElapsed() / 1e6;
    watch.stop();
    result.allComplete = true;
    for (int i = 0; i < form->ltvTask->topLevelItemCount(); ++i) {
        ltvItemData rec;
        form->ReadItemData(i, sdAll, rec);
        result.allComplete = result.allComplete && rec.Status == "Complete";
    }
    return result;
}

// Resident memory of this process in KiB.
long ResidentKiB()
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

// The same ffmpeg command lines the encoder runs, one after another in a shell.
double RunShell(const QString &script)
{
    QElapsedTimer clock;
    clock.start();
    const int rc = RunProgram("sh", {script}, nullptr, 600000);
    const double ms = clock.nsecsElapsed() / 1e6;
    return rc == 0 ? ms : -1;
}

} // namespace

// The shell script of the ffmpeg lines the run gives the encoder for every
// row, writing into shellDir, one after another.
QString ShellBatch(TMainForm *form, const QString &shellDir)
{
    QString arguments;
    form->AssembleProfileArguments(form->ProfilePath(form->cmbProfile->currentText()), arguments);
    QString script = "set -e\n";
    for (int i = 0; i < form->ltvTask->topLevelItemCount(); ++i) {
        ltvItemData rec;
        form->ReadItemData(i, sdAll, rec);
        const QString out = shellDir + rec.OutputName + form->CurrentOutputExt;
        const EncoderCommand command = ConvertCommand(rec.InputFile, ItemArguments(arguments, rec), out);
        QString line = "ffmpeg -nostdin -hide_banner -stats";
        for (const QString &a : command.args)
            line += " " + ShellQuoted(a);
        script += line + " 2>/dev/null || exit 1\n";
    }
    return script;
}

bool WriteText(const QString &path, const QString &text)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text.toUtf8()) >= 0;
}

struct Comparison {
    double runBest = 1e18;
    double shellBest = 1e18;
    double worstLate = 0;
    bool ok = false;
};

// Best of three each, alternating, so neither side always finds a warmer cache.
Comparison BestOfThree(TestProgram &prog, TMainForm *form, const QString &outDir, const QString &shellDir,
                       const QString &scriptFile, const char *what)
{
    Comparison result;
    for (int round = 0; round < 3; ++round) {
        ClearFolder(outDir);
        ClearFolder(shellDir);
        prog.platform.messages.clear();
        const RunResult run = RunBatch(form);
        if (!run.allComplete || prog.platform.messages.size() != 1) {
            std::fprintf(stderr, "the batch (%s) did not complete\n", what);
            return result;
        }
        const double shell = RunShell(scriptFile);
        if (shell < 0) {
            std::fprintf(stderr, "the shell batch failed\n");
            return result;
        }
        result.runBest = std::min(result.runBest, run.ms);
        result.shellBest = std::min(result.shellBest, shell);
        result.worstLate = std::max(result.worstLate, run.worstTimerLateMs);
        std::fprintf(stderr, "%s, round %d: run %.0f ms, shell %.0f ms, timer late %.1f ms\n", what, round + 1,
                     run.ms, shell, run.worstTimerLateMs);
    }
    result.ok = true;
    return result;
}

// (4) Twelve 854x480 6 s H.264 clips, "Automatic" against the same ffmpeg
// lines one after another with ffmpeg's own thread choice; best of three each,
// alternated.
bool SeveralAtOnce()
{
    TestProgram prog;
    if (!prog.useRealEncoder())
        return false;
    const QString profile = PrepareProfiles(prog);
    QTemporaryDir media;
    const QString inDir = media.path() + "/in/", outDir = media.path() + "/out/", shellDir = media.path() + "/shell/";
    for (const QString &d : {inDir, outDir, shellDir})
        QDir().mkpath(d);
    const int count = 12;
    QStringList clips;
    for (int i = 0; i < count; ++i) {
        clips << QString("%1clip %2.mp4").arg(inDir).arg(i);
        if (!MakeTestClip(clips.last(), 6, 854, 480, true, 25)) {
            std::fprintf(stderr, "cannot make %s\n", qPrintable(clips.last()));
            return false;
        }
    }
    TMainForm *form = prog.start();
    form->cmbProfile->setCurrentText(profile);
    form->edtOutputdir->setText(outDir);
    SettingForm->rdbOverWrite->setChecked(true);
    SettingForm->chkOpenDir->setChecked(false);
    SettingForm->cmbSimultaneous->setCurrentIndex(0); // Automatic
    prog.platform.openResults.enqueue(clips);
    QTest::mouseClick(form->tbtnAddFile, Qt::LeftButton);
    const QString scriptFile = media.path() + "/batch.sh";
    if (form->ltvTask->topLevelItemCount() != count || !WriteText(scriptFile, ShellBatch(form, shellDir)))
        return false;

    const Comparison batch = BestOfThree(prog, form, outDir, shellDir, scriptFile, "several at once");
    if (!batch.ok)
        return false;
    const double runBest = batch.runBest, shellBest = batch.shellBest, worstLate = batch.worstLate;
    BenchLine("conversion: batch of 12 clips, several at once vs the same ffmpeg lines one after another", runBest,
              "ms", shellBest, "ratio <= 0.90", BenchVerdict(runBest / shellBest <= 0.90));
    Report("longest delay of a 10 ms GUI timer, several at once", worstLate, "ms", 50);
    return true;
}

struct CostResult {
    double cpuMsPerItem = -1;
    double wallMsPerItem = -1;
    long grownKiB = 0;
};

// (5) A run of count empty inputs through an instant stand-in encoder (the
// fake, which ends at once): the program's own processor time per item,
// and how much its memory grew.
CostResult CostOfRun(int count)
{
    CostResult result;
    TestProgram prog;
    FakeEncoder &fake = prog.fakeEncoder();
    fake.setScript("[convert]\nexit 0\n");
    QTemporaryDir media;
    const QString outDir = media.path() + "/out/";
    QDir().mkpath(outDir);
    QStringList inputs;
    for (int i = 0; i < count; ++i) {
        inputs << QString("%1/in/empty %2.avi").arg(media.path()).arg(i, 5, 10, QChar('0'));
        QDir().mkpath(media.path() + "/in");
        QFile(inputs.last()).open(QIODevice::WriteOnly);
    }
    TMainForm *form = prog.start();
    form->edtOutputdir->setText(outDir);
    SettingForm->chkOpenDir->setChecked(false);
    // Rows whose measures answer at once (no encoder): only the run is timed.
    form->EncoderPath = prog.path("absent/vxenc.dll");
    form->DropFiles(inputs);
    QElapsedTimer added;
    added.start();
    while ((form->AddsPending() > 0 || form->MeasuresPending() > 0) && added.elapsed() < 120000)
        QTest::qWait(10);
    form->EncoderPath = prog.path("vxenc.dll");
    if (form->ltvTask->topLevelItemCount() != count) {
        std::fprintf(stderr, "%d rows for %d stand-in inputs\n", form->ltvTask->topLevelItemCount(), count);
        return result;
    }
    const long before = ResidentKiB();
    const double cpuBefore = CpuMs(RUSAGE_SELF);
    QElapsedTimer clock;
    clock.start();
    StartAndWait(form, 600000);
    result.wallMsPerItem = clock.nsecsElapsed() / 1e6 / count;
    result.cpuMsPerItem = (CpuMs(RUSAGE_SELF) - cpuBefore) / count;
    result.grownKiB = ResidentKiB() - before;
    int complete = 0;
    for (int i = 0; i < count; ++i) {
        ltvItemData rec;
        form->ReadItemData(i, sdAll, rec);
        complete += rec.Status == "Complete" ? 1 : 0;
    }
    if (complete != count) {
        std::fprintf(stderr, "%d of %d stand-in items complete\n", complete, count);
        result.cpuMsPerItem = -1;
    }
    return result;
}

bool CostPerItem()
{
    const CostResult small = CostOfRun(500);
    const CostResult large = CostOfRun(2000);
    if (small.cpuMsPerItem <= 0 || large.cpuMsPerItem <= 0)
        return false;
    std::printf("conversion: per item with an instant stand-in: 500 items %.2f ms (%.2f ms elapsed), "
                "2000 items %.2f ms (%.2f ms elapsed) of the program's processor time\n",
                small.cpuMsPerItem, small.wallMsPerItem, large.cpuMsPerItem, large.wallMsPerItem);
    BenchLine("conversion: processor time per item, 2000 items vs 500 (instant stand-in encoder)",
              large.cpuMsPerItem, "ms", small.cpuMsPerItem, "ratio <= 1.1",
              BenchVerdict(large.cpuMsPerItem / small.cpuMsPerItem <= 1.1));
    Report("memory grown over a run of 2000 items", large.grownKiB / 1024.0, "MiB", 20);
    return true;
}

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const int count = argc > 1 ? qMax(1, atoi(argv[1])) : 10;
    const double seconds = argc > 2 ? qMax(1.0, atof(argv[2])) : 8.0;
    const QByteArray part = qgetenv("BENCH_PART");
    if (part == "several")
        return SeveralAtOnce() ? 0 : 1;
    if (part == "cost")
        return CostPerItem() ? 0 : 1;

    TestProgram prog;
    if (!prog.useRealEncoder()) {
        std::fprintf(stderr, "no vxenc.dll in %s\n", VELVO_PROGRAM_DIR);
        return 1;
    }
    const QString profile = PrepareProfiles(prog);
    QTemporaryDir media;
    const QString inDir = media.path() + "/in/";
    const QString outDir = media.path() + "/out/";
    const QString shellDir = media.path() + "/shell/";
    for (const QString &d : {inDir, outDir, shellDir})
        QDir().mkpath(d);
    QStringList clips;
    for (int i = 0; i < count; ++i) {
        const QString clip = QString("%1clip %2.mp4").arg(inDir).arg(i);
        if (!MakeTestClip(clip, seconds, 640, 360, true, 25)) {
            std::fprintf(stderr, "cannot make %s\n", qPrintable(clip));
            return 1;
        }
        clips << clip;
    }

    TMainForm *form = prog.start();
    form->cmbProfile->setCurrentText(profile);
    form->edtOutputdir->setText(outDir);
    SettingForm->rdbOverWrite->setChecked(true);
    for (const QString &clip : clips) {
        prog.platform.openResults.enqueue({clip});
        QTest::mouseClick(form->tbtnAddFile, Qt::LeftButton);
    }
    WaitUntilMeasured(form); // the run is timed from Start, not from the adds
    if (form->ltvTask->topLevelItemCount() != count) {
        std::fprintf(stderr, "%d rows for %d clips\n", form->ltvTask->topLevelItemCount(), count);
        return 1;
    }

    // The ffmpeg lines the run gives the encoder, written for the shell with
    // the options the encoder adds in front, into another folder.
    const QString scriptFile = media.path() + "/batch.sh";
    if (!WriteText(scriptFile, ShellBatch(form, shellDir)))
        return 1;

    const Comparison batch = BestOfThree(prog, form, outDir, shellDir, scriptFile, "one at a time");
    if (!batch.ok)
        return 1;
    const double runBest = batch.runBest, shellBest = batch.shellBest, worstLate = batch.worstLate;
    std::printf("conversion: %d clips of %.1f s, 640x360, profile \"%s\"\n", count, seconds, qPrintable(profile));
    Report("batch wall time, run / shell (best of 3)", runBest / shellBest, "x", 1.05, true, false);
    BenchLine(QString("conversion: batch of %1 clips, Start to done vs the same ffmpeg lines (best of 3)").arg(count),
              runBest, "ms", shellBest, "ratio <= 1.05", BenchVerdict(runBest / shellBest <= 1.05));
    Report("longest delay of a 10 ms GUI timer during the batch", worstLate, "ms", 50);

    // The output check of every item: one measure of each output, as the run
    // does it, against the batch it is part of.
    QElapsedTimer verify;
    verify.start();
    for (const QString &name : QDir(outDir).entryList(QDir::Files)) {
        QProcess measure;
        measure.start(prog.path("vxenc.dll"), {"-i", outDir + name});
        measure.waitForFinished(30000);
    }
    const double verifyMs = double(verify.nsecsElapsed()) / 1e6;
    BenchLine(QString("conversion: measuring the %1 outputs vs the whole batch").arg(count), verifyMs, "ms", runBest,
              "ratio <= 0.05", BenchVerdict(verifyMs / runBest <= 0.05));

    // (3) Stop: a long clip, stopped once the encoder reports progress.
    const QString longClip = inDir + "long.mp4";
    if (!MakeTestClip(longClip, 120, 640, 360, true, 25)) {
        std::fprintf(stderr, "cannot make %s\n", qPrintable(longClip));
        return 1;
    }
    double worstStopMs = 0;
    for (int round = 0; round < 5; ++round) {
        QTest::mouseClick(form->tbtnClear, Qt::LeftButton);
        prog.platform.openResults.enqueue({longClip});
        QTest::mouseClick(form->tbtnAddFile, Qt::LeftButton);
        WaitUntilMeasured(form);
        ClearFolder(outDir);
        double stopMs = -1;
        QList<qint64> encoders;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (stopMs >= 0 || form->labCurProgress->text() == "0%")
                return;
            encoders = Descendants(QCoreApplication::applicationPid());
            QElapsedTimer clock;
            clock.start();
            QTest::mouseClick(form->tbtnStop, Qt::LeftButton);
            for (;;) {
                bool any = false;
                for (qint64 pid : encoders)
                    any = any || Alive(pid);
                if (!any)
                    break;
                if (clock.elapsed() > 10000)
                    break;
                QThread::usleep(200);
            }
            stopMs = clock.nsecsElapsed() / 1e6;
        });
        poll.start(5);
        StartAndWait(form);
        poll.stop();
        if (stopMs < 0 || encoders.isEmpty()) {
            std::fprintf(stderr, "the long clip was not stopped while converting\n");
            return 1;
        }
        worstStopMs = std::max(worstStopMs, stopMs);
        std::fprintf(stderr, "stop %d: %.1f ms for %d processes\n", round + 1, stopMs, int(encoders.size()));
    }
    Report("Stop click to no encoder process left (worst of 5)", worstStopMs, "ms", 200);
    prog.stop();

    if (!SeveralAtOnce() || !CostPerItem())
        return 1;
    return 0;
}
