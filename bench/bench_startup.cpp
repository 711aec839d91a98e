// Start-up and idle memory of the real program against a plain Qt Widgets
// window (startup_floor, built beside this bench).
//  1. Time from process start to the main window's first paint, without
//     command-line files (target: median at most 300 ms). The program reports
//     it itself (VELVO_REPORT_STARTUP=1, "startup-ms <n>", /proc start time,
//     10 ms resolution) and closes (VELVO_EXIT_AFTER_STARTUP=1); the time from
//     starting the process to reading that line is printed beside it.
//  2. Resident memory (VmRSS, and PSS from smaps_rollup) once the idle window
//     has settled, against the floor's.
// The program folder is copied into a temporary folder first, so the
// Preferences.ini each run writes stays out of the build.
// Usage: bench_startup [timed runs of each, default 9]
#include "BenchReport.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#ifndef STARTUP_FLOOR_PROGRAM
#error "STARTUP_FLOOR_PROGRAM must name the plain Qt window program"
#endif

namespace {

constexpr double TargetMs = 300;

struct Run {
    bool ok = false;
    double reportedMs = -1; // from the program's own report
    double wallMs = -1;     // from QProcess::start to reading the report
    double rssKiB = -1;
    double pssKiB = -1;
    QString failure;
};

bool CopyFolder(const QString &from, const QString &to)
{
    QDir().mkpath(to);
    QDirIterator it(from, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = to + "/" + QDir(from).relativeFilePath(source);
        if (it.fileInfo().isDir()) {
            if (!QDir().mkpath(target))
                return false;
        } else if (it.fileName() != "Preferences.ini") {
            if (!QFile::copy(source, target))
                return false;
            QFile::setPermissions(target, QFileInfo(source).permissions());
        }
    }
    return true;
}

// The value of a "Name:  <n> kB" line in a /proc file, -1 when absent.
double ProcKiB(const QString &file, const QByteArray &name)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(name + ":"))
            return line.mid(name.size() + 1).trimmed().split(' ').first().toDouble();
    return -1;
}

// Starts program, waits for its start-up report; with measureMemory the
// process stays up until its memory has settled, then gets SIGTERM.
Run StartOnce(const QString &program, const QString &workDir, bool measureMemory)
{
    Run run;
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (env.value("QT_QPA_PLATFORM").isEmpty())
        env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("VELVO_REPORT_STARTUP", "1");
    // A task list left in the user's own state folder would stop the start
    // with its question.
    env.insert("XDG_STATE_HOME", workDir + "/state");
    if (measureMemory)
        env.remove("VELVO_EXIT_AFTER_STARTUP");
    else
        env.insert("VELVO_EXIT_AFTER_STARTUP", "1");
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(workDir);

    QElapsedTimer clock;
    clock.start();
    process.start(program, {});
    QByteArray out;
    auto reportAt = [&out] {
        const int at = out.indexOf("startup-ms ");
        return at >= 0 && out.indexOf('\n', at) > at ? at : -1;
    };
    while (reportAt() < 0) {
        const int left = 30000 - int(clock.elapsed());
        const bool more = left > 0 && process.waitForReadyRead(left);
        out += process.readAllStandardOutput();
        if (!more)
            break;
    }
    run.wallMs = clock.nsecsElapsed() / 1e6;
    const int at = reportAt();
    if (at < 0) {
        process.kill();
        process.waitForFinished(5000);
        run.failure = "no start-up report: " + QString::fromLocal8Bit(process.readAllStandardError()).left(400);
        return run;
    }
    run.reportedMs = out.mid(at + 11, out.indexOf('\n', at) - at - 11).trimmed().toDouble();

    if (measureMemory) {
        const QString status = QString("/proc/%1/status").arg(process.processId());
        // Settled: at least a second idle, then two readings a quarter second
        // apart within 64 KiB of each other (at most five seconds).
        QThread::msleep(1000);
        double last = ProcKiB(status, "VmRSS");
        for (int i = 0; i < 16; ++i) {
            QThread::msleep(250);
            const double now = ProcKiB(status, "VmRSS");
            const bool steady = std::abs(now - last) < 64;
            last = now;
            if (steady)
                break;
        }
        run.rssKiB = last;
        run.pssKiB = ProcKiB(QString("/proc/%1/smaps_rollup").arg(process.processId()), "Pss");
        process.terminate();
        if (!process.waitForFinished(10000)) {
            process.kill();
            process.waitForFinished(5000);
            run.failure = "did not close on SIGTERM";
            return run;
        }
        run.ok = run.rssKiB > 0;
        if (!run.ok)
            run.failure = "no VmRSS";
        return run;
    }
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished(5000);
        run.failure = "did not close after its start-up report";
        return run;
    }
    run.ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (!run.ok)
        run.failure = QString("exit code %1: %2")
                          .arg(process.exitCode())
                          .arg(QString::fromLocal8Bit(process.readAllStandardError()).left(400));
    return run;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n == 0 ? -1 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double Best(const std::vector<double> &values)
{
    return values.empty() ? -1 : *std::min_element(values.begin(), values.end());
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;

    QTemporaryDir dir;
    const QString programDir = dir.path() + "/velvo";
    if (!dir.isValid() || !CopyFolder(QString(VELVO_PROGRAM_DIR), programDir)) {
        std::fprintf(stderr, "cannot copy %s into a temporary folder\n", VELVO_PROGRAM_DIR);
        return 1;
    }
    const QString velvo = programDir + "/velvo";
    const QString floor = QString(STARTUP_FLOOR_PROGRAM);

    // The very first start (no Preferences.ini yet) also fills the caches;
    // it is shown but not counted.
    const Run first = StartOnce(velvo, dir.path(), false);
    const Run firstFloor = StartOnce(floor, dir.path(), false);
    for (const Run &r : {first, firstFloor})
        if (!r.ok) {
            std::fprintf(stderr, "start-up failed: %s\n", qPrintable(r.failure));
            return 1;
        }
    if (!QFile::exists(programDir + "/Preferences.ini")) {
        std::fprintf(stderr, "the program wrote no Preferences.ini\n");
        return 1;
    }
    std::printf("startup: first start (no Preferences.ini, cold caches): %.0f ms, floor %.0f ms\n",
                first.reportedMs, firstFloor.reportedMs);

    std::vector<double> reported, wall, floorReported, floorWall;
    for (int i = 0; i < runs; ++i) {
        // Alternate which goes first so neither always finds a quieter machine.
        for (int k = 0; k < 2; ++k) {
            const bool program = (i + k) % 2 == 0;
            const Run r = StartOnce(program ? velvo : floor, dir.path(), false);
            if (!r.ok) {
                std::fprintf(stderr, "%s start-up failed: %s\n", program ? "program" : "floor",
                             qPrintable(r.failure));
                return 1;
            }
            (program ? reported : floorReported).push_back(r.reportedMs);
            (program ? wall : floorWall).push_back(r.wallMs);
        }
    }
    const double startMs = Median(reported), floorMs = Median(floorReported);
    std::printf("startup: first painted main window, median of %d: %.0f ms (best %.0f, start to report read %.0f); "
                "plain Qt window %.0f ms (best %.0f, %.0f); ratio %.2f\n",
                runs, startMs, Best(reported), Median(wall), floorMs, Best(floorReported), Median(floorWall),
                startMs / floorMs);
    const bool startPass = startMs <= TargetMs;
    std::printf("startup: median %.0f ms (target <= %.0f ms) %s\n", startMs, TargetMs, BenchVerdict(startPass));
    BenchLine(QString("startup: first painted main window (median of %1)").arg(runs), startMs, "ms", floorMs,
              QString("<= %1 ms").arg(TargetMs), BenchVerdict(startPass));

    // Idle memory: median of three of each.
    std::vector<double> rss, pss, floorRss, floorPss;
    for (int i = 0; i < 3; ++i)
        for (bool program : {true, false}) {
            const Run r = StartOnce(program ? velvo : floor, dir.path(), true);
            if (!r.ok) {
                std::fprintf(stderr, "%s idle memory failed: %s\n", program ? "program" : "floor",
                             qPrintable(r.failure));
                return 1;
            }
            (program ? rss : floorRss).push_back(r.rssKiB / 1024);
            if (r.pssKiB >= 0)
                (program ? pss : floorPss).push_back(r.pssKiB / 1024);
        }
    const double rssMiB = Median(rss), floorRssMiB = Median(floorRss);
    std::printf("startup: idle memory VmRSS %.1f MiB, plain Qt window %.1f MiB, ratio %.2f\n", rssMiB, floorRssMiB,
                rssMiB / floorRssMiB);
    BenchLine("startup: idle memory VmRSS (median of 3)", rssMiB, "MiB", floorRssMiB, "-", "INFO");
    if (pss.size() == rss.size() && floorPss.size() == floorRss.size()) {
        const double pssMiB = Median(pss), floorPssMiB = Median(floorPss);
        std::printf("startup: idle memory PSS %.1f MiB, plain Qt window %.1f MiB, ratio %.2f\n", pssMiB,
                    floorPssMiB, pssMiB / floorPssMiB);
        BenchLine("startup: idle memory PSS (median of 3)", pssMiB, "MiB", floorPssMiB, "-", "INFO");
    }
    return startPass ? 0 : 1;
}
