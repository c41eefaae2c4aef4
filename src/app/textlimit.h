#pragma once

class QLineEdit;
class QWidget;

// A field's length limit, checked when its dialog is accepted rather than
// by cutting the text: a path chosen through Browse is never shortened into
// another path. Tells the user and selects the field when the text is too
// long; true when it fits.
bool AcceptsLength(QWidget *dialog, QLineEdit *field, int maxChars);
