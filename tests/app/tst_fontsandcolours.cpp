// The windows at the desktop's font and colours: an 11 pt font set through
// qt6ct (this test runs with that platform theme) and a 13 pt one show every
// text whole, the dialogs grow and the rows follow; a dark palette keeps the
// painted parts readable.
#include "TestProgram.h"

#include "app/MainForm.h"
#include "app/Theme.h"
#include "profiles/CustomSize.h"
#include "profiles/ValueListEditor.h"
#include "settings/Settings.h"
#include "tasks/TaskListView.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

namespace {

// Labels that shorten or wrap by design.
const QStringList Shortened = {"labConvertingFile", "labStatus", "labSkippedFiles"};

// Every shown label, check box, radio button and push button with text in
// window that is narrower than its text (plus the box of a check or radio).
QStringList CutTexts(QWidget *window)
{
    QStringList cut;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (!w->isVisible() || Shortened.contains(w->objectName()) || w->objectName() == "BalloonTip")
            continue;
        QString text;
        int extra = 0;
        if (auto *label = qobject_cast<QLabel *>(w)) {
            if (label->wordWrap() || label->textFormat() == Qt::RichText)
                continue;
            text = label->text();
        } else if (auto *button = qobject_cast<QAbstractButton *>(w)) {
            if (!qobject_cast<QCheckBox *>(w) && !qobject_cast<QRadioButton *>(w)
                && !qobject_cast<QPushButton *>(w))
                continue;
            text = button->text();
            if (qobject_cast<QCheckBox *>(w) || qobject_cast<QRadioButton *>(w))
                extra = w->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, w)
                        + w->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, w);
        }
        text.remove('&');
        if (text.trimmed().isEmpty())
            continue;
        const int needed = w->fontMetrics().horizontalAdvance(text) + extra;
        if (w->width() < needed)
            cut << QString("%1 \"%2\": %3 < %4").arg(w->objectName(), text).arg(w->width()).arg(needed);
    }
    return cut;
}

} // namespace

class TestFontsAndColours : public QObject {
    Q_OBJECT

    // Every text of the main window (both bottom looks), the settings dialog
    // and the size dialog at the application's font.
    void CheckTextsWhole(int pointSize)
    {
        TestProgram prog;
        TMainForm *form = prog.start();
        QCOMPARE(form->font().pointSize(), pointSize);
        QVERIFY2(CutTexts(form).isEmpty(), qPrintable(CutTexts(form).join("\n")));
        form->panBottomCenter->hide();
        form->panBottomLeft->show();
        QCoreApplication::processEvents();
        QVERIFY2(CutTexts(form).isEmpty(), qPrintable(CutTexts(form).join("\n")));
        // The window cannot be made smaller than its contents need.
        form->resize(200, 200);
        QCoreApplication::processEvents();
        QVERIFY(form->width() >= form->centralWidget()->minimumSizeHint().width());

        SettingForm->ShowOnGeneralTab();
        QCoreApplication::processEvents();
        QVERIFY2(CutTexts(SettingForm).isEmpty(), qPrintable(CutTexts(SettingForm).join("\n")));
        QVERIFY(SettingForm->width() >= 391 && SettingForm->height() >= 498);
        SettingForm->btnCancelClick();
        SizeForm->show();
        QCoreApplication::processEvents();
        QVERIFY2(CutTexts(SizeForm).isEmpty(), qPrintable(CutTexts(SizeForm).join("\n")));
        SizeForm->close();

        // Rows as high as the font needs, 17 pixels at least.
        const int row = qMax(17, form->vleVideo->fontMetrics().height() + 4);
        QCOMPARE(form->vleOutput->rowHeight(0), row);
        QCOMPARE(form->vleOutput->height(), 3 * (row + 1) + 1);
    }

private slots:
    void desktopFontThroughQt6ct()
    {
        if (QApplication::font().family() == "Sans Serif")
            QSKIP("The qt6ct platform theme is not installed");
        CheckTextsWhole(11);
    }

    void largerFont()
    {
        const QFont before = QApplication::font();
        QApplication::setFont(QFont("DejaVu Sans", 13));
        CheckTextsWhole(13);
        QApplication::setFont(before);
    }

    void designedFontKeepsTheDesign()
    {
        const QFont before = QApplication::font();
        QFont design("DejaVu Sans");
        design.setPixelSize(11);
        QApplication::setFont(design);
        TestProgram prog;
        TMainForm *form = prog.start();
        QCOMPARE(SettingForm->size(), QSize(391, 498));
        QCOMPARE(SizeForm->size(), QSize(336, 106));
        QCOMPARE(form->panBottom->height(), 77);
        QCOMPARE(form->edtOutputdir->x(), 83);
        QCOMPARE(form->vleVideo->rowHeight(0), 17);
        QCOMPARE(form->panVideo->height(), 18);
        QApplication::setFont(before);
    }

    void darkPaletteStaysReadable()
    {
        TestProgram prog;
        TMainForm *form = prog.start();
        // Light: the designed colours.
        QCOMPARE(TaskHeaderColour(form->palette()), QColor(243, 243, 243));
        QVERIFY(form->ltvTask->header()->styleSheet().contains("#f3f3f3"));
        QCOMPARE(FocusKeyColour(form->palette()), QColor(49, 106, 197));
        // The desktop prefers dark: the program follows, every painted text
        // stands out from its ground.
        prog.platform.colorSchemeReport(Platform::ColorScheme::Dark);
        QCoreApplication::processEvents();
        const QPalette dark = form->palette();
        QVERIFY(IsDarkPalette(dark));
        const auto contrast = [](const QColor &a, const QColor &b) { return qAbs(a.lightness() - b.lightness()); };
        QVERIFY(contrast(TaskHeaderColour(dark), TaskHeaderTextColour(dark)) > 100);
        QVERIFY(form->ltvTask->header()->styleSheet().contains(TaskHeaderColour(dark).name()));
        QVERIFY(contrast(GroupHeaderColour(dark), GroupHeaderTextColour(dark)) > 100);
        QVERIFY(contrast(dark.color(QPalette::Base), ReadOnlyTextColour(dark)) > 60);
        QVERIFY(contrast(FocusKeyColour(dark), FocusKeyTextColour(dark)) > 100);
        QCOMPARE(form->vleVideo->palette().color(QPalette::Window), dark.color(QPalette::Base));
        // The header strip is painted in those colours.
        const QImage strip = form->panVideo->grab().toImage();
        QCOMPARE(strip.pixelColor(strip.width() - 2, 1), GroupHeaderColour(dark));
        // Back to light when the desktop says so.
        prog.platform.colorSchemeReport(Platform::ColorScheme::Light);
        QCoreApplication::processEvents();
        QVERIFY(!IsDarkPalette(form->palette()));
        QVERIFY(form->ltvTask->header()->styleSheet().contains("#f3f3f3"));
    }

    void filtersShowTheirPatternOnce()
    {
        QCOMPARE(QtFilterFromPairs("Profiles (*.vpf)|*.vpf"), QString("Profiles (*.vpf)"));
        QCOMPARE(QtFilterFromPairs("All Support Files(*.avi;*.mpg;)|*.avi;*.mpg;|AVI Files (*.avi)|*.avi|"
                                   "All Files (*.*)|*.*"),
                 QString("All Support Files (*.avi *.mpg);;AVI Files (*.avi);;All Files (*.*)"));
        QCOMPARE(QtFilterFromPairs("Lists|*.txt;*.tmp"), QString("Lists (*.txt *.tmp)"));
    }
};

int main(int argc, char **argv)
{
    // The desktop's font as qt6ct gives it, read when the application starts.
    QTemporaryDir config;
    QDir(config.path()).mkpath("qt6ct");
    QFile conf(config.path() + "/qt6ct/qt6ct.conf");
    if (conf.open(QIODevice::WriteOnly))
        conf.write("[Appearance]\nstyle=Fusion\n\n[Fonts]\n"
                   "fixed=\"DejaVu Sans Mono,11,-1,5,400,0,0,0,0,0,0,0,0,0,0,1\"\n"
                   "general=\"DejaVu Sans,11,-1,5,400,0,0,0,0,0,0,0,0,0,0,1\"\n");
    conf.close();
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    qputenv("QT_QPA_PLATFORMTHEME", "qt6ct");
    QApplication app(argc, argv);
    TestFontsAndColours test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_fontsandcolours.moc"
