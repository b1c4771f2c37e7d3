// What the program calls itself and what its message boxes say, for every run, window and check
// that shows them.
#pragma once

namespace qv {

// The caption of every message box, the notification-area icon's tip and the name of the Run
// entry.
inline constexpr const char* APP_NAME = "Quorvex";
inline constexpr const char* APP_NO_DRIVE_TEXT =
    "Quorvex was failed to find any CD-ROM drives. Work finished.";
inline constexpr const char* APP_NO_BROWSER_TEXT = "Could not find associated Browser";

inline constexpr const char* UPDATE_FAILED_TEXT =
    "Cannot find update info, or info has a wrong format.";
inline constexpr const char* UPDATE_NOTHING_NEWER_TEXT =
    "There is no any newer version of Quorvex available.";
inline constexpr const char* UPDATER_FAILED_TEXT = "Unable to run update.exe";

} // namespace qv
