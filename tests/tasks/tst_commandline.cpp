// Files named on the command line (entries and ".tmp" list files, an
// unreadable list file), files and folders dropped on the window, and the
// plain helpers behind them: list file lines, the folder scan, extensions.

#include "TaskTestUtil.h"
#include "TestProgram.h"

#include "app/MainForm.h"
#include "ini/NewInifiles.h"
#include "tasks/ItemData.h"
#include "tasks/TaskSources.h"

#include <QHeaderView>
#include <QLabel>
#include <QMimeData>
#include <QUrl>
#include <QtTest>

using namespace tasktest;

namespace {

const QStringList InputExtensions{".avi", ".mpg", ".mpeg", ".mp4", ".wmv", ".mov", ".vob", ".asf"};

} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    // ---- plain helpers

    void helpers()
    {
        QCOMPARE(RemoveExtension("clip"), QString("clip"));
        QCOMPARE(RemoveExtension("clip.avi"), QString("clip"));
        QCOMPARE(RemoveExtension("a.b.c"), QString("a.b"));
        QCOMPARE(RemoveExtension(".avi"), QString(""));
        QVERIFY(HasListedExtension("x.MPEG", InputExtensions));
        QVERIFY(HasListedExtension("/dir/x.AvI", InputExtensions));
        QVERIFY(!HasListedExtension("x.flv", InputExtensions));
        QVERIFY(!HasListedExtension("x", InputExtensions));
        QVERIFY(!HasListedExtension("/my.avi/x", InputExtensions));

        QVERIFY(IsListFileName("/tmp/list.tmp"));
        QVERIFY(IsListFileName("LIST.TMP"));
        QVERIFY(IsListFileName("/d/x.Tmp"));
        QVERIFY(!IsListFileName("list.tmp.avi"));
        QVERIFY(!IsListFileName("/d.tmp/list"));
        QVERIFY(!IsListFileName("tmp"));
        QVERIFY(!IsListFileName(""));
    }

    void textLines()
    {
        QCOMPARE(SplitTextLines("a\r\nb\n\nc\rd"), QStringList({"a", "b", "", "c", "d"}));
        QCOMPARE(SplitTextLines("a\n"), QStringList({"a"}));
        QCOMPARE(SplitTextLines("a\n\n"), QStringList({"a", ""}));
        QCOMPARE(SplitTextLines(""), QStringList());
        QCOMPARE(SplitTextLines(" x y \r\n"), QStringList({" x y "}));

        TestProgram prog;
        prog.writeFile("l.tmp", "\xEF\xBB\xBF/a b/\xC3\xA9.avi\r\n\r\n/c.mp4");
        QCOMPARE(ReadListFile(prog.path("l.tmp")),
                 QStringList({QString::fromUtf8("/a b/\xC3\xA9.avi"), "", "/c.mp4"}));
        QVERIFY(QDir().mkpath(prog.path("d.tmp")));
        try {
            ReadListFile(prog.path("d.tmp"));
            QFAIL("a folder was read as a list file");
        } catch (const EFileError &e) {
            QVERIFY2(e.message().startsWith("Cannot open file \"" + prog.path("d.tmp") + "\". "),
                     qPrintable(e.message()));
            QVERIFY(e.message().size() > QString("Cannot open file \"" + prog.path("d.tmp") + "\". ").size());
        }
        QVERIFY_THROWS_EXCEPTION(EFileError, ReadListFile(prog.path("absent.tmp")));
    }

    void folderScan()
    {
        TestProgram prog;
        const QString folder = prog.path("scan");
        for (const char *name : {"c.txt", "B.MPG", ".hidden.avi", "a.avi", "sub/d.avi", "e.AVI.bak", "F.Asf"})
            QVERIFY(Touch(folder + "/" + name));
        QVERIFY(QDir().mkpath(folder + "/dir.mp4"));
        const QString mask = "*.avi;*.mpg;*.mpeg;*.mp4;*.wmv;*.mov;*.vob;*.asf;";
        QCOMPARE(ScanFolder(folder, mask), QStringList({"a.avi", "B.MPG", "F.Asf"}));
        QCOMPARE(ScanFolder(folder + "/", mask), QStringList({"a.avi", "B.MPG", "F.Asf"}));
        QCOMPARE(ScanFolder(folder, "*.mpg;"), QStringList({"B.MPG"}));
        QCOMPARE(ScanFolder(prog.path("none"), mask), QStringList());
        QCOMPARE(ScanFolder(QString(), mask), QStringList());
    }

    // ---- command line

    void noParameters()
    {
        TestProgram prog;
        prog.fakeEncoder();
        TMainForm *form = prog.start();
        QCOMPARE(form->ltvTask->topLevelItemCount(), 0);
        QCOMPARE(ListButtonsState(form), 0);
        QVERIFY(prog.fakeEncoder().runs().isEmpty());
    }

    void entries()
    {
        TestProgram prog;
        prog.fakeEncoder();
        const QString d = prog.path("in/");
        QVERIFY(Touch(d + "first.mpg"));
        QVERIFY(Touch(d + "skip.flv"));
        QVERIFY(Touch(d + "take.AVI"));
        QVERIFY(Touch(d + "folder/x.wmv"));
        QVERIFY(Touch(d + "folder/A.vob"));
        QVERIFY(Touch(d + "folder/deeper/no.avi"));
        QVERIFY(QDir().mkpath(d + "looks.avi"));
        // The first parameter is a video file, so every parameter is an entry.
        TMainForm *form = prog.start({d + "first.mpg", d + "skip.flv", d + "take.AVI", d + "missing.avi",
                                      d + "folder", d + "looks.avi", d + "first.mpg"});
        QCOMPARE(Captions(form), QStringList({d + "first.mpg", d + "take.AVI", d + "folder/A.vob",
                                              d + "folder/x.wmv"}));
        QCOMPARE(ListButtonsState(form), 1);
        QVERIFY(SelectedRows(form).isEmpty());
        // Measured before any profile was loaded: no output extension.
        QCOMPARE(Row(form, 0).OutputExt, QString());
        QCOMPARE(Row(form, 0).LengthText, QString("00:01:40.00"));
        QVERIFY(prog.platform.messages.isEmpty());
        // The file left out for its type is named once in the window, not in a message box.
        auto *notice = FIND(QLabel, form, "labSkippedFiles");
        QVERIFY(notice->isVisible());
        QCOMPARE(notice->text(), QString("1 file was not added because its type is not supported: .flv."));
    }

    void relativeEntriesGiveAbsoluteCaptions()
    {
        // "scan/", "./scan" and the absolute path name the same files: one
        // row each, captioned with the absolute, clean path.
        TestProgram prog;
        prog.fakeEncoder();
        const QString d = prog.path("in/");
        QVERIFY(Touch(d + "scan/A.mp4"));
        QVERIFY(Touch(d + "scan/B.avi"));
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(d));
        TMainForm *form = prog.start({"scan/", "./scan", d + "scan/A.mp4", "scan//B.avi", "../in/./scan/A.mp4"});
        QDir::setCurrent(before);
        QStringList captions = Captions(form);
        captions.sort();
        QCOMPARE(captions, QStringList({d + "scan/A.mp4", d + "scan/B.avi"}));
        QCOMPARE(Row(form, 0).InputFile, Captions(form).first());
    }

    void listFile()
    {
        TestProgram prog;
        prog.fakeEncoder();
        const QString d = prog.path("in/");
        QVERIFY(Touch(d + "one.mp4"));
        QVERIFY(Touch(d + "two.flv"));
        QVERIFY(Touch(d + "three.MOV"));
        QVERIFY(Touch(d + "dir/four.asf"));
        QVERIFY(Touch(d + "other.avi"));
        const QByteArray list = (d + "one.mp4\r\n\r\n" + d + "two.flv\r\n" + d + "dir\r\n" + d + "nothing.avi\r\n"
                                 + d + "three.MOV\r\n")
                                    .toUtf8();
        prog.writeFile("in/LIST.TMP", list);
        // Upper-case .TMP is a list file; the second parameter is not used.
        TMainForm *form = prog.start({d + "LIST.TMP", d + "other.avi"});
        QCOMPARE(Captions(form), QStringList({d + "one.mp4", d + "dir/four.asf", d + "three.MOV"}));
        QCOMPARE(ListButtonsState(form), 1);
        QVERIFY(prog.platform.messages.isEmpty());
    }

    void emptyListFile()
    {
        TestProgram prog;
        prog.fakeEncoder();
        prog.writeFile("empty.tmp", "\n\n");
        TMainForm *form = prog.start({prog.path("empty.tmp")});
        QCOMPARE(form->ltvTask->topLevelItemCount(), 0);
        QCOMPARE(ListButtonsState(form), 0);
        QVERIFY(prog.platform.messages.isEmpty());
    }

    void unreadableListFile()
    {
        TestProgram prog;
        prog.fakeEncoder();
        const QString folder = prog.path("x.tmp");
        QVERIFY(QDir().mkpath(folder));
        TMainForm *form = prog.start({folder}, false);
        QCOMPARE(prog.platform.messages.size(), 1);
        const FakePlatform::Message message = prog.platform.messages.first();
        QVERIFY2(message.text.startsWith("Cannot open file \"" + folder + "\". "), qPrintable(message.text));
        QCOMPARE(message.caption, QString("Velvo"));
        // Start-up went on as usual.
        QCOMPARE(form->ltvTask->topLevelItemCount(), 0);
        QCOMPARE(ListButtonsState(form), 0);
        QVERIFY(form->acceptDrops());
        QVERIFY(form->panBottomLeft->isHidden());
        QVERIFY(!form->panBottomCenter->isHidden());
        QCOMPARE(form->ltvTask->columnWidth(0), 260);
        QCOMPARE(form->ltvTask->columnWidth(1), 90);
        QCOMPARE(form->ltvTask->columnWidth(2), 80);
        QCOMPARE(form->ltvTask->columnWidth(3), 100);

        // A list file that does not exist is reported the same way.
        TestProgram other;
        other.fakeEncoder();
        other.start({other.path("gone.tmp")}, false);
        QCOMPARE(other.platform.messages.size(), 1);
        QVERIFY(other.platform.messages.first().text.startsWith("Cannot open file \"" + other.path("gone.tmp")));
    }

    // ---- drops

    void drops()
    {
        TestProgram prog;
        prog.fakeEncoder();
        const QString d = prog.path("drop/");
        QVERIFY(Touch(d + "folder/b.mp4"));
        QVERIFY(Touch(d + "folder/A.avi"));
        QVERIFY(Touch(d + "folder/sub/c.avi"));
        QVERIFY(Touch(d + "CLIP.MOV"));
        QVERIFY(Touch(d + "notes.txt"));
        TMainForm *form = prog.start();

        auto *notice = FIND(QLabel, form, "labSkippedFiles");
        QVERIFY(!notice->isVisible());

        // Only ignored names: no row, the buttons stay off; the file of an
        // unknown type is named, the name of nothing is not.
        form->DropFiles({d + "notes.txt", d + "nothing"});
        QCOMPARE(form->ltvTask->topLevelItemCount(), 0);
        QCOMPARE(ListButtonsState(form), 0);
        QCOMPARE(notice->text(), QString("1 file was not added because its type is not supported: .txt."));
        QVERIFY(notice->isVisible());

        // In the order given; a folder adds its own files only; a listed
        // name is added without testing that it exists.
        form->DropFiles({d + "CLIP.MOV", d + "folder", d + "notes.txt", d + "ghost.mpg"});
        QVERIFY(WaitUntilMeasured(form));
        QCOMPARE(Captions(form), QStringList({d + "CLIP.MOV", d + "folder/A.avi", d + "folder/b.mp4",
                                              d + "ghost.mpg"}));
        QCOMPARE(ListButtonsState(form), 1);
        QVERIFY(SelectedRows(form).isEmpty());
        QCOMPARE(notice->text(), QString("1 file was not added because its type is not supported: .txt."));

        // Today's types are taken, dropped or found in a folder; the rest are
        // counted once, whatever their number.
        QStringList dropped, expected;
        for (const char *type : {".mkv", ".webm", ".m4v", ".ts", ".mts", ".m2ts", ".3gp", ".3g2", ".ogv", ".MP3",
                                 ".m4a", ".aac", ".wav", ".flac", ".ogg", ".opus", ".wma"}) {
            QVERIFY(Touch(d + "new/clip" + type));
            dropped << d + "new/clip" + type;
        }
        expected = dropped;
        for (const char *name : {"a.flv", "b.FLV", "c.txt", "d"}) {
            QVERIFY(Touch(d + "new/" + name));
            dropped << d + "new/" + name;
        }
        QVERIFY(Touch(d + "mixed/movie.mkv"));
        QVERIFY(Touch(d + "mixed/song.mp3"));
        QVERIFY(Touch(d + "mixed/old.flv"));
        form->ltvTask->clear();
        form->DropFiles(dropped + QStringList{d + "mixed"});
        QVERIFY(WaitUntilMeasured(form));
        expected << d + "mixed/movie.mkv" << d + "mixed/song.mp3";
        QCOMPARE(Captions(form), expected);
        QCOMPARE(notice->text(),
                 QString("4 files were not added because their types are not supported: .flv, .txt, no extension."));
        QVERIFY(prog.platform.messages.isEmpty());

        // A drop that skips nothing clears the notice.
        form->DropFiles({d + "CLIP.MOV"});
        QVERIFY(!notice->isVisible());
        QVERIFY(notice->text().isEmpty());
    }

    void dropIgnoredWhileListDisabled()
    {
        TestProgram prog;
        prog.fakeEncoder();
        QVERIFY(Touch(prog.path("a.avi")));
        TMainForm *form = prog.start();
        form->ltvTask->setEnabled(false);
        form->DropFiles({prog.path("a.avi")});
        QVERIFY(WaitUntilMeasured(form));
        QCOMPARE(form->ltvTask->topLevelItemCount(), 0);
        QCOMPARE(ListButtonsState(form), 0);
        QVERIFY(prog.fakeEncoder().runs().isEmpty());
        form->ltvTask->setEnabled(true);
        form->DropFiles({prog.path("a.avi")});
        QVERIFY(WaitUntilMeasured(form));
        QCOMPARE(form->ltvTask->topLevelItemCount(), 1);
    }

    void longNameIsNotCut()
    {
        TestProgram prog;
        prog.fakeEncoder();
        QString path = prog.path("long");
        while (path.size() < 290)
            path += "/" + QString(40, QChar('d'));
        const QString file = path + "/a clip with a long name.avi";
        QVERIFY(file.size() >= 300);
        QVERIFY(Touch(file));
        TMainForm *form = prog.start();
        form->DropFiles({file});
        QVERIFY(WaitUntilMeasured(form));
        QCOMPARE(Captions(form), QStringList({file}));
        QCOMPARE(Row(form, 0).OutputName, QString("a clip with a long name"));
        QCOMPARE(Row(form, 0).LengthText, QString("00:01:40.00"));
        // The encoder was given the whole name too.
        QCOMPARE(prog.fakeEncoder().runs().last(), QStringList({"-i", file}));
        // A folder with a long name is scanned whole as well.
        form->DropFiles({path});
        QVERIFY(WaitUntilMeasured(form));
        QCOMPARE(form->ltvTask->topLevelItemCount(), 1);
        QVERIFY(Touch(path + "/second.mp4"));
        form->DropFiles({path});
        QVERIFY(WaitUntilMeasured(form));
        QCOMPARE(Captions(form).last(), path + "/second.mp4");
    }

    void dropThroughTheWindow()
    {
        TestProgram prog;
        prog.fakeEncoder();
        QVERIFY(Touch(prog.path("w/one.wmv")));
        QVERIFY(Touch(prog.path("w/two.avi")));
        TMainForm *form = prog.start();
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(prog.path("w"))});
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(form, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(form, &drop);
        QVERIFY(WaitUntilMeasured(form));
        QCOMPARE(Captions(form), QStringList({prog.path("w/one.wmv"), prog.path("w/two.avi")}));
        QCOMPARE(ListButtonsState(form), 1);
    }
};

QTEST_MAIN(TestCommandLine)
#include "tst_commandline.moc"
