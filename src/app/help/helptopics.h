#pragma once

// The pages of the help book, one for each window, dialog and subject the
// user may ask about. Each is a file of the book, shown by OpenHelp.
namespace HelpTopic {

inline constexpr char Contents[] = "index.html";
inline constexpr char StartingARun[] = "starting-a-run.html";
inline constexpr char SelectFiles[] = "select-files.html";
inline constexpr char Progress[] = "progress.html";
inline constexpr char ResultsWindow[] = "results-window.html";
inline constexpr char Categories[] = "categories.html";
inline constexpr char Timeouts[] = "timeouts.html";
inline constexpr char Export[] = "export.html";
inline constexpr char Retest[] = "retest.html";
inline constexpr char Repair[] = "repair.html";
inline constexpr char Settings[] = "settings.html";
inline constexpr char SavedReports[] = "saved-reports.html";
inline constexpr char Terminal[] = "terminal.html";
inline constexpr char Files[] = "files.html";

} // namespace HelpTopic
