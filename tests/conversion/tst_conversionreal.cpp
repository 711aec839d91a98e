// End to end: the real vxenc.dll and a shipped profile convert generated
// clips into a temporary folder; the outputs decode with the expected
// lengths, a broken input fails, and no run overwrites what it must not.
#include "ConversionTestUtil.h"

#include "Clips.h"

#include <QComboBox>
#include <QDateTime>
#include <QDirIterator>

using namespace conv;

namespace {

const QString Success = "The coversion is completed successfully.";

// Used only when no profile is shipped: MPEG-4 video and AAC audio in MP4.
const QByteArray FallbackProfile =
    "[Main]\r\nType=mp4\r\nPara=2\r\n0=Video Codec\r\n1=Audio Codec\r\n\r\n"
    "[Video Codec]\r\nSort=1\r\nList=0\r\nReadOnly=1\r\nCaption=MPEG-4\r\nValue=mpeg4\r\ncmd=-vcodec\r\n\r\n"
    "[Audio Codec]\r\nSort=2\r\nList=0\r\nReadOnly=1\r\nCaption=AAC\r\nValue=aac\r\ncmd=-acodec\r\n";

struct FileState {
    qint64 size;
    QDateTime modified;
    QByteArray head;
    bool operator==(const FileState &o) const
    {
        return size == o.size && modified == o.modified && head == o.head;
    }
};

// Every file under folder with its size, time and first bytes.
QMap<QString, FileState> Snapshot(const QString &folder)
{
    QMap<QString, FileState> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        files.insert(path, {it.fileInfo().size(), it.fileInfo().lastModified(), f.read(4096)});
    }
    return files;
}

// A temporary folder with in/ and out/ folders for one test's clips.
struct MediaFolders {
    MediaFolders()
    {
        QDir().mkpath(in);
        QDir().mkpath(out);
    }
    QTemporaryDir root;
    const QString in = root.path() + "/in/";
    const QString out = root.path() + "/out/";
};

} // namespace

class TestConversionReal : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void batchConvertsWithNamesTrimsAndStatuses();
    void failedOutputsNeverReplaceGoodOnes();
    void outputsWithoutPictureOrWithOwnTimingPassTheCheck();

private:
    // Copies the shipped profiles and picks one that writes MP4 (or the
    // first); writes a small one when none is shipped.
    QString PrepareProfiles(TestProgram &prog);
};

void TestConversionReal::initTestCase()
{
    if (RunProgram(FfmpegPath(), {"-version"}) != 0)
        QSKIP("ffmpeg is not available");
}

QString TestConversionReal::PrepareProfiles(TestProgram &prog)
{
    prog.copyShippedProfiles();
    // The everyday profile, quick to encode.
    if (QFileInfo::exists(prog.path("Profiles/MP4 - H.264 Video.vpf")))
        return "MP4 - H.264 Video";
    const QStringList shipped = QDir(prog.path("Profiles")).entryList({"*.vpf"}, QDir::Files, QDir::Name);
    for (const QString &name : shipped)
        if (prog.readFile("Profiles/" + name).contains("Type=mp4"))
            return QFileInfo(name).completeBaseName();
    if (!shipped.isEmpty())
        return QFileInfo(shipped.first()).completeBaseName();
    prog.addProfile("Test MP4.vpf", FallbackProfile);
    return "Test MP4";
}

void TestConversionReal::batchConvertsWithNamesTrimsAndStatuses()
{
    TestProgram prog;
    QVERIFY(prog.useRealEncoder());
    const QString profile = PrepareProfiles(prog);
    const MediaFolders folders;
    const QTemporaryDir &media = folders.root;
    const QString &inDir = folders.in, &outDir = folders.out;
    QVERIFY(MakeTestClip(inDir + "a.mp4", 4.0));
    QVERIFY(MakeTestClip(inDir + "b.avi", 2.0));
    QVERIFY(MakeTestClip(inDir + "c clip.mov", 1.5));

    TMainForm *form = prog.start();
    form->cmbProfile->setCurrentText(profile);
    QCOMPARE(form->cmbProfile->currentText(), profile);
    const QString ext = form->CurrentOutputExt;
    QVERIFY2(ext.startsWith('.') && ext.size() > 1, qPrintable(ext));
    form->edtOutputdir->setText(outDir);
    for (const QString &name : {"a.mp4", "b.avi", "c clip.mov"}) {
        prog.platform.openResults.enqueue({inDir + name});
        QTest::mouseClick(form->tbtnAddFile, Qt::LeftButton);
        QVERIFY(WaitUntilMeasured(form));
    }
    QCOMPARE(form->ltvTask->topLevelItemCount(), 3);

    // The first clip is trimmed to 00:00:01 .. 00:00:03.5, the second gets its own name.
    ltvItemData rec;
    form->ReadItemData(0, sdAll, rec);
    QVERIFY2(std::abs(rec.LengthSec - 4.0) < 0.1, qPrintable(rec.LengthText));
    rec.ClipStart = "00:00:01";
    rec.ClipEnd = "00:00:03.5";
    rec.ClipLength = "00:00:02.5";
    form->WriteItemData(0, sdAll, rec);
    form->ReadItemData(1, sdAll, rec);
    rec.OutputName = "custom output";
    form->WriteItemData(1, sdAll, rec);

    StartAndWait(form);
    for (int i = 0; i < 3; ++i) {
        form->ReadItemData(i, sdAll, rec);
        QCOMPARE(rec.Status, QString("Complete"));
    }
    QCOMPARE(prog.platform.messages.size(), 1);
    QCOMPARE(prog.platform.messages[0].text, Success);
    QCOMPARE(prog.platform.messages[0].caption, QString("Complete"));
    // The bars end full.
    QCOMPARE(form->pgbTotal->value(), 100);
    QCOMPARE(form->labTotalProgress->text(), QString("100%"));
    QCOMPARE(form->pgbCurrent->value(), 100);

    // Outputs: the trimmed range (2.5 s: -t 2.5), the custom name, the plain
    // name; each decodes with the expected length.
    const QList<QPair<QString, double>> expected = {
        {outDir + "a" + ext, 2.5}, {outDir + "custom output" + ext, 2.0}, {outDir + "c clip" + ext, 1.5}};
    for (const auto &e : expected) {
        QVERIFY2(QFileInfo::exists(e.first), qPrintable(e.first));
        const double seconds = ProbeDuration(e.first);
        QVERIFY2(std::abs(seconds - e.second) < 0.25,
                 qPrintable(QString("%1: %2 s").arg(e.first).arg(seconds)));
        QVERIFY2(DecodesCleanly(e.first), qPrintable(e.first));
    }

    // A second run in rename mode, with a broken input and an input that
    // lies where its own output would go: nothing that exists is touched.
    SettingForm->rdbRename->setChecked(true);
    const QString broken = inDir + "broken.avi";
    Touch(broken, "this is not a video\n");
    QVERIFY(MakeTestClip(outDir + "d" + ext, 1.0));
    for (const QString &path : {broken, outDir + "d" + ext}) {
        prog.platform.openResults.enqueue({path});
        QTest::mouseClick(form->tbtnAddFile, Qt::LeftButton);
        QVERIFY(WaitUntilMeasured(form));
    }
    QCOMPARE(form->ltvTask->topLevelItemCount(), 5);
    const QMap<QString, FileState> before = Snapshot(media.path());
    prog.platform.messages.clear();
    StartAndWait(form);

    const QStringList statuses = [&] {
        QStringList list;
        for (int i = 0; i < 5; ++i) {
            form->ReadItemData(i, sdAll, rec);
            list << rec.Status;
        }
        return list;
    }();
    QCOMPARE(statuses, QStringList({"Complete", "Complete", "Complete", "Failed", "Complete"}));
    QVERIFY2(form->ltvTask->topLevelItem(3)->toolTip(0).startsWith("The input is not a readable video.\n"),
             qPrintable(form->ltvTask->topLevelItem(3)->toolTip(0)));
    QCOMPARE(prog.platform.questions.size(), 1);
    QVERIFY2(prog.platform.questions[0].text.contains("1 of 5"), qPrintable(prog.platform.questions[0].text));

    const QMap<QString, FileState> after = Snapshot(media.path());
    for (auto it = before.begin(); it != before.end(); ++it) {
        QVERIFY2(after.contains(it.key()), qPrintable(it.key()));
        QVERIFY2(after.value(it.key()) == it.value(), qPrintable(it.key() + " was overwritten"));
    }
    const QList<QPair<QString, double>> renamed = {{outDir + "a_1" + ext, 2.5},
                                                   {outDir + "custom output_2" + ext, 2.0},
                                                   {outDir + "c clip_3" + ext, 1.5},
                                                   {outDir + "d_5" + ext, 1.0}};
    for (const auto &e : renamed) {
        QVERIFY2(QFileInfo::exists(e.first), qPrintable(e.first));
        const double seconds = ProbeDuration(e.first);
        QVERIFY2(std::abs(seconds - e.second) < 0.25,
                 qPrintable(QString("%1: %2 s").arg(e.first).arg(seconds)));
    }
    // The input that sat at its own output path is still the clip it was.
    QVERIFY(std::abs(ProbeDuration(outDir + "d" + ext) - 1.0) < 0.25);
    QVERIFY(DecodesCleanly(outDir + "d" + ext));
}

void TestConversionReal::failedOutputsNeverReplaceGoodOnes()
{
    TestProgram prog;
    QVERIFY(prog.useRealEncoder());
    const QString profile = PrepareProfiles(prog);
    // The encoder runs with a small file-size limit, as on a full disk.
    const QString real = prog.path("real-vxenc.dll");
    QVERIFY(QFile::rename(prog.path("vxenc.dll"), real));
    prog.writeFile("vxenc.dll", "#!/bin/sh\nulimit -f 16\nexec \"" + real.toUtf8() + "\" \"$@\"\n");
    QVERIFY(QFile::setPermissions(prog.path("vxenc.dll"), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    const MediaFolders folders;
    const QString &inDir = folders.in, &outDir = folders.out;
    QVERIFY(MakeTestClip(inDir + "a.mp4", 4.0));
    QVERIFY(MakeTestClip(inDir + "b.mov", 4.0));

    TMainForm *form = prog.start();
    form->cmbProfile->setCurrentText(profile);
    const QString ext = form->CurrentOutputExt;
    form->edtOutputdir->setText(outDir);
    for (const QString &name : {"a.mp4", "b.mov"}) {
        prog.platform.openResults.enqueue({inDir + name});
        QTest::mouseClick(form->tbtnAddFile, Qt::LeftButton);
        QVERIFY(WaitUntilMeasured(form));
    }
    QCOMPARE(form->ltvTask->topLevelItemCount(), 2);
    // The second clip is cut to less than a frame: nothing to convert.
    ltvItemData rec;
    form->ReadItemData(1, sdAll, rec);
    rec.ClipStart = "00:00:01";
    rec.ClipEnd = "00:00:01.04";
    rec.ClipLength = "00:00:00.04";
    form->WriteItemData(1, sdAll, rec);
    // An older good output of the first clip, in overwrite mode.
    Touch(outDir + "a" + ext, "an older good output");

    StartAndWait(form);
    for (int i = 0; i < 2; ++i) {
        form->ReadItemData(i, sdAll, rec);
        QCOMPARE(rec.Status, QString("Failed"));
        QVERIFY(!form->ltvTask->topLevelItem(i)->toolTip(0).isEmpty());
    }
    QCOMPARE(form->ltvTask->topLevelItem(1)->toolTip(0), QString("The clip is shorter than a tenth of a second."));
    QCOMPARE(prog.platform.questions.size(), 1);
    QVERIFY2(prog.platform.questions[0].text.startsWith("2 of 2 files could not be converted."),
             qPrintable(prog.platform.questions[0].text));
    QVERIFY(!prog.platform.questions[0].text.contains("successfully"));
    // The older output is untouched and nothing else is left behind.
    QCOMPARE(QDir(outDir).entryList(QDir::Files | QDir::Hidden), QStringList{"a" + ext});
    QFile older(outDir + "a" + ext);
    QVERIFY(older.open(QIODevice::ReadOnly));
    QCOMPARE(older.readAll(), QByteArray("an older good output"));
}

void TestConversionReal::outputsWithoutPictureOrWithOwnTimingPassTheCheck()
{
    // Sound only, an animation, a container with its own timing: each is a
    // good output that the check must not refuse.
    TestProgram prog;
    QVERIFY(prog.useRealEncoder());
    prog.copyShippedProfiles();
    QTemporaryDir media;
    QVERIFY(QDir().mkpath(media.path() + "/in"));
    const QString clip = media.path() + "/in/clip.mp4";
    QVERIFY(MakeTestClip(clip, 2.0));
    TMainForm *form = prog.start();
    form->edtOutputdir->setText(media.path() + "/");
    prog.platform.openResults.enqueue({clip});
    QTest::mouseClick(form->tbtnAddFile, Qt::LeftButton);
    QVERIFY(WaitUntilMeasured(form));
    QCOMPARE(form->ltvTask->topLevelItemCount(), 1);
    for (const QString &profile : {"Audio - MP3", "GIF - Animated", "MKV - H.264 Video"}) {
        form->cmbProfile->setCurrentText(profile);
        QCOMPARE(form->cmbProfile->currentText(), profile);
        prog.platform.messages.clear();
        StartAndWait(form);
        ltvItemData rec;
        form->ReadItemData(0, sdAll, rec);
        QVERIFY2(rec.Status == "Complete",
                 qPrintable(profile + ": " + form->ltvTask->topLevelItem(0)->toolTip(0)));
        QVERIFY(QFileInfo::exists(media.path() + "/clip" + form->CurrentOutputExt));
    }
}

QTEST_MAIN(TestConversionReal)
#include "tst_conversionreal.moc"
