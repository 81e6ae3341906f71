// The system's user-visible texts, reproduced exactly as users and their
// scripts know them (misspellings included).
#pragma once

#include <QString>

namespace RExpertRes {

inline const QString sMigrationWizard = QStringLiteral(" Migration Wizard");
inline const QString sLog = QStringLiteral(" log");
inline const QString sCreatedAt = QStringLiteral("Created at:");
inline const QString sNoChanges = QStringLiteral("No changes");
inline const QString sChanges = QStringLiteral(" change(s)");
// The log line that closes a file's conversion.
inline QString changeCountLine(int Count)
{
    return Count == 0 ? sNoChanges : QString::number(Count) + sChanges;
}
inline const QString sInitializingUnitList = QStringLiteral("Initializing unit list");
inline const QString sCreatingBackupFolder = QStringLiteral("Creating backup folder");
inline const QString sAllocatingTempFolder = QStringLiteral("Allocating temporary folder");
inline const QString sProcessingFile = QStringLiteral("Processing file: %1");
inline const QString sReplacingOriginals = QStringLiteral("Replacing original files with changed versions");
inline const QString sBackupFile = QStringLiteral("Backup file: %1");
inline const QString sRemovingTempFolder = QStringLiteral("Removing temporary folder");
inline const QString sReplaceSucceeded = QStringLiteral("Replace procedure was performed sucessfully.");
inline const QString sReplaceFailed = QStringLiteral("Replace failed.");
inline const QString sRestoreSucceeded = QStringLiteral("Files were succefully restored.");
inline const QString sRestoreFailed = QStringLiteral("Failed to restore files.");
inline const QString sCannotStartReplace = QStringLiteral("Cannot start replace process.");
inline const QString sProjectNotSaved = QStringLiteral("Project was not saved.");
inline const QString sFailedToCreateDirectory = QStringLiteral("Failed to create directory.");
inline const QString sUndoFileName = QStringLiteral("RExpert.reu");
inline const QString sLogFileName = QStringLiteral("Wiz_Log.txt");
// The report of work left, written beside the log.
inline const QString sReportFileName = QStringLiteral("Wiz_Report.txt");
inline const QString sReport = QStringLiteral(" report");

} // namespace RExpertRes
