#pragma once
// The scrolling parameter pane of both windows: a bold header with its
// "-"/"+" button above each group editor (Output in the main window only,
// then Video, Audio and Advanced), stacked without gaps.

#include <QObject>
#include <QString>

class QLabel;
class QPushButton;
class QScrollArea;
class QWidget;
class TValueListEditor;

class TProfilePane : public QObject {
    Q_OBJECT
public:
    // withOutput: the main window's per-file Output group comes first.
    // keyWidth/valueWidth: the editors' first column widths.
    TProfilePane(QWidget *owner, bool withOutput, int keyWidth, int valueWidth,
                 const QString &accessibleName);

    // Collapses an expanded group to one pixel or expands it to one row,
    // naming the button for what it will do next.
    static void ToggleGroup(QPushButton *button, TValueListEditor *editor);

    QScrollArea *sbxProfile = nullptr;
    QLabel *panOutput = nullptr, *panVideo = nullptr, *panAudio = nullptr, *panAdvanced = nullptr;
    QPushButton *btnOutput = nullptr, *btnVideo = nullptr, *btnAudio = nullptr, *btnAdvanced = nullptr;
    TValueListEditor *vleOutput = nullptr, *vleVideo = nullptr, *vleAudio = nullptr, *vleAdvanced = nullptr;
};
