// The windows through the keyboard and assistive technology: the keys the
// issue names, the events a screen reader hears, focus that returns where it
// was, and the hints that say what to do next.
#include "FakeMediaGraph.h"
#include "../settings/SettingsTestUtil.h"
#include "TestProgram.h"

#include "app/BalloonTip.h"
#include "app/MainForm.h"
#include "preview/PreviewWidgets.h"
#include "profiles/ValueListEditor.h"
#include "settings/Settings.h"
#include "tasks/TaskListView.h"

#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

namespace {

// What assistive technology was told while one of these lives.
struct TEventLog {
    struct Entry {
        QAccessible::Event type;
        QObject *object;
        QString name;
    };
    static inline QList<Entry> entries;

    TEventLog()
    {
        entries.clear();
        QAccessible::installUpdateHandler([](QAccessibleEvent *event) {
            QAccessibleInterface *face = event->accessibleInterface();
            // A cell has no object of its own: its view stands for it.
            QObject *object = event->object();
            if (!object && face && face->parent())
                object = face->parent()->object();
            entries.append({event->type(), object, face ? face->text(QAccessible::Name) : QString()});
        });
        QAccessible::setActive(true);
    }
    ~TEventLog()
    {
        QAccessible::setActive(false);
        QAccessible::installUpdateHandler(nullptr);
    }
    int Count(QAccessible::Event type, QObject *object) const
    {
        int n = 0;
        for (const Entry &e : entries)
            n += e.type == type && e.object == object;
        return n;
    }
    bool Named(QAccessible::Event type, QObject *object, const QString &name) const
    {
        for (const Entry &e : entries)
            if (e.type == type && e.object == object && e.name == name)
                return true;
        return false;
    }
};

} // namespace

class TestAssistive : public QObject {
    Q_OBJECT

    TMainForm *StartActive(TestProgram &prog)
    {
        prog.fakeEncoder();
        prog.addProfile("One.vpf", OtherProfile);
        prog.addProfile("Two.vpf", SampleProfile);
        TMainForm *form = prog.start({}, false);
        form->show();
        form->activateWindow();
        if (!QTest::qWaitForWindowActive(form))
            qWarning("the window did not become active");
        return form;
    }

    // Two rows with lengths, the first one selected and shown in the editor.
    void AddTwoRows(TestProgram &prog, TMainForm *form)
    {
        form->AddFile("/videos/a.avi");
        form->AddFile("/videos/b.avi");
        form->SetListButtonsEnabled(true);
        form->ltvTask->setCurrentItem(form->ltvTask->topLevelItem(0));
        form->ltvTaskClick();
    }

private slots:
    void returnInSettingsIsOK()
    {
        TestProgram prog;
        TMainForm *form = StartActive(prog);
        form->tbtnSetting->click();
        QVERIFY(QTest::qWaitForWindowActive(SettingForm));
        SettingForm->chkExit->setFocus();
        QTest::keyClick(SettingForm->chkExit, Qt::Key_Space);
        QVERIFY(SettingForm->chkExit->isChecked());
        QTest::keyClick(SettingForm->chkExit, Qt::Key_Return);
        QVERIFY(!SettingForm->isVisible());
        QCOMPARE(MainValue(prog, "Auto Exit"), QString("1"));
        // The armed action shows in the main window, with a way to change it.
        QCOMPARE(form->labStatus->text(), QString("When done: exit the program"));
        QVERIFY(form->btnWhenDone->isVisible());
        SettingForm->chkTurnoff->setChecked(true);
        QCOMPARE(form->labStatus->text(), QString("When done: turn off the computer"));
        form->btnWhenDone->click();
        QTRY_VERIFY(form->ppmWhenDone->isVisible());
        QVERIFY(form->mniWhenDoneExit->isChecked() && form->mniWhenDoneTurnOff->isChecked());
        form->mniWhenDoneTurnOff->trigger(); // unticks it, as a click on it does
        form->mniWhenDoneExit->trigger();
        form->ppmWhenDone->hide();
        QVERIFY(!SettingForm->chkTurnoff->isChecked() && !SettingForm->chkExit->isChecked());
        QVERIFY(form->labStatus->isHidden());
        // A warning of the run wins the line; the button goes with the notice.
        SettingForm->chkExit->setChecked(true);
        form->SetNotice(TMainForm::TNotice::RunWarning, "The task list cannot be kept.");
        QCOMPARE(form->labStatus->text(), QString("The task list cannot be kept."));
        QVERIFY(!form->btnWhenDone->isVisible());
    }

    void shiftF10OpensTheListMenu()
    {
        TestProgram prog;
        TMainForm *form = StartActive(prog);
        AddTwoRows(prog, form);
        form->ltvTask->setFocus();
        QTest::keyClick(form->ltvTask, Qt::Key_F10, Qt::ShiftModifier);
        QTRY_VERIFY(form->ppmTask->isVisible());
        for (int i = 0; i < 4; ++i)
            QTest::keyClick(form->ppmTask, Qt::Key_Down);
        QCOMPARE(form->ppmTask->activeAction(), form->mniRemove);
        QTest::keyClick(form->ppmTask, Qt::Key_Return);
        QTRY_COMPARE(form->ltvTask->topLevelItemCount(), 1);
        QCOMPARE(form->ltvTask->topLevelItem(0)->text(0), QString("/videos/b.avi"));
    }

    void clearAsksAndTheEmptyListSaysWhatToDo()
    {
        TestProgram prog;
        TMainForm *form = StartActive(prog);
        QCOMPARE(form->ltvTask->accessibleDescription(), TTaskListView::EmptyHint());
        AddTwoRows(prog, form);
        QVERIFY(form->ltvTask->accessibleDescription().isEmpty());
        prog.platform.answers.enqueue(Platform::No);
        form->tbtnClear->click();
        QCOMPARE(prog.platform.messages.last().text, QString("Remove all 2 files from the task list?"));
        QCOMPARE(form->ltvTask->topLevelItemCount(), 2);
        form->mniClear->trigger(); // answered Yes
        QCOMPARE(prog.platform.messages.size(), 2);
        QCOMPARE(form->ltvTask->topLevelItemCount(), 0);
        QCOMPARE(form->ltvTask->accessibleDescription(), TTaskListView::EmptyHint());
    }

    void screenReaderHearsChangesNotCodeMoves()
    {
        TestProgram prog;
        TMainForm *form = StartActive(prog);
        AddTwoRows(prog, form);
        // The grids' columns have names for assistive technology.
        QAccessibleInterface *grid = QAccessible::queryAccessibleInterface(form->vleVideo);
        QCOMPARE(grid->tableInterface()->columnDescription(0), QString("Parameter"));
        QCOMPARE(grid->tableInterface()->columnDescription(1), QString("Value"));

        form->ltvTask->setFocus();
        TEventLog log;
        if (!QAccessible::isActive())
            QSKIP("This platform has no assistive technology bridge to send events to");
        // Loading profiles fills the grids from code: no focus moves to their cells.
        form->cmbProfile->setCurrentIndex(1);
        form->cmbProfile->setCurrentIndex(0);
        for (TValueListEditor *vle : {form->vleOutput, form->vleVideo, form->vleAudio, form->vleAdvanced})
            QCOMPARE(log.Count(QAccessible::Focus, vle), 0);
        // A status written by a run, and the output options of another row, are told.
        ltvItemData rec;
        form->ReadItemData(0, -2, rec);
        rec.Status = "Complete";
        form->WriteItemData(0, 2, rec);
        QVERIFY(log.Named(QAccessible::NameChanged, form->ltvTask, "Complete"));
        form->ltvTask->setCurrentItem(form->ltvTask->topLevelItem(1));
        QVERIFY(log.Named(QAccessible::NameChanged, form->vleOutput, "b.mpg"));
    }

    void gridKeys()
    {
        TestProgram prog;
        TMainForm *form = StartActive(prog);
        TValueListEditor *out = form->vleOutput;
        // Typing with no row loaded explains, as a click does, and opens nothing.
        out->setFocus();
        QTest::keyClick(out, Qt::Key_A);
        QVERIFY(form->BalloonTip && form->BalloonTip->isVisible());
        QVERIFY(!out->indexWidget(out->currentIndex()));

        AddTwoRows(prog, form);
        out->setFocus();
        out->setCurrentCell(1, 1);
        QTest::keyClick(out, Qt::Key_F2);
        auto *edit = qobject_cast<QLineEdit *>(out->indexWidget(out->currentIndex()));
        QVERIFY(edit);
        QCOMPARE(edit->accessibleName(), QString("Start Time"));
        // A text that is not a time stays, marked, and the row keeps its start.
        edit->selectAll();
        QTest::keyClicks(edit, "0:01");
        QTest::keyClick(edit, Qt::Key_Tab);
        QVERIFY(!out->HasFocusWithin()); // Tab left the grid, the edit taken
        QCOMPARE(out->Value(1), QString("0:01"));
        QCOMPARE(out->ValueProblem(1), QString("Not a time: write hh:mm:ss or hh:mm:ss.f"));
        QCOMPARE(out->item(1, 1)->toolTip(), out->ValueProblem(1));
        ltvItemData rec;
        form->ReadItemData(0, -2, rec);
        QCOMPARE(rec.ClipStart, QString("00:00:00"));
        out->SetValue(1, "00:00:10");
        form->ApplyOutputOptions();
        QVERIFY(out->ValueProblem(1).isEmpty());

        // A collapsed group is no Tab stop; expanded it is one again.
        form->btnVideo->click();
        QCOMPARE(form->vleVideo->focusPolicy(), Qt::NoFocus);
        form->btnVideo->click();
        QVERIFY(form->vleVideo->focusPolicy() != Qt::NoFocus);
    }

    void focusReturnsWhereItWas()
    {
        TestProgram prog;
        TMainForm *form = StartActive(prog);
        AddTwoRows(prog, form);
        form->bbtnSetting->setFocus();
        form->bbtnSetting->click();
        QVERIFY(SettingForm->isVisible());
        SettingForm->btnCancelClick();
        QCOMPARE(form->focusWidget(), form->bbtnSetting);
        // A run disables the list: Stop holds the focus meanwhile, the list has it back after.
        form->ltvTask->setFocus();
        form->DisableForRun();
        QCOMPARE(form->focusWidget(), form->tbtnStop);
        form->EnableAfterRun();
        QCOMPARE(form->focusWidget(), form->ltvTask);
    }

    void moreKeysAndHelpWithoutViewer()
    {
        TestProgram prog;
        TMainForm *form = StartActive(prog);
        AddTwoRows(prog, form);
        QVERIFY(form->tbtnUp->toolTip().endsWith("(Ctrl+Up)"));
        QVERIFY(form->tbtnDown->toolTip().endsWith("(Ctrl+Down)"));
        QVERIFY(form->tbtnSetting->toolTip().endsWith("(Ctrl+,)"));
        QTest::keyClick(form, Qt::Key_Down, Qt::ControlModifier);
        QCOMPARE(form->ltvTask->topLevelItem(1)->text(0), QString("/videos/a.avi"));
        QTest::keyClick(form, Qt::Key_Up, Qt::ControlModifier);
        QCOMPARE(form->ltvTask->topLevelItem(0)->text(0), QString("/videos/a.avi"));
        prog.platform.openResult = false;
        QTest::keyClick(form, Qt::Key_F1);
        QCOMPARE(prog.platform.notices.size(), 1);
        QVERIFY(prog.platform.notices[0].text.contains(form->HelpFile));
        QTest::keyClick(form, Qt::Key_Comma, Qt::ControlModifier);
        QVERIFY(SettingForm->isVisible());
        SettingForm->btnCancelClick();
    }

    void sliderSeeksByKeys()
    {
        FakeMediaGraph graph;
        graph.durationMs = 100000;
        graph.state = IMediaGraph::Running;
        TDSTrackBar bar;
        bar.SetFilterGraph(&graph);
        bar.Refresh(); // the refresh moves the thumb without seeking
        QVERIFY(graph.seeks.isEmpty());
        QCOMPARE(bar.maximum(), 100);
        QTest::keyClick(&bar, Qt::Key_Right);
        QCOMPARE(graph.seeks, QList<qint64>{1000});
        bar.setValue(50); // as assistive technology sets it
        QCOMPARE(graph.seeks.last(), 50000);
    }
};

QTEST_MAIN(TestAssistive)
#include "tst_assistive.moc"
