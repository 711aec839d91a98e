// Preview part of the main window: plays the selected input file in the
// preview pane through the media graph.
#include "app/MainForm.h"

#include "common/TimeText.h"
#include "preview/MediaGraph.h"
#include "preview/PreviewWidgets.h"
#include "preview/QtMediaGraph.h"

#include <QLabel>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

void TMainForm::SetupPreview()
{
    CreateMediaGraph = [] { return static_cast<IMediaGraph *>(new QtMediaGraph); };
    CheckMediaService = [] { return QtMediaGraph::ServiceProblem(); };
    connect(TrackBar, &TDSTrackBar::Timer, this, &TMainForm::TrackBarTimer);
    // Asking the playback service loads its backend (about a tenth of a
    // second): that waits until the window has been painted once.
    connect(VideoWindow1, &TVideoArea::FirstPainted, this, [this] {
        QTimer::singleShot(0, this, [this] {
            if (FilterGraph || !PreviewUnavailableReason.isEmpty() || !CheckMediaService)
                return;
            const QString problem = CheckMediaService();
            if (!problem.isEmpty())
                DisablePreview(problem);
        });
    });
}

void TMainForm::DisablePreview(const QString &reason)
{
    PreviewUnavailableReason = reason;
    const struct {
        QToolButton *button;
        const char *hint;
    } buttons[] = {{sbtnPlay, "Play"}, {sbtnPause, "Pause / Resume"}, {sbtnStop, "Stop"}};
    for (const auto &b : buttons) {
        b.button->setEnabled(false);
        b.button->setToolTip(QString::fromLatin1(b.hint) + "\n" + reason);
    }
}

void TMainForm::PreviewSelected()
{
    const int i = SelectedIndex();
    if (i < 0 || !PreviewUnavailableReason.isEmpty())
        return;
    if (!FilterGraph) {
        IMediaGraph *graph = CreateMediaGraph ? CreateMediaGraph() : nullptr;
        if (!graph) {
            DisablePreview("The preview is unavailable: the media graph cannot be created.");
            return;
        }
        FilterGraphOwner.reset(graph);
        if (!graph->Available()) {
            const QString reason = graph->UnavailableReason();
            DisablePreview(reason.isEmpty() ? QStringLiteral("The preview is unavailable.") : reason);
            return;
        }
        FilterGraph = graph;
        FilterGraph->ShowIn(VideoWindow1);
        TrackBar->SetFilterGraph(FilterGraph);
    }
    FilterGraph->Clear();
    ltvItemData rec;
    ReadItemData(i, sdCaption, rec);
    // Not checked: a file that cannot be rendered leaves the area black.
    FilterGraph->RenderFile(rec.InputFile);
    FilterGraph->Run();
    TrackBar->GraphStateChanged();
}

void TMainForm::sbtnPlayClick()
{
    if (ltvTask->topLevelItemCount() == 0)
        return;
    if (SelectedIndex() < 0)
        ltvTask->setCurrentItem(ltvTask->topLevelItem(0), 0,
                                QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    PreviewSelected();
}

void TMainForm::sbtnPauseClick()
{
    if (!FilterGraph)
        return;
    switch (FilterGraph->GetState()) {
    case IMediaGraph::Running:
        FilterGraph->Pause();
        break;
    case IMediaGraph::Paused:
        FilterGraph->Run();
        break;
    case IMediaGraph::Stopped:
        return;
    }
    TrackBar->GraphStateChanged();
}

void TMainForm::sbtnStopClick()
{
    // No rewind: Play starts the current item from its beginning anyway.
    StopPreview();
}

void TMainForm::ltvTaskDblClick()
{
    if (SelectedIndex() >= 0)
        PreviewSelected();
}

void TMainForm::TrackBarTimer(qint64, qint64)
{
    labPreviewTime->setText(SecondsToTimeText(TrackBar->value()));
}

void TMainForm::StopPreview()
{
    if (!FilterGraph)
        return;
    FilterGraph->Stop();
    TrackBar->GraphStateChanged();
}
