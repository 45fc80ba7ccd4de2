// The status label holds one short line; a status longer than the label
// shows whole in a tip while the mouse rests on the label.
#pragma once

#include <windows.h>

// Gives the dialog's status label its tip. Dialog thread; the tip goes with
// the dialog.
void AttachStatusTip(HWND dlg);

// Answers the tip's request for its text: the whole status when the label
// cuts it short, else nothing, so that no tip shows. False when the
// notification is not the tip's.
bool OnStatusTipNotify(HWND dlg, NMHDR* header);
