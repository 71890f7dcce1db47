#pragma once

class QWidget;
class tumbraMainDialogForm;

// The main window's size and position, its recent-path lists and the
// last simulation settings, kept in the user's settings store ("velmora",
// "tumbra") under the groups 1.0/MainWindow and 1.0/Parameters, the 1.0 being
// the program's version (tumbraVersion.h). Read once when the window is built
// and written once when it closes.
void readDialogSettings(QWidget& dialog, tumbraMainDialogForm& form);
void writeDialogSettings(const QWidget& dialog, const tumbraMainDialogForm& form);
