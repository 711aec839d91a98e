#pragma once
// Shared pieces of the profile window tests: sample profiles and ways of
// working the group editors with real mouse and key events.

#include "app/MainForm.h"
#include "profiles/ValueListDelegate.h"
#include "profiles/ValueListEditor.h"

#include <QAbstractItemView>
#include <QLineEdit>
#include <QtTest>

namespace ProfileTest {

// A small sample profile (five parameters, three groups).
inline QByteArray ExampleProfile()
{
    return "[Main]\r\nType=avi\r\nPara=5\r\n0=Video Codec\r\n1=Video Size\r\n2=Bit Rate\r\n"
           "3=Disable Audio\r\n4=Deinterlace\r\n\r\n"
           "[Video Codec]\r\nSort=1\r\nList=0\r\nReadOnly=1\r\nCaption=MPEG-4\r\nValue=mp4v\r\n"
           "cmd=-vc\r\n\r\n"
           "[Video Size]\r\nSort=1\r\nCaption=Original Size,320x240,640x480,Custom Size,\r\n"
           "Value=,320x240,640x480,,\r\nIndex=0\r\ncmd=-size\r\n\r\n"
           "[Bit Rate]\r\nSort=1\r\nList=0\r\nCaption=800\r\nValue=800\r\ncmd=-rate\r\n\r\n"
           "[Disable Audio]\r\nSort=2\r\nCaption=No,Yes,\r\nValue=,\\,\r\ncmd=-noaudio\r\n\r\n"
           "[Deinterlace]\r\nSort=3\r\nCaption=No,Yes,\r\nValue=,\\,\r\nIndex=0\r\ncmd=-dint\r\n";
}

inline QRect CellRect(TValueListEditor *vle, int row, int column)
{
    return vle->visualRect(vle->model()->index(row, column));
}

// A left click on the value cell of row (opens its cell editor).
inline void ClickValue(TValueListEditor *vle, int row)
{
    QTest::mouseClick(vle->viewport(), Qt::LeftButton, {}, CellRect(vle, row, 1).center());
}

inline void DoubleClickValue(TValueListEditor *vle, int row)
{
    QTest::mouseDClick(vle->viewport(), Qt::LeftButton, {}, CellRect(vle, row, 1).center());
}

// Chooses caption in the drop-down of a pick-list row as a user does: a
// click on the cell opens its drop-down, the list is dropped down and the
// caption clicked. False when there is no such row, drop-down or caption.
inline bool ChooseCaption(TValueListEditor *vle, const QString &key, const QString &caption)
{
    const int row = vle->FindRow(key);
    if (row < 0)
        return false;
    ClickValue(vle, row);
    auto *box = qobject_cast<TPickListBox *>(vle->indexWidget(vle->model()->index(row, 1)));
    if (!box)
        return false;
    const int at = box->findText(caption);
    if (at < 0)
        return false;
    box->showPopup();
    QAbstractItemView *list = box->view();
    if (!list->isVisible())
        return false;
    const QRect item = list->visualRect(list->model()->index(at, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item.center());
    return !list->isVisible();
}

// Types text into a free-text row as a user does: click, select all, type,
// Enter. False when no line editor opened (a read-only row).
inline bool TypeText(TValueListEditor *vle, const QString &key, const QString &text)
{
    const int row = vle->FindRow(key);
    if (row < 0)
        return false;
    ClickValue(vle, row);
    auto *edit = qobject_cast<QLineEdit *>(vle->indexWidget(vle->model()->index(row, 1)));
    if (!edit)
        return false;
    edit->selectAll();
    if (text.isEmpty())
        QTest::keyClick(edit, Qt::Key_Delete);
    else
        QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
    // The view commits an edit ended by Enter through a queued call.
    QCoreApplication::processEvents();
    return true;
}

// Everything a row shows or carries, one text per row.
inline QStringList Snapshot(TValueListEditor *vle)
{
    QStringList rows;
    for (int r = 0; r < vle->RowCount(); ++r)
        rows << QStringLiteral("%1=%2|ro%3|style%4|%5")
                    .arg(vle->Key(r), vle->Value(r))
                    .arg(vle->IsReadOnly(r))
                    .arg(int(vle->GetEditStyle(r)))
                    .arg(vle->PickList(r).join(QLatin1Char(',')));
    rows << QStringLiteral("height %1").arg(vle->maximumHeight());
    return rows;
}

inline QStringList Snapshot(TMainForm *form)
{
    return QStringList() << Snapshot(form->vleVideo) << "--" << Snapshot(form->vleAudio) << "--"
                         << Snapshot(form->vleAdvanced) << "--" << form->CurrentOutputExt;
}

} // namespace ProfileTest
