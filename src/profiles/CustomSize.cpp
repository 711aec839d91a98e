#include "profiles/CustomSize.h"

#include "common/Named.h"

#include "app/MainForm.h"
#include "app/TextButton.h"
#include "app/Theme.h"
#include "common/Platform.h"
#include "profiles/ValueListEditor.h"

#include <QLabel>
#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

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
    setModal(false);

    edtWidth = Named(new QLineEdit(this), "edtWidth", "Width");
    labWidth = MakeCaption(this, "labWidth", "&Width:", edtWidth, 4);
    edtHeight = Named(new QLineEdit(this), "edtHeight", "Height");
    labHeight = MakeCaption(this, "labHeight", "&Height:", edtHeight, 0);
    for (QLineEdit *edit : {edtWidth, edtHeight})
        edit->setMinimumSize(80, 21);

    btnOK = Named(new TTextButton("&OK", this), "btnOK");
    btnOK->setDefault(true);
    btnCancel = Named(new TTextButton("&Cancel", this), "btnCancel");

    // At the designed font: the fields at 88 and 236, the buttons at 156 and
    // 241 on a line 66 from the top.
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(24, 20, 20, 15);
    column->setSpacing(0);
    auto *fields = new QGridLayout;
    fields->setSpacing(0);
    fields->setColumnMinimumWidth(0, 64);
    fields->setColumnMinimumWidth(2, 8);
    fields->setColumnMinimumWidth(3, 60);
    fields->setColumnStretch(5, 1);
    fields->addWidget(labWidth, 0, 0);
    fields->addWidget(edtWidth, 0, 1);
    fields->addWidget(labHeight, 0, 3);
    fields->addWidget(edtHeight, 0, 4);
    column->addLayout(fields);
    column->addStretch(1);
    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(10);
    buttons->addStretch(1);
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    column->addLayout(buttons);
    FitDialog(this, QSize(336, 106));

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
    m_opener = MainForm->focusWidget();
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
    // Back to the grid row that opened the dialog.
    if (m_opener && m_opener->isEnabled())
        m_opener->setFocus(Qt::OtherFocusReason);
}
