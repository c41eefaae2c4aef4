#pragma once

class QWidget;

// Shows a page of the help book (a HelpTopic) in the program's help window,
// opening the window if need be. from is any widget of the program: a dialog
// asking for its own page, or the main window.
void OpenHelp(QWidget *from, const char *topic);
