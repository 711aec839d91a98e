#pragma once
#include <QString>

// The folder of the running program, with a trailing "/". Tests point it at
// a folder of their own.
QString ApplicationFolder();
void SetApplicationFolder(const QString &folder); // "" restores the real one
