#include "profiles/CustomSize.h"

#include "common/Named.h"

#include "app/MainForm.h"
#include "common/Platform.h"
#include "profiles/ValueListEditor.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TSizeForm *SizeForm = nullptr;

namespace {

// A frame dimension the encoder takes: plain decimal digits, 1 to 16384.
// Blanks, signs and hexadecimal forms would reach the encoder's command line
// as typed and break the size switch.
bool IsFrameDimension(const QString &text)
{
    if (text.isEmpty() || text.size() > 5)
        return false;
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    const int value = text.toInt();
    return value >= 1 && value <= 16384;
}

} // namespace

TSizeForm::TSizeForm(QWidget *parent) : QDialog(parent)
{
    setObjectName("SizeForm");
    setWindowTitle("Video Size of output files");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    setFixedSize(336, 106);
    setModal(false);

    labWidth = Named(new QLabel("Width:", this), "labWidth");
    labWidth->setGeometry(24, 20, 60, 21);
    edtWidth = Named(new QLineEdit(this), "edtWidth");
    edtWidth->setGeometry(88, 20, 80, 21);
    edtWidth->setAccessibleName("Width");
    labWidth->setBuddy(edtWidth);
    labHeight = Named(new QLabel("Height:", this), "labHeight");
    labHeight->setGeometry(176, 20, 60, 21);
    edtHeight = Named(new QLineEdit(this), "edtHeight");
    edtHeight->setGeometry(236, 20, 80, 21);
    edtHeight->setAccessibleName("Height");
    labHeight->setBuddy(edtHeight);

    btnOK = Named(new QPushButton("&OK", this), "btnOK");
    btnOK->setGeometry(156, 66, 75, 25);
    btnOK->setDefault(true);
    btnCancel = Named(new QPushButton("&Cancel", this), "btnCancel");
    btnCancel->setGeometry(241, 66, 75, 25);

    connect(btnOK, &QPushButton::clicked, this, &TSizeForm::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &TSizeForm::btnCancelClick);
}

void TSizeForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TSizeForm::FormShow()
{
    if (!MainForm)
        return;
    // Behaves like a modal dialog without being one. Disabling the main
    // window disables its child windows too, so this one is enabled again.
    MainForm->setEnabled(false);
    setEnabled(true);
    move(MainForm->frameGeometry().center() - QPoint(width() / 2, height() / 2));
    edtWidth->setFocus();
}

void TSizeForm::btnOKClick()
{
    if (!IsFrameDimension(edtWidth->text())) {
        Platform::Instance().MessageBox(this, "Please specify a proper width for output videos.",
                                        "Incorrect Width", Platform::Icon::Information);
        edtWidth->setFocus();
        return;
    }
    if (!IsFrameDimension(edtHeight->text())) {
        Platform::Instance().MessageBox(this, "Please specify a proper height for output videos.",
                                        "Incorrect Height", Platform::Icon::Information);
        edtHeight->setFocus();
        return;
    }
    // The texts as typed, not the numbers: "0640" stays "0640".
    if (MainForm)
        MainForm->SetVideoSize(edtWidth->text() + "x" + edtHeight->text());
    accept();
}

void TSizeForm::btnCancelClick()
{
    reject();
}

void TSizeForm::done(int result)
{
    QDialog::done(result);
    FormClose();
}

void TSizeForm::FormClose()
{
    if (!MainForm)
        return;
    if (MainForm->VideoSize() == QLatin1String("Custom Size"))
        MainForm->SetVideoSize(QStringLiteral("Original Size"));
    MainForm->setEnabled(true);
}
