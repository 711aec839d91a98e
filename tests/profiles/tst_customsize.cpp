// The custom video size dialog, opened by choosing "Custom Size" in the main
// window's "Video Size" row.
#include "ProfileTestUtil.h"
#include "TestProgram.h"

#include "app/MainForm.h"
#include "profiles/CustomSize.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace ProfileTest;

class TestCustomSize : public QObject {
    Q_OBJECT

    std::unique_ptr<TestProgram> m_prog;
    TMainForm *m_form = nullptr;
    QLineEdit *m_width = nullptr, *m_height = nullptr;
    QPushButton *m_ok = nullptr, *m_cancel = nullptr;

    QString sizeRow() const { return m_form->vleVideo->Values("Video Size"); }

    // Opens the dialog the way the user does.
    bool open()
    {
        if (!ChooseCaption(m_form->vleVideo, "Video Size", "Original Size"))
            return false;
        return ChooseCaption(m_form->vleVideo, "Video Size", "Custom Size") && SizeForm->isVisible();
    }

    void type(QLineEdit *edit, const QString &text)
    {
        edit->clear();
        QTest::keyClicks(edit, text);
    }

private slots:
    void init()
    {
        m_prog = std::make_unique<TestProgram>();
        m_prog->addProfile("Example.vpf", ExampleProfile());
        m_form = m_prog->start();
        m_width = FIND(QLineEdit, SizeForm, "edtWidth");
        m_height = FIND(QLineEdit, SizeForm, "edtHeight");
        m_ok = FIND(QPushButton, SizeForm, "btnOK");
        m_cancel = FIND(QPushButton, SizeForm, "btnCancel");
    }
    void cleanup()
    {
        m_prog.reset();
        m_form = nullptr;
    }

    void looksAsDescribed()
    {
        QCOMPARE(SizeForm->windowTitle(), QString("Video Size of output files"));
        QCOMPARE(SizeForm->size(), QSize(336, 106));
        QCOMPARE(SizeForm->minimumSize(), SizeForm->maximumSize());
        QVERIFY(!SizeForm->isModal());
        QVERIFY(!SizeForm->isVisible());
        QStringList labels;
        for (QLabel *label : SizeForm->findChildren<QLabel *>())
            labels << label->text().remove('&'); // each with a mnemonic for its field
        labels.sort();
        QCOMPARE(labels, QStringList({"Height:", "Width:"}));
        QCOMPARE(FIND(QLabel, SizeForm, "labWidth")->buddy(), m_width);
        QCOMPARE(FIND(QLabel, SizeForm, "labHeight")->buddy(), m_height);
        QCOMPARE(m_ok->text(), QString("&OK"));
        QCOMPARE(m_cancel->text(), QString("&Cancel"));
        QCOMPARE(m_width->text(), QString());
        QCOMPARE(m_height->text(), QString());
    }

    void okWritesTheSizeAsTyped_data()
    {
        QTest::addColumn<QString>("width");
        QTest::addColumn<QString>("height");
        QTest::newRow("plain") << "640" << "360";
        QTest::newRow("smallest and largest") << "1" << "16384";
        QTest::newRow("leading zero") << "0640" << "0360";
    }
    void okWritesTheSizeAsTyped()
    {
        QFETCH(QString, width);
        QFETCH(QString, height);
        QVERIFY(open());
        QVERIFY(!m_form->isEnabled());
        QVERIFY(SizeForm->isEnabled());
        type(m_width, width);
        type(m_height, height);
        QTest::mouseClick(m_ok, Qt::LeftButton);
        QVERIFY(m_prog->platform.messages.isEmpty());
        QVERIFY(!SizeForm->isVisible());
        QVERIFY(m_form->isEnabled());
        QCOMPARE(sizeRow(), width + "x" + height);
    }

    void anInvalidWidthKeepsTheDialogOpen()
    {
        QVERIFY(open());
        type(m_width, "abc");
        type(m_height, "360");
        QTest::mouseClick(m_ok, Qt::LeftButton);
        QCOMPARE(m_prog->platform.messages.size(), 1);
        const FakePlatform::Message m = m_prog->platform.messages.first();
        QCOMPARE(m.text, QString("Please specify a proper width for output videos."));
        QCOMPARE(m.caption, QString("Incorrect Width"));
        QCOMPARE(m.icon, Platform::Icon::Information);
        QCOMPARE(m.buttons, Platform::Buttons::Ok);
        QVERIFY(SizeForm->isVisible());
        QCOMPARE(SizeForm->focusWidget(), m_width);
        QCOMPARE(sizeRow(), QString("Custom Size"));
        QVERIFY(!m_form->isEnabled());
        // Closing now falls back to Original Size.
        SizeForm->close();
        QVERIFY(!SizeForm->isVisible());
        QCOMPARE(sizeRow(), QString("Original Size"));
        QVERIFY(m_form->isEnabled());
    }

    void formsTheEncoderCannotTakeAreRefused_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("leading blank") << " 360";
        QTest::newRow("trailing blank") << "360 ";
        QTest::newRow("plus sign") << "+360";
        QTest::newRow("dollar hexadecimal") << "$280";
        QTest::newRow("0x hexadecimal") << "0x168";
        QTest::newRow("negative") << "-640";
        QTest::newRow("zero") << "0";
        QTest::newRow("above 16384") << "16385";
        QTest::newRow("far above") << "99999999999";
    }
    void formsTheEncoderCannotTakeAreRefused()
    {
        // Each would reach the size switch as typed ("-s 640x 360").
        QFETCH(QString, text);
        QVERIFY(open());
        type(m_width, text);
        type(m_height, "360");
        QTest::mouseClick(m_ok, Qt::LeftButton);
        type(m_width, "640");
        type(m_height, text);
        QTest::mouseClick(m_ok, Qt::LeftButton);
        QCOMPARE(m_prog->platform.messages.size(), 2);
        QCOMPARE(m_prog->platform.messages[0].text, QString("Please specify a proper width for output videos."));
        QCOMPARE(m_prog->platform.messages[1].text, QString("Please specify a proper height for output videos."));
        QVERIFY(SizeForm->isVisible());
        QCOMPARE(sizeRow(), QString("Custom Size"));
    }

    void anInvalidHeightKeepsTheDialogOpen_data()
    {
        QTest::addColumn<QString>("height");
        QTest::newRow("empty") << "";
        QTest::newRow("trailing letters") << "36a";
        QTest::newRow("decimal point") << "360.0";
        QTest::newRow("too large") << "2147483648";
    }
    void anInvalidHeightKeepsTheDialogOpen()
    {
        QFETCH(QString, height);
        QVERIFY(open());
        type(m_width, "640");
        type(m_height, height);
        QTest::mouseClick(m_ok, Qt::LeftButton);
        QCOMPARE(m_prog->platform.messages.size(), 1);
        const FakePlatform::Message m = m_prog->platform.messages.first();
        QCOMPARE(m.text, QString("Please specify a proper height for output videos."));
        QCOMPARE(m.caption, QString("Incorrect Height"));
        QCOMPARE(m.icon, Platform::Icon::Information);
        QVERIFY(SizeForm->isVisible());
        QCOMPARE(SizeForm->focusWidget(), m_height);
        QCOMPARE(sizeRow(), QString("Custom Size"));
        // Fixed, it goes through.
        type(m_height, "360");
        QTest::mouseClick(m_ok, Qt::LeftButton);
        QVERIFY(!SizeForm->isVisible());
        QCOMPARE(sizeRow(), QString("640x360"));
        QCOMPARE(m_prog->platform.messages.size(), 1);
    }

    void everyWayOutFallsBackToOriginalSize_data()
    {
        QTest::addColumn<int>("way");
        QTest::newRow("Cancel") << 0;
        QTest::newRow("close box") << 1;
        QTest::newRow("Escape") << 2;
    }
    void everyWayOutFallsBackToOriginalSize()
    {
        QFETCH(int, way);
        QVERIFY(open());
        type(m_width, "640");
        type(m_height, "360");
        if (way == 0)
            QTest::mouseClick(m_cancel, Qt::LeftButton);
        else if (way == 1)
            SizeForm->close();
        else
            QTest::keyClick(m_width, Qt::Key_Escape);
        QVERIFY(!SizeForm->isVisible());
        QCOMPARE(sizeRow(), QString("Original Size"));
        QVERIFY(m_form->isEnabled());
        QVERIFY(m_prog->platform.messages.isEmpty());
        // The main window's row text then decides the argument: none.
        QString arguments;
        QVERIFY(m_form->AssembleProfileArguments(m_form->ProfilePath("Example"), arguments));
        QVERIFY(!arguments.contains("-size"));
    }

    void theMainWindowStaysWhileShown()
    {
        // A close request from the main window's title bar is ignored, so
        // the program does not end with the dialog's edits.
        QVERIFY(open());
        type(m_width, "640");
        QVERIFY(!m_form->close());
        QVERIFY(m_form->isVisible());
        QVERIFY(SizeForm->isVisible());
        QCOMPARE(m_width->text(), QString("640"));
        QVERIFY(!m_prog->readFile("Preferences.ini").contains("Profile=")); // no close ran
        // Once the dialog is gone, the close goes through.
        type(m_height, "360");
        QTest::mouseClick(m_ok, Qt::LeftButton);
        QVERIFY(m_form->close());
        QVERIFY(!m_form->isVisible());
    }

    void reopeningShowsTheLastTexts()
    {
        QVERIFY(open());
        type(m_width, "720");
        type(m_height, "576");
        QTest::keyClick(m_height, Qt::Key_Return); // the default button
        QVERIFY(!SizeForm->isVisible());
        QCOMPARE(sizeRow(), QString("720x576"));
        QVERIFY(open());
        QCOMPARE(m_width->text(), QString("720"));
        QCOMPARE(m_height->text(), QString("576"));
        type(m_width, "x");
        QTest::mouseClick(m_cancel, Qt::LeftButton);
        QVERIFY(open());
        QCOMPARE(m_width->text(), QString("x"));
        QTest::mouseClick(m_cancel, Qt::LeftButton);
    }

    void theSizeReachesTheArguments()
    {
        QVERIFY(open());
        type(m_width, "640");
        type(m_height, "360");
        QTest::mouseClick(m_ok, Qt::LeftButton);
        QString arguments;
        QVERIFY(m_form->AssembleProfileArguments(m_form->ProfilePath("Example"), arguments));
        QCOMPARE(arguments, QString(" -vc mp4v -size 640x360 -rate 800"));
        // The written text does not reopen the dialog.
        QVERIFY(!SizeForm->isVisible());
        QVERIFY(m_form->isEnabled());
    }
};

QTEST_MAIN(TestCustomSize)
#include "tst_customsize.moc"
