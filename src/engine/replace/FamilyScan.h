// FamilyScan: a quick look at the forms of a project or a folder that tells
// which source component set they use. It reads only the object headers of
// each form ("object Name: TClass", binary forms through their text form)
// and counts, per replacer, the objects whose class has a replace pair in
// it. Nothing is converted or written; a form that cannot be read is
// counted as such and otherwise left out.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class TComponentReplacer;

struct TFamilyCount
{
    int Objects = 0; // objects whose class has a pair in the family
    int Forms = 0;   // forms that hold at least one of them
    QStringList FormPaths; // those forms
};

struct TFamilyScan
{
    std::vector<TFamilyCount> Families; // by replacer position
    int UnitFiles = 0;   // .pas and .dpr files looked at (folder scans)
    int FormFiles = 0;   // forms read
    QStringList Unreadable; // forms that could not be read, with the reason

    // The position of the family with the most objects (the first of equals);
    // -1 when no form holds any paired object.
    int Largest() const;
};

// Called with each form before a scan reads it: for a progress display, and
// for the tests to look at the user interface while a scan runs.
using TFormScanHook = std::function<void(const QString &Path)>;

// Counts the paired objects of each replacer's family in the given forms.
TFamilyScan ScanFamilies(const QStringList &FormFiles, const std::vector<const TComponentReplacer *> &Replacers,
                         const TFormScanHook &OnForm = {});

// The forms of the given units: for each .pas, the .dfm or .nfm of the same
// name beside it (letter case aside), when there is one.
QStringList FormsOfUnits(const QStringList &Units);

// The Delphi files of a folder (and its subfolders): units and project files
// into Units, forms into Forms, each sorted. A folder that cannot be listed
// gives nothing.
void ListDelphiFiles(const QString &Folder, bool IncludeSubDirs, QStringList &Units, QStringList &Forms);

// Scans a folder as a replace run in folder mode would find it.
TFamilyScan ScanFolderFamilies(const QString &Folder, bool IncludeSubDirs,
                               const std::vector<const TComponentReplacer *> &Replacers,
                               const TFormScanHook &OnForm = {});
