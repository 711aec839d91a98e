// The per-file output options: the editor filled from the selected row, the
// name and time-range checks written back into the row, the guard with its
// balloon tip, and the editor following a keyboard change of the selection.
// Every row is a file of 00:01:40 (the fake encoder's built-in report).

#include "TaskTestUtil.h"
#include "TestProgram.h"

#include "app/BalloonTip.h"
#include "app/MainForm.h"
#include "profiles/ValueListEditor.h"

#include <QLineEdit>
#include <QtTest>

using namespace tasktest;

class TestOutputOptions : public QObject {
    Q_OBJECT

    TMainForm *StartWithRows(TestProgram &prog, int count)
    {
        prog.fakeEncoder();
        TMainForm *form = prog.start();
        form->CurrentOutputExt = ".avi";
        for (int i = 0; i < count; ++i)
            form->AddFile(QString("/videos/r%1.mov").arg(i));
        WaitUntilMeasured(form);
        form->SetListButtonsEnabled(count > 0);
        return form;
    }

    void SetEditor(TMainForm *form, const QString &name, const QString &start, const QString &end)
    {
        form->vleOutput->SetValues("New Filename", name);
        form->vleOutput->SetValues("Start Time", start);
        form->vleOutput->SetValues("End Time", end);
    }

    QRect ValueCell(TMainForm *form, int row)
    {
        return form->vleOutput->visualRect(form->vleOutput->model()->index(row, 1));
    }

    QWidget *OpenCellEditor(TMainForm *form)
    {
        for (int row = 0; row < form->vleOutput->RowCount(); ++row)
            if (QWidget *w = form->vleOutput->indexWidget(form->vleOutput->model()->index(row, 1)))
                return w;
        return nullptr;
    }

private slots:
    void clickFillsEditor()
    {
        TestProgram prog;
        TMainForm *form = StartWithRows(prog, 3);
        QCOMPARE(form->vleOutput->RowCount(), 3);
        QCOMPARE(form->vleOutput->Key(0), QString("New Filename"));
        QCOMPARE(form->vleOutput->Key(1), QString("Start Time"));
        QCOMPARE(form->vleOutput->Key(2), QString("End Time"));

        ClickRow(form, 1);
        QCOMPARE(NewFilename(form), QString("r1.avi"));
        QCOMPARE(StartTime(form), QString("00:00:00.0"));
        QCOMPARE(EndTime(form), QString("00:01:40.00"));

        // Several rows selected: the first of them in list order is shown.
        ClickRow(form, 2);
        ClickRow(form, 0, Qt::ControlModifier);
        QCOMPARE(SelectedRows(form), QList<int>({0, 2}));
        QCOMPARE(NewFilename(form), QString("r0.avi"));
        // The output extension shown is always the profile's current one.
        form->CurrentOutputExt = ".mpg";
        form->ltvTaskClick();
        QCOMPARE(NewFilename(form), QString("r0.mpg"));
    }

    void timeRangeChecks_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QString>("clipStart");
        QTest::addColumn<QString>("clipEnd");
        QTest::addColumn<QString>("clipLength");
        QTest::newRow("inside") << "00:00:30" << "00:01:00" << "00:00:30" << "00:01:00" << "00:00:30";
        QTest::newRow("start after length") << "00:02:00" << "00:01:40.00" << "00:00:00" << "00:01:40"
                                            << "00:01:40";
        QTest::newRow("start at length") << "00:01:40" << "00:05:00" << "00:00:00" << "00:05:00"
                                         << "00:05:00";
        QTest::newRow("end after length") << "00:00:00.0" << "00:05:00" << "00:00:00" << "00:05:00"
                                          << "00:05:00";
        QTest::newRow("start after end") << "00:00:20" << "00:00:10" << "00:00:00" << "00:00:10"
                                         << "00:00:10";
        QTest::newRow("start at end") << "00:00:10" << "00:00:10" << "00:00:00" << "00:00:10"
                                      << "00:00:10";
        QTest::newRow("end zero") << "00:00:00.0" << "00:00:00" << "00:00:00" << "00:01:40" << "00:01:40";
        QTest::newRow("start not a time") << "1:30" << "00:01:40.00" << "00:00:00" << "00:01:40"
                                          << "00:01:40";
        QTest::newRow("end not a time") << "00:00:05.5" << "soon" << "00:00:05.5" << "00:01:40"
                                        << "00:01:34.5";
        QTest::newRow("both empty") << "" << "" << "00:00:00" << "00:01:40" << "00:01:40";
        QTest::newRow("fractions") << "00:00:01.5" << "00:00:02.7" << "00:00:01.5" << "00:00:02.7"
                                   << "00:00:01.2";
    }

    void timeRangeChecks()
    {
        QFETCH(QString, start);
        QFETCH(QString, end);
        TestProgram prog;
        TMainForm *form = StartWithRows(prog, 2);
        ClickRow(form, 1);
        SetEditor(form, "r1.avi", start, end);
        form->ApplyOutputOptions();

        const ltvItemData rec = Row(form, 1);
        QTEST(rec.ClipStart, "clipStart");
        QTEST(rec.ClipEnd, "clipEnd");
        QTEST(rec.ClipLength, "clipLength");
        // The source range never changes; the other row is untouched.
        QCOMPARE(rec.SourceStart, QString("00:00:00.0"));
        QCOMPARE(rec.SourceEnd, QString("00:01:40.00"));
        QCOMPARE(Row(form, 0).ClipEnd, QString("00:01:40.00"));
        // The editor keeps what was typed, refused or not.
        QCOMPARE(StartTime(form), start);
        QCOMPARE(EndTime(form), end);
        // A fresh click shows what was stored.
        ClickRow(form, 1);
        QCOMPARE(StartTime(form), rec.ClipStart);
        QCOMPARE(EndTime(form), rec.ClipEnd);
    }

    void checksUseCurrentRange()
    {
        TestProgram prog;
        TMainForm *form = StartWithRows(prog, 1);
        ClickRow(form, 0);
        SetEditor(form, "r0.avi", "00:00:30", "00:01:00");
        form->ApplyOutputOptions();
        // A refused start keeps the stored 00:00:30, not the file's start.
        SetEditor(form, "r0.avi", "00:01:10", "00:01:00");
        form->ApplyOutputOptions();
        ltvItemData rec = Row(form, 0);
        QCOMPARE(rec.ClipStart, QString("00:00:30"));
        QCOMPARE(rec.ClipEnd, QString("00:01:00"));
        // An end not above the start keeps the stored end.
        SetEditor(form, "r0.avi", "00:00:30", "00:00:20");
        form->ApplyOutputOptions();
        rec = Row(form, 0);
        QCOMPARE(rec.ClipStart, QString("00:00:30"));
        QCOMPARE(rec.ClipEnd, QString("00:01:00"));
        QCOMPARE(rec.ClipLength, QString("00:00:30"));
        // Start and end moved together past the old end.
        SetEditor(form, "r0.avi", "00:01:20", "00:01:30");
        form->ApplyOutputOptions();
        rec = Row(form, 0);
        QCOMPARE(rec.ClipStart, QString("00:01:20"));
        QCOMPARE(rec.ClipEnd, QString("00:01:30"));
        QCOMPARE(rec.ClipLength, QString("00:00:10"));
    }

    void newFilename_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("outputName");
        QTest::addColumn<QString>("outputExt");
        QTest::newRow("two dots") << "movie.final.mpg" << "movie.final" << ".mpg";
        QTest::newRow("no dot") << "clip" << "clip" << "";
        // No name at all would make a hidden ".avi": the input's name stands in.
        QTest::newRow("only extension") << ".avi" << "r0" << ".avi";
        QTest::newRow("cleared") << "" << "r0" << "";
        QTest::newRow("dot in a folder part") << "my.dir/name" << "my" << "";
        QTest::newRow("taken as it is") << "a*b?.mp4" << "a*b?" << ".mp4";
    }

    void newFilename()
    {
        QFETCH(QString, name);
        TestProgram prog;
        TMainForm *form = StartWithRows(prog, 1);
        ClickRow(form, 0);
        form->vleOutput->SetValues("New Filename", name);
        form->ApplyOutputOptions();
        const ltvItemData rec = Row(form, 0);
        QTEST(rec.OutputName, "outputName");
        QTEST(rec.OutputExt, "outputExt");
        // The range is stored again as well, unchanged.
        QCOMPARE(rec.ClipStart, QString("00:00:00"));
        QCOMPARE(rec.ClipEnd, QString("00:01:40"));
    }

    void nothingSelectedStoresNothing()
    {
        TestProgram prog;
        TMainForm *form = StartWithRows(prog, 2);
        const ltvItemData before = Row(form, 0);
        SetEditor(form, "other.avi", "00:00:10", "00:00:20");
        form->ApplyOutputOptions();
        for (int row = 0; row < 2; ++row) {
            const ltvItemData rec = Row(form, row);
            QCOMPARE(rec.OutputName, QString("r%1").arg(row));
            QCOMPARE(rec.ClipStart, before.ClipStart);
            QCOMPARE(rec.ClipEnd, before.ClipEnd);
        }
    }

    void onlyFirstSelectedRowChanges()
    {
        TestProgram prog;
        TMainForm *form = StartWithRows(prog, 3);
        ClickRow(form, 1);
        ClickRow(form, 2, Qt::ControlModifier);
        QCOMPARE(NewFilename(form), QString("r1.avi"));
        SetEditor(form, "picked.avi", "00:00:10", "00:00:20");
        form->ApplyOutputOptions();
        QCOMPARE(Row(form, 1).OutputName, QString("picked"));
        QCOMPARE(Row(form, 1).ClipLength, QString("00:00:10"));
        QCOMPARE(Row(form, 2).OutputName, QString("r2"));
        QCOMPARE(Row(form, 2).ClipLength, QString("00:01:40.00"));
    }

    void editThroughTheGrid()
    {
        TestProgram prog;
        TMainForm *form = StartWithRows(prog, 2);
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form));
        ClickRow(form, 1);
        // Typing in "Start Time" and pressing Enter validates the cell.
        QTest::mouseClick(form->vleOutput->viewport(), Qt::LeftButton, {}, ValueCell(form, 1).center());
        auto *editor = qobject_cast<QLineEdit *>(OpenCellEditor(form));
        QVERIFY(editor);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(editor));
        editor->selectAll();
        QTest::keyClicks(editor, "00:00:40");
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(Row(form, 1).ClipStart, QString("00:00:40"));
        QCOMPARE(Row(form, 1).ClipLength, QString("00:01:00"));
        QCOMPARE(Row(form, 0).ClipStart, QString("00:00:00.0"));

        // Leaving an edited cell for the task list stores into the row shown
        // before the list's selection changes.
        QTRY_VERIFY(!OpenCellEditor(form));
        QTest::mouseClick(form->vleOutput->viewport(), Qt::LeftButton, {}, ValueCell(form, 2).center());
        editor = qobject_cast<QLineEdit *>(OpenCellEditor(form));
        QVERIFY(editor);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(editor));
        editor->selectAll();
        QTest::keyClicks(editor, "00:01:10");
        ClickRow(form, 0);
        QTRY_COMPARE(Row(form, 1).ClipEnd, QString("00:01:10"));
        QCOMPARE(Row(form, 1).ClipLength, QString("00:00:30"));
        QCOMPARE(Row(form, 0).ClipEnd, QString("00:01:40.00"));
        QCOMPARE(EndTime(form), QString("00:01:40.00"));
    }

    void guardWithoutRow()
    {
        TestProgram prog;
        TMainForm *form = StartWithRows(prog, 2);
        QCOMPARE(NewFilename(form), QString());
        // A press on the empty editor shows the balloon, with the
        // information icon, and opens no cell; the editor gets no tooltip.
        QTest::mouseClick(form->vleOutput->viewport(), Qt::LeftButton, {}, ValueCell(form, 1).center());
        TBalloonTip *balloon = form->findChild<TBalloonTip *>("BalloonTip");
        QVERIFY(balloon && balloon->isVisible());
        QCOMPARE(balloon->labText->text(), QString("<b>Tip:</b><br>Please select a file in Task List."));
        QVERIFY(!balloon->labIcon->pixmap().isNull());
        QVERIFY(balloon->labIcon->isVisible());
        QVERIFY(form->vleOutput->viewport()->toolTip().isEmpty());
        QVERIFY(!OpenCellEditor(form));
        QCOMPARE(StartTime(form), QString());
        QVERIFY(!form->GuardOutputEditing());

        // A loaded row removes it; with a row loaded, a press opens the cell.
        ClickRow(form, 0);
        QVERIFY(!balloon->isVisible());
        QVERIFY(form->GuardOutputEditing());
        QTest::mouseClick(form->vleOutput->viewport(), Qt::LeftButton, {}, ValueCell(form, 2).center());
        QVERIFY(OpenCellEditor(form));
    }

    void clearedNameBringsBackTheGuard()
    {
        TestProgram prog;
        TMainForm *form = StartWithRows(prog, 1);
        ClickRow(form, 0);
        form->vleOutput->SetValues("New Filename", "");
        form->ApplyOutputOptions();
        QCOMPARE(Row(form, 0).OutputName, QString("r0"));
        QCOMPARE(Row(form, 0).OutputExt, QString());
        // The next press shows the tip and opens nothing ...
        QTest::mouseClick(form->vleOutput->viewport(), Qt::LeftButton, {}, ValueCell(form, 1).center());
        TBalloonTip *balloon = form->findChild<TBalloonTip *>("BalloonTip");
        QVERIFY(balloon && balloon->isVisible());
        QVERIFY(balloon->labText->text().contains("Please select a file in Task List."));
        QVERIFY(!OpenCellEditor(form));
        // ... until the list is clicked again (the stored name is the
        // input's, the extension shown is the profile's).
        ClickRow(form, 0);
        QCOMPARE(NewFilename(form), QString("r0.avi"));
        QVERIFY(form->GuardOutputEditing());
    }

    void balloonGoesAwayByItself()
    {
        TestProgram prog;
        TMainForm *form = StartWithRows(prog, 1);
        form->ShowBalloonTip(form->vleOutput, 1, "Tip:", "Please select a file in Task List.");
        TBalloonTip *balloon = form->findChild<TBalloonTip *>("BalloonTip");
        QVERIFY(balloon && balloon->isVisible());
        // Its timer runs for 10 s; run out early, it hides the balloon.
        auto *timer = balloon->findChild<QTimer *>();
        QVERIFY(timer && timer->isActive() && timer->isSingleShot());
        QCOMPARE(timer->interval(), 10000);
        timer->start(1);
        QTRY_VERIFY(!balloon->isVisible());
    }

    void keyboardSelectionRefillsEditor()
    {
        TestProgram prog;
        TMainForm *form = StartWithRows(prog, 3);
        ClickRow(form, 0);
        QCOMPARE(NewFilename(form), QString("r0.avi"));
        form->ltvTask->setFocus();
        QTest::keyClick(form->ltvTask, Qt::Key_Down);
        QCOMPARE(SelectedRows(form), QList<int>({1}));
        QCOMPARE(NewFilename(form), QString("r1.avi"));
        // An edit now lands on the row shown, with that row's own values.
        form->vleOutput->SetValues("Start Time", "00:00:05");
        form->ApplyOutputOptions();
        QCOMPARE(Row(form, 1).ClipStart, QString("00:00:05"));
        QCOMPARE(Row(form, 1).OutputName, QString("r1"));
        QCOMPARE(Row(form, 0).ClipStart, QString("00:00:00.0"));
        QCOMPARE(Row(form, 0).OutputName, QString("r0"));
        QTest::keyClick(form->ltvTask, Qt::Key_Up);
        QCOMPARE(NewFilename(form), QString("r0.avi"));
        QCOMPARE(StartTime(form), QString("00:00:00.0"));
    }

    void editsTravelWithTheirRow()
    {
        TestProgram prog;
        TMainForm *form = StartWithRows(prog, 3);
        ClickRow(form, 1);
        SetEditor(form, "cut.mp4", "00:00:10", "00:00:50");
        form->ApplyOutputOptions();
        form->tbtnUp->click();
        QCOMPARE(SelectedRows(form), QList<int>({0}));
        ltvItemData rec = Row(form, 0);
        QCOMPARE(rec.InputFile, QString("/videos/r1.mov"));
        QCOMPARE(rec.OutputName, QString("cut"));
        QCOMPARE(rec.OutputExt, QString(".mp4"));
        QCOMPARE(rec.ClipStart, QString("00:00:10"));
        QCOMPARE(rec.ClipEnd, QString("00:00:50"));
        QCOMPARE(rec.ClipLength, QString("00:00:40"));
        QCOMPARE(Row(form, 1).OutputName, QString("r0"));
        form->tbtnDown->click();
        form->tbtnDown->click();
        QCOMPARE(SelectedRows(form), QList<int>({2}));
        rec = Row(form, 2);
        QCOMPARE(rec.InputFile, QString("/videos/r1.mov"));
        QCOMPARE(rec.ClipLength, QString("00:00:40"));
        // The editor still shows that row.
        QCOMPARE(NewFilename(form), QString("cut.avi"));
        QCOMPARE(StartTime(form), QString("00:00:10"));
    }

    void moveOfTwoRowsKeepsEditorOnShownRow()
    {
        TestProgram prog;
        TMainForm *form = StartWithRows(prog, 3);
        ClickRow(form, 0);
        ClickRow(form, 1, Qt::ControlModifier);
        QCOMPARE(NewFilename(form), QString("r0.avi"));
        // Rows 0 and 1 exchange; only row 0 (now r1) stays selected, and the
        // editor shows it, so an edit cannot land on a row not shown.
        form->tbtnUp->click();
        QCOMPARE(SelectedRows(form), QList<int>({0}));
        QCOMPARE(Row(form, 0).InputFile, QString("/videos/r1.mov"));
        QCOMPARE(NewFilename(form), QString("r1.avi"));
    }
};

QTEST_MAIN(TestOutputOptions)
#include "tst_outputoptions.moc"
