// Output names of the run (both overwrite modes, inputs never overwritten,
// numbered names never overwriting in rename mode) and the item's own
// " -ss " / " -t " pieces.
#include "common/TimeText.h"
#include "conversion/OutputNaming.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace {

void Touch(const QString &path)
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
    f.write("x");
}

ltvItemData Item(const QString &length, const QString &clipStart, const QString &clipLength)
{
    ltvItemData rec;
    rec.LengthText = length;
    rec.SourceStart = "00:00:00.0";
    rec.SourceEnd = length;
    rec.ClipStart = clipStart;
    rec.ClipLength = clipLength;
    rec.LengthSec = TimeTextToSeconds(length);
    rec.SourceStartSec = TimeTextToSeconds(rec.SourceStart);
    rec.SourceEndSec = TimeTextToSeconds(length);
    rec.ClipStartSec = TimeTextToSeconds(clipStart);
    rec.ClipLengthSec = TimeTextToSeconds(clipLength);
    return rec;
}

} // namespace

class TestOutputNaming : public QObject {
    Q_OBJECT
private slots:
    void init();
    void clipCutToNothing();
    void plainNameWhenFree();
    void existingFileOverwrittenOrRenamed();
    void renameKeepsNumberingWhileTaken();
    void overwriteModeOverwritesNumberedName();
    void inputIsNeverTheOutput_data();
    void inputIsNeverTheOutput();
    void outputOfOneItemNeverAnotherInput();
    void numberedNameThatIsAnInputIsNumberedAgain();
    void numberedNameExtension();
    void sameFile();
    void itemArguments_data();
    void itemArguments();

private:
    TOutputRequest Request(const QString &name, int position, bool rename) const;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_out; // output folder with "/"
};

void TestOutputNaming::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_out = m_dir->path() + "/out/";
    QVERIFY(QDir().mkpath(m_out));
}

TOutputRequest TestOutputNaming::Request(const QString &name, int position, bool rename) const
{
    TOutputRequest r;
    r.folder = m_out;
    r.outputName = name;
    r.itemExt = ".mp4";
    r.currentExt = ".mp4";
    r.position = position;
    r.renameExisting = rename;
    return r;
}

void TestOutputNaming::plainNameWhenFree()
{
    QCOMPARE(OutputPathFor(Request("clip", 2, false)), m_out + "clip.mp4");
    QCOMPARE(OutputPathFor(Request("clip", 2, true)), m_out + "clip.mp4");
    TOutputRequest r = Request("clip", 1, true);
    r.currentExt = ".avi"; // the profile's extension wins for the plain name
    QCOMPARE(OutputPathFor(r), m_out + "clip.avi");
}

void TestOutputNaming::existingFileOverwrittenOrRenamed()
{
    Touch(m_out + "clip.mp4");
    QCOMPARE(OutputPathFor(Request("clip", 3, false)), m_out + "clip.mp4");
    QCOMPARE(OutputPathFor(Request("clip", 3, true)), m_out + "clip_3.mp4");
}

void TestOutputNaming::renameKeepsNumberingWhileTaken()
{
    Touch(m_out + "clip.mp4");
    Touch(m_out + "clip_2.mp4"); // an earlier run's renamed output
    QCOMPARE(OutputPathFor(Request("clip", 2, true)), m_out + "clip_2_2.mp4");
    Touch(m_out + "clip_2_2.mp4");
    QCOMPARE(OutputPathFor(Request("clip", 2, true)), m_out + "clip_2_2_2.mp4");
    // Another position numbers from its own free name.
    QCOMPARE(OutputPathFor(Request("clip", 4, true)), m_out + "clip_4.mp4");
}

void TestOutputNaming::overwriteModeOverwritesNumberedName()
{
    // Overwrite chosen and the plain name is an input: the numbered name is
    // used even though it exists (it is no input).
    Touch(m_out + "clip.mp4");
    Touch(m_out + "clip_1.mp4");
    TOutputRequest r = Request("clip", 1, false);
    const TFileSet inputs({m_out + "clip.mp4"});
    r.runInputs = &inputs;
    QCOMPARE(OutputPathFor(r), m_out + "clip_1.mp4");
}

void TestOutputNaming::inputIsNeverTheOutput_data()
{
    QTest::addColumn<QString>("spelling"); // how the input is named in the list
    QTest::addColumn<bool>("rename");
    QTest::newRow("same text, overwrite") << "%1clip.mp4" << false;
    QTest::newRow("same text, rename") << "%1clip.mp4" << true;
    QTest::newRow("dot folder") << "%1./clip.mp4" << false;
    QTest::newRow("double slash") << "%1/clip.mp4" << false;
    QTest::newRow("parent folder") << "%1../out/clip.mp4" << false;
    QTest::newRow("symbolic link") << "%1link.mp4" << false;
    QTest::newRow("hard link") << "%1hard.mp4" << false;
    QTest::newRow("linked folder") << "@clip.mp4" << false;
}

void TestOutputNaming::inputIsNeverTheOutput()
{
    QFETCH(QString, spelling);
    QFETCH(bool, rename);
    Touch(m_out + "clip.mp4");
    QVERIFY(QFile::link(m_out + "clip.mp4", m_out + "link.mp4"));
    QVERIFY(::link(QFile::encodeName(m_out + "clip.mp4").constData(),
                   QFile::encodeName(m_out + "hard.mp4").constData()) == 0);
    const QString linkedFolder = m_dir->path() + "/linked";
    QVERIFY(QFile::link(m_dir->path() + "/out", linkedFolder));

    const QString input = spelling.startsWith('@') ? linkedFolder + "/" + spelling.mid(1)
                                                   : spelling.arg(m_out);
    QVERIFY(QFile::exists(input));
    TOutputRequest r = Request("clip", 5, rename);
    const TFileSet inputs({m_out + "other.avi", input});
    r.runInputs = &inputs;
    const QString out = OutputPathFor(r);
    QCOMPARE(out, m_out + "clip_5.mp4");
    QVERIFY(!SameFileOnDisk(out, input));
}

void TestOutputNaming::outputOfOneItemNeverAnotherInput()
{
    // Item 1 would write b.mp4, which item 2 reads.
    Touch(m_out + "b.mp4");
    TOutputRequest r = Request("b", 1, false);
    const TFileSet inputs({m_dir->path() + "/a.avi", m_out + "b.mp4"});
    r.runInputs = &inputs;
    QCOMPARE(OutputPathFor(r), m_out + "b_1.mp4");
}

void TestOutputNaming::numberedNameThatIsAnInputIsNumberedAgain()
{
    Touch(m_out + "clip.mp4");
    Touch(m_out + "clip_2.mp4");
    for (bool rename : {false, true}) {
        TOutputRequest r = Request("clip", 2, rename);
        const TFileSet inputs({m_out + "clip.mp4", m_out + "clip_2.mp4"});
        r.runInputs = &inputs;
        QCOMPARE(OutputPathFor(r), m_out + "clip_2_2.mp4");
    }
}

void TestOutputNaming::numberedNameExtension()
{
    Touch(m_out + "clip.mp4");
    // The item's own extension is used when renaming...
    TOutputRequest r = Request("clip", 2, true);
    r.itemExt = ".avi";
    QCOMPARE(OutputPathFor(r), m_out + "clip_2.avi");
    // ...and the current one when the item has none (named before a profile loaded).
    r.itemExt.clear();
    QCOMPARE(OutputPathFor(r), m_out + "clip_2.mp4");
    Touch(m_out + "clip_2.mp4");
    QCOMPARE(OutputPathFor(r), m_out + "clip_2_2.mp4");
}

void TestOutputNaming::sameFile()
{
    QVERIFY(SameFileOnDisk("/no/such/file", "/no/such/file"));
    QVERIFY(!SameFileOnDisk("/no/such/file", "/no/such//file")); // nothing on disk to lose
    Touch(m_out + "a.mp4");
    Touch(m_out + "b.mp4");
    QVERIFY(SameFileOnDisk(m_out + "a.mp4", m_out + "/a.mp4"));
    QVERIFY(!SameFileOnDisk(m_out + "a.mp4", m_out + "b.mp4"));
    QVERIFY(!SameFileOnDisk(m_out + "a.mp4", m_out + "c.mp4"));
    const TFileSet files({m_out + "a.mp4", m_out + "b.mp4", "/no/such/file"});
    QVERIFY(files.Contains(m_out + "./b.mp4"));
    QVERIFY(!files.Contains(m_out + "c.mp4"));
    QVERIFY(files.Contains("/no/such/file")); // by its text alone
    QVERIFY(!files.Contains("/no/such//file"));
    QVERIFY(!TFileSet().Contains(m_out + "a.mp4"));
}

void TestOutputNaming::itemArguments_data()
{
    QTest::addColumn<QString>("length");
    QTest::addColumn<QString>("clipStart");
    QTest::addColumn<QString>("clipLength");
    QTest::addColumn<QString>("expected");
    const QString profile = " -vcodec mpeg4 -s 320x240";
    QTest::newRow("full range") << "00:01:40.00" << "00:00:00.0" << "00:01:40.00" << profile;
    QTest::newRow("start moved") << "00:01:40" << "00:00:05.5" << "00:01:40"
                                 << profile + " -ss 00:00:05.5";
    QTest::newRow("shorter, tenths kept") << "00:01:40" << "00:00:00.0" << "00:00:10.5"
                                          << profile + " -t 10.5";
    QTest::newRow("shorter, whole") << "00:01:40" << "00:00:00.0" << "00:00:12"
                                    << profile + " -t 12";
    QTest::newRow("hundredths, tie to even") << "00:01:40" << "00:00:00.0" << "00:00:02.25"
                                             << profile + " -t 2.2";
    QTest::newRow("rounds up to whole") << "00:01:40" << "00:00:00.0" << "00:00:02.96"
                                        << profile + " -t 3";
    QTest::newRow("below a second") << "00:01:40" << "00:00:00.0" << "00:00:00.4"
                                    << profile + " -t 0.4";
    QTest::newRow("both") << "00:01:40" << "00:00:20" << "00:00:30.4"
                          << profile + " -ss 00:00:20 -t 30.4";
    QTest::newRow("same seconds, other spelling") << "00:01:40.00" << "00:00:00" << "00:01:40"
                                                  << profile;
    QTest::newRow("malformed clip length") << "00:01:40" << "00:00:00.0" << "abc"
                                           << profile + " -t -1";
}

void TestOutputNaming::itemArguments()
{
    QFETCH(QString, length);
    QFETCH(QString, clipStart);
    QFETCH(QString, clipLength);
    QFETCH(QString, expected);
    const ltvItemData rec = Item(length, clipStart, clipLength);
    QCOMPARE(ItemArguments(" -vcodec mpeg4 -s 320x240", rec), expected);
    // The profile text itself is never changed: a second item starts again from it.
    const ltvItemData full = Item("00:00:10", "00:00:00.0", "00:00:10");
    QCOMPARE(ItemArguments(" -vcodec mpeg4 -s 320x240", full), QString(" -vcodec mpeg4 -s 320x240"));
    QCOMPARE(ItemArguments(QString(), full), QString());
}

void TestOutputNaming::clipCutToNothing()
{
    // A clip that rounds to no tenth gives "-t 0": nothing to convert.
    QVERIFY(ClipCutToNothing(Item("00:00:05.00", "00:00:01.0", "00:00:00.04")));
    QVERIFY(!ClipCutToNothing(Item("00:00:05.00", "00:00:01.0", "00:00:00.06")));
    QVERIFY(!ClipCutToNothing(Item("00:00:05.00", "00:00:01.0", "00:00:00.4")));
    // An untrimmed file is converted whatever it measures.
    QVERIFY(!ClipCutToNothing(Item("00:00:00.00", "00:00:00.0", "00:00:00.00")));
}

QTEST_APPLESS_MAIN(TestOutputNaming)
#include "tst_outputnaming.moc"
