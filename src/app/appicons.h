#pragma once

#include <QIcon>

// A command's icon: the desktop theme's icon of that name where the theme has
// one, else Vantrel's own, shipped in the program's resources.
QIcon CommandIcon(const char *themeName, const char *ownName);

// The program's own icon, in every size it ships.
QIcon ProgramIcon();
