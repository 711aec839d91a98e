// The key/value grid of the profile groups and the per-file options: rows,
// change signals, cell editors, the mouse press guard, drawing and columns.

#include "profiles/ValueListEditor.h"

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <QtTest>

namespace {

const QColor FocusKey(49, 106, 197);
const QColor Silver(192, 192, 192);

// A window with the grid above a plain edit box that takes the focus away.
struct Host {
    QWidget window;
    TValueListEditor *vle;
    QLineEdit *other;

    Host()
    {
        auto *layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        vle = new TValueListEditor;
        vle->setObjectName("vleTest");
        other = new QLineEdit;
        layout->addWidget(vle);
        layout->addWidget(other);
        window.resize(300, 200);
    }

    bool Show()
    {
        window.show();
        window.activateWindow();
        return QTest::qWaitForWindowActive(&window);
    }

    QModelIndex Cell(int row, int column) const { return vle->model()->index(row, column); }
    QRect CellRect(int row, int column) const { return vle->visualRect(Cell(row, column)); }
    QPoint CellCentre(int row, int column) const { return CellRect(row, column).center(); }
    QWidget *Editor(int row) const { return vle->indexWidget(Cell(row, 1)); }

    void Click(int row, int column)
    {
        QTest::mouseClick(vle->viewport(), Qt::LeftButton, {}, CellCentre(row, column));
    }

    // The same press as a real one: through the window, so that Qt picks
    // the widget under the pointer and finds double clicks itself.
    QPoint InWindow(const QPoint &viewportPos) const
    {
        return vle->viewport()->mapTo(&window, viewportPos);
    }

    QColor Pixel(const QImage &image, const QPoint &viewportPos) const
    {
        const QPoint p = vle->viewport()->mapTo(vle, viewportPos)
                         * image.devicePixelRatio();
        return image.pixelColor(p);
    }
};

bool ImageRegionHas(const QImage &image, const QRect &rect, const QColor &colour)
{
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            if (image.pixelColor(x, y).rgb() == colour.rgb())
                return true;
    return false;
}

void AddPickRow(TValueListEditor *vle, const QString &key, const QStringList &items, int index)
{
    const int row = vle->AppendRow(key, QString());
    vle->SetEditStyle(row, TValueListEditor::esPickList);
    vle->SetPickList(row, items);
    vle->SetValue(row, items.at(index));
    vle->SetReadOnly(row, true);
}

} // namespace

class TstValueListEditor : public QObject {
    Q_OBJECT
private slots:
    void rowsAppendDeleteAndFindIgnoringCase();
    void contentChangedOnlyOnChange();
    void rowsHeightAndLayout();
    void doubleClickCyclesPickList();
    void doubleClickThroughWindowCyclesOpenDropDown();
    void pickListOffersFixedDropDown();
    void codeValueOutsidePickListIsNotOverwritten();
    void readOnlySimpleRowOpensNoEditor();
    void simpleRowEditsAndValidatesOnFocusOut();
    void simpleRowValidatesOnMovingAndEnter();
    void guardSwallowsPress();
    void currentKeyCellColours();
    void readOnlyTextIsSilver();
    void resizeWidensValueColumnOnly();
    void draggingBoundaryResizesKeyColumn();
    void keyboardStaysInValueColumn();
};

void TstValueListEditor::rowsAppendDeleteAndFindIgnoringCase()
{
    TValueListEditor vle;
    QSignalSpy changed(&vle, &TValueListEditor::ContentChanged);
    QCOMPARE(vle.AppendRow("New Filename", "clip.mp4"), 0);
    QCOMPARE(vle.AppendRow("Start Time", "00:00:00.0"), 1);
    QCOMPARE(vle.AppendRow("End Time", "00:01:40"), 2);
    QCOMPARE(changed.count(), 3);
    QCOMPARE(vle.RowCount(), 3);
    QCOMPARE(vle.columnCount(), 2);
    QCOMPARE(vle.Key(1), QString("Start Time"));
    QCOMPARE(vle.Value(2), QString("00:01:40"));

    QCOMPARE(vle.FindRow("new FILENAME"), 0);
    QCOMPARE(vle.FindRow("end time"), 2);
    QCOMPARE(vle.FindRow("Length"), -1);
    QCOMPARE(vle.Values("START TIME"), QString("00:00:00.0"));
    QCOMPARE(vle.Values("Length"), QString());

    vle.SetValues("new filename", "movie.final.mpg");
    QCOMPARE(vle.Value(0), QString("movie.final.mpg"));
    QCOMPARE(changed.count(), 4);
    vle.SetValues("Length", "x"); // no such row: nothing
    QCOMPARE(changed.count(), 4);

    // Key cells are items carrying the key, never editable.
    QTableWidgetItem *key = vle.item(1, 0);
    QVERIFY(key);
    QCOMPARE(key->text(), QString("Start Time"));
    QVERIFY(!(key->flags() & Qt::ItemIsEditable));
    QVERIFY(vle.item(1, 1)->flags() & Qt::ItemIsEditable);

    vle.DeleteRow(1);
    QCOMPARE(changed.count(), 5);
    QCOMPARE(vle.RowCount(), 2);
    QCOMPARE(vle.FindRow("Start Time"), -1);
    QCOMPARE(vle.FindRow("End Time"), 1);
    vle.DeleteRow(7); // out of range: nothing
    QCOMPARE(changed.count(), 5);
    QCOMPARE(vle.Key(7), QString());
    QCOMPARE(vle.Value(-1), QString());

    vle.ClearRows();
    QCOMPARE(vle.RowCount(), 0);
    QCOMPARE(changed.count(), 7);
    vle.ClearRows();
    QCOMPARE(changed.count(), 7);
}

void TstValueListEditor::contentChangedOnlyOnChange()
{
    TValueListEditor vle;
    vle.AppendRow("Bit Rate", "800");
    QSignalSpy changed(&vle, &TValueListEditor::ContentChanged);
    QSignalSpy validated(&vle, &TValueListEditor::ValueValidated);
    vle.SetValue(0, "800");
    QCOMPARE(changed.count(), 0);
    vle.SetValue(0, "1200");
    QCOMPARE(changed.count(), 1);
    QCOMPARE(vle.Value(0), QString("1200"));
    vle.SetValue(0, "1200");
    QCOMPARE(changed.count(), 1);
    vle.SetValue(3, "x");
    QCOMPARE(changed.count(), 1);
    // Code never validates; only the user does.
    QCOMPARE(validated.count(), 0);

    // Row attributes are not content.
    vle.SetReadOnly(0, true);
    vle.SetEditStyle(0, TValueListEditor::esPickList);
    vle.SetPickList(0, {"a", "b"});
    QCOMPARE(changed.count(), 1);
    QVERIFY(vle.IsReadOnly(0));
    QCOMPARE(vle.GetEditStyle(0), TValueListEditor::esPickList);
    QCOMPARE(vle.PickList(0), QStringList({"a", "b"}));
    QVERIFY(!vle.IsReadOnly(5));
    QCOMPARE(vle.GetEditStyle(5), TValueListEditor::esSimple);
    QVERIFY(vle.PickList(5).isEmpty());
}

void TstValueListEditor::rowsHeightAndLayout()
{
    // At the designed font rows are 17 pixels high; a larger font makes them
    // as high as it needs.
    QFont design("DejaVu Sans");
    design.setPixelSize(11);
    TValueListEditor large;
    large.setFont(QFont("DejaVu Sans", 13));
    large.AppendRow("New Filename", QString());
    QCOMPARE(large.rowHeight(0), large.fontMetrics().height() + 4);
    TValueListEditor vle;
    vle.setFont(design);
    QCOMPARE(vle.RowsHeight(), 0);
    for (const char *key : {"New Filename", "Start Time", "End Time"})
        vle.AppendRow(key, QString());
    QCOMPARE(vle.RowsHeight(1), 55);
    QCOMPARE(vle.RowsHeight(), 54);
    QCOMPARE(vle.rowHeight(0), 17);
    QCOMPARE(vle.rowHeight(2), 17);
    QVERIFY(vle.horizontalHeader()->isHidden());
    QVERIFY(vle.verticalHeader()->isHidden());
    QCOMPARE(vle.frameShape(), QFrame::NoFrame);
    QVERIFY(!vle.wordWrap());
    vle.SetColumnWidths(160, 200);
    QCOMPARE(vle.KeyColumnWidth(), 160);
    QCOMPARE(vle.columnWidth(0), 160);
}

void TstValueListEditor::doubleClickCyclesPickList()
{
    Host host;
    AddPickRow(host.vle, "Video Codec", {"MPEG4", "H264", "XviD"}, 1);
    host.vle->AppendRow("Bit Rate", "800");
    QVERIFY(host.Show());
    QSignalSpy changed(host.vle, &TValueListEditor::ContentChanged);
    QSignalSpy validated(host.vle, &TValueListEditor::ValueValidated);
    QSignalSpy pressed(host.vle, &TValueListEditor::MousePressed);

    QTest::mouseDClick(host.vle->viewport(), Qt::LeftButton, {}, host.CellCentre(0, 1));
    QCOMPARE(host.vle->Value(0), QString("XviD"));
    QCOMPARE(validated.count(), 1);
    QCOMPARE(validated.at(0).at(0).toInt(), 0);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(pressed.count(), 1);

    // After the last caption comes the first.
    QTest::mouseDClick(host.vle->viewport(), Qt::LeftButton, {}, host.CellCentre(0, 1));
    QCOMPARE(host.vle->Value(0), QString("MPEG4"));
    QCOMPARE(validated.count(), 2);
    QCOMPARE(changed.count(), 2);

    // The open drop-down follows the stepped caption, so leaving it does not
    // bring the old caption back.
    auto *box = qobject_cast<QComboBox *>(host.Editor(0));
    QVERIFY(box);
    QCOMPARE(box->currentText(), QString("MPEG4"));
    host.other->setFocus();
    QTRY_VERIFY(!host.Editor(0));
    QCOMPARE(host.vle->Value(0), QString("MPEG4"));
    QCOMPARE(validated.count(), 2);

    // A caption that differs only in case counts as that caption.
    host.vle->SetValue(0, "h264");
    QTest::mouseDClick(host.vle->viewport(), Qt::LeftButton, {}, host.CellCentre(0, 1));
    QCOMPARE(host.vle->Value(0), QString("XviD"));

    // A free-text row does not step.
    validated.clear();
    QTest::mouseDClick(host.vle->viewport(), Qt::LeftButton, {}, host.CellCentre(1, 1));
    QCOMPARE(host.vle->Value(1), QString("800"));
    QCOMPARE(validated.count(), 0);
}

void TstValueListEditor::doubleClickThroughWindowCyclesOpenDropDown()
{
    Host host;
    AddPickRow(host.vle, "Aspect", {"4:3", "16:9"}, 0);
    QVERIFY(host.Show());
    QSignalSpy validated(host.vle, &TValueListEditor::ValueValidated);
    // The first click opens the drop-down on the cell, the second click of
    // the double click lands on it and steps to the next caption.
    QTest::mouseDClick(host.window.windowHandle(), Qt::LeftButton, {},
                       host.InWindow(host.CellCentre(0, 1)));
    QCOMPARE(host.vle->Value(0), QString("16:9"));
    QCOMPARE(validated.count(), 1);
    auto *box = qobject_cast<QComboBox *>(host.Editor(0));
    QVERIFY(box);
    QCOMPARE(box->currentText(), QString("16:9"));
    // The click on the text did not drop the list down.
    QVERIFY(!box->view()->isVisible());
}

void TstValueListEditor::pickListOffersFixedDropDown()
{
    Host host;
    host.vle->AppendRow("Bit Rate", "800");
    AddPickRow(host.vle, "Sample Rate", {"22050", "44100", "48000"}, 1);
    QVERIFY(host.Show());
    QSignalSpy changed(host.vle, &TValueListEditor::ContentChanged);
    QSignalSpy validated(host.vle, &TValueListEditor::ValueValidated);

    host.Click(1, 1);
    auto *box = qobject_cast<QComboBox *>(host.Editor(1));
    QVERIFY(box);
    QVERIFY(box->isVisible());
    QVERIFY(!box->isEditable());
    QVERIFY(!box->lineEdit());
    QCOMPARE(box->count(), 3);
    QCOMPARE(box->itemText(2), QString("48000"));
    QCOMPARE(box->currentText(), QString("44100"));
    QCOMPARE(host.vle->currentRow(), 1);
    QCOMPARE(changed.count(), 0);

    // Choosing commits at once, while the drop-down stays on the cell.
    QTest::keyClick(box, Qt::Key_End);
    QCOMPARE(host.vle->Value(1), QString("48000"));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(validated.count(), 1);
    QCOMPARE(validated.at(0).at(0).toInt(), 1);
    // Choosing the same caption again changes nothing.
    QTest::keyClick(box, Qt::Key_End);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(validated.count(), 1);

    // Leaving the cell validates nothing more.
    host.Click(0, 1);
    QTRY_VERIFY(!host.Editor(1));
    QCOMPARE(validated.count(), 1);
    QCOMPARE(host.vle->Value(1), QString("48000"));
}

void TstValueListEditor::codeValueOutsidePickListIsNotOverwritten()
{
    Host host;
    AddPickRow(host.vle, "Video Size", {"Original Size", "Custom Size"}, 0);
    QVERIFY(host.Show());
    host.Click(0, 1);
    auto *box = qobject_cast<QComboBox *>(host.Editor(0));
    QVERIFY(box);
    QTest::keyClick(box, Qt::Key_End);
    QCOMPARE(host.vle->Value(0), QString("Custom Size"));
    // Code writes a size that is not a caption while the drop-down is open.
    host.vle->SetValue(0, "720x480");
    QSignalSpy changed(host.vle, &TValueListEditor::ContentChanged);
    host.other->setFocus();
    QTRY_VERIFY(!host.Editor(0));
    QCOMPARE(host.vle->Value(0), QString("720x480"));
    QCOMPARE(changed.count(), 0);
}

void TstValueListEditor::readOnlySimpleRowOpensNoEditor()
{
    Host host;
    host.vle->AppendRow("Bit Rate", "800");
    host.vle->AppendRow("Volumn", "256");
    host.vle->SetReadOnly(1, true);
    QVERIFY(host.Show());
    QSignalSpy validated(host.vle, &TValueListEditor::ValueValidated);
    QVERIFY(!(host.vle->item(1, 1)->flags() & Qt::ItemIsEditable));

    host.Click(1, 1);
    QCOMPARE(host.vle->currentRow(), 1);
    QVERIFY(!host.Editor(1));
    QVERIFY(!host.vle->findChild<QLineEdit *>());
    // Neither F2 nor typing opens it.
    QTest::keyClick(host.vle, Qt::Key_F2);
    QTest::keyClicks(host.vle, "99");
    QVERIFY(!host.Editor(1));
    QTest::mouseDClick(host.vle->viewport(), Qt::LeftButton, {}, host.CellCentre(1, 1));
    QVERIFY(!host.Editor(1));
    QCOMPARE(host.vle->Value(1), QString("256"));
    QCOMPARE(validated.count(), 0);

    // A read-only pick-list row is still chosen from its list.
    AddPickRow(host.vle, "Channels", {"1", "2"}, 0);
    host.Click(2, 1);
    QVERIFY(qobject_cast<QComboBox *>(host.Editor(2)));
}

void TstValueListEditor::simpleRowEditsAndValidatesOnFocusOut()
{
    Host host;
    host.vle->AppendRow("New Filename", "clip.mp4");
    host.vle->AppendRow("Start Time", "00:00:00.0");
    QVERIFY(host.Show());
    QSignalSpy changed(host.vle, &TValueListEditor::ContentChanged);
    QSignalSpy validated(host.vle, &TValueListEditor::ValueValidated);

    // Leaving an opened cell without a change validates nothing.
    host.Click(1, 1);
    auto *edit = qobject_cast<QLineEdit *>(host.Editor(1));
    QVERIFY(edit);
    QCOMPARE(edit->text(), QString("00:00:00.0"));
    QTRY_COMPARE(QApplication::focusWidget(), edit);
    host.other->setFocus();
    QTRY_VERIFY(!host.Editor(1));
    QCOMPARE(validated.count(), 0);
    QCOMPARE(changed.count(), 0);

    // Typing and leaving validates once with the new text.
    host.Click(1, 1);
    edit = qobject_cast<QLineEdit *>(host.Editor(1));
    QVERIFY(edit);
    QTRY_COMPARE(QApplication::focusWidget(), edit);
    edit->selectAll();
    QTest::keyClicks(edit, "00:00:30");
    QCOMPARE(host.vle->Value(1), QString("00:00:00.0")); // not before leaving
    QCOMPARE(validated.count(), 0);
    host.other->setFocus();
    QTRY_VERIFY(!host.Editor(1));
    QCOMPARE(host.vle->Value(1), QString("00:00:30"));
    QCOMPARE(validated.count(), 1);
    QCOMPARE(validated.at(0).at(0).toInt(), 1);
    QCOMPARE(changed.count(), 1);
    QTest::qWait(0);
    QCOMPARE(validated.count(), 1);

    // Escape gives the edit up.
    host.Click(0, 1);
    edit = qobject_cast<QLineEdit *>(host.Editor(0));
    QVERIFY(edit);
    QTRY_COMPARE(QApplication::focusWidget(), edit);
    QTest::keyClicks(edit, "xyz");
    QTest::keyClick(edit, Qt::Key_Escape);
    QTRY_VERIFY(!host.Editor(0));
    host.other->setFocus();
    QCOMPARE(host.vle->Value(0), QString("clip.mp4"));
    QCOMPARE(validated.count(), 1);
}

void TstValueListEditor::simpleRowValidatesOnMovingAndEnter()
{
    Host host;
    host.vle->AppendRow("New Filename", "clip.mp4");
    host.vle->AppendRow("Start Time", "00:00:00.0");
    host.vle->AppendRow("End Time", "00:01:40");
    QVERIFY(host.Show());
    QSignalSpy validated(host.vle, &TValueListEditor::ValueValidated);

    // Moving to another cell of the grid.
    host.Click(0, 1);
    auto *edit = qobject_cast<QLineEdit *>(host.Editor(0));
    QVERIFY(edit);
    QTRY_COMPARE(QApplication::focusWidget(), edit);
    edit->selectAll();
    QTest::keyClicks(edit, "movie.mpg");
    host.Click(2, 1);
    QCOMPARE(host.vle->Value(0), QString("movie.mpg"));
    QCOMPARE(validated.count(), 1);
    QCOMPARE(validated.at(0).at(0).toInt(), 0);
    QCOMPARE(host.vle->currentRow(), 2);

    // Enter.
    edit = qobject_cast<QLineEdit *>(host.Editor(2));
    QVERIFY(edit);
    QTRY_COMPARE(QApplication::focusWidget(), edit);
    edit->selectAll();
    QTest::keyClicks(edit, "00:01:00");
    QTest::keyClick(edit, Qt::Key_Return);
    QTRY_COMPARE(host.vle->Value(2), QString("00:01:00"));
    QCOMPARE(validated.count(), 2);
    QCOMPARE(validated.at(1).at(0).toInt(), 2);

    // Typing on the grid opens the current cell too.
    QTRY_VERIFY(!host.Editor(2));
    host.vle->setFocus();
    QTest::keyClicks(host.vle, "9");
    edit = qobject_cast<QLineEdit *>(host.Editor(2));
    QVERIFY(edit);
    QCOMPARE(edit->text(), QString("9"));
}

void TstValueListEditor::guardSwallowsPress()
{
    Host host;
    host.vle->AppendRow("New Filename", "clip.mp4");
    host.vle->AppendRow("Start Time", "00:00:00.0");
    AddPickRow(host.vle, "Aspect", {"4:3", "16:9"}, 0);
    QVERIFY(host.Show());
    bool allow = true;
    int asked = 0;
    host.vle->SetMousePressGuard([&] {
        ++asked;
        return allow;
    });
    QSignalSpy pressed(host.vle, &TValueListEditor::MousePressed);
    QSignalSpy changed(host.vle, &TValueListEditor::ContentChanged);

    host.Click(0, 1);
    QCOMPARE(asked, 1);
    QCOMPARE(pressed.count(), 1);
    QVERIFY(host.Editor(0));
    host.other->setFocus();
    QTRY_VERIFY(!host.Editor(0));
    QCOMPARE(host.vle->currentRow(), 0);

    allow = false;
    host.Click(1, 1);
    QCOMPARE(asked, 2);
    QCOMPARE(pressed.count(), 2);
    QVERIFY(!host.Editor(1));
    QVERIFY(!host.Editor(0));
    QCOMPARE(host.vle->currentRow(), 0);
    QCOMPARE(host.vle->currentColumn(), 1);

    // A double click on a pick list does not step either.
    QTest::mouseDClick(host.vle->viewport(), Qt::LeftButton, {}, host.CellCentre(2, 1));
    QCOMPARE(asked, 3);
    QCOMPARE(host.vle->Value(2), QString("4:3"));
    QCOMPARE(host.vle->currentRow(), 0);
    QCOMPARE(changed.count(), 0);

    // Typing asks the guard as a press does: refused, it opens nothing.
    host.vle->setFocus();
    QTest::keyClick(host.vle, Qt::Key_F2);
    QCOMPARE(asked, 4);
    QVERIFY(!host.Editor(0));
    // An editor opened from the keyboard is closed by a refused press.
    allow = true;
    QTest::keyClick(host.vle, Qt::Key_F2);
    QVERIFY(host.Editor(0));
    allow = false;
    host.Click(1, 0);
    QTRY_VERIFY(!host.Editor(0));
    QCOMPARE(host.vle->currentRow(), 0);
    QCOMPARE(host.vle->Value(0), QString("clip.mp4"));

    // A refused press cannot drag the column boundary.
    const int keyWidth = host.vle->KeyColumnWidth();
    const QPoint boundary(host.vle->columnWidth(0), host.CellCentre(0, 0).y());
    QTest::mousePress(host.vle->viewport(), Qt::LeftButton, {}, boundary);
    QTest::mouseMove(host.vle->viewport(), boundary + QPoint(30, 0));
    QTest::mouseRelease(host.vle->viewport(), Qt::LeftButton, {}, boundary + QPoint(30, 0));
    QCOMPARE(host.vle->KeyColumnWidth(), keyWidth);
}

void TstValueListEditor::currentKeyCellColours()
{
    Host host;
    host.vle->AppendRow("Bit Rate", "800");
    host.vle->AppendRow("Frame Rate", "25");
    host.vle->AppendRow("Aspect", "4:3");
    QVERIFY(host.Show());
    host.vle->setCurrentCell(1, 1);
    QVERIFY(!host.Editor(1));

    const QRect key = host.CellRect(1, 0);
    const QPoint keyProbe(key.right() - 2, key.center().y());
    const QRect value = host.CellRect(1, 1);
    const QPoint valueProbe(value.right() - 2, value.center().y());
    const QPoint otherKeyProbe(host.CellRect(0, 0).right() - 2, host.CellRect(0, 0).center().y());
    const QPalette pal = host.vle->palette();

    host.vle->setFocus();
    QTRY_VERIFY(host.vle->hasFocus());
    QImage image = host.vle->grab().toImage();
    QCOMPARE(host.Pixel(image, keyProbe), FocusKey);
    QCOMPARE(host.Pixel(image, valueProbe), pal.color(QPalette::Active, QPalette::Base));
    QCOMPARE(host.Pixel(image, valueProbe), pal.color(QPalette::Active, QPalette::Window));
    QCOMPARE(host.Pixel(image, otherKeyProbe), pal.color(QPalette::Active, QPalette::Button));
    // The focused key text is white.
    QVERIFY(ImageRegionHas(image, key.adjusted(0, 0, -key.width() / 2, 0), Qt::white));

    host.other->setFocus();
    QTRY_VERIFY(!host.vle->hasFocus());
    image = host.vle->grab().toImage();
    QCOMPARE(host.Pixel(image, keyProbe), pal.color(QPalette::Active, QPalette::Base));
    QCOMPARE(host.Pixel(image, valueProbe), pal.color(QPalette::Active, QPalette::Base));
    QVERIFY(!ImageRegionHas(image, key, FocusKey));

    // An open cell editor keeps the key cell in the focus colour.
    host.Click(2, 1);
    QVERIFY(host.Editor(2));
    QTRY_COMPARE(QApplication::focusWidget(), host.Editor(2));
    image = host.vle->grab().toImage();
    const QRect key2 = host.CellRect(2, 0);
    QCOMPARE(host.Pixel(image, QPoint(key2.right() - 2, key2.center().y())), FocusKey);
    QCOMPARE(host.Pixel(image, keyProbe), pal.color(QPalette::Active, QPalette::Button));
}

void TstValueListEditor::readOnlyTextIsSilver()
{
    Host host;
    host.vle->AppendRow("Bit Rate", "IIIIHHHH");
    host.vle->AppendRow("Volumn", "IIIIHHHH");
    host.vle->SetReadOnly(1, true);
    AddPickRow(host.vle, "Channels", {"IIIIHHHH", "2"}, 0); // read-only, but a pick list
    // Plain glyph edges, so that the text pixels carry the pen colour itself.
    QFont font = host.vle->font();
    font.setStyleStrategy(QFont::NoAntialias);
    host.vle->setFont(font);
    QVERIFY(host.Show());
    host.other->setFocus();
    const QImage image = host.vle->grab().toImage();
    auto region = [&](int row) {
        const QRect r = host.CellRect(row, 1).adjusted(0, 0, -1, -1); // without the grid line
        const qreal dpr = image.devicePixelRatio();
        return QRect(host.vle->viewport()->mapTo(host.vle, r.topLeft()) * dpr, r.size() * dpr);
    };
    QVERIFY(ImageRegionHas(image, region(1), Silver));
    QVERIFY(!ImageRegionHas(image, region(0), Silver));
    QVERIFY(!ImageRegionHas(image, region(2), Silver));

    // The current read-only row keeps its silver text and has no highlight.
    host.vle->setCurrentCell(1, 1);
    host.vle->setFocus();
    QTRY_VERIFY(host.vle->hasFocus());
    const QImage focused = host.vle->grab().toImage();
    QVERIFY(ImageRegionHas(focused, region(1), Silver));
    const QRect value = host.CellRect(1, 1);
    QCOMPARE(host.Pixel(focused, QPoint(value.right() - 2, value.center().y())),
             host.vle->palette().color(QPalette::Active, QPalette::Base));
}

void TstValueListEditor::resizeWidensValueColumnOnly()
{
    Host host;
    host.vle->AppendRow("Video Codec", "MPEG4");
    host.vle->SetColumnWidths(95, 68);
    QVERIFY(host.Show());
    QCOMPARE(host.vle->KeyColumnWidth(), 95);
    QCOMPARE(host.vle->columnWidth(1), host.vle->viewport()->width() - 95);

    const int before = host.vle->columnWidth(1);
    host.window.resize(host.window.width() + 120, host.window.height());
    QTRY_COMPARE(host.vle->columnWidth(1), before + 120);
    QCOMPARE(host.vle->KeyColumnWidth(), 95);
    host.window.resize(host.window.width() - 200, host.window.height());
    QTRY_COMPARE(host.vle->columnWidth(1), before - 80);
    QCOMPARE(host.vle->KeyColumnWidth(), 95);

    // New widths on a shown grid: the value column still fills the rest.
    host.vle->SetColumnWidths(160, 200);
    QCOMPARE(host.vle->KeyColumnWidth(), 160);
    QCOMPARE(host.vle->columnWidth(1), host.vle->viewport()->width() - 160);
}

void TstValueListEditor::draggingBoundaryResizesKeyColumn()
{
    Host host;
    host.vle->AppendRow("Video Codec", "MPEG4");
    host.vle->AppendRow("Video Size", "Original Size");
    host.vle->SetColumnWidths(95, 68);
    QVERIFY(host.Show());
    QWidget *viewport = host.vle->viewport();
    QSignalSpy changed(host.vle, &TValueListEditor::ContentChanged);
    const int width = viewport->width();
    const int y = host.CellCentre(1, 0).y();

    // The pointer shows the sizing cursor only near the boundary.
    QMouseEvent hover(QEvent::MouseMove, QPointF(95, y), viewport->mapToGlobal(QPointF(95, y)),
                      Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &hover);
    QCOMPARE(viewport->cursor().shape(), Qt::SplitHCursor);
    QMouseEvent away(QEvent::MouseMove, QPointF(40, y), viewport->mapToGlobal(QPointF(40, y)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &away);
    QCOMPARE(viewport->cursor().shape(), Qt::ArrowCursor);

    QTest::mousePress(viewport, Qt::LeftButton, {}, QPoint(95, y));
    QTest::mouseMove(viewport, QPoint(135, y));
    QCOMPARE(host.vle->KeyColumnWidth(), 135);
    QTest::mouseMove(viewport, QPoint(125, y));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, QPoint(125, y));
    QCOMPARE(host.vle->KeyColumnWidth(), 125);
    QCOMPARE(host.vle->columnWidth(1), width - 125);
    // Dragging opens no cell and changes nothing.
    QVERIFY(!host.Editor(0));
    QVERIFY(!host.Editor(1));
    QCOMPARE(changed.count(), 0);

    // The column keeps its new width when the grid widens later.
    host.window.resize(host.window.width() + 50, host.window.height());
    QTRY_COMPARE(host.vle->columnWidth(1), width + 50 - 125);
    QCOMPARE(host.vle->KeyColumnWidth(), 125);

    // Moving after the release no longer resizes.
    QTest::mouseMove(viewport, QPoint(60, y));
    QCOMPARE(host.vle->KeyColumnWidth(), 125);
}

void TstValueListEditor::keyboardStaysInValueColumn()
{
    Host host;
    host.vle->AppendRow("Audio Codec", "AAC");
    host.vle->AppendRow("Audio Bitrate", "128");
    QVERIFY(host.Show());
    host.vle->setFocus();
    QTRY_VERIFY(host.vle->hasFocus());
    QCOMPARE(host.vle->currentRow(), 0);
    QCOMPARE(host.vle->currentColumn(), 1);
    QTest::keyClick(host.vle, Qt::Key_Left);
    QCOMPARE(host.vle->currentColumn(), 1);
    QTest::keyClick(host.vle, Qt::Key_Down);
    QCOMPARE(host.vle->currentRow(), 1);
    QCOMPARE(host.vle->currentColumn(), 1);
    // A click on a key cell makes its row current without opening the value.
    host.Click(0, 0);
    QCOMPARE(host.vle->currentRow(), 0);
    QCOMPARE(host.vle->currentColumn(), 1);
    QVERIFY(!host.Editor(0));

    // Down on an open drop-down moves to the next row instead of choosing.
    host.vle->SetEditStyle(0, TValueListEditor::esPickList);
    host.vle->SetPickList(0, {"AAC", "MP3"});
    host.Click(0, 1);
    auto *box = qobject_cast<QComboBox *>(host.Editor(0));
    QVERIFY(box);
    QTRY_COMPARE(QApplication::focusWidget(), box);
    QTest::keyClick(box, Qt::Key_Down);
    QCOMPARE(host.vle->currentRow(), 1);
    QCOMPARE(host.vle->Value(0), QString("AAC"));
    QTRY_VERIFY(!host.Editor(0));
}

QTEST_MAIN(TstValueListEditor)
#include "tst_valuelisteditor.moc"
