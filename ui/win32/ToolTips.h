// Tooltips of the dialog's controls and of its toolbar's buttons. A tooltip's text is the string
// resource numbered like its control or command, or what the dialog's own text source says; a
// control without a text has none.
#pragma once

#include "platform/win32/Win32.h"

#include <functional>
#include <string>

namespace qv::win32 {

// The tooltip of a control, by its identifier; empty for one that has none.
using ToolTipTexts = std::function<std::string(int nControl)>;

// Registers a tool for every child control of hDialog that has a text. Controls that take the
// mouse are tools themselves; labels, which let the mouse through to the dialog, are tools over
// their rectangle of the dialog.
void CreateToolTips(HWND hDialog);
void CreateToolTips(HWND hDialog, const ToolTipTexts& textOf);
// Answers a tooltip's or the toolbar's request for a text; false when the notification was
// neither.
bool AnswerToolTip(LPARAM lParam);
// Answers a tooltip's request from textOf; false when the notification was none.
bool AnswerToolTip(LPARAM lParam, const ToolTipTexts& textOf);

} // namespace qv::win32
