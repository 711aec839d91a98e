#pragma once
// Shared pieces of the conversion-run tests: a program folder with input and
// output folders, rows added through the real AddFile (measured by the fake
// encoder), scripted conversions, and a driver that watches the window while
// a run is going on and acts at chosen moments.

#include "TestProgram.h"

#include "app/MainForm.h"
#include "common/TimeText.h"
#include "settings/Settings.h"
#include "tasks/ItemData.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <functional>

namespace conv {

// Text as a fake-encoder script line carries it.
inline QString Escape(const QString &text)
{
    QString s = text;
    s.replace("\\", "\\\\").replace("\n", "\\n").replace("\r", "\\r").replace("\t", "\\t");
    return s;
}

// What the fake prints when measuring: the path, then the duration and a
// video stream.
inline QString MeasureScript(const QString &length)
{
    return "[measure]\nout " +
           Escape("Input #0, avi, from '") + "$IN" +
           Escape("':\n  Duration: " + length + ", start: 0.000000, bitrate: 1000 kb/s\n"
                  "    Stream #0:0: Video: mpeg4, yuv420p, 320x240, 25 fps\n") + "\n";
}

// The encoder's first two pieces: banner and stream report. They carry a
// progress-like text that must never move a bar.
inline QStringList HeaderPieces()
{
    return {"vxenc fake time=99.00 banner\n",
            "Input #0, avi: Duration: 00:01:40.00 time=98.00 \nOutput #0, mp4\n"};
}

// A conversion script: the lines of before, then each piece printed on its
// own, gapMs apart, then the lines of end.
inline QString PiecesScript(const QStringList &pieces, int gapMs = 250, const QString &end = "exit 0",
                            const QString &before = QString())
{
    QString s = "[convert]\n" + before;
    for (const QString &p : pieces)
        s += "out " + Escape(p) + "\nsleep " + QString::number(gapMs) + "\n";
    s += end + "\n";
    return s;
}

inline void Touch(const QString &path, const QByteArray &content = "x")
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(content);
}

inline bool Alive(qint64 pid)
{
    QFile f(QString("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray stat = f.readAll();
    const int close = stat.lastIndexOf(')');
    return close >= 0 && close + 2 < stat.size() && stat[close + 2] != 'Z' && stat[close + 2] != 'X';
}

// A program folder with the fake encoder, input and output folders, and the
// windows shown. Profiles, when given, are written before the windows exist.
class Setup {
public:
    explicit Setup(const QList<QPair<QString, QByteArray>> &profiles = {})
    {
        prog.fakeEncoder();
        for (const auto &p : profiles)
            prog.addProfile(p.first, p.second);
        inDir = media.path() + "/in/";
        outDir = media.path() + "/out/";
        QDir().mkpath(inDir);
        QDir().mkpath(outDir);
        form = prog.start();
        form->edtOutputdir->setText(outDir);
        if (form->CurrentOutputExt.isEmpty())
            form->CurrentOutputExt = ".mp4";
    }

    FakeEncoder &encoder() { return prog.fakeEncoder(); }

    // Adds a row with the Add button and the open dialog, measured by the
    // fake with the given length.
    QString addClip(const QString &name, const QString &length = "00:01:40.00")
    {
        const QString path = name.startsWith('/') ? name : inDir + name;
        // The fake's outputs of this input last as long as it was measured.
        const double seconds = TimeTextToSeconds(length);
        if (!QFileInfo::exists(path))
            Touch(path, seconds >= 0 ? "fakeenc-length " + QByteArray::number(seconds) : QByteArray("x"));
        encoder().setScript(MeasureScript(length));
        const int before = rows();
        prog.platform.openResults.enqueue({path});
        QTest::mouseClick(form->tbtnAddFile, Qt::LeftButton);
        WaitUntilMeasured(form); // before the script changes
        if (rows() != before + 1)
            qWarning("AddFile did not add %s", qPrintable(path));
        return path;
    }

    // Script for the conversions to come; earlier runs are forgotten.
    void convertWith(const QString &script)
    {
        encoder().setScript(script);
        encoder().clearRuns();
    }

    int rows() const { return form->ltvTask->topLevelItemCount(); }
    ltvItemData item(int i) const
    {
        ltvItemData rec;
        form->ReadItemData(i, sdAll, rec);
        return rec;
    }
    void setItem(int i, const ltvItemData &rec) { form->WriteItemData(i, sdAll, rec); }
    QString status(int i) const { return item(i).Status; }
    QString toolTip(int i, int column = 0) const { return form->ltvTask->topLevelItem(i)->toolTip(column); }

    // Start, and back once the run is over.
    void clickStart() { StartAndWait(form); }
    void clickStop() { QTest::mouseClick(form->tbtnStop, Qt::LeftButton); }

    bool idleLook() const
    {
        return form->RunState == 0 && form->panBottomCenter->isVisible() && !form->panBottomLeft->isVisible()
            && !form->timerTime->isActive() && form->tbtnStart->isEnabled() && !form->tbtnStop->isEnabled()
            && form->ltvTask->isEnabled();
    }

    QStringList messageTexts() const
    {
        QStringList texts;
        for (const auto &m : prog.platform.messages)
            texts << m.text;
        return texts;
    }

    TestProgram prog;
    QTemporaryDir media;
    QString inDir, outDir;
    TMainForm *form = nullptr;
};

// Watches the window every few milliseconds while a run goes on: records each
// distinct state of the bars and their labels, and performs the steps given
// with when() in order, each once its condition holds. A run that makes no
// progress is stopped after a while so that a failing test cannot hang.
class Driver : public QObject {
public:
    explicit Driver(TMainForm *form, int giveUpMs = 30000) : m_form(form), m_giveUpMs(giveUpMs)
    {
        connect(&m_timer, &QTimer::timeout, this, &Driver::tick);
        m_timer.start(2);
        m_clock.start();
    }

    void when(std::function<bool()> condition, std::function<void()> action)
    {
        m_steps.append({std::move(condition), std::move(action)});
    }

    QString snapshot() const
    {
        return QString("%1/%2/%3/%4")
            .arg(m_form->pgbCurrent->value())
            .arg(m_form->pgbTotal->value())
            .arg(m_form->labCurProgress->text(), m_form->labTotalProgress->text());
    }

    // Records the current state when it differs from the last one (also
    // used after the run, when no more events come).
    void record()
    {
        const QString s = snapshot();
        if (states.isEmpty() || states.last() != s)
            states << s;
    }

    QStringList states;
    bool gaveUp = false;
    int pendingSteps() const { return int(m_steps.size()); }
    int ticks = 0;

private:
    void tick()
    {
        ++ticks;
        record();
        while (!m_steps.isEmpty() && m_steps.first().first()) {
            const auto step = m_steps.takeFirst();
            step.second();
        }
        if (!gaveUp && m_clock.elapsed() > m_giveUpMs && m_form->RunState == 1) {
            gaveUp = true;
            m_form->tbtnStopClick();
        }
    }

    TMainForm *m_form;
    int m_giveUpMs;
    QTimer m_timer;
    QElapsedTimer m_clock;
    QList<QPair<std::function<bool()>, std::function<void()>>> m_steps;
};

} // namespace conv
