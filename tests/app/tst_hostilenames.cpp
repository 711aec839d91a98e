// Hostile file names end to end with the real encoder and a shipped profile:
// every file is added (open dialog, drop, folder scan, command line),
// measured, converted by a clicked Start to its own output name, and the
// output decodes. No name ever reaches a shell.
#include "RealRunUtil.h"

#include "common/TimeText.h"

#include <QDirIterator>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

using namespace realrun;

namespace {

const QString Profile = "MP4 - H.264 Video";
const QString Success = "The coversion is completed successfully.";

// Names a shell would act on: each would make a file "pwned" (or "y").
const QStringList ShellBait = {"$(touch pwned).avi", "`touch pwned`;echo x|cat>y&.avi"};

// Every place where a name run through a shell would have left its mark.
QStringList Marks(const QStringList &trees)
{
    QStringList found;
    for (const QString &folder : {QDir::currentPath(), QDir::tempPath()})
        for (const QString &mark : {"pwned", "y"})
            if (QFileInfo::exists(folder + "/" + mark))
                found << folder + "/" + mark;
    for (const QString &tree : trees) {
        QDirIterator it(tree, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            it.next();
            if (it.fileName() == "pwned" || it.fileName() == "y")
                found << it.filePath();
        }
    }
    return found;
}

// Sets the current folder and puts the old one back at the end.
class CurrentFolder {
public:
    explicit CurrentFolder(const QString &folder) : m_old(QDir::currentPath()) { ok = QDir::setCurrent(folder); }
    ~CurrentFolder() { QDir::setCurrent(m_old); }
    bool ok = false;

private:
    QString m_old;
};

// Copies the clip matching name's extension (.mp4 or else .avi) to path.
bool PlaceClip(const QString &path, const QString &clipDir)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QString source = clipDir + (path.endsWith(".mp4") ? "clip.mp4" : "clip.avi");
    return QFile::copy(source, path);
}

} // namespace

class TestHostileNames : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void namesAddedMeasuredAndConverted();
    void relativeNamesFromTheCommandLine();

private:
    // Checks one converted row: measured, "Complete", and its output decodes
    // at the right name with the clip's length.
    void checkRow(Run &run, const QString &input, const QString &outputName);

    QTemporaryDir m_clips;
    QString m_clipDir;
};

void TestHostileNames::initTestCase()
{
    QVERIFY2(RunProgram(FfmpegPath(), {"-version"}) == 0, "ffmpeg is needed for the runs");
    m_clipDir = m_clips.path() + "/";
    QVERIFY(MakeTestClip(m_clipDir + "clip.avi", 1.0, 160, 120));
    QVERIFY(MakeTestClip(m_clipDir + "clip.mp4", 1.0, 160, 120));
}

void TestHostileNames::checkRow(Run &run, const QString &input, const QString &outputName)
{
    const int row = run.rowOf(input);
    QVERIFY2(row >= 0, qPrintable("not listed: " + input));
    const ltvItemData rec = run.item(row);
    // Measured: the list shows the clip's length and frame size.
    QVERIFY2(std::abs(TimeTextToSeconds(rec.LengthText) - 1.0) < 0.1, qPrintable(input + ": " + rec.LengthText));
    QCOMPARE(rec.FrameSizeText.trimmed(), QString("160x120"));
    QCOMPARE(rec.OutputName, outputName);
    QVERIFY2(rec.Status == "Complete", qPrintable(input + ": " + rec.Status + "\n" + run.toolTip(row)));
    const QString output = run.outDir + outputName + ".mp4";
    QVERIFY2(QFileInfo(output).isFile(), qPrintable("missing: " + output));
    QVERIFY2(std::abs(ProbeDuration(output) - 1.0) < 0.25, qPrintable(output));
    QCOMPARE(ProbeFrameSize(output), QString("160x120"));
    QVERIFY2(DecodesCleanly(output), qPrintable(output));
    // The input is still the clip it was.
    const QString onDisk = QFileInfo(input).isRelative() ? run.inDir + input : input;
    QVERIFY2(std::abs(ProbeDuration(onDisk) - 1.0) < 0.25, qPrintable(onDisk));
}

void TestHostileNames::namesAddedMeasuredAndConverted()
{
    // The output folder's own name is hostile too.
    Run run(Profile, {}, "out 'single' \"double\" ü 日本 $(touch pwned)");
    QVERIFY(run.encoderReady);
    QVERIFY2(run.profileChosen, qPrintable(run.form->cmbProfile->currentText()));
    const QStringList trees = {run.media.path(), run.prog.dir()};
    const QStringList marksBefore = Marks(trees);

    // Through the open dialog.
    const QStringList byDialog = QStringList{"with  two spaces .avi", "say \"hi\".avi", "it's mine.avi",
                                             "-i.avi", "-y.mp4", "café über 日本語.avi", "a.b.c.avi",
                                             "back\\slash:colon.avi", "100% [x] {y}.avi"}
                                 + ShellBait;
    // Dropped on the window, as URLs: "#", "%" and "?" must survive their
    // encoding, and a path longer than 253 characters is used whole.
    const QStringList byDrop = {"#hash %20 what?.avi", "drop ü 'q'.mp4",
                                QString(235, 'n') + " long.avi"};
    // Found by a folder scan of a folder with a hostile name.
    const QString scanDir = run.inDir + "scan 'dir' \"q\" é $(touch pwned)/";
    const QStringList byScan = {"[brackets] & *star*.avi", "semi;colon -dash.mp4"};

    QStringList dialogPaths;
    for (const QString &name : byDialog) {
        dialogPaths << run.inDir + name;
        QVERIFY2(PlaceClip(dialogPaths.last(), m_clipDir), qPrintable(name));
    }
    QList<QUrl> urls;
    for (const QString &name : byDrop) {
        QVERIFY2(PlaceClip(run.inDir + name, m_clipDir), qPrintable(name));
        urls << QUrl::fromLocalFile(run.inDir + name);
    }
    QVERIFY((run.inDir + byDrop.last()).size() > 253);
    for (const QString &name : byScan)
        QVERIFY2(PlaceClip(scanDir + name, m_clipDir), qPrintable(name));

    run.addByDialog(dialogPaths);
    QCOMPARE(run.rows(), byDialog.size());
    QMimeData mime;
    mime.setUrls(urls);
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(run.form, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(run.form, &drop);
    QVERIFY(WaitUntilMeasured(run.form));
    QCOMPARE(run.rows(), byDialog.size() + byDrop.size());
    run.prog.platform.folderResults.enqueue(scanDir);
    QTest::mouseClick(run.form->tbtnAddDir, Qt::LeftButton);
    QVERIFY(WaitUntilMeasured(run.form));
    QCOMPARE(run.rows(), byDialog.size() + byDrop.size() + byScan.size());
    QVERIFY(run.prog.platform.messages.isEmpty());

    run.clickStart();
    QCOMPARE(run.prog.platform.messages.size(), 1);
    QCOMPARE(run.prog.platform.messages[0].text, Success);
    QVERIFY(run.idle());

    for (const QString &name : byDialog + byDrop)
        checkRow(run, run.inDir + name, RemoveExtension(name));
    for (const QString &name : byScan)
        checkRow(run, scanDir + name, RemoveExtension(name));
    // Exactly the expected outputs, nothing else.
    QCOMPARE(QDir(run.outDir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(),
             run.rows());
    QCOMPARE(Marks(trees), marksBefore);
}

void TestHostileNames::relativeNamesFromTheCommandLine()
{
    // Names given relative to the current folder: the rows hold them (and
    // the encoder gets them) as full paths, or it reads "a:b.avi" as the
    // protocol "a".
    Run run(Profile, {}, "out", false);
    QVERIFY(run.encoderReady);
    const QStringList marksBefore = Marks({run.media.path(), run.prog.dir()});
    const QStringList names = {"a:b.avi", "-i.avi", "$(touch pwned).mp4"};
    for (const QString &name : names)
        QVERIFY(PlaceClip(run.inDir + name, m_clipDir));
    QVERIFY(PlaceClip(run.inDir + "x:dir/c.avi", m_clipDir));
    {
        CurrentFolder here(run.inDir);
        QVERIFY(here.ok);
        run.start(names + QStringList{"x:dir"});
        QVERIFY(run.profileChosen);
        QCOMPARE(run.rows(), 4);
        QCOMPARE(run.form->ltvTask->topLevelItem(0)->text(0), run.inDir + "a:b.avi");
        run.clickStart();
    }
    QCOMPARE(run.prog.platform.messages.size(), 1);
    QCOMPARE(run.prog.platform.messages[0].text, Success);
    // The outputs are in the output folder.
    for (const QString &name : names)
        checkRow(run, run.inDir + name, RemoveExtension(name));
    checkRow(run, run.inDir + "x:dir/c.avi", "c");
    QCOMPARE(Marks({run.media.path(), run.prog.dir()}), marksBefore);
}

QTEST_MAIN(TestHostileNames)
#include "tst_hostilenames.moc"
