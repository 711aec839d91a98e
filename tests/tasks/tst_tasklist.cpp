// The task list: the rows and their record, adding files (duplicates, the
// open dialog, folders), removing, clearing, moving, keys, the popup menu and
// the toolbar buttons that follow the list. The fake encoder answers every
// measure with its built-in report (00:01:40.00, 320x240).

#include "TaskTestUtil.h"
#include "TestProgram.h"

#include "app/MainForm.h"
#include "tasks/AddQueue.h"
#include "tasks/FileTypes.h"
#include "tasks/ItemData.h"

#include <QAction>
#include <QMenu>
#include <QTimer>
#include <QtTest>

using namespace tasktest;

class TestTaskList : public QObject {
    Q_OBJECT

    // Five rows r0..r4 added straight through AddFile.
    TMainForm *StartWithRows(TestProgram &prog, int count = 5)
    {
        prog.fakeEncoder();
        TMainForm *form = prog.start();
        form->CurrentOutputExt.clear();
        for (int i = 0; i < count; ++i)
            form->AddFile(QString("/videos/r%1.avi").arg(i));
        WaitUntilMeasured(form);
        form->SetListButtonsEnabled(count > 0);
        return form;
    }

private slots:
    void newRowRecord()
    {
        TestProgram prog;
        prog.fakeEncoder();
        TMainForm *form = prog.start();
        form->CurrentOutputExt = ".mpg";
        form->AddFile("/videos/holiday.part.avi");
        QVERIFY(WaitUntilMeasured(form));

        QCOMPARE(form->ltvTask->topLevelItemCount(), 1);
        QTreeWidgetItem *item = form->ltvTask->topLevelItem(0);
        // Caption and exactly ten sub-items, the visible three first.
        QCOMPARE(item->columnCount(), 1 + SubItemCount);
        QCOMPARE(item->text(0), QString("/videos/holiday.part.avi"));
        QCOMPARE(item->text(1), QString("00:01:40.00"));
        QCOMPARE(item->text(2), QString(" 320x240"));
        QCOMPARE(item->text(3), QString("OK"));

        const ltvItemData rec = Row(form, 0);
        QCOMPARE(rec.InputFile, QString("/videos/holiday.part.avi"));
        QCOMPARE(rec.LengthText, QString("00:01:40.00"));
        QCOMPARE(rec.FrameSizeText, QString(" 320x240"));
        QCOMPARE(rec.Status, QString("OK"));
        QCOMPARE(rec.OutputName, QString("holiday.part"));
        QCOMPARE(rec.OutputExt, QString(".mpg"));
        QCOMPARE(rec.SourceStart, QString("00:00:00.0"));
        QCOMPARE(rec.SourceEnd, QString("00:01:40.00"));
        QCOMPARE(rec.ClipLength, QString("00:01:40.00"));
        QCOMPARE(rec.ClipStart, QString("00:00:00.0"));
        QCOMPARE(rec.ClipEnd, QString("00:01:40.00"));
        QCOMPARE(rec.LengthSec, 100.0);
        QCOMPARE(rec.SourceStartSec, 0.0);
        QCOMPARE(rec.SourceEndSec, 100.0);
        QCOMPARE(rec.ClipLengthSec, 100.0);
        QCOMPARE(rec.ClipStartSec, 0.0);
        QCOMPARE(rec.ClipEndSec, 100.0);

        // The probe ran the measure command line on the exact path.
        const QList<QStringList> runs = prog.fakeEncoder().runs();
        QCOMPARE(runs.size(), 1);
        QCOMPARE(runs.first(), QStringList({"-i", "/videos/holiday.part.avi"}));
        // Files added without a dialog are never selected.
        QVERIFY(SelectedRows(form).isEmpty());
    }

    void readSelectors()
    {
        TestProgram prog;
        TMainForm *form = StartWithRows(prog, 1);
        QTreeWidgetItem *item = form->ltvTask->topLevelItem(0);
        const char *texts[] = {"00:00:10", "a", "b", "c", "d", "00:00:01", "00:00:02",
                               "00:00:03", "00:00:04", "00:00:05"};
        for (int k = 0; k < SubItemCount; ++k)
            item->setText(k + 1, texts[k]);

        // -1: the caption only.
        ltvItemData rec;
        rec.LengthText = "keep";
        rec.LengthSec = 77;
        form->ReadItemData(0, sdCaption, rec);
        QCOMPARE(rec.InputFile, QString("/videos/r0.avi"));
        QCOMPARE(rec.LengthText, QString("keep"));
        QCOMPARE(rec.LengthSec, 77.0);

        // k: that sub-item and, for time fields, its own seconds only.
        const double derived[] = {10, -2, -2, -2, -2, 1, 2, 3, 4, 5};
        for (int k = 0; k < SubItemCount; ++k) {
            ltvItemData one;
            one.LengthSec = one.SourceStartSec = one.SourceEndSec = -2;
            one.ClipLengthSec = one.ClipStartSec = one.ClipEndSec = -2;
            form->ReadItemData(0, k, one);
            QCOMPARE(SubItemText(one, k), QString(texts[k]));
            QVERIFY(one.InputFile.isEmpty());
            for (int other = 0; other < SubItemCount; ++other)
                if (other != k)
                    QVERIFY(SubItemText(one, other).isEmpty());
            const double seconds[] = {one.LengthSec, one.SourceStartSec, one.SourceEndSec,
                                      one.ClipLengthSec, one.ClipStartSec, one.ClipEndSec};
            const int fieldOf[] = {0, 5, 6, 7, 8, 9};
            for (int f = 0; f < 6; ++f)
                QCOMPARE(seconds[f], fieldOf[f] == k ? derived[k] : -2.0);
        }

        // -2: everything, and all six seconds; a text that is no time gives -1.
        item->setText(8, "not a time");
        ltvItemData all;
        form->ReadItemData(0, sdAll, all);
        QCOMPARE(all.InputFile, QString("/videos/r0.avi"));
        QCOMPARE(all.Status, QString("b"));
        QCOMPARE(all.ClipLength, QString("not a time"));
        QCOMPARE(all.ClipLengthSec, -1.0);
        QCOMPARE(all.ClipEndSec, 5.0);
        QCOMPARE(all.LengthSec, 10.0);
    }

    void writeSelectors()
    {
        TestProgram prog;
        TMainForm *form = StartWithRows(prog, 2);
        ltvItemData rec;
        rec.InputFile = "/elsewhere/new.avi";
        for (int k = 0; k < SubItemCount; ++k)
            SubItemText(rec, k) = QString("w%1").arg(k);

        const ltvItemData before = Row(form, 0);
        // One sub-item: only its column changes.
        form->WriteItemData(0, 3, rec);
        ltvItemData after = Row(form, 0);
        QCOMPARE(after.OutputName, QString("w3"));
        QCOMPARE(after.InputFile, before.InputFile);
        QCOMPARE(after.OutputExt, before.OutputExt);
        QCOMPARE(after.LengthText, before.LengthText);

        // The caption only.
        form->WriteItemData(0, sdCaption, rec);
        after = Row(form, 0);
        QCOMPARE(after.InputFile, QString("/elsewhere/new.avi"));
        QCOMPARE(after.LengthText, before.LengthText);

        // Everything of row 1; row 0 untouched.
        form->WriteItemData(1, sdAll, rec);
        after = Row(form, 1);
        QCOMPARE(after.InputFile, QString("/elsewhere/new.avi"));
        for (int k = 0; k < SubItemCount; ++k)
            QCOMPARE(SubItemText(after, k), QString("w%1").arg(k));
        QCOMPARE(Row(form, 0).OutputName, QString("w3"));

        // A caption written over keeps the duplicate test right: the old
        // path may be added again, the new one is known.
        const int rows = form->ltvTask->topLevelItemCount();
        form->AddFile("/elsewhere/new.avi");
        QCOMPARE(form->ltvTask->topLevelItemCount(), rows);
        form->AddFile("/videos/r0.avi");
        QCOMPARE(form->ltvTask->topLevelItemCount(), rows + 1);
    }

    void duplicates()
    {
        TestProgram prog;
        prog.fakeEncoder();
        TMainForm *form = prog.start();
        form->AddFile("/videos/Clip.avi");
        form->AddFile("/videos/Clip.avi");
        QCOMPARE(Captions(form), QStringList({"/videos/Clip.avi"}));
        // The duplicate is not even measured.
        QVERIFY(WaitUntilMeasured(form));
        QCOMPARE(prog.fakeEncoder().runs().size(), 1);
        // Letter case makes another path.
        form->AddFile("/videos/clip.avi");
        form->AddFile("/Videos/Clip.avi");
        QCOMPARE(Captions(form), QStringList({"/videos/Clip.avi", "/videos/clip.avi", "/Videos/Clip.avi"}));

        // The test follows the rows through moves, removals and clearing.
        SelectRows(form, {2});
        form->tbtnUpClick();
        form->tbtnUpClick();
        QCOMPARE(Captions(form), QStringList({"/Videos/Clip.avi", "/videos/Clip.avi", "/videos/clip.avi"}));
        for (const QString &p : Captions(form))
            form->AddFile(p);
        QCOMPARE(form->ltvTask->topLevelItemCount(), 3);
        SelectRows(form, {1});
        form->tbtnRemoveClick();
        form->AddFile("/videos/Clip.avi");
        form->AddFile("/videos/clip.avi");
        QCOMPARE(Captions(form), QStringList({"/Videos/Clip.avi", "/videos/clip.avi", "/videos/Clip.avi"}));
        form->tbtnClearClick();
        form->AddFile("/videos/clip.avi");
        QCOMPARE(Captions(form), QStringList({"/videos/clip.avi"}));
    }

    void openDialogOrderAndFilter()
    {
        TestProgram prog;
        prog.fakeEncoder();
        TMainForm *form = prog.start();
        prog.platform.openResults.enqueue({"/v/A.avi", "/v/B.avi", "/v/C.avi"});
        form->tbtnAddFile->click();
        QCOMPARE(prog.platform.openFilters, QStringList(OpenDialogFilterOf(InputExtensionList())));
        // The first name the dialog returns is added last.
        QCOMPARE(Captions(form), QStringList({"/v/B.avi", "/v/C.avi", "/v/A.avi"}));
        // Three rows: nothing is selected for the editor.
        QVERIFY(SelectedRows(form).isEmpty());
        QCOMPARE(ListButtonsState(form), 1);
        // Any file may be chosen under "All Files".
        prog.platform.openResults.enqueue({"/v/notes.txt"});
        form->tbtnAddFile->click();
        QCOMPARE(Captions(form).last(), QString("/v/notes.txt"));
    }

    void openDialogSelectsSingleRow()
    {
        TestProgram prog;
        prog.fakeEncoder();
        TMainForm *form = prog.start();
        form->CurrentOutputExt = ".mp4";
        QCOMPARE(ListButtonsState(form), 0);

        // Cancelled on an empty list: nothing at all.
        form->tbtnAddFile->click();
        QCOMPARE(form->ltvTask->topLevelItemCount(), 0);
        QCOMPARE(ListButtonsState(form), 0);

        prog.platform.openResults.enqueue({"/v/first.avi"});
        form->tbtnAddFile->click();
        QCOMPARE(SelectedRows(form), QList<int>({0}));
        QCOMPARE(NewFilename(form), QString("first.mp4"));
        QCOMPARE(StartTime(form), QString("00:00:00.0"));
        // The end shows once the file is measured.
        QCOMPARE(EndTime(form), QString());
        QVERIFY(WaitUntilMeasured(form));
        QCOMPARE(EndTime(form), QString("00:01:40.00"));
        QCOMPARE(ListButtonsState(form), 1);
        QCOMPARE(form->focusWidget(), static_cast<QWidget *>(form->ltvTask));

        // A second file leaves the selection alone.
        prog.platform.openResults.enqueue({"/v/second.avi"});
        form->tbtnAddFile->click();
        QCOMPARE(SelectedRows(form), QList<int>({0}));
        QCOMPARE(NewFilename(form), QString("first.mp4"));

        // With exactly one row, even a cancelled dialog selects it.
        SelectRows(form, {1});
        form->tbtnRemoveClick();
        QVERIFY(SelectedRows(form).isEmpty());
        QCOMPARE(NewFilename(form), QString());
        form->tbtnAddFile->click();
        QCOMPARE(SelectedRows(form), QList<int>({0}));
        QCOMPARE(NewFilename(form), QString("first.mp4"));
    }

    void addDirectory()
    {
        TestProgram prog;
        prog.fakeEncoder();
        TMainForm *form = prog.start();
        const QString folder = prog.path("clips");
        for (const char *name : {"c.txt", "B.MPG", ".hidden.avi", "a.avi", "sub/d.avi", "noext"})
            QVERIFY(Touch(folder + "/" + name));
        QVERIFY(QDir().mkpath(folder + "/folder.avi"));

        // Cancelled: nothing, the buttons stay off.
        form->tbtnAddDir->click();
        QCOMPARE(prog.platform.folderCaptions, QStringList({"Add a directory to the Task List"}));
        QCOMPARE(form->ltvTask->topLevelItemCount(), 0);
        QCOMPARE(ListButtonsState(form), 0);

        prog.platform.folderResults.enqueue(folder);
        form->tbtnAddDir->click();
        QVERIFY(WaitUntilMeasured(form));
        QCOMPARE(Captions(form), QStringList({folder + "/a.avi", folder + "/B.MPG"}));
        QVERIFY(SelectedRows(form).isEmpty());
        QCOMPARE(ListButtonsState(form), 1);
        QCOMPARE(form->focusWidget(), static_cast<QWidget *>(form->ltvTask));
    }

    void folderScanOrder()
    {
        TestProgram prog;
        prog.fakeEncoder();
        TMainForm *form = prog.start();
        const QString folder = prog.path("scan");
        for (const char *name : {"b.wmv", "A.mp4", "c.MOV", "a2.VOB", "B1.asf", "Z.mpeg", "x.AvI", "y.flv"})
            QVERIFY(Touch(folder + "/" + name));
        // A trailing separator is not doubled.
        form->AddFolder(folder + "/");
        QVERIFY(WaitUntilMeasured(form));
        QStringList expected;
        for (const char *name : {"A.mp4", "a2.VOB", "b.wmv", "B1.asf", "c.MOV", "x.AvI", "Z.mpeg"})
            expected << folder + "/" + name;
        QCOMPARE(Captions(form), expected);
        // Scanning again adds nothing; an empty or missing folder neither.
        form->AddFolder(folder);
        QVERIFY(QDir().mkpath(prog.path("empty")));
        form->AddFolder(prog.path("empty"));
        form->AddFolder(prog.path("missing"));
        QVERIFY(WaitUntilMeasured(form));
        QCOMPARE(Captions(form), expected);
    }

    void folderScanHandlesEvents()
    {
        TestProgram prog;
        prog.fakeEncoder();
        TMainForm *form = prog.start();
        const QString folder = prog.path("many");
        for (int i = 0; i < 3; ++i)
            QVERIFY(Touch(folder + QString("/f%1.avi").arg(i)));
        // One entry a slice: the window's events run between the rows.
        form->Adding->SliceMs = 0;
        QList<int> seen;
        QTimer watch;
        watch.setInterval(0);
        connect(&watch, &QTimer::timeout, form, [&] { seen << form->ltvTask->topLevelItemCount(); });
        watch.start();
        form->AddFolder(folder);
        QCOMPARE(form->ltvTask->topLevelItemCount(), 0);
        QCOMPARE(form->AddsPending(), 1);
        QVERIFY(WaitUntilMeasured(form));
        watch.stop();
        QCOMPARE(form->ltvTask->topLevelItemCount(), 3);
        QVERIFY2(seen.contains(1) && seen.contains(2), qPrintable(QString::number(seen.size())));
    }

    void moveUp()
    {
        TestProgram prog;
        TMainForm *form = StartWithRows(prog);
        // A name edit travels with its row.
        ltvItemData rec;
        rec.OutputName = "edited2";
        form->WriteItemData(2, 3, rec);

        SelectRows(form, {2, 3});
        form->tbtnUp->click();
        QCOMPARE(Captions(form), QStringList({"/videos/r0.avi", "/videos/r2.avi", "/videos/r3.avi",
                                              "/videos/r1.avi", "/videos/r4.avi"}));
        QCOMPARE(SelectedRows(form), QList<int>({1, 2}));
        QCOMPARE(Row(form, 1).OutputName, QString("edited2"));
        QCOMPARE(Row(form, 2).OutputName, QString("r3"));

        form->tbtnUp->click();
        QCOMPARE(Captions(form), QStringList({"/videos/r2.avi", "/videos/r3.avi", "/videos/r0.avi",
                                              "/videos/r1.avi", "/videos/r4.avi"}));
        QCOMPARE(SelectedRows(form), QList<int>({0, 1}));

        // Rows 0 and 1: exchanged, only row 0 stays selected.
        form->tbtnUp->click();
        QCOMPARE(Captions(form), QStringList({"/videos/r3.avi", "/videos/r2.avi", "/videos/r0.avi",
                                              "/videos/r1.avi", "/videos/r4.avi"}));
        QCOMPARE(SelectedRows(form), QList<int>({0}));

        // Row 0 alone never moves; nothing selected changes nothing.
        const QStringList before = Captions(form);
        form->tbtnUp->click();
        QCOMPARE(Captions(form), before);
        QCOMPARE(SelectedRows(form), QList<int>({0}));
        form->ltvTask->clearSelection();
        form->tbtnUp->click();
        QCOMPARE(Captions(form), before);
        QVERIFY(SelectedRows(form).isEmpty());

        // Rows 1 and 3: each moves up by one.
        SelectRows(form, {1, 3});
        form->tbtnUp->click();
        QCOMPARE(Captions(form), QStringList({"/videos/r2.avi", "/videos/r3.avi", "/videos/r1.avi",
                                              "/videos/r0.avi", "/videos/r4.avi"}));
        QCOMPARE(SelectedRows(form), QList<int>({0, 2}));
    }

    void moveDown()
    {
        TestProgram prog;
        TMainForm *form = StartWithRows(prog);
        SelectRows(form, {1, 2});
        form->tbtnDown->click();
        QCOMPARE(Captions(form), QStringList({"/videos/r0.avi", "/videos/r3.avi", "/videos/r1.avi",
                                              "/videos/r2.avi", "/videos/r4.avi"}));
        QCOMPARE(SelectedRows(form), QList<int>({2, 3}));

        // The last two: exchanged, only the last stays selected.
        SelectRows(form, {3, 4});
        form->tbtnDown->click();
        QCOMPARE(Captions(form), QStringList({"/videos/r0.avi", "/videos/r3.avi", "/videos/r1.avi",
                                              "/videos/r4.avi", "/videos/r2.avi"}));
        QCOMPARE(SelectedRows(form), QList<int>({4}));

        // The last row alone changes nothing.
        const QStringList before = Captions(form);
        form->tbtnDown->click();
        QCOMPARE(Captions(form), before);
        QCOMPARE(SelectedRows(form), QList<int>({4}));
        form->ltvTask->clearSelection();
        form->tbtnDown->click();
        QCOMPARE(Captions(form), before);

        // Rows 0 and 2 each move down by one, every text with them.
        ltvItemData r0 = Row(form, 0);
        SelectRows(form, {0, 2});
        form->tbtnDown->click();
        QCOMPARE(Captions(form), QStringList({"/videos/r3.avi", "/videos/r0.avi", "/videos/r4.avi",
                                              "/videos/r1.avi", "/videos/r2.avi"}));
        QCOMPARE(SelectedRows(form), QList<int>({1, 3}));
        ltvItemData moved = Row(form, 1);
        for (int k = 0; k < SubItemCount; ++k)
            QCOMPARE(SubItemText(moved, k), SubItemText(r0, k));
    }

    void removeSelected()
    {
        TestProgram prog;
        TMainForm *form = StartWithRows(prog);
        // The editor shows a row before the removal.
        ClickRow(form, 1);
        QCOMPARE(NewFilename(form), QString("r1"));
        SelectRows(form, {1, 3});
        form->tbtnRemove->click();
        QCOMPARE(Captions(form), QStringList({"/videos/r0.avi", "/videos/r2.avi", "/videos/r4.avi"}));
        QCOMPARE(NewFilename(form), QString());
        QCOMPARE(StartTime(form), QString());
        QCOMPARE(EndTime(form), QString());
        QCOMPARE(ListButtonsState(form), 1);

        // Nothing selected: nothing removed.
        form->ltvTask->clearSelection();
        form->tbtnRemove->click();
        QCOMPARE(form->ltvTask->topLevelItemCount(), 3);
        QCOMPARE(ListButtonsState(form), 1);

        // The last rows gone: the five buttons go off.
        SelectRows(form, {0, 1, 2});
        form->tbtnRemove->click();
        QCOMPARE(form->ltvTask->topLevelItemCount(), 0);
        QCOMPARE(ListButtonsState(form), 0);
    }

    void manyRowsMovedAndRemoved()
    {
        TestProgram prog;
        TMainForm *form = prog.start();
        form->EncoderPath = prog.path("absent/vxenc.dll"); // rows without a probe
        const int count = 301;
        QStringList names;
        for (int i = 0; i < count; ++i)
            names << QString("/many/f%1.avi").arg(i, 3, 10, QChar('0'));
        form->DropFiles(names);
        QVERIFY(WaitUntilMeasured(form));
        QCOMPARE(Captions(form), names);
        ClickRow(form, 0);

        // Every second row, from row 1: each moves up by one.
        QList<int> odd;
        for (int i = 1; i < count; i += 2)
            odd << i;
        SelectRows(form, odd);
        form->tbtnUpClick();
        QStringList expected = names;
        QList<int> even;
        for (int i = 1; i < count; i += 2) {
            expected.swapItemsAt(i - 1, i);
            even << i - 1;
        }
        QCOMPARE(Captions(form), expected);
        QCOMPARE(SelectedRows(form), even);
        // The sub-items moved with their captions.
        for (int i = 0; i < count; ++i) {
            const ltvItemData rec = Row(form, i);
            QCOMPARE(rec.OutputName, rec.InputFile.mid(6, 4));
        }
        QCOMPARE(NewFilename(form), QString("f001"));

        // And down again.
        form->tbtnDownClick();
        QCOMPARE(Captions(form), names);
        QCOMPARE(SelectedRows(form), odd);

        // Removing 150 rows at once leaves the others in order.
        form->tbtnRemoveClick();
        QStringList left;
        for (int i = 0; i < count; i += 2)
            left << names.at(i);
        QCOMPARE(Captions(form), left);
        QVERIFY(SelectedRows(form).isEmpty());
        QCOMPARE(NewFilename(form), QString());
        QCOMPARE(ListButtonsState(form), 1);
        // The duplicate test knows what is left and what is gone.
        form->DropFiles(names);
        QVERIFY(WaitUntilMeasured(form));
        QStringList all = left;
        for (int i : odd)
            all << names.at(i);
        QCOMPARE(Captions(form), all);
        // The list still works as a list: click, keys, remove one.
        ClickRow(form, 2);
        QCOMPARE(NewFilename(form), QString("f004"));
        QTest::keyClick(form->ltvTask, Qt::Key_Delete);
        QCOMPARE(form->ltvTask->topLevelItemCount(), count - 1);
        QVERIFY(!Captions(form).contains("/many/f004.avi"));
    }

    void clearAll()
    {
        TestProgram prog;
        TMainForm *form = StartWithRows(prog);
        ClickRow(form, 4);
        QCOMPARE(NewFilename(form), QString("r4"));
        form->tbtnClear->click();
        QCOMPARE(form->ltvTask->topLevelItemCount(), 0);
        QCOMPARE(NewFilename(form), QString());
        QCOMPARE(EndTime(form), QString());
        QCOMPARE(ListButtonsState(form), 0);
    }

    void deleteAndBackspaceKeys()
    {
        TestProgram prog;
        TMainForm *form = StartWithRows(prog);
        form->ltvTask->setFocus();
        SelectRows(form, {0, 4});
        QTest::keyClick(form->ltvTask, Qt::Key_Delete);
        QCOMPARE(Captions(form), QStringList({"/videos/r1.avi", "/videos/r2.avi", "/videos/r3.avi"}));
        QCOMPARE(ListButtonsState(form), 1);
        // Other keys have no meaning of their own.
        SelectRows(form, {0});
        QTest::keyClick(form->ltvTask, Qt::Key_X);
        QCOMPARE(form->ltvTask->topLevelItemCount(), 3);
        // Backspace asks before clearing several rows: No keeps them, Yes clears.
        prog.platform.answers.enqueue(Platform::No);
        QTest::keyClick(form->ltvTask, Qt::Key_Backspace);
        QCOMPARE(form->ltvTask->topLevelItemCount(), 3);
        QCOMPARE(prog.platform.messages.size(), 1);
        QCOMPARE(prog.platform.messages[0].text, QString("Remove all 3 files from the task list?"));
        QCOMPARE(prog.platform.messages[0].buttons, Platform::Buttons::YesNo);
        QTest::keyClick(form->ltvTask, Qt::Key_Backspace);
        QCOMPARE(form->ltvTask->topLevelItemCount(), 0);
        QCOMPARE(prog.platform.messages.size(), 2);
        QCOMPARE(ListButtonsState(form), 0);
        // A single row goes without a question.
        form->AddFile("/videos/single.avi");
        QTest::keyClick(form->ltvTask, Qt::Key_Backspace);
        QCOMPARE(form->ltvTask->topLevelItemCount(), 0);
        QCOMPARE(prog.platform.messages.size(), 2);
    }

    void popupEnabling()
    {
        TestProgram prog;
        prog.fakeEncoder();
        TMainForm *form = prog.start();
        form->ppmTaskPopup();
        QVERIFY(!form->mniOpen->isEnabled());
        QVERIFY(!form->mniRemove->isEnabled());
        QVERIFY(!form->mniClear->isEnabled());
        QVERIFY(form->mniAddFiles->isEnabled());
        QVERIFY(form->mniAddDir->isEnabled());

        form->AddFile("/v/a.avi");
        form->AddFile("/v/b.avi");
        form->ppmTaskPopup();
        QVERIFY(!form->mniOpen->isEnabled());
        QVERIFY(!form->mniRemove->isEnabled());
        QVERIFY(form->mniClear->isEnabled());

        SelectRows(form, {1});
        form->ppmTaskPopup();
        QVERIFY(form->mniOpen->isEnabled());
        QVERIFY(form->mniRemove->isEnabled());
        QVERIFY(form->mniClear->isEnabled());
        QVERIFY(form->mniAddFiles->isEnabled());

        // The list's context menu request runs the enabling and shows the menu.
        form->ltvTask->clearSelection();
        form->mniOpen->setEnabled(true);
        emit form->ltvTask->customContextMenuRequested(QPoint(5, 5));
        // Shown without waiting for a choice.
        QVERIFY(form->ppmTask->isVisible());
        form->ppmTask->close();
        QVERIFY(!form->mniOpen->isEnabled());
        QVERIFY(form->mniClear->isEnabled());
    }

    void menuItems()
    {
        TestProgram prog;
        prog.fakeEncoder();
        TMainForm *form = prog.start();
        prog.platform.openResults.enqueue({"/v/x.avi", "/v/y.avi"});
        form->mniAddFiles->trigger();
        QCOMPARE(Captions(form), QStringList({"/v/y.avi", "/v/x.avi"}));
        QCOMPARE(ListButtonsState(form), 1);

        const QString folder = prog.path("menu");
        QVERIFY(Touch(folder + "/m.mp4"));
        prog.platform.folderResults.enqueue(folder);
        form->mniAddDir->trigger();
        QVERIFY(WaitUntilMeasured(form));
        QCOMPARE(prog.platform.folderCaptions, QStringList({"Add a directory to the Task List"}));
        QCOMPARE(Captions(form).last(), folder + "/m.mp4");

        SelectRows(form, {0});
        form->mniRemove->trigger();
        QCOMPARE(Captions(form), QStringList({"/v/x.avi", folder + "/m.mp4"}));
        form->mniClear->trigger();
        QCOMPARE(form->ltvTask->topLevelItemCount(), 0);
        QCOMPARE(ListButtonsState(form), 0);
    }

    void clickOnEmptySpaceEmptiesEditor()
    {
        TestProgram prog;
        TMainForm *form = StartWithRows(prog, 2);
        ClickRow(form, 1);
        QCOMPARE(SelectedRows(form), QList<int>({1}));
        QCOMPARE(NewFilename(form), QString("r1"));
        // Below the last row: the selection goes, and so do the values.
        const QRect last = form->ltvTask->visualItemRect(form->ltvTask->topLevelItem(1));
        QTest::mouseClick(form->ltvTask->viewport(), Qt::LeftButton, {},
                          QPoint(last.center().x(), last.bottom() + 40));
        QVERIFY(SelectedRows(form).isEmpty());
        QCOMPARE(NewFilename(form), QString());
    }
};

QTEST_MAIN(TestTaskList)
#include "tst_tasklist.moc"
