#pragma once

#include <QByteArray>

// The one fixed directory that holds the work files, the settings file and the
// one-time import file: $VANTREL_HOME if set, else $XDG_DATA_HOME/vantrel, else
// $HOME/.local/share/vantrel. It is created with mode 0700 on first use.
// Returns the path without a trailing slash, or an empty array when no
// directory can be named or created.
QByteArray GetSystemDirectory();

// Joins a directory and a name with a single slash, as every caller of the
// system directory does.
QByteArray JoinPath(const QByteArray &directory, const QByteArray &name);
