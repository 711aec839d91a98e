#include "profiles/ProfileEditors.h"

#include "common/Platform.h"
#include "ini/NewInifiles.h"
#include "profiles/ProfileFiles.h"
#include "profiles/ValueListEditor.h"
#include "tasks/ItemData.h"

#include <QFileInfo>

bool LoadProfileIntoGroupEditors(const QString &path, TValueListEditor *video,
                                 TValueListEditor *audio, TValueListEditor *advanced,
                                 QString *outputExt, QString *problem)
{
    if (problem)
        problem->clear();
    if (!QFileInfo(path).isFile())
        return true;

    TNewInifile ini(path);
    const ProfileData profile = ReadProfile(ini, RemoveExtension(QFileInfo(path).fileName()));
    if (!profile.ok()) {
        // Nothing is loaded and the file is left exactly as it is.
        if (problem)
            *problem = profile.problem;
        return false;
    }

    TValueListEditor *const editors[] = {video, audio, advanced};
    for (TValueListEditor *editor : editors)
        editor->ClearRows();
    if (outputExt)
        *outputExt = QLatin1Char('.') + profile.type;

    for (const ProfileParameter &p : profile.parameters) {
        TValueListEditor *editor = editors[p.group - pgVideo];
        const int row = editor->AppendRow(p.name, QString());
        editor->SetReadOnly(row, p.readOnly);
        if (p.isList) {
            editor->SetEditStyle(row, TValueListEditor::esPickList);
            editor->SetPickList(row, p.captions);
            editor->SetValue(row, p.captions.at(p.index));
            // Pick-list rows are chosen, never typed.
            editor->SetReadOnly(row, true);
        } else {
            editor->SetEditStyle(row, TValueListEditor::esSimple);
            editor->SetValue(row, p.captionText);
        }
    }
    for (TValueListEditor *editor : editors)
        editor->setFixedHeight(editor->RowsHeight(0));

    ini.SaveAndFree();
    return true;
}

void ReportProfileProblem(QWidget *owner, const QString &problem)
{
    Platform::Instance().MessageBox(owner, problem, QStringLiteral("Velvo"),
                                    Platform::Icon::Warning);
}
