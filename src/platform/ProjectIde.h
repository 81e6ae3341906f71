// TProjectFileIde: the IDE services of a project file opened from disk, for
// runs without the Delphi IDE (the command line). The project's modules are
// its units: the "Name in 'path'" entries of a .dpr's uses clause, or the
// DCCReference items of a .dproj, in file order, as full paths with native
// separators and the letter case found on disk. There is no editor, so saving
// and reloading succeed at once; the main menu is kept in memory.
#pragma once

#include "IDEUtils.h"

#include <QStringList>

class TProjectFileIde : public TIDEServices
{
public:
    TProjectFileIde() = default;

    bool IsProjectGroupOpen() const override { return !FProjectFileName.isEmpty(); }
    QString ActiveProjectFileName() const override { return FProjectFileName; }
    int ModuleCount() const override { return int(FModules.size()); }
    QString ModuleFileName(int Index) const override;
    bool SaveProject() override { return IsProjectGroupOpen(); }
    bool CloseProjectGroup() override;
    // Reads the project file and lists its units; a .dproj (by extension,
    // any case) is read as MSBuild XML, anything else as Pascal source.
    // False, with no project open and ErrorString() set, when the file cannot
    // be read or parsed.
    bool OpenProject(const QString &ProjName) override;
    bool ReloadFile(const QString &FileName) override;
    void ShowProjectCodeEditors() override {}
    TZuMainMenu &MainMenu() override { return FMainMenu; }

    // Why the last OpenProject failed.
    const QString &ErrorString() const { return FErrorString; }

    // The unit paths of a project source (.dpr): the quoted paths of the
    // "Name in 'path'" entries of its uses clause, as written.
    static QStringList ParseProjectSource(const QString &Text);
    // The Include paths of the DCCReference items of a .dproj, as written,
    // package references (.dcp) left out. False with *Error set when the XML
    // is malformed.
    static bool ParseMsBuildProject(const QByteArray &Xml, QStringList &Paths, QString *Error);

private:
    QString FProjectFileName;
    QStringList FModules;
    QString FErrorString;
    TZuMainMenu FMainMenu;
};
