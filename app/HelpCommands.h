#pragma once

class QWidget;

// The Help menu: the user guide that ships with the program, the contact page and the about box. What
// the desktop does with the guide or the page is not followed up.

// Opens the user guide in the web browser; without the guide nothing happens.
void OpenHelpFile();
void OpenContactPage();
// Shows the about box modally over `parent` and frees it when it closes.
void OpenAboutBox(QWidget* parent);
