#pragma once

class QTabWidget;

// The tab widget that the next "tab" element of the document joins, if any.
// Start-up clears it before each document; a destroyed tab widget reads as none.
QTabWidget *pendingTabWidget();
void setPendingTabWidget(QTabWidget *tabs);
inline void clearPendingTabWidget() { setPendingTabWidget(nullptr); }
