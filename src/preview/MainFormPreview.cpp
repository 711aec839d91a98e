// Preview part of the main window (placeholder until the player lands).
#include "app/MainForm.h"

void TMainForm::SetupPreview() {}
void TMainForm::PreviewSelected() {}
void TMainForm::sbtnPlayClick() {}
void TMainForm::sbtnPauseClick() {}
void TMainForm::sbtnStopClick() {}
void TMainForm::ltvTaskDblClick() {}
void TMainForm::TrackBarTimer(qint64, qint64) {}
void TMainForm::StopPreview() {}
