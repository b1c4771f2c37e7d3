// Tooltips of the dialog's controls and of its toolbar's buttons. A tooltip's text is the string
// resource numbered like its control or command; a control without such a string has none.
#pragma once

#include "platform/win32/Win32.h"

namespace qv::win32 {

// Registers a tool for every child control of hDialog that has a text. Controls that take the
// mouse are tools themselves; labels, which let the mouse through to the dialog, are tools over
// their rectangle of the dialog.
void CreateToolTips(HWND hDialog);
// Answers a tooltip's or the toolbar's request for a text; false when the notification was
// neither.
bool AnswerToolTip(LPARAM lParam);

} // namespace qv::win32
