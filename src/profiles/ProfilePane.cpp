#include "profiles/ProfilePane.h"

#include "common/Named.h"
#include "profiles/GroupHeader.h"
#include "profiles/ValueListEditor.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

TProfilePane::TProfilePane(QWidget *owner, bool withOutput, int keyWidth, int valueWidth,
                           const QString &accessibleName)
    : QObject(owner)
{
    auto *content = MakeGroupStack();
    auto *stack = static_cast<QVBoxLayout *>(content->layout());
    auto group = [&](QLabel *&header, QPushButton *&button, TValueListEditor *&vle, const char *headerName,
                     const QString &caption, const char *name, const QString &accessible,
                     const QStringList &rows, int extra) {
        header = MakeGroupHeader(headerName, caption, button);
        stack->addWidget(header);
        vle = Named(new TValueListEditor(content), name, accessible);
        for (const QString &row : rows)
            vle->AppendRow(row, QString());
        vle->SetColumnWidths(keyWidth, valueWidth);
        // 55 for the Output group's three rows, 108, 108 and 36 for the others.
        vle->setFixedHeight(vle->RowsHeight(extra));
        stack->addWidget(vle);
        connect(button, &QPushButton::clicked, this, [button, vle] { ToggleGroup(button, vle); });
    };
    if (withOutput)
        group(panOutput, btnOutput, vleOutput, "panOutput", "      Output", "vleOutput", "Output options",
              {"New Filename", "Start Time", "End Time"}, 1);
    group(panVideo, btnVideo, vleVideo, "panVideo", "      Video", "vleVideo", "Video parameters",
          {"Video Codec", "Video Size", "Bit Rate", "Frame Rate", "Aspect", "Disable Video"}, 0);
    group(panAudio, btnAudio, vleAudio, "panAudio", "      Audio", "vleAudio", "Audio parameters",
          {"Audio Codec", "Audio Bitrate", "Sample Rate", "Channels", "Volumn", "Disable Audio"}, 0);
    group(panAdvanced, btnAdvanced, vleAdvanced, "panAdvanced", "      Advanced", "vleAdvanced",
          "Advanced parameters", {"Bit Exact Algorithms", "Deinterlace"}, 0);
    stack->addStretch(1);

    sbxProfile = Named(new QScrollArea(owner), "sbxProfile", accessibleName);
    sbxProfile->setWidgetResizable(true);
    sbxProfile->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sbxProfile->setWidget(content);
}

void TProfilePane::ToggleGroup(QPushButton *button, TValueListEditor *editor)
{
    QString name = button->accessibleName();
    name = name.mid(name.indexOf(QLatin1Char(' ')) + 1);
    if (button->text() == QLatin1String("+")) {
        editor->setFixedHeight(editor->RowsHeight(1));
        button->setText(QStringLiteral("-"));
        button->setAccessibleName(QStringLiteral("Collapse ") + name);
    } else {
        editor->setFixedHeight(1);
        button->setText(QStringLiteral("+"));
        button->setAccessibleName(QStringLiteral("Expand ") + name);
    }
}
