// Task list part of the main window (placeholder until the task list lands).
#include "app/MainForm.h"

void TMainForm::SetupTaskList() {}
void TMainForm::ReadItemData(int, int, ltvItemData &) const {}
void TMainForm::WriteItemData(int, int, const ltvItemData &) {}
void TMainForm::AddFile(const QString &) {}
void TMainForm::AddFolder(const QString &) {}
void TMainForm::tbtnAddFileClick() {}
void TMainForm::tbtnAddDirClick() {}
void TMainForm::tbtnRemoveClick() {}
void TMainForm::tbtnClearClick() {}
void TMainForm::tbtnUpClick() {}
void TMainForm::tbtnDownClick() {}
void TMainForm::ltvTaskClick() {}
void TMainForm::ppmTaskPopup() {}
void TMainForm::TakeCommandLine(const QStringList &) {}
void TMainForm::DropFiles(const QStringList &) {}
int TMainForm::SelectedIndex() const { return -1; }
void TMainForm::ProbeMedia(const QString &) {}
void TMainForm::ShowOutputOptions() {}
void TMainForm::ClearOutputOptions() {}
void TMainForm::ApplyOutputOptions() {}
bool TMainForm::GuardOutputEditing() { return true; }
