#pragma once

#include <QByteArray>
#include <QIcon>
#include <QString>

class Element;
class FormSession;

// What task bars and window managers go by: the application's name, its desktop
// file (so Wayland compositors match windows to kiv.desktop) and kiv's icon on
// every window, dialogs included. Call once the application object exists.
void setApplicationIdentity();

// The installed default icon, or the copy built into the program when that is
// missing or unreadable: a window never goes without one.
QIcon kivIcon();

// A form's window title: the root's "title" when the root is not a tab page and
// has a non-empty one, else the mc file's name without ".mc".
QString formTitle(FormSession &session, const Element *root, const QByteArray &path);
