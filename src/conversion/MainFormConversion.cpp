// Conversion part of the main window (placeholder until the run lands).
#include "app/MainForm.h"
#include "conversion/EncoderProcess.h"

void TMainForm::SetupConversion() {}
void TMainForm::KillEncoder() { Encoder->KillEncoder(); }
void TMainForm::tbtnStartClick() {}
void TMainForm::tbtnStopClick() {}
void TMainForm::DisableForRun() {}
void TMainForm::EnableAfterRun() {}
void TMainForm::ConvertAll(const QString &) {}
void TMainForm::timerTimeTimer() {}
void TMainForm::PowerOffComputer() {}
