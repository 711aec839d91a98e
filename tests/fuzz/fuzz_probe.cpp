// The measure report parse: an arbitrary report and input path.
//
// Invariants:
// - nothing crashes;
// - the byte and the text form of the path give the same result;
// - an empty path, or one the report does not hold, gives empty texts;
// - a length text needs "Duration" after the path, a frame size needs "Video"
//   after that; neither text holds a comma;
// - a report made by putting a known duration and frame size into the
//   encoder's layout gives back exactly those texts.

#include "FuzzCheck.h"
#include "tasks/MediaProbe.h"

#include <QFile>

#include <fuzzer/FuzzedDataProvider.h>

namespace {

void CheckResult(const MeasureResult &result, const QByteArray &report, const QByteArray &path)
{
    const auto what = [&] { return Shown(report) + QStringLiteral(" path ") + Shown(path); };
    const int at = path.isEmpty() ? -1 : int(report.indexOf(path));
    if (at < 0) {
        FUZZ_CHECK(result.LengthText.isEmpty() && result.FrameSize.isEmpty(), what());
        return;
    }
    const QByteArray after = report.mid(at + path.size());
    if (!result.LengthText.isEmpty())
        FUZZ_CHECK(after.contains("Duration"), what());
    if (!result.FrameSize.isEmpty())
        FUZZ_CHECK(after.contains("Duration") && after.contains("Video"), what());
    FUZZ_CHECK(!result.LengthText.contains(QLatin1Char(',')), what());
    FUZZ_CHECK(!result.FrameSize.contains(QLatin1Char(',')), what());
}

bool SameResult(const MeasureResult &a, const MeasureResult &b)
{
    return a.LengthText == b.LengthText && a.FrameSize == b.FrameSize;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const bool shaped = in.ConsumeBool();
    const QByteArray path = QByteArray::fromStdString(in.ConsumeRandomLengthString(64));

    if (shaped) {
        // The encoder's layout with fuzzed pieces around known fields; the
        // pieces hold no comma and no line end (a field ends at either, as
        // in the encoder's own lines) so the fields are where the layout
        // puts them.
        auto piece = [&in](int max) {
            QByteArray bytes = QByteArray::fromStdString(in.ConsumeRandomLengthString(max));
            bytes.replace(',', ';').replace('\n', ' ').replace('\r', ' ');
            return bytes;
        };
        const QByteArray lead = QByteArray::fromStdString(in.ConsumeRandomLengthString(64));
        const QByteArray format = piece(16);
        const QByteArray length = piece(16);
        const QByteArray codec = piece(16);
        const QByteArray pixels = piece(16);
        const QByteArray frameSize = piece(16);
        const QByteArray prefix = lead + "Input #0, " + format + ", from '";
        const QByteArray report = prefix + path + "':\n  Duration: " + length
            + ", start: 0.000000, bitrate: 1 kb/s\n  Stream #0:0: Video: " + codec + ", " + pixels
            + "," + frameSize + ", 25 fps\n";
        const MeasureResult result = ParseMeasureReport(report, path);
        CheckResult(result, report, path);
        // Once the path is first found where the layout put it, the fields
        // follow from the layout alone.
        if (!path.isEmpty() && report.indexOf(path) == prefix.size()) {
            const auto what = [&] { return Shown(report) + QStringLiteral(" path ") + Shown(path); };
            FUZZ_CHECK(result.LengthText == QFile::decodeName(length), what());
            FUZZ_CHECK(result.FrameSize == QFile::decodeName(frameSize), what());
        }
        return 0;
    }

    const QByteArray report = QByteArray::fromStdString(in.ConsumeRemainingBytesAsString());
    const MeasureResult result = ParseMeasureReport(report, path);
    CheckResult(result, report, path);
    // The program holds paths as text; decoding and encoding again gives the
    // bytes back for names the file system can hold.
    const QString name = QFile::decodeName(path);
    if (QFile::encodeName(name) == path)
        FUZZ_CHECK(SameResult(result, ParseMeasureReport(report, name)), Shown(path));
    return 0;
}
