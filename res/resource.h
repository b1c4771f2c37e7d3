// Resource identifiers shared by the resource script and the Win32 sources. The control and
// command identifiers live with the dialog code that uses them.
#pragma once

#include "ui/Commands.h"

#define IDR_MAINFRAME 128

// The toolbar layout (resource IDR_TOOLBAR of this type) is raw data, as the resource compiler
// has no statement for it: WORD version (1), WORD button width, WORD button height, WORD count,
// then one WORD command identifier per button, 0 for a separator.
#define RT_TOOLBAR_LAYOUT 241
#define TOOLBAR_LAYOUT_VERSION 1
// The 16-colour button strip IDR_TOOLBAR: one image of this size per button.
#define TOOLBAR_BUTTON_CX 40
#define TOOLBAR_BUTTON_CY 56

// The background of the 24-bit button strips (IDB_TOOLBAR_NORMAL, IDB_TOOLBAR_HOT), which the
// image lists mask out.
#define TOOLBAR_MASK_COLOR RGB(191, 191, 191)

// The help page that the exes find beside themselves.
#define HELP_FILE_NAME "quorvex-help.html"
