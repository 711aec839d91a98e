// The profile part of the main window: the catalogue in cmbProfile, loading
// a profile into the group editors, collapsing the groups, the video size
// hook, the argument text for Start, and profiles that are malformed.
#include "ProfileTestUtil.h"
#include "TestProgram.h"

#include "app/MainForm.h"
#include "profiles/CustomSize.h"
#include "profiles/ValueListEditor.h"

#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

using namespace ProfileTest;

namespace {

const QColor Silver(192, 192, 192);

bool RegionHas(const QImage &image, const QRect &rect, const QColor &colour)
{
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            if (image.valid(x, y) && image.pixelColor(x, y).rgb() == colour.rgb())
                return true;
    return false;
}

// The darkest grey level (0..255) inside rect.
int Darkest(const QImage &image, const QRect &rect)
{
    int darkest = 255;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            if (image.valid(x, y))
                darkest = qMin(darkest, qGray(image.pixel(x, y)));
    return darkest;
}

// Silver text: its darkest pixels are silver (smoothed edges are lighter);
// black text has far darker ones.
bool ValueCellIsSilver(TValueListEditor *vle, const QString &key)
{
    const QImage image = vle->grab().toImage();
    QRect cell = CellRect(vle, vle->FindRow(key), 1);
    cell.translate(vle->viewport()->mapTo(vle, QPoint(0, 0)));
    const qreal ratio = image.devicePixelRatio();
    const QRect pixels = QRect(cell.topLeft() * ratio, cell.size() * ratio).adjusted(1, 1, -2, -2);
    const int darkest = Darkest(image, pixels);
    if (darkest < 100)
        return false;
    // At a small font no pixel may be wholly covered: the darkest is then
    // a little lighter than silver itself.
    if (darkest < Silver.red() || darkest > Silver.red() + 12)
        qFatal("value cell of %s is neither black nor silver (%d)", qPrintable(key), darkest);
    return true;
}

QStringList Keys(TValueListEditor *vle)
{
    QStringList keys;
    for (int r = 0; r < vle->RowCount(); ++r)
        keys << vle->Key(r);
    return keys;
}

QStringList Values(TValueListEditor *vle)
{
    QStringList values;
    for (int r = 0; r < vle->RowCount(); ++r)
        values << vle->Value(r);
    return values;
}

// Six parameters: groups by Sort and by the previous parameter, every kind
// of row, sections in another order than the numbering, no Type.
const QByteArray RulesProfile =
    "[Late]\r\nSort=1\r\nCaption=p,q,\r\nValue=1,2,\r\ncmd=-l\r\n\r\n"
    "[Main]\r\nPara=6\r\n0=Codec\r\n1=Size\r\n2=Typed\r\n3=Pick RO\r\n4=Free Caption\r\n5=Late\r\n\r\n"
    "[Free Caption]\r\nSort=3\r\nList=False\r\nReadOnly=true\r\nCaption=x y\r\nValue=xy\r\ncmd=-f\r\n\r\n"
    "[Codec]\r\nSort=2\r\nList=0\r\nReadOnly=1\r\nCaption=AAC\r\nValue=aac\r\ncmd=-c\r\n\r\n"
    "[Size]\r\nSort=1\r\nCaption=Original Size,320x240,Custom Size,\r\nValue=,320x240,,\r\n"
    "Index=1\r\ncmd=-s\r\n\r\n"
    "[Typed]\r\nSort=0\r\nList=0\r\nCaption=a,b,c\r\nValue=a,b,c\r\ncmd=-t\r\n\r\n"
    "[Pick RO]\r\nSort=3\r\nReadOnly=1\r\nCaption=No,Yes,\r\nValue=,\\,\r\nIndex=1\r\ncmd=-p\r\n";

} // namespace

class TestProfileEditor : public QObject {
    Q_OBJECT

private slots:
    void catalogueListsVpfFilesIgnoringCase()
    {
        TestProgram prog;
        prog.addProfile("Fast.VPF", "[Main]\r\nType=avi\r\nPara=1\r\n0=Speed\r\n"
                                    "[Speed]\r\nSort=1\r\nList=0\r\nCaption=fast\r\n");
        prog.addProfile("a.b.vpf", ExampleProfile());
        prog.addProfile("zeta.vpf", "[Main]\r\nType=mov\r\n");
        prog.addProfile("Beta.vpf", "[Main]\r\nType=flv\r\n");
        prog.addProfile("notes.txt", "[Main]\r\n");
        QVERIFY(QDir().mkpath(prog.path("Profiles/x.vpf")));
        TMainForm *form = prog.start();

        QStringList items;
        for (int i = 0; i < form->cmbProfile->count(); ++i)
            items << form->cmbProfile->itemText(i);
        QCOMPARE(items, QStringList({"a.b", "Beta", "Fast", "zeta"}));

        // The first profile is selected and loaded when the window shows.
        QCOMPARE(form->cmbProfile->currentIndex(), 0);
        QCOMPARE(form->CurrentOutputExt, QString(".avi"));
        QCOMPARE(Keys(form->vleVideo), QStringList({"Video Codec", "Video Size", "Bit Rate"}));

        // Fast.VPF is opened under the name Fast.
        QCOMPARE(form->ProfilePath("Fast"), prog.path("Profiles/Fast.VPF"));
        QCOMPARE(form->ProfilePath("fast"), prog.path("Profiles/Fast.VPF"));
        QCOMPARE(form->ProfilePath("zeta"), prog.path("Profiles/zeta.vpf"));
        form->cmbProfile->setCurrentIndex(2);
        QCOMPARE(Keys(form->vleVideo), QStringList({"Speed"}));
        QCOMPARE(form->vleVideo->Values("Speed"), QString("fast"));
        QCOMPARE(form->CurrentOutputExt, QString(".avi"));
        form->cmbProfile->setCurrentIndex(1);
        QCOMPARE(form->CurrentOutputExt, QString(".flv"));
        QVERIFY(prog.platform.messages.isEmpty());

        // A profile added while the program runs joins at the next start.
        prog.addProfile("Added.vpf", "[Main]\r\n");
        QCOMPARE(form->cmbProfile->count(), 4);
        form = prog.start();
        QCOMPARE(form->cmbProfile->count(), 5);
        QCOMPARE(form->cmbProfile->itemText(1), QString("Added"));
    }

    void withoutProfilesTheInitialRowsStay()
    {
        TestProgram prog;
        TMainForm *form = prog.start();
        QCOMPARE(form->cmbProfile->count(), 0);
        QCOMPARE(Keys(form->vleVideo), QStringList({"Video Codec", "Video Size", "Bit Rate",
                                                    "Frame Rate", "Aspect", "Disable Video"}));
        QCOMPARE(Keys(form->vleAudio), QStringList({"Audio Codec", "Audio Bitrate", "Sample Rate",
                                                    "Channels", "Volumn", "Disable Audio"}));
        QCOMPARE(Keys(form->vleAdvanced), QStringList({"Bit Exact Algorithms", "Deinterlace"}));
        QCOMPARE(Values(form->vleVideo), QStringList(6, QString()));
        QCOMPARE(form->vleVideo->height(), 108);
        QCOMPARE(form->vleAudio->height(), 108);
        QCOMPARE(form->vleAdvanced->height(), 36);
        QCOMPARE(form->CurrentOutputExt, QString());
        QString arguments;
        QVERIFY(form->AssembleProfileArguments(form->ProfilePath(form->cmbProfile->currentText()),
                                               arguments));
        QCOMPARE(arguments, QString());
        QVERIFY(prog.platform.messages.isEmpty());
    }

    void aRemovedProfileChangesNothing()
    {
        TestProgram prog;
        prog.addProfile("Example.vpf", ExampleProfile());
        TMainForm *form = prog.start();
        const QStringList before = Snapshot(form);
        QVERIFY(QFile::remove(prog.path("Profiles/Example.vpf")));
        form->cmbProfileChange();
        QCOMPARE(Snapshot(form), before);
        QString arguments;
        QVERIFY(form->AssembleProfileArguments(form->ProfilePath("Example"), arguments));
        QCOMPARE(arguments, QString());
        QVERIFY(!QFile::exists(prog.path("Profiles/Example.vpf")));
        QVERIFY(prog.platform.messages.isEmpty());
    }

    void loadsRowsByTheRules()
    {
        TestProgram prog;
        prog.addProfile("Rules.vpf", RulesProfile);
        TMainForm *form = prog.start();
        QVERIFY(prog.platform.messages.isEmpty());
        QCOMPARE(form->CurrentOutputExt, QString(".mp4"));

        TValueListEditor *video = form->vleVideo, *audio = form->vleAudio,
                         *advanced = form->vleAdvanced;
        QCOMPARE(Keys(video), QStringList({"Size", "Typed", "Late"}));
        QCOMPARE(Values(video), QStringList({"320x240", "a,b,c", "p"}));
        QCOMPARE(Keys(audio), QStringList({"Codec"}));
        QCOMPARE(Values(audio), QStringList({"AAC"}));
        QCOMPARE(Keys(advanced), QStringList({"Pick RO", "Free Caption"}));
        QCOMPARE(Values(advanced), QStringList({"Yes", "x y"}));

        // Pick-list rows: their list, always flagged read-only.
        QCOMPARE(video->GetEditStyle(0), TValueListEditor::esPickList);
        QCOMPARE(video->PickList(0), QStringList({"Original Size", "320x240", "Custom Size"}));
        QVERIFY(video->IsReadOnly(0));
        QCOMPARE(video->PickList(2), QStringList({"p", "q"}));
        QVERIFY(video->IsReadOnly(2));
        QCOMPARE(advanced->GetEditStyle(0), TValueListEditor::esPickList);
        // Free-text rows: read-only as the file says.
        QCOMPARE(video->GetEditStyle(1), TValueListEditor::esSimple);
        QVERIFY(!video->IsReadOnly(1));
        QCOMPARE(audio->GetEditStyle(0), TValueListEditor::esSimple);
        QVERIFY(audio->IsReadOnly(0));
        QVERIFY(advanced->IsReadOnly(1));

        // Heights: rows x 18.
        QCOMPARE(video->maximumHeight(), 54);
        QCOMPARE(audio->maximumHeight(), 18);
        QCOMPARE(advanced->maximumHeight(), 36);
        QCoreApplication::processEvents();
        QCOMPARE(video->height(), 54);

        // Read-only free text: silver and not typed into; editable free
        // text: black and typed.
        QVERIFY(ValueCellIsSilver(audio, "Codec"));
        QVERIFY(ValueCellIsSilver(advanced, "Free Caption"));
        QVERIFY(!ValueCellIsSilver(video, "Typed"));
        QVERIFY(!ValueCellIsSilver(advanced, "Pick RO"));
        QVERIFY(!TypeText(audio, "Codec", "mp3"));
        QCOMPARE(audio->Values("Codec"), QString("AAC"));
        QVERIFY(TypeText(video, "Typed", "hello"));
        QCOMPARE(video->Values("Typed"), QString("hello"));
        // A pick list marked ReadOnly is chosen like any other.
        QVERIFY(ChooseCaption(advanced, "Pick RO", "No"));
        QCOMPARE(advanced->Values("Pick RO"), QString("No"));

        QString arguments;
        QVERIFY(form->AssembleProfileArguments(form->ProfilePath("Rules"), arguments));
        QCOMPARE(arguments, QString(" -c aac -s 320x240 -t hello -f xy -l 1"));
        QVERIFY(prog.platform.messages.isEmpty());
    }

    void loadingLeavesAWellFormedFileAsItWas()
    {
        TestProgram prog;
        prog.addProfile("Example.vpf", ExampleProfile());
        QByteArray lfOnly = ExampleProfile();
        lfOnly.replace("\r\n", "\n");
        prog.addProfile("LF.vpf", lfOnly);
        TMainForm *form = prog.start();
        QString arguments;
        QVERIFY(form->AssembleProfileArguments(form->ProfilePath("Example"), arguments));
        form->cmbProfile->setCurrentIndex(1);
        QVERIFY(form->AssembleProfileArguments(form->ProfilePath("LF"), arguments));
        QCOMPARE(form->vleVideo->Values("Bit Rate"), QString("800"));
        QCOMPARE(prog.readFile("Profiles/Example.vpf"), ExampleProfile());
        // Only read: the line ends stay as well.
        QCOMPARE(prog.readFile("Profiles/LF.vpf"), lfOnly);
    }

    void parameterlessProfilesEmptyTheEditors_data()
    {
        QTest::addColumn<QByteArray>("main");
        QTest::newRow("Para missing") << QByteArray("[Main]\r\nType=mov\r\n0=A\r\n");
        QTest::newRow("Para 0") << QByteArray("[Main]\r\nType=mov\r\nPara=0\r\n0=A\r\n");
        QTest::newRow("Para negative") << QByteArray("[Main]\r\nType=mov\r\nPara=-2\r\n0=A\r\n");
    }
    void parameterlessProfilesEmptyTheEditors()
    {
        QFETCH(QByteArray, main);
        TestProgram prog;
        prog.addProfile("Empty.vpf", main + "[A]\r\nSort=1\r\nList=0\r\nCaption=x\r\n");
        TMainForm *form = prog.start();
        QCOMPARE(form->vleVideo->RowCount(), 0);
        QCOMPARE(form->vleAudio->RowCount(), 0);
        QCOMPARE(form->vleAdvanced->RowCount(), 0);
        QCOMPARE(form->vleVideo->maximumHeight(), 0);
        QCOMPARE(form->CurrentOutputExt, QString(".mov"));
        QString arguments;
        QVERIFY(form->AssembleProfileArguments(form->ProfilePath("Empty"), arguments));
        QCOMPARE(arguments, QString());
        QVERIFY(prog.platform.messages.isEmpty());
    }

    void groupsCollapseAndExpand()
    {
        TestProgram prog;
        TMainForm *form = prog.start();
        struct Group {
            QPushButton *button;
            QWidget *header;
            TValueListEditor *editor;
            int start;
        };
        const Group groups[] = {{form->btnOutput, form->panOutput, form->vleOutput, 55},
                                {form->btnVideo, form->panVideo, form->vleVideo, 108},
                                {form->btnAudio, form->panAudio, form->vleAudio, 108},
                                {form->btnAdvanced, form->panAdvanced, form->vleAdvanced, 36}};
        for (const Group &g : groups) {
            const int rows = g.editor->RowCount();
            QCOMPARE(g.button->text(), QString("-"));
            // The caption is painted in a bold 16-pixel font.
            g.button->ensurePolished();
            QCOMPARE(g.button->font().pixelSize(), 16);
            QVERIFY(g.button->font().bold());
            QCOMPARE(g.editor->height(), g.start);
            QTest::mouseClick(g.button, Qt::LeftButton);
            QCOMPARE(g.button->text(), QString("+"));
            QCOMPARE(g.editor->maximumHeight(), 1);
            QTest::mouseClick(g.button, Qt::LeftButton);
            QCOMPARE(g.button->text(), QString("-"));
            QCOMPARE(g.editor->maximumHeight(), rows * 18 + 1);
            // A double click on the header does the same.
            QTest::mouseDClick(g.header, Qt::LeftButton, {}, QPoint(60, 9));
            QCOMPARE(g.button->text(), QString("+"));
            QCOMPARE(g.editor->maximumHeight(), 1);
            QTest::mouseDClick(g.header, Qt::LeftButton, {}, QPoint(60, 9));
            QCOMPARE(g.button->text(), QString("-"));
            QCOMPARE(g.editor->maximumHeight(), rows * 18 + 1);
        }
        QCoreApplication::processEvents();
        QCOMPARE(form->vleAudio->height(), 6 * 18 + 1);
        // The headers below follow the editors.
        QTRY_COMPARE(form->panAudio->y(), form->vleVideo->geometry().bottom() + 1);
    }

    void aCollapsedGroupIsShownAgainByALoad()
    {
        TestProgram prog;
        prog.addProfile("Example.vpf", ExampleProfile());
        prog.addProfile("Rules.vpf", RulesProfile);
        TMainForm *form = prog.start();
        QTest::mouseClick(form->btnVideo, Qt::LeftButton);
        QCOMPARE(form->vleVideo->maximumHeight(), 1);
        form->cmbProfile->setCurrentIndex(1);
        QCOMPARE(form->vleVideo->maximumHeight(), 3 * 18);
        QCOMPARE(form->btnVideo->text(), QString("+"));
        QTest::mouseClick(form->btnVideo, Qt::LeftButton);
        QCOMPARE(form->vleVideo->maximumHeight(), 3 * 18 + 1);
        QCOMPARE(form->btnVideo->text(), QString("-"));
    }

    void sampleProfileThroughTheDialogs()
    {
        TestProgram prog;
        prog.addProfile("Example.vpf", ExampleProfile());
        TMainForm *form = prog.start();
        TValueListEditor *video = form->vleVideo;
        QCOMPARE(form->CurrentOutputExt, QString(".avi"));
        QCOMPARE(Values(video), QStringList({"MPEG-4", "Original Size", "800"}));
        QVERIFY(ValueCellIsSilver(video, "Video Codec"));
        QCOMPARE(Values(form->vleAudio), QStringList({"No"}));
        QCOMPARE(Values(form->vleAdvanced), QStringList({"No"}));

        QString arguments;
        QVERIFY(form->AssembleProfileArguments(form->ProfilePath("Example"), arguments));
        QCOMPARE(arguments, QString(" -vc mp4v -rate 800"));

        QVERIFY(!SizeForm->isVisible());
        QVERIFY(ChooseCaption(video, "Video Size", "Custom Size"));
        QVERIFY(SizeForm->isVisible());
        QVERIFY(!form->isEnabled());
        auto *width = FIND(QLineEdit, SizeForm, "edtWidth");
        auto *height = FIND(QLineEdit, SizeForm, "edtHeight");
        QTest::keyClicks(width, "640");
        QTest::keyClicks(height, "360");
        QTest::mouseClick(FIND(QPushButton, SizeForm, "btnOK"), Qt::LeftButton);
        QVERIFY(!SizeForm->isVisible());
        QVERIFY(form->isEnabled());
        QCOMPARE(video->Values("Video Size"), QString("640x360"));

        QVERIFY(TypeText(video, "Bit Rate", "1200"));
        QCOMPARE(video->Values("Bit Rate"), QString("1200"));
        DoubleClickValue(form->vleAudio, 0);
        QCOMPARE(form->vleAudio->Values("Disable Audio"), QString("Yes"));

        arguments.clear();
        QVERIFY(form->AssembleProfileArguments(form->ProfilePath(form->cmbProfile->currentText()),
                                               arguments));
        QCOMPARE(arguments, QString(" -vc mp4v -size 640x360 -rate 1200 -noaudio "));

        // Original Size and an empty bit rate drop their pieces.
        QVERIFY(ChooseCaption(video, "Video Size", "Original Size"));
        QVERIFY(!SizeForm->isVisible());
        QVERIFY(TypeText(video, "Bit Rate", ""));
        arguments.clear();
        QVERIFY(form->AssembleProfileArguments(form->ProfilePath("Example"), arguments));
        QCOMPARE(arguments, QString(" -vc mp4v -noaudio "));
        QVERIFY(prog.platform.messages.isEmpty());
        QCOMPARE(prog.readFile("Profiles/Example.vpf"), ExampleProfile());
    }

    void sizeDialogOpensOnlyForCustomSizeInTheSizeRow()
    {
        TestProgram prog;
        prog.addProfile("Example.vpf", ExampleProfile());
        prog.addProfile("Lower.vpf", "[Main]\r\nPara=1\r\n0=video size\r\n[video size]\r\nSort=1\r\n"
                                     "Caption=Original Size,Custom Size,\r\nValue=,,\r\ncmd=-s\r\n");
        TMainForm *form = prog.start();
        TValueListEditor *video = form->vleVideo;

        QVERIFY(ChooseCaption(video, "Video Size", "640x480"));
        QCOMPARE(video->Values("Video Size"), QString("640x480"));
        QVERIFY(!SizeForm->isVisible());

        // Another row selected: the text alone does not open the dialog.
        ClickValue(video, video->FindRow("Bit Rate"));
        video->SetValues("Video Size", "Custom Size");
        QVERIFY(!SizeForm->isVisible());

        // Stepping onto Custom Size by double click opens it.
        QVERIFY(ChooseCaption(video, "Video Size", "640x480"));
        DoubleClickValue(video, video->FindRow("Video Size"));
        QCOMPARE(video->Values("Video Size"), QString("Custom Size"));
        QVERIFY(SizeForm->isVisible());
        QTest::mouseClick(FIND(QPushButton, SizeForm, "btnCancel"), Qt::LeftButton);
        QVERIFY(!SizeForm->isVisible());
        QCOMPARE(video->Values("Video Size"), QString("Original Size"));
        QVERIFY(form->isEnabled());

        // The row's name must be exactly "Video Size".
        form->cmbProfile->setCurrentIndex(1);
        QVERIFY(ChooseCaption(video, "video size", "Custom Size"));
        QCOMPARE(video->Values("video size"), QString("Custom Size"));
        QVERIFY(!SizeForm->isVisible());
        QVERIFY(form->isEnabled());
    }

    void mousePressRedrawsTheFocusColour()
    {
        TestProgram prog;
        prog.addProfile("Example.vpf", ExampleProfile());
        TMainForm *form = prog.start();
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form));
        ClickValue(form->vleVideo, 0);
        QCoreApplication::processEvents();
        const QColor focus(49, 106, 197);
        auto keyCellHas = [&](TValueListEditor *vle) {
            const QImage image = vle->grab().toImage();
            QRect cell = CellRect(vle, vle->currentRow() < 0 ? 0 : vle->currentRow(), 0);
            cell.translate(vle->viewport()->mapTo(vle, QPoint(0, 0)));
            return RegionHas(image, cell.adjusted(1, 1, -1, -1), focus);
        };
        QVERIFY(keyCellHas(form->vleVideo));
        ClickValue(form->vleAdvanced, 0);
        QCoreApplication::processEvents();
        QVERIFY(keyCellHas(form->vleAdvanced));
        QVERIFY(!keyCellHas(form->vleVideo));
    }

    // Every integrity fault: a message naming the profile, editors and file
    // untouched, no argument text and no run.
    void malformedProfilesAreRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("fault");
        QTest::newRow("first Sort invalid")
            << QByteArray("[Main]\r\nType=wmv\r\nPara=2\r\n0=A\r\n1=B\r\n[A]\r\nSort=5\r\nList=0\r\n"
                          "[B]\r\nSort=1\r\nList=0\r\n")
            << "Sort";
        QTest::newRow("Index beyond captions")
            << QByteArray("[Main]\r\nType=wmv\r\nPara=1\r\n0=Video Size\r\n[Video Size]\r\nSort=1\r\n"
                          "Caption=Original Size,Custom Size,\r\nValue=,,\r\nIndex=7\r\ncmd=-s\r\n")
            << "Index 7";
        QTest::newRow("Index negative")
            << QByteArray("[Main]\r\nType=wmv\r\nPara=1\r\n0=A\r\n[A]\r\nSort=1\r\n"
                          "Caption=x,\r\nValue=1,\r\nIndex=-1\r\n")
            << "Index -1";
        QTest::newRow("values shorter than captions")
            << QByteArray("[Main]\r\nType=wmv\r\nPara=1\r\n0=A\r\n[A]\r\nSort=1\r\n"
                          "Caption=x,y,\r\nValue=1,\r\nIndex=1\r\ncmd=-a\r\n")
            << "only 1 values";
        QTest::newRow("Para above names")
            << QByteArray("[Main]\r\nType=wmv\r\nPara=4\r\n0=A\r\n1=B\r\n[A]\r\nSort=1\r\nList=0\r\n"
                          "[B]\r\nList=0\r\n")
            << "only 2";
        QTest::newRow("empty name")
            << QByteArray("[Main]\r\nType=wmv\r\nPara=2\r\n0=A\r\n1=\r\n[A]\r\nSort=1\r\nList=0\r\n")
            << "empty name";
        QTest::newRow("duplicate name")
            << QByteArray("[Main]\r\nType=wmv\r\nPara=2\r\n0=Rate\r\n1=rate\r\n[Rate]\r\nSort=1\r\n"
                          "List=0\r\n")
            << "same name";
        QTest::newRow("bracket in name")
            << QByteArray("[Main]\r\nType=wmv\r\nPara=1\r\n0=A]\r\n[A]]\r\nSort=1\r\nList=0\r\n")
            << "\"]\"";
        QTest::newRow("NUL byte")
            << QByteArray("[Main]\r\nType=wmv\r\nPara=1\r\n0=A\r\n[A]\r\nSort=1\r\nList=0\r\n") +
                   QByteArray(1, '\0') + QByteArray("[B]\r\nSort=1\r\n")
            << "NUL";
    }
    void malformedProfilesAreRefused()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, fault);
        TestProgram prog;
        prog.fakeEncoder();
        prog.addProfile("A Good.vpf", ExampleProfile());
        prog.addProfile("B Broken.vpf", bytes);
        TMainForm *form = prog.start();
        QVERIFY(prog.platform.messages.isEmpty());
        QTest::mouseClick(form->btnAudio, Qt::LeftButton);
        const QStringList before = Snapshot(form);

        form->cmbProfile->setCurrentIndex(1);
        QCOMPARE(prog.platform.messages.size(), 1);
        const FakePlatform::Message message = prog.platform.messages.first();
        QVERIFY2(message.text.contains("\"B Broken\""), qPrintable(message.text));
        QVERIFY2(message.text.contains(fault), qPrintable(message.text));
        QCOMPARE(Snapshot(form), before);
        QCOMPARE(form->btnAudio->text(), QString("+"));
        QCOMPARE(prog.readFile("Profiles/B Broken.vpf"), bytes);

        QString arguments;
        QVERIFY(!form->AssembleProfileArguments(form->ProfilePath("B Broken"), arguments));
        QCOMPARE(arguments, QString());
        QCOMPARE(prog.platform.messages.size(), 2);
        QCOMPARE(prog.platform.messages.last().text, message.text);
        QCOMPARE(prog.readFile("Profiles/B Broken.vpf"), bytes);

        // Start stops before anything runs and leaves the window idle.
        auto *row = new QTreeWidgetItem(form->ltvTask);
        row->setText(0, prog.path("input.avi"));
        form->SetListButtonsEnabled(true);
        QVERIFY(form->tbtnStart->isEnabled());
        form->tbtnStart->click();
        QCOMPARE(prog.platform.messages.size(), 3);
        QCOMPARE(prog.platform.messages.last().text, message.text);
        QVERIFY(prog.fakeEncoder().runs().isEmpty());
        QCOMPARE(form->RunState, 0);
        QVERIFY(form->tbtnStart->isEnabled());
        QVERIFY(form->gpbProfile->isEnabled());
        QVERIFY(form->cmbProfile->isVisibleTo(form));
        QCOMPARE(prog.readFile("Profiles/B Broken.vpf"), bytes);
        QCOMPARE(Snapshot(form), before);
    }

    void aMalformedFirstProfileKeepsTheInitialRows()
    {
        TestProgram prog;
        const QByteArray bytes = "[Main]\r\nType=avi\r\nPara=1\r\n0=A\r\n[A]\r\nCaption=x,\r\n";
        prog.addProfile("Broken.vpf", bytes);
        TMainForm *form = prog.start();
        QCOMPARE(prog.platform.messages.size(), 1);
        QVERIFY(prog.platform.messages.first().text.contains("\"Broken\""));
        QCOMPARE(Keys(form->vleAdvanced), QStringList({"Bit Exact Algorithms", "Deinterlace"}));
        QCOMPARE(form->vleVideo->height(), 108);
        QCOMPARE(form->CurrentOutputExt, QString());
        QCOMPARE(prog.readFile("Profiles/Broken.vpf"), bytes);
    }
};

QTEST_MAIN(TestProfileEditor)
#include "tst_profileeditor.moc"
