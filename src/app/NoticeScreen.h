#pragma once

class frmMain;

// Fills window with the notice, a small dialog: second above first ("-" when
// first is null), and an OK button, the default, that closes the window; Return
// and Escape close it too. The window is centred on its screen.
void setupNotice(frmMain *window, const char *first, const char *second);
