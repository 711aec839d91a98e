// Profiles: comma lists, reading a profile with its integrity checks, and the
// argument text assembled from it and the texts the user chose.
//
// Invariants:
// - nothing crashes, whatever the profile text and the shown texts;
// - a comma list has one item per comma, and the items joined with commas
//   give the text up to its last comma;
// - a profile that passes the checks has Para parameters with names, groups
//   1..3, list Index within the captions and at least as many values as
//   captions; a refused one names the profile in its problem;
// - for a usable profile the arguments hold " cmd value" for each parameter
//   whose shown caption has a non-empty value, in parameter order.

#include "FuzzCheck.h"
#include "ini/NewInifiles.h"
#include "profiles/ProfileFiles.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <functional>

namespace {

void CheckCommaList(const QString &text)
{
    const QStringList items = SplitCommaList(text);
    FUZZ_CHECK(items.size() == text.count(QLatin1Char(',')), Shown(text));
    if (!items.isEmpty())
        FUZZ_CHECK(items.join(QLatin1Char(',')) + QLatin1Char(',')
                       == text.left(text.lastIndexOf(QLatin1Char(',')) + 1),
                   Shown(text));
}

// what() describes the case; it is built only for a report.
void CheckProfile(const ProfileData &profile, const QString &name,
                  const std::function<QString()> &what)
{
    if (!profile.ok()) {
        FUZZ_CHECK(profile.problem.contains(QLatin1Char('"') + name + QLatin1Char('"')), what());
        return;
    }
    FUZZ_CHECK(profile.parameters.size() == qMax(profile.para, 0), what());
    for (const ProfileParameter &p : profile.parameters) {
        FUZZ_CHECK(!p.name.isEmpty() && !p.name.contains(QLatin1Char('['))
                       && !p.name.contains(QLatin1Char(']')),
                   what());
        FUZZ_CHECK(p.group >= pgVideo && p.group <= pgAdvanced, what());
        if (p.isList) {
            FUZZ_CHECK(p.index >= 0 && p.index < p.captions.size(), what());
            FUZZ_CHECK(p.values.size() >= p.captions.size(), what());
            FUZZ_CHECK(p.captions == SplitCommaList(p.captionText), what());
            FUZZ_CHECK(p.values == SplitCommaList(p.valueText), what());
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    if (in.ConsumeIntegralInRange<int>(0, 3) == 0) {
        const std::string bytes = in.ConsumeRemainingBytesAsString();
        CheckCommaList(QString::fromUtf8(bytes.data(), int(bytes.size())));
        return 0;
    }

    const QString name = QString::fromUtf8(QByteArray::fromStdString(in.ConsumeRandomLengthString(16)));
    const QByteArray text = QByteArray::fromStdString(in.ConsumeRandomLengthString(4096));
    // Held in memory under a name no file has: the reader looks at the disk
    // only for the NUL check, which a loaded text can never fail.
    const TNewInifile ini(QStringLiteral("/nonexistent/velvo-fuzz/") + name + QStringLiteral(".vpf"), text);
    const ProfileData profile = ReadProfile(ini, name);
    const auto what = [&] { return Shown(text); };
    CheckProfile(profile, name, what);
    for (const ProfileParameter &p : profile.parameters) {
        CheckCommaList(p.captionText);
        CheckCommaList(p.valueText);
    }
    if (!profile.ok())
        return 0;

    // The shown text of each parameter: one of its captions (by index from
    // the input, possibly out of range) or free text.
    QList<QString> shown;
    QList<int> chosen;
    for (const ProfileParameter &p : profile.parameters) {
        const int pick = in.ConsumeIntegralInRange<int>(-1, qMax(int(p.captions.size()) - 1, 0));
        if (pick >= 0 && pick < p.captions.size()) {
            shown.append(p.captions.at(pick));
            chosen.append(pick);
        } else {
            shown.append(QString::fromUtf8(QByteArray::fromStdString(in.ConsumeRandomLengthString(12))));
            chosen.append(-1);
        }
    }
    const ShownTextLookup lookup = [&](int group, const QString &parameter) {
        for (int i = 0; i < profile.parameters.size(); ++i)
            if (profile.parameters.at(i).group == group
                && QString::compare(profile.parameters.at(i).name, parameter, Qt::CaseInsensitive) == 0)
                return shown.at(i);
        return QString();
    };
    const QString arguments = AssembleArguments(profile, lookup);
    if (!arguments.isEmpty())
        FUZZ_CHECK(arguments.startsWith(QLatin1Char(' ')), what());

    // Every chosen caption (found first among equal captions, ignoring case)
    // with a switch and a plain value appears with its switch, in order.
    int from = 0;
    for (int i = 0; i < profile.parameters.size(); ++i) {
        const ProfileParameter &p = profile.parameters.at(i);
        if (!p.isList || chosen.at(i) < 0 || p.cmd.isEmpty() || lookup(p.group, p.name) != shown.at(i))
            continue;
        int k = 0;
        while (QString::compare(p.captions.at(k), shown.at(i), Qt::CaseInsensitive) != 0)
            ++k;
        const QString value = p.values.at(k);
        if (value.isEmpty() || value == QLatin1String("\\"))
            continue;
        const QString piece = QLatin1Char(' ') + p.cmd + QLatin1Char(' ') + value;
        const int at = arguments.indexOf(piece, from);
        FUZZ_CHECK(at >= 0, what() + QStringLiteral(" arguments ") + Shown(arguments) + QStringLiteral(" lack ")
                                + Shown(piece));
        from = at + piece.size();
    }
    return 0;
}
