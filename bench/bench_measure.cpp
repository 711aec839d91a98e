// Measuring a file with vxenc.dll -i against ffprobe on the same files.
// Adding a folder measures every file in turn, so this cost is what the user
// waits for. Usage: bench_measure [number of clips, default 30]
#include "BenchReport.h"
#include "Clips.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

namespace {

// Milliseconds one run of program takes, -1 when it failed.
double TimeRun(const QString &program, const QStringList &args)
{
    QElapsedTimer t;
    t.start();
    const int rc = RunProgram(program, args);
    const double ms = t.nsecsElapsed() / 1e6;
    return rc == 0 ? ms : -1;
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
    // clips would hold.
    const QStringList extensions{"mp4", "mkv", "avi"};
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
    TimeRun(vxenc, {"-i", files.first()});
    TimeRun("ffprobe", {"-hide_banner", files.first()});

    double vxencTotal = 0, ffprobeTotal = 0;
    for (int i = 0; i < files.size(); ++i) {
        double v, f;
        // Alternate which goes first so neither always finds a warmer cache.
        if (i % 2 == 0) {
            v = TimeRun(vxenc, {"-i", files[i]});
            f = TimeRun("ffprobe", {"-hide_banner", files[i]});
        } else {
            f = TimeRun("ffprobe", {"-hide_banner", files[i]});
            v = TimeRun(vxenc, {"-i", files[i]});
        }
        if (v < 0 || f < 0) {
            std::fprintf(stderr, "measuring %s failed (vxenc %s, ffprobe %s)\n", qPrintable(files[i]),
                         v < 0 ? "failed" : "ok", f < 0 ? "failed" : "ok");
            return 1;
        }
        vxencTotal += v;
        ffprobeTotal += f;
    }
    const double vxencMean = vxencTotal / files.size();
    const double ffprobeMean = ffprobeTotal / files.size();
    std::printf("measure: %d clips of 1 to 2.5 s, 320x240, mp4/mkv/avi\n", int(files.size()));
    std::printf("measure: vxenc %.1f ms/file, ffprobe %.1f ms/file, ratio %.2f (target <= 0.60)\n", vxencMean,
                ffprobeMean, vxencMean / ffprobeMean);
    BenchLine(QString("measure: vxenc -i time per file (%1 clips) vs ffprobe").arg(files.size()), vxencMean, "ms",
              ffprobeMean, "ratio <= 0.60", BenchVerdict(vxencMean / ffprobeMean <= 0.6));
    return 0;
}
