// RunChecks: what a replace run would meet, looked at before it starts, so
// that the wizard can say it on its summary page instead of after Finish:
// the components of the chosen set (and of the others) in the forms of the
// chosen files, a run or restore at work in the backup folder (its lock), an
// earlier run there, and files and folders the run cannot write. A check that would stop the run says so.
#pragma once

#include "FamilyScan.h"

#include <QString>
#include <QStringList>

#include <vector>

class TComponentReplacer;
class TFileSystem;
class TReplaceOptions;

struct TRunCheck
{
    QString Text;
    bool Stops = false; // the run would fail or be refused
};

struct TRunChecks
{
    std::vector<TRunCheck> Items;
    // The text of the first check that would stop the run; empty when none.
    QString StopReason() const;
};

// Options: the run's (Dest, Directory, IncludeSubDirs, MakeBackup,
// BackupDir, WriteLog). ProjectUnits: in project mode the full paths of the
// chosen units; LogFolder: where the log goes. Chosen: the position of the
// run's replacer among Replacers. OnForm: called with each form read.
TRunChecks CheckReplaceRun(const TReplaceOptions &Options, const QStringList &ProjectUnits, const QString &LogFolder,
                           int Chosen, const std::vector<const TComponentReplacer *> &Replacers,
                           const TFormScanHook &OnForm = {});

// Why a run must not use the backup folder of UndoFile: it holds the undo
// file of an earlier run (finished or not) that changed files. Empty when
// the folder may be used.
QString EarlierRunMessage(const QString &UndoFile, TFileSystem &Fs);

// The absolute folder itself when it exists, else the nearest folder above
// it that does; empty for a relative path or when none exists.
QString ExistingFolderAtOrAbove(const QString &Folder);

// "The folder "DIR" holds no Delphi units (.pas, .dpr)." (with " and its
// subfolders" after the name when they count).
QString NoUnitsMessage(const QString &Folder, bool IncludeSubDirs);
