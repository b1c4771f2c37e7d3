// Resource identifiers shared by the resource script and the Win32 sources.
#pragma once

#define IDR_MAINFRAME 128
