#pragma once
// Loading a profile into the three group editors (Video, Audio, Advanced).
// Shared by the main window and the settings dialog's Profiles tab.

#include <QString>

class QWidget;
class TValueListEditor;

// Fills video, audio and advanced from the profile file at path:
// - no file at path: returns true and changes nothing;
// - a malformed profile (see ReadProfile in ProfileFiles.h): returns false,
//   *problem gets a sentence naming the profile and the fault, the editors
//   keep what they show and the file is not written;
// - otherwise every row of the three editors is replaced by the profile's
//   parameters in their numbering: a pick-list row (List true, the default)
//   offers SplitCommaList(Caption), shows the caption at Index and is always
//   read-only; a free-text row shows the whole Caption and is read-only when
//   ReadOnly says so. Each editor becomes rows x 18 pixels high. When
//   outputExt is given it gets "." + Type ("." + "mp4" without a Type);
//   pass nullptr to leave Type unread. The file is then written back
//   (SaveAndFree), which may throw EFileError after the editors were filled.
// problem may be nullptr.
bool LoadProfileIntoGroupEditors(const QString &path, TValueListEditor *video,
                                 TValueListEditor *audio, TValueListEditor *advanced,
                                 QString *outputExt, QString *problem);

// Shows the message box for a malformed profile (text from the loader above
// or from ReadProfile).
void ReportProfileProblem(QWidget *owner, const QString &problem);
