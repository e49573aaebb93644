#pragma once

class QWidget;

// The help of the profile dialogs: each control may carry a help context; F1, or the title
// bar's help button and then a click, opens the topic of the control (or of the nearest
// enclosing one that has a topic, at last the dialog's own).
void SetHelpContext(QWidget* control, int context);
// Makes dialog answer F1 and the title bar's help button with its controls' topics.
void InstallHelp(QWidget* dialog);
