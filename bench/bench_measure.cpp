// Measuring a file with vxenc.dll -i against ffprobe on the same files.
// Adding a folder measures every file in turn, so this cost is what the user
// waits for. The processor time of each program is compared (target: vxenc
// at most 0.07 of ffprobe's); elapsed times are shown for information.
// Usage: bench_measure [number of clips, default 30]
#include "BenchReport.h"
#include "Clips.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

namespace {

struct Cost {
    double cpuMs = 0;
    double wallMs = 0;
};

// Adds one run of program to cost; false when it failed.
bool TimeRun(const QString &program, const QStringList &args, Cost &cost)
{
    const double cpu = CpuMs(RUSAGE_CHILDREN);
    QElapsedTimer t;
    t.start();
    const int rc = RunProgram(program, args);
    cost.wallMs += t.nsecsElapsed() / 1e6;
    cost.cpuMs += CpuMs(RUSAGE_CHILDREN) - cpu;
    return rc == 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? qMax(1, atoi(argv[1])) : 30;
    const QString vxenc = QString(VELVO_PROGRAM_DIR) + "vxenc.dll";

    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    // Small clips in a few common containers, as a folder of phone or camera
    // clips would hold; program and transport streams are read further than
    // the others.
    const QStringList extensions{"mp4", "mkv", "avi", "mpg", "ts"};
    QStringList files;
    for (int i = 0; i < count; ++i) {
        const QString file = QString("%1/clip %2.%3").arg(dir.path()).arg(i).arg(extensions[i % extensions.size()]);
        if (!MakeTestClip(file, 1.0 + (i % 4) * 0.5, 320, 240, true, 25)) {
            std::fprintf(stderr, "cannot make %s\n", qPrintable(file));
            return 1;
        }
        files << file;
    }

    // One untimed run of each fills the file cache and the library cache.
    Cost warm;
    TimeRun(vxenc, {"-i", files.first()}, warm);
    TimeRun("ffprobe", {"-hide_banner", files.first()}, warm);

    Cost v, f;
    for (int i = 0; i < files.size(); ++i) {
        bool ok;
        // Alternate which goes first so neither always finds a warmer cache.
        if (i % 2 == 0)
            ok = TimeRun(vxenc, {"-i", files[i]}, v) && TimeRun("ffprobe", {"-hide_banner", files[i]}, f);
        else
            ok = TimeRun("ffprobe", {"-hide_banner", files[i]}, f) && TimeRun(vxenc, {"-i", files[i]}, v);
        if (!ok) {
            std::fprintf(stderr, "measuring %s failed\n", qPrintable(files[i]));
            return 1;
        }
    }
    const int n = files.size();
    const double ratio = v.cpuMs / f.cpuMs;
    std::printf("measure: %d clips of 1 to 2.5 s, 320x240, %s\n", n, qPrintable(extensions.join('/')));
    std::printf("measure: vxenc %.2f ms processor time/file, ffprobe %.2f ms/file, ratio %.3f (target <= 0.07)\n",
                v.cpuMs / n, f.cpuMs / n, ratio);
    std::printf("measure: elapsed vxenc %.2f ms/file, ffprobe %.2f ms/file\n", v.wallMs / n, f.wallMs / n);
    BenchLine(QString("measure: vxenc -i processor time per file (%1 clips) vs ffprobe").arg(n), v.cpuMs / n,
              "ms", f.cpuMs / n, "ratio <= 0.07", BenchVerdict(ratio <= 0.07));
    BenchLine(QString("measure: vxenc -i elapsed time per file (%1 clips) vs ffprobe").arg(n), v.wallMs / n, "ms",
              f.wallMs / n, "-", "INFO");
    return 0;
}
