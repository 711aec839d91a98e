#include "app/AboutBox.h"

#include "app/MainForm.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

TAboutBox::TAboutBox(QWidget *parent) : QDialog(parent)
{
    setObjectName("AboutBox");
    setWindowTitle("About Velvo");
    auto *layout = new QVBoxLayout(this);
    auto *icon = new QLabel(this);
    icon->setPixmap(QIcon(":/icons/velvo.svg").pixmap(48, 48));
    icon->setAlignment(Qt::AlignCenter);
    layout->addWidget(icon);
    const QString version = MainForm ? MainForm->VersionText : QStringLiteral(VELVO_VERSION);
    auto *text = new QLabel(this);
    text->setObjectName("labAbout");
    text->setTextFormat(Qt::RichText);
    text->setAlignment(Qt::AlignCenter);
    text->setText(
        "<h3>Velvo V" + version.toHtmlEscaped() + "</h3>"
        "<p>A batch video converter.</p>"
        "<p>Built with:<br>"
        "Qt " QT_VERSION_STR " (LGPL 3)<br>"
        "FFmpeg libraries and program (LGPL 2.1 or later; GPL 2 or later as built by Debian)<br>"
        "GStreamer (LGPL 2.1 or later) for the preview</p>");
    layout->addWidget(text);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}
