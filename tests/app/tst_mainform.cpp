// The main window shell: start-up values, layout rules, shell commands.

#include "TestProgram.h"
#include "app/Forms.h"
#include "app/MainForm.h"
#include "app/SplitterBar.h"
#include "profiles/CustomSize.h"
#include "settings/Settings.h"
#include "tasks/FileTypes.h"

#include <QAccessible>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

class TestMainForm : public QObject {
    Q_OBJECT
private slots:
    void startUpValues();
    void versionFromPreferences();
    void toolbarDesign();
    void taskListColumns();
    void proportionalColumnWidths();
    void bottomStripFollowsWidth();
    void sidePaneDrag();
    void browseAndOpenOutputFolder();
    void helpAndAbout();
    void accessibleNames();
    void longConvertingNameIsShortenedInTheMiddle();
    void unwritableProgramFolderStillStarts();
    void statusLineShowsTheMostPressingNotice();
};

void TestMainForm::startUpValues()
{
    TestProgram prog;
    TMainForm *form = prog.start();
    QCOMPARE(form->ProgramDir, prog.dir());
    QCOMPARE(form->EncoderPath, prog.dir() + "vxenc.dll");
    QCOMPARE(form->windowTitle(), QString("Velvo V1.8"));
    // The eight types of the first design first, in their order, then today's.
    QCOMPARE(form->InputExtensions,
             QStringList({".avi", ".mpg", ".mpeg", ".mp4", ".wmv", ".mov", ".vob", ".asf", ".mkv", ".webm",
                          ".m4v", ".ts", ".mts", ".m2ts", ".3gp", ".3g2", ".ogv", ".mp3", ".m4a", ".aac",
                          ".wav", ".flac", ".ogg", ".opus", ".wma"}));
    QVERIFY(form->ScanMask.startsWith("*.avi;*.mpg;*.mpeg;*.mp4;*.wmv;*.mov;*.vob;*.asf;*.mkv;"));
    QVERIFY(form->ScanMask.endsWith(";*.opus;*.wma;"));
    QCOMPARE(form->OpenDialogFilter, OpenDialogFilterOf(form->InputExtensions));
    auto *type = FIND(QComboBox, form, "cmbType");
    QVERIFY(!type->isVisible());
    QCOMPARE(type->count(), form->OutputTypeExtensions.size());
    QCOMPARE(type->itemText(0), QString("*.avi"));
    QCOMPARE(type->itemText(11), QString("*.3g2"));
    QVERIFY(form->CurrentOutputExt.isEmpty());
    QCOMPARE(FIND(QLineEdit, form, "edtOutputdir")->text(), prog.dir());
    QVERIFY(FIND(QWidget, form, "panBottomCenter")->isVisible());
    QVERIFY(!FIND(QWidget, form, "panBottomLeft")->isVisible());
    QCOMPARE(FIND(QLabel, form, "labConvertingFile")->text(), QString("No File"));
    // A first start only reads: the preferences file comes with the close.
    QVERIFY(!QFileInfo::exists(prog.path("Preferences.ini")));
    // The windows exist once each, in their places.
    QVERIFY(ProcessForm && !ProcessForm->isVisible());
    QCOMPARE(ProcessForm->windowTitle(), QString("Process"));
    QVERIFY(AboutBox);
}

void TestMainForm::versionFromPreferences()
{
    TestProgram prog;
    prog.writePreferences("[main]\r\nversion=2.0b\r\n");
    TMainForm *form = prog.start();
    QCOMPARE(form->VersionText, QString("2.0b"));
    QCOMPARE(form->windowTitle(), QString("Velvo V2.0b"));
}

void TestMainForm::toolbarDesign()
{
    TestProgram prog;
    TMainForm *form = prog.start();
    const QList<QPair<const char *, QString>> buttons = {
        {"tbtnAddFile", "Add Video Files"}, {"tbtnAddDir", "Add Directory"}, {"tbtnUp", "Move Up"},
        {"tbtnDown", "Move Down"},          {"tbtnRemove", "Remove"},        {"tbtnClear", "Clear"},
        {"tbtnStart", "Start"},             {"tbtnStop", "Stop"},            {"tbtnSetting", "Settings"},
        {"tbtnAbout", "About"},             {"tbtnHelp", "Help"}};
    const QStringList disabled = {"tbtnUp", "tbtnDown", "tbtnRemove", "tbtnClear", "tbtnStart", "tbtnStop"};
    int previousX = -1;
    for (const auto &[name, hint] : buttons) {
        auto *button = form->findChild<QToolButton *>(name);
        QVERIFY2(button, name);
        // The hint, followed by the button's key where it has one.
        QVERIFY2(button->toolTip() == hint || button->toolTip().startsWith(hint + " ("), name);
        QCOMPARE(button->accessibleName(), hint);
        QCOMPARE(button->size(), QSize(56, 54));
        QCOMPARE(button->iconSize(), QSize(48, 48));
        QVERIFY2(!button->icon().isNull(), name);
        QCOMPARE(button->isEnabled(), !disabled.contains(name));
        QVERIFY2(button->x() > previousX, name); // in the designed order
        previousX = button->x();
    }
}

void TestMainForm::taskListColumns()
{
    TestProgram prog;
    TMainForm *form = prog.start();
    auto *list = FIND(QTreeWidget, form, "ltvTask");
    QCOMPARE(list->columnCount(), 11);
    const QStringList captions = {"Input File", "Length", "Size", "Status"};
    const int widths[] = {260, 90, 80, 100};
    for (int c = 0; c < 4; ++c) {
        QCOMPARE(list->headerItem()->text(c), captions[c]);
        QVERIFY(!list->isColumnHidden(c));
    }
    for (int c = 4; c < 11; ++c)
        QVERIFY(list->isColumnHidden(c));
    // The columns cannot be dragged into another order.
    QVERIFY(!list->header()->sectionsMovable());
    // Widths as designed before any resize rule applied.
    TestProgram second;
    TMainForm *hidden = second.start({}, false);
    for (int c = 0; c < 4; ++c)
        QCOMPARE(hidden->ltvTask->columnWidth(c), widths[c]);
    // The hidden columns take no room: the list does not scroll sideways.
    int visible = 0;
    for (int c = 0; c < 4; ++c)
        visible += list->columnWidth(c);
    QCOMPARE(list->header()->length(), visible);
    QCOMPARE(list->horizontalScrollBar()->maximum(), 0);
    QCOMPARE(list->selectionMode(), QAbstractItemView::ExtendedSelection);
    QCOMPARE(list->editTriggers(), QAbstractItemView::NoEditTriggers);
}

void TestMainForm::proportionalColumnWidths()
{
    TestProgram prog;
    TMainForm *form = prog.start();
    auto *list = form->ltvTask;
    QList<int> before;
    for (int c = 0; c < 4; ++c)
        before << list->columnWidth(c);
    const int listWidth = list->width();
    form->resize(form->width() + 100, form->height());
    QCoreApplication::processEvents();
    QCOMPARE(list->width(), listWidth + 100);
    QCOMPARE(list->columnWidth(0) - before[0], 49);
    QCOMPARE(list->columnWidth(1) - before[1], 17);
    QCOMPARE(list->columnWidth(2) - before[2], 15);
    QCOMPARE(list->columnWidth(3) - before[3], 19);
    QCOMPARE(form->LastTaskListWidth, list->width());

    // Halves go to the even neighbour: 50 * (0.49, 0.17, 0.15, 0.19) = 24.5, 8.5, 7.5, 9.5.
    for (int c = 0; c < 4; ++c)
        list->setColumnWidth(c, 100);
    form->ltvTaskResize(form->LastTaskListWidth + 50);
    QCOMPARE(list->columnWidth(0), 124);
    QCOMPARE(list->columnWidth(1), 108);
    QCOMPARE(list->columnWidth(2), 108);
    QCOMPARE(list->columnWidth(3), 110);
    // No change of width, no change of columns.
    form->ltvTaskResize(form->LastTaskListWidth);
    QCOMPARE(list->columnWidth(0), 124);
}

void TestMainForm::bottomStripFollowsWidth()
{
    TestProgram prog;
    TMainForm *form = prog.start();
    for (int extra : {0, 150}) {
        form->resize(798 + extra, 539);
        QCoreApplication::processEvents();
        const int w = form->panMain->width();
        QCOMPARE(form->panBottomCenter->width(), w);
        QCOMPARE(form->panBottomLeft->width(), w);
        QCOMPARE(form->bbtnSetting->x(), w - 90);
        QCOMPARE(form->cmbProfile->width(), form->bbtnSetting->x() - 83);
        QCOMPARE(form->bbtnOpen->x(), w - 90);
        QCOMPARE(form->bbtnBrowser->x(), form->bbtnOpen->x() - 85);
        QCOMPARE(form->edtOutputdir->width(), form->bbtnBrowser->x() - 83);
        // The percentages fit "100%" and end inside the strip.
        for (QLabel *percent : {form->labCurProgress, form->labTotalProgress}) {
            QVERIFY(percent->width() >= percent->fontMetrics().horizontalAdvance("100%"));
            QCOMPARE(percent->geometry().right(), w - 3);
        }
        QCOMPARE(form->pgbCurrent->width(), form->labCurProgress->x() - 123);
        QCOMPARE(form->pgbTotal->width(), form->labTotalProgress->x() - 123);
        // The side pane keeps its width; the task panel takes the rest.
        QCOMPARE(form->panProfile->width(), 200);
    }
}

void TestMainForm::sidePaneDrag()
{
    TestProgram prog;
    TMainForm *form = prog.start();
    auto *bar = FIND(TSplitterBar, form, "panSplitter");
    QCOMPARE(bar->text(), QString("<>"));
    QCOMPARE(bar->width(), 10);
    QCOMPARE(bar->cursor().shape(), Qt::SplitHCursor);
    auto move = [&](int x, Qt::MouseButtons buttons, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QMouseEvent event(QEvent::MouseMove, QPointF(x, 5), bar->mapToGlobal(QPointF(x, 5)), Qt::NoButton,
                          buttons, mods);
        QCoreApplication::sendEvent(bar, &event);
    };
    move(-20, Qt::LeftButton);
    QCOMPARE(form->panProfile->width(), 225);
    move(8, Qt::LeftButton);
    QCOMPARE(form->panProfile->width(), 222);
    move(0, Qt::LeftButton); // X = 0: nothing
    QCOMPARE(form->panProfile->width(), 222);
    move(-20, Qt::NoButton); // no button held
    QCOMPARE(form->panProfile->width(), 222);
    move(-20, Qt::LeftButton, Qt::ShiftModifier); // another modifier held
    QCOMPARE(form->panProfile->width(), 222);
    move(-20, Qt::LeftButton | Qt::RightButton);
    QCOMPARE(form->panProfile->width(), 222);
}

void TestMainForm::browseAndOpenOutputFolder()
{
    TestProgram prog;
    TMainForm *form = prog.start();
    QDir(prog.dir()).mkpath("out dir");
    const QString chosen = prog.dir() + "out dir";

    prog.platform.folderResults.enqueue(QString()); // cancelled
    form->bbtnBrowser->click();
    QCOMPARE(form->edtOutputdir->text(), prog.dir());
    QCOMPARE(prog.platform.folderCaptions.last(), QString("Select the output directory."));

    prog.platform.folderResults.enqueue(chosen);
    form->bbtnBrowser->click();
    QCOMPARE(form->edtOutputdir->text(), chosen + "/");
    prog.platform.folderResults.enqueue(chosen + "/");
    form->bbtnBrowser->click();
    QCOMPARE(form->edtOutputdir->text(), chosen + "/");

    form->bbtnOpen->click();
    QCOMPARE(prog.platform.opened, QStringList{chosen + "/"});
    form->edtOutputdir->setText(prog.dir() + "missing/");
    form->bbtnOpen->click();
    QCOMPARE(prog.platform.opened.size(), 1);
    QCOMPARE(prog.platform.messages.size(), 0);

    QCOMPARE(MainForm->WithTrailingSeparator("/a/b"), QString("/a/b/"));
    QCOMPARE(MainForm->WithTrailingSeparator("/a/b/"), QString("/a/b/"));
}

void TestMainForm::helpAndAbout()
{
    TestProgram prog;
    TMainForm *form = prog.start();
    form->tbtnHelp->click();
    QCOMPARE(prog.platform.opened, QStringList{prog.dir() + "VelvoHelp.html"});
    QVERIFY(!AboutBox->isVisible());
    form->tbtnAbout->click();
    QVERIFY(AboutBox->isVisible());
    QVERIFY(!AboutBox->isModal());
    auto *text = FIND(QLabel, AboutBox, "labAbout");
    QVERIFY(text->text().contains("Velvo V1.8"));
    QVERIFY(text->text().contains("LGPL"));
}

void TestMainForm::accessibleNames()
{
    TestProgram prog;
    TMainForm *form = prog.start();
    // What assistive technology reads as a widget's name.
    auto spoken = [](QWidget *w) {
        QAccessibleInterface *face = QAccessible::queryAccessibleInterface(w);
        return face ? face->text(QAccessible::Name) : QString();
    };
    for (QWidget *window : {static_cast<QWidget *>(form), static_cast<QWidget *>(SettingForm),
                            static_cast<QWidget *>(SizeForm)}) {
        for (QWidget *w : window->findChildren<QWidget *>()) {
            if (w->objectName().isEmpty() || w->objectName().startsWith("qt_"))
                continue;
            const QString what = QString(w->metaObject()->className()) + " " + w->objectName();
            // A name in words, never the object name.
            QVERIFY2(spoken(w) != w->objectName(), qPrintable(what + " is read by its object name"));
            const bool control = qobject_cast<QAbstractButton *>(w) || qobject_cast<QLineEdit *>(w) ||
                                 qobject_cast<QComboBox *>(w) || qobject_cast<QProgressBar *>(w) ||
                                 qobject_cast<QAbstractItemView *>(w);
            if (control && w->isVisibleTo(window))
                QVERIFY2(!spoken(w).isEmpty(), qPrintable(what + " has no accessible name"));
        }
    }
    // Labels of changing values are read as they show.
    for (QLabel *value : {static_cast<QLabel *>(form->labConvertingFile), form->labElapsed, form->labRemaining,
                          form->labCurProgress, form->labTotalProgress, form->labPreviewTime}) {
        value->setText("01:02:03");
        QCOMPARE(spoken(value), QString("01:02:03"));
    }
    // The preview's Stop is told apart from the toolbar's.
    QCOMPARE(spoken(form->sbtnStop), QString("Stop Preview"));
    QVERIFY(spoken(form->tbtnStop) != spoken(form->sbtnStop));
    QCOMPARE(FIND(QGroupBox, form, "gpbProfile")->title(), QString("Profile Detail"));
}

void TestMainForm::longConvertingNameIsShortenedInTheMiddle()
{
    TestProgram prog;
    TMainForm *form = prog.start();
    const QString name = QString("beginning ").repeated(20) + "end.avi";
    form->labConvertingFile->setText(name);
    QCOMPARE(form->labConvertingFile->text(), name);
    QCOMPARE(form->labConvertingFile->toolTip(), name);
    // Painted as both ends around "…", within the strip.
    const QString shown = form->labConvertingFile->fontMetrics().elidedText(
        name, Qt::ElideMiddle, form->labConvertingFile->contentsRect().width());
    QVERIFY(shown.startsWith("beginning") && shown.endsWith("end.avi") && shown.contains(QChar(0x2026)));
    QVERIFY(form->labConvertingFile->geometry().right() < form->panBottomLeft->width());
    QImage painted(form->labConvertingFile->size(), QImage::Format_ARGB32);
    painted.fill(Qt::white);
    form->labConvertingFile->render(&painted, {}, {}, QWidget::DrawChildren);
    QLabel plain;
    plain.setFont(form->labConvertingFile->font());
    plain.setText(shown);
    plain.setAlignment(form->labConvertingFile->alignment());
    plain.resize(form->labConvertingFile->size());
    plain.setPalette(form->labConvertingFile->palette());
    QImage expected(plain.size(), QImage::Format_ARGB32);
    expected.fill(Qt::white);
    plain.render(&expected, {}, {}, QWidget::DrawChildren);
    QCOMPARE(painted, expected);
    form->labConvertingFile->clear();
    QCOMPARE(form->labConvertingFile->toolTip(), QString());
}

void TestMainForm::unwritableProgramFolderStillStarts()
{
    TestProgram prog;
    // A folder where the preferences file should be: it can be neither read nor replaced.
    QDir(prog.dir()).mkpath("Preferences.ini");
    TMainForm *form = prog.start();
    QVERIFY(form->isVisible());
    QCOMPARE(form->windowTitle(), QString("Velvo V1.8"));
    QVERIFY(!prog.platform.messages.isEmpty());
    QVERIFY(prog.platform.messages.first().text.contains("Preferences.ini"));
}

void TestMainForm::statusLineShowsTheMostPressingNotice()
{
    TestProgram prog;
    TMainForm *form = prog.start();
    auto *status = FIND(QLabel, form, "labStatus");
    QVERIFY(!status->isVisible());
    form->SetNotice(TMainForm::TNotice::WhenDone, "When done: exit Velvo");
    QCOMPARE(status->text(), QString("When done: exit Velvo"));
    QVERIFY(status->isVisible());
    // A warning of the run wins over the others and gives the line back when cleared.
    form->SetNotice(TMainForm::TNotice::RunWarning, "The task list could not be kept.");
    form->SetNotice(TMainForm::TNotice::Measuring, "Waiting for 2 files to be measured\u2026");
    QCOMPARE(status->text(), QString("The task list could not be kept."));
    form->SetNotice(TMainForm::TNotice::RunWarning, QString());
    QCOMPARE(status->text(), QString("Waiting for 2 files to be measured\u2026"));
    form->SetNotice(TMainForm::TNotice::Measuring, QString());
    form->SetNotice(TMainForm::TNotice::WhenDone, QString());
    QVERIFY(status->text().isEmpty());
    QVERIFY(!status->isVisible());
}

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
