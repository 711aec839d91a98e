#pragma once
// The look that follows the desktop: the font the windows are laid out for,
// and the colours of the few places painted by the program itself. On a light
// palette those are the designed colours; on a dark one they come from the
// palette, so every text stays readable.

#include "common/Platform.h"

#include <QColor>

class QDialog;
class QPalette;
class QSize;

// The desktop's own font when it has one; without a desktop (no platform
// theme gives a font) the designed one, DejaVu Sans at 11 pixels.
void UseDesktopFont();

// Gives a fixed-size dialog its designed size, or the size its layout needs
// for the font in force when that is larger; again after every change of
// font or style.
void FitDialog(QDialog *dialog, const QSize &designed);

bool IsDarkPalette(const QPalette &palette);

// The task list's column headers: RGB 243, 243, 243 on a light palette.
QColor TaskHeaderColour(const QPalette &palette);
QColor TaskHeaderTextColour(const QPalette &palette);
// The parameter groups' header strips: the button-shadow colour, black text.
QColor GroupHeaderColour(const QPalette &palette);
QColor GroupHeaderTextColour(const QPalette &palette);
// Values that cannot be changed: silver.
QColor ReadOnlyTextColour(const QPalette &palette);
// The current key cell of a grid that has the focus: RGB 49, 106, 197.
QColor FocusKeyColour(const QPalette &palette);
QColor FocusKeyTextColour(const QPalette &palette);
// A value that was not taken (a time that is not a time).
QColor ErrorTextColour(const QPalette &palette);

// Follows the colour scheme the desktop reports through the platform seam:
// a dark preference on a light palette switches the program to a dark
// palette, a light one (or none) returns to the palette it started with.
void FollowDesktopColorScheme();
void ApplyColorScheme(Platform::ColorScheme scheme);
