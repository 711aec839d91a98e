// The main window's desktop keys: each does what its button does, only when
// the button can be pressed, and shows in the button's tooltip; Return on a
// row plays it in the preview.
#include "FakeMediaGraph.h"
#include "TestProgram.h"

#include "app/MainForm.h"

#include <QLineEdit>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

class TestKeyboard : public QObject {
    Q_OBJECT

    // The window shown and active, with a preview double that is usable.
    TMainForm *StartActive(TestProgram &prog, FakeMediaGraph *graph = nullptr)
    {
        prog.fakeEncoder();
        TMainForm *form = prog.start({}, false);
        if (graph) {
            form->CreateMediaGraph = [graph]() -> IMediaGraph * { return graph; };
            form->CheckMediaService = [] { return QString(); };
        }
        form->show();
        form->activateWindow();
        if (!QTest::qWaitForWindowActive(form))
            qWarning("the window did not become active");
        return form;
    }

private slots:
    void keysDoWhatTheirButtonsDo()
    {
        TestProgram prog;
        TMainForm *form = StartActive(prog);
        QTest::keyClick(form, Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(prog.platform.openFilters, QStringList{form->OpenDialogFilter});
        QVERIFY(prog.platform.folderCaptions.isEmpty());
        QTest::keyClick(form, Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(prog.platform.folderCaptions, QStringList{"Add a directory to the Task List"});
        QCOMPARE(prog.platform.openFilters.size(), 1);
        QTest::keyClick(form, Qt::Key_F1);
        QCOMPARE(prog.platform.opened, QStringList{form->HelpFile});

        // Ctrl+Return is Start: nothing with an empty list (its button is
        // disabled), the output folder check with a row.
        form->edtOutputdir->setText(prog.path("no such folder"));
        QTest::keyClick(form, Qt::Key_Return, Qt::ControlModifier);
        QVERIFY(prog.platform.messages.isEmpty());
        form->AddFile("/videos/a.avi");
        form->SetListButtonsEnabled(true);
        QTest::keyClick(form, Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(prog.platform.messages.size(), 1);
        QCOMPARE(prog.platform.messages[0].text,
                 QString("The output path does not exist. Please specify another one."));

        QTest::keyClick(form, Qt::Key_Q, Qt::ControlModifier);
        QVERIFY(!form->isVisible());
    }

    void tooltipsShowTheKeys()
    {
        TestProgram prog;
        TMainForm *form = prog.start();
        const QList<QPair<QToolButton *, QString>> expected = {
            {form->tbtnAddFile, "Add Video Files (Ctrl+O)"}, {form->tbtnAddDir, "Add Directory (Ctrl+Shift+O)"},
            {form->tbtnHelp, "Help (F1)"},                   {form->tbtnStart, "Start (Ctrl+Return)"},
            {form->tbtnStop, "Stop (Esc)"},                  {form->tbtnRemove, "Remove (Del)"},
            {form->tbtnClear, "Clear (Backspace)"},          {form->tbtnUp, "Move Up (Ctrl+Up)"},
            {form->tbtnDown, "Move Down (Ctrl+Down)"},       {form->tbtnSetting, "Settings (Ctrl+,)"},
            {form->tbtnAbout, "About"}};
        for (const auto &[button, tip] : expected)
            QCOMPARE(button->toolTip(), tip);
        QVERIFY(form->ltvTask->toolTip().contains("Return plays the selected file in the preview"));
    }

    void returnPlaysTheRow()
    {
        TestProgram prog;
        auto *graph = new FakeMediaGraph; // owned by the form once created
        TMainForm *form = StartActive(prog, graph);
        form->AddFile("/videos/a.avi");
        form->AddFile("/videos/b.avi");
        form->ltvTask->setFocus();
        // No row selected: nothing plays.
        QTest::keyClick(form->ltvTask, Qt::Key_Return);
        QVERIFY(graph->file.isEmpty());
        form->ltvTask->topLevelItem(1)->setSelected(true);
        QTest::keyClick(form->ltvTask, Qt::Key_Return);
        QCOMPARE(graph->file, QString("/videos/b.avi"));
        QCOMPARE(form->ltvTask->topLevelItemCount(), 2);
    }
};

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
