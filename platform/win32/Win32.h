// The Windows headers for every win32/ source. <windows.h> maps names such as CreateFile to
// their A or W forms by macro; the seam's interfaces use the same names for their operations, so
// those macros would silently rename the operations in any file that sees both. Win32 sources
// include this header instead of <windows.h> and call the A forms by their full names.
#pragma once

#include <windows.h>

#undef CreateFile
#undef GetDriveType
#undef GetLogicalDriveStrings
#undef GetModuleFileName
#undef GetVersionEx
#undef MessageBox
