#pragma once

class frmMain;

// Fills window with the notice: second above first ("-" when first is null), and
// an OK button that closes the window.
void setupNotice(frmMain *window, const char *first, const char *second);
