// The replacement engine of one source component set: its options
// (TReplaceOptions), its replace pairs, the rewriting of Pascal units and of
// form files, the replace run with its temporary folder, backups, undo file
// and log, and the restore from an undo file.
//
// Invariant: an original file changes only in the copy-back at the end of a
// successful conversion of every file of the run, and only after its backup
// and the undo file (when backups are on) are on disk. The run and the
// restore themselves, with their guarantees, are TReplaceRun and TRestoreRun
// (ReplaceRun.h), which drive the replacer; all their disk access goes
// through TFileSystem. The replacer reaches the run in progress only through
// TConversionHost.
#pragma once

#include "CaseCompare.h"

#include "CodeScan.h"
#include "UnitIndex.h"
#include "FormParser.h"
#include "LogWriter.h"
#include "FileSystem.h"
#include "TextCodec.h"
#include "WorkReport.h"

#include <QHash>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <exception>
#include <memory>
#include <utility>
#include <vector>

class QIODevice;
class TRegIniFile;
class TStreamOriginals;
class TUnitIndex;
class TReplaceRun;
class TRestoreRun;
struct TObjectWalk;

enum TSearchDestination : int { sdProject = 0, sdDirectory = 1 };

// What a run does. One object is shared by the replacers of a product.
class TReplaceOptions
{
public:
    explicit TReplaceOptions(const QString &ASourceName);

    const QString &SourceName() const { return FSourceName; }
    // The source name followed by " Migration Wizard".
    QString Caption() const;

    // Read or write Dest, Directory, IncludeSubDirs, MakeBackup, WriteLog,
    // ViewLog and RenameMembers in the given section. Loading keeps a field whose key is missing.
    void LoadFromIniFile(TRegIniFile &IniFile, const QString &Section);
    void SaveToIniFile(TRegIniFile &IniFile, const QString &Section) const;

    TSearchDestination Dest = sdProject;
    QString Directory;
    bool IncludeSubDirs = false;
    bool MakeBackup = true;
    QString BackupDir;
    bool WriteLog = true;
    QString ModuleList; // file names of the chosen units, one per line
    bool ViewLog = false;
    QString ConnectionDefFileName;
    QString DriverConfFileName;
    // Convert into the temporary folder and show the converted files to the
    // progress observer instead of putting them in place. Not saved.
    bool DryRun = false;
    // How many threads convert the files of a run (at least 1). Whatever the
    // number, the log, the undo file and every output are those of a run on
    // one thread. Not saved.
    int Jobs = 1;
    // Rewrite in the code the members that the form rules rename one to one
    // (X.SelectSQL to X.SQL); off, such uses are only reported.
    bool RenameMembers = false;

private:
    QString FSourceName;
};

// A list of name=value lines whose names are looked up without regard to
// letter case, or (for file names) as the file system compares them; setting
// a name that is present replaces its value in place.
class TNameValueList
{
public:
    explicit TNameValueList(Qt::CaseSensitivity NameCase = Qt::CaseInsensitive) : FNameCase(NameCase) {}
    void Clear()
    {
        FItems.clear();
        FIndex.clear();
    }
    int Count() const { return int(FItems.size()); }
    bool IsEmpty() const { return FItems.empty(); }
    const QString &Name(int Index) const { return FItems[size_t(Index)].first; }
    const QString &ValueAt(int Index) const { return FItems[size_t(Index)].second; }
    int IndexOfName(QStringView Name) const;
    // The value of the first line with that name, or an empty text.
    QString Value(QStringView Name) const;
    void SetValue(const QString &Name, const QString &Value);
    void Append(const QString &Name, const QString &Value);
    // The lines as "name=value".
    QStringList Lines() const;

private:
    QString KeyOf(QStringView Name) const;

    std::vector<std::pair<QString, QString>> FItems;
    Qt::CaseSensitivity FNameCase;
    // Name key (case-folded where names ignore case) -> first line of that
    // name: a run backs up thousands of files and looks each one up.
    QHash<QString, int> FIndex;
};

// The resource header of a binary form file, and what the run needs to
// write its component stream back.
struct TRCData
{
    QByteArray Name; // the resource name as stored; written back unchanged
    qint32 Size = 0; // the data size as stored; computed anew on writing
    // The original stream's values, so that objects the run did not convert
    // are written back with their exact bytes.
    std::shared_ptr<TStreamOriginals> Originals;
};

// What the scan of a form file knows about the current object.
struct TFormObject
{
    QString Name;
    QString ClassName;
    QString LastIdent;
    bool ReadingName = false;
    bool ReadingType = false;
};

// What the progress observer of a run is told: the file being converted and
// its place in the run's list. The command line shows it on a terminal.
class TReplaceProgress
{
public:
    virtual ~TReplaceProgress() = default;
    virtual void StartWait() {}
    virtual void FileStarted(int /*Index*/, int /*Count*/, const QString & /*Path*/) {}
    virtual void StopWait() {}
    // The run asks for its log to be opened with its associated program.
    virtual void ViewLog(const QString & /*Path*/) {}
    // A dry run shows each changed file: its original and its converted
    // version in the temporary folder, which is removed afterwards.
    virtual void ConvertedFile(const QString & /*Original*/, const QString & /*Converted*/) {}
};

// What a replacer knows about its source component set beyond its pairs:
// its units, and how to tell its classes and its API from other names.
struct TSourceFamily
{
    // The units of the set as uses clauses name them, letter case ignored. A
    // unit that renamed classes but names none of them in a uses clause
    // behind which the new units went gets them behind the first of these.
    QStringList Units;
    // Classes of the set, compared without regard to letter case.
    QStringList ClassNames;
    // Prefixes of further classes of the set ("TIB", "TpFIB"): a name that
    // starts with one (letter case ignored, as Delphi ignores it) and goes
    // on with a letter is of the set. A name that contains one elsewhere is not.
    QStringList ClassPrefixes;
    // The prefix of the set's API functions ("Dbi"), followed by a capital.
    QString ApiPrefix;
    // The set's name as the user knows it ("BDE", "IBX", "FIBPlus").
    QString Name;
};

// What the restore asks when an original cannot simply be put back. The
// answers default to the safe choice: leave the file alone, create nothing.
class TRestoreQuestions
{
public:
    virtual ~TRestoreQuestions() = default;
    // Files changed since the conversion: overwrite them with their backups?
    virtual bool OverwriteChangedFiles(const QStringList & /*Files*/) { return false; }
    // Originals that no longer exist: create them from their backups?
    virtual bool CreateMissingFiles(const QStringList & /*Files*/) { return false; }
};

// What a restore did beyond its Boolean result.
struct TRestoreReport
{
    QStringList LeftChanged; // changed since the conversion, not overwritten
    QStringList LeftMissing; // no longer there, not created
    QStringList Errors;      // every failure, with paths and reasons
};

// A file as a run read it (the pre-scan of a form), kept for its conversion.
struct TKeptFile
{
    QByteArray Bytes;
    TFileAttributes Attributes;
};

// What the run in progress does for the conversion of its files; the run
// (TReplaceRun) implements it, so that the replacer does not know the run.
class TConversionHost
{
public:
    virtual ~TConversionHost() = default;
    // See TComponentReplacer::FindFileIgnoringCase.
    virtual QString FindFileIgnoringCase(const QString &Path) = 0;
    // Writes the converted version of a file (OutputPath: its place in the
    // temporary folder) where the copy-back can rename it over its original.
    virtual void WriteConvertedFile(const QString &OutputPath, const QByteArray &Bytes) = 0;
    // The bytes and attributes of a file just read for its conversion.
    virtual void NoteOriginalFile(const QString &Path, const QByteArray &Bytes, const TFileAttributes &Attributes) = 0;
    // A file that the run read already, or nullptr. Safe on any thread
    // while the files are converted.
    virtual const TKeptFile *PrescannedFile(const QString &Path) const = 0;
    // When the run asks for them (IndexLater): the interface of a unit just
    // rewritten, and whether its code may reach another unit's objects.
    virtual bool IndexLater() const = 0;
    virtual void NoteUnitInterface(const QString &Path, TUnitInterface Interface, bool MayReach) = 0;
};

class TComponentReplacer
{
public:
    TComponentReplacer(TFormParserClass FormParserClass, const QString &OldUsesUnit, const QString &NewUsesList,
                       TReplaceOptions *AReplaceOptions);
    virtual ~TComponentReplacer();
    TComponentReplacer(const TComponentReplacer &) = delete;
    TComponentReplacer &operator=(const TComponentReplacer &) = delete;

    // Replace pairs: the first pair for an old name (in any letter case) stays
    // in force; later ones for the same name are stored but never used.
    void AddReplacePair(const QString &OldComp, const QString &NewComp);
    void ClearPairs();
    // The new class of the pair whose old name equals Name without regard to
    // letter case, or nullptr.
    const QString *FindNewComp(QStringView Name) const;

    // The text written in place of an identifier of the code that names an
    // old class: the new name.
    virtual QString GetReplacementText(const QString &OldName, const QString &NewName) const;
    // GetReplacementText for a name with a pair, the name itself otherwise.
    virtual QString TranslateName(const QString &Name) const;

    // Converts the units of the project or folder that the options name.
    // Returns true when the converted files were put in place; errors that
    // stop the run are raised (EMigError and descendants) after the clean-up.
    bool PerformReplace();
    // Copies the backups listed in an undo file back over their originals.
    // Files changed since the conversion and originals that no longer exist
    // are left alone unless the restore questions say otherwise;
    // RestoreReport() names them.
    bool PerformRestore(const QString &UndoFile);
    // Not owned; null answers every question with the safe default.
    void SetRestoreQuestions(TRestoreQuestions *Questions) { FRestoreQuestions = Questions; }
    const TRestoreReport &RestoreReport() const { return FRestoreReport; }
    // Why the last replace run failed or stopped, with paths and reasons.
    const QStringList &RunErrors() const { return FRunErrors; }

    // The file layer through which runs and restores reach the disk; not
    // owned. Tests put a fault-injecting one here.
    void SetFileSystem(TFileSystem *Fs) { FFileSystem = Fs ? Fs : &DefaultFileSystem(); }
    TFileSystem &FileSystem() const { return *FFileSystem; }

    TReplaceOptions *ReplaceOptions() const { return FReplaceOptions; }
    const TNameValueList &DBList() const { return FDBList; }
    const TNameValueList &UndoList() const { return FUndoList; }
    TFormParser &FormParser() const { return *FFormParser; }
    TLogWriter &Log() { return FLog; }
    const QString &OldUsesUnit() const { return FOldUsesUnit; }
    const QString &NewUsesList() const { return FNewUsesList; }
    const TSourceFamily &Family() const { return FFamily; }
    void SetFamily(TSourceFamily Family);
    // True when Name names a class of the source set that has no pair.
    bool IsUnpairedFamilyClass(QStringView Name) const;
    // What the last run left to the user; emptied when a run starts.
    TWorkReport &WorkReport() { return FWorkReport; }
    const TWorkReport &WorkReport() const { return FWorkReport; }
    // Writes the report of work left as Wiz_Report.txt beside the log, when
    // the run writes a log. Returns its path, or an empty text.
    QString WriteWorkReport();
    void SetProgress(TReplaceProgress *Progress) { FProgress = Progress; }

    // Steps of a run, public so that they can be driven one by one.
    QStringList &UnitList() { return FUnitList; }
    // The interfaces of the run's units, through which the code scan of a
    // unit finds uses of converted fields of other units' objects; null
    // (the default) when each unit is scanned alone. Read by every worker.
    void SetUnitIndex(std::shared_ptr<const TUnitIndex> Index) { FUnitIndex = std::move(Index); }
    // Reports the uses in the unit at Path (its bytes as read) of converted
    // fields of other units' objects, through Index: the second look at a
    // unit of a run that indexes its units as it rewrites them.
    void ReportReachedUses(const QString &Path, const QByteArray &Bytes, const TUnitIndex &Index);
    // The code scan (uses of converted components in the code, and the
    // index of the run's units it reads them through) is on. Switched off
    // for the whole process only to measure what it costs; not an option.
    static void SetCodeScan(bool On);
    static bool CodeScan();
    int ChangedFilesCount() const { return FChangedFilesCount; }
    // Form objects that the last run re-created under their new class.
    int RecreatedObjectsCount() const { return FRecreatedObjectsCount; }

    // Reads the rest of the stream and decodes it (UTF-16 LE after FF FE,
    // UTF-8 after EF BB BF, otherwise the ANSI code page).
    static void ReadSourceText(QIODevice &Stream, QString &Text, TTextEncoding &Encoding);
    // Rewrites a unit or project file into OutputPath; writes the file only
    // when some lexeme changed. May append form files to the unit list.
    void RewriteUnit(const QString &Text, const QString &SourcePath, const TTextEncoding &Encoding,
                     const QString &OutputPath);
    // The form file named by a resource directive comment of the unit at
    // UnitPath, as the directive spells it, or an empty text when the comment
    // names none.
    static QString FormFileOfDirective(const QString &Comment, const QString &UnitPath);
    // The path of an existing file that Path names when letter case is
    // ignored (Path itself when it exists), or an empty text. Where several
    // names differ from it only in letter case, the one whose name before
    // the extension is spelled as asked; EFileError when that leaves more
    // than one. Folder listings are kept for the rest of the run (in the
    // run object), so a folder of thousands of units is listed once.
    QString FindFileIgnoringCase(const QString &Path);

    // Reads a form file, binary (FF 0A 00, resource header, component stream)
    // or text. Raises EStreamError naming FileName for a truncated header or
    // a corrupt stream.
    static void ReadFormText(QIODevice &Stream, const QString &FileName, TRCData &RCData, QString &Text,
                             TTextEncoding &Encoding, bool &Binary);
    // A binary form file: the resource header (FF 0A 00, the name and its
    // zero byte, the flags 30 10, the size of the stream) and the stream.
    static QByteArray MakeBinaryFormFile(const QByteArray &ResourceName, const QByteArray &Stream);
    // Re-creates every OBJECT whose class has a pair under its new class and
    // writes OutputPath (binary or text, as it came) when any was re-created.
    void RewriteForm(const QString &Text, const QString &OutputPath, const TTextEncoding &Encoding, bool Binary,
                     const TRCData &RCData);
    // The pre-scan: database name = root object.component for every
    // TDatabase object of the form file.
    void CollectDatabaseNames(const QString &FileName);
    // The database names of a form file's bytes with the components that
    // define them, in the order of the form. Raises EStreamError naming
    // FileName for a corrupt form. Safe on any thread.
    static QList<std::pair<QString, QString>> DatabaseNamesOf(const QByteArray &FormBytes, const QString &FileName);
    // The form parser's OnGetPropertyValue handler: the connection reference
    // for a database name, or an empty text.
    QString GetDatabaseConnection(const QString &PropName, const QString &OldPropValue) const;

    // Converts one file of the run into OutputFolder.
    void ProcessFile(const QString &FileName, const QString &OutputFolder);

    // The line break of the file being rewritten: "\n" when its first line
    // break is a lone line feed, "\r\n" otherwise. Text that the rewriting
    // inserts uses it, so a file keeps one line-break style.
    const QString &LineBreak() const { return Current().LineBreak; }
    static QString LineBreakOf(QStringView Text);

protected:
    friend class TReplaceRun;
    friend class TRestoreRun;
    // Items of the report of work left, found while a form or unit is
    // rewritten. Lines gives the line of an offset in its text.
    // A class of the source set without a pair, named at Pos by the header
    // of the object at Path.
    // Its event handlers are noted for the handler signatures (Text is the
    // form's text, Pos the offset of the class name).
    void ReportUnpairedComponent(const QString &Text, TLineIndex &Lines, qsizetype Pos, const QStringList &Path,
                                 QStringView ClassName);
    // The same for the objects nested in the one converted whole from From
    // to To (offsets in Text); Around is the walk at its class name.
    void ReportUnpairedComponents(const QString &Text, TLineIndex &Lines, qsizetype From, qsizetype To,
                                  const TObjectWalk &Around);
    void ReportDroppedProperties(TLineIndex &Lines, const QString &ObjectPath, const QString &NewClass);
    void ReportObjectNotConverted(TLineIndex &Lines, int ObjectPos, const QString &ObjectPath, const QString &OldClass,
                                  const QString &NewClass);
    // An identifier of the code that the run left as it was.
    void ReportLeftIdentifier(TLineIndex &Lines, qsizetype Pos, QStringView Name);
    // Uses of converted components in the code (CodeScan.h); a member
    // renamed in the code is reported as done.
    void ReportCodeUse(TLineIndex &Lines, const TCodeUse &Use, bool Renamed);
    // The lexemes of a unit's text without blanks, each identifier with the
    // new name of the old class it names. Index, when given, receives the
    // index of its code for the code scan, and the comments are left out;
    // Comments, when given, receives them.
    std::vector<TUnitLexem> LexUnit(const QString &Text, TCodeIndex *Index = nullptr,
                                    std::vector<TUnitLexem> *Comments = nullptr) const;
    // What the current conversion's code scan asked of its parser's rules.
    TMemberFates &MemberFates() const;
    // Converted objects left open (Active or Connected True) that have no
    // connection in the converted form.
    void ReportOpenWithoutConnection(TLineIndex &Lines, int ObjectPos, const QString &ObjectPath,
                                     const QString &NewClass);


    void WriteFormFile(const QString &OutputPath, const QString &FormText, const TTextEncoding &Encoding,
                       bool Binary, const TRCData &RCData);
    // Writes a converted file into the temporary folder, replacing one of an
    // earlier conversion of the same file. Raises EFileError naming the file
    // and the system's reason when the write fails.
    void WriteWholeFile(const QString &Path, const QByteArray &Bytes);
    // Replaces old class names inside a comment, or records the form file of
    // a resource directive. Returns the number of replacements.
    int HandleComment(QString &Comment, const QString &SourcePath);

    TLogWriter FLog;
    QStringList FUnitList;
    int FChangedFilesCount = 0;
    int FRecreatedObjectsCount = 0;
    TNameValueList FUndoList{FileNameCase()};
    TNameValueList FDBList;

    // While RewriteUnit asks GetReplacementText about an identifier of the
    // code: the unit's text, the identifier's bounds in it and a number that
    // tells one rewritten unit from the next. Text is null at any other time.
    // Lets an override look at what surrounds the identifier; Counter starts
    // at 0 for every unit and is the override's to count with.
    struct TIdentifierContext
    {
        const QString *Text = nullptr;
        qsizetype Start = 0;
        qsizetype End = 0;
        int Unit = 0;
        mutable int Counter = 0;
    };
    const TIdentifierContext &IdentifierContext() const { return Current().Identifier; }

    // The state of one file's conversion: its form parser, line break and
    // identifier context, and, when the run collects them (Collect), what
    // the conversion produces, to be committed in list order by the run's
    // one committing thread. Without Collect every effect goes straight to
    // the replacer (its log, report, file list and the temporary folder).
    struct TConversion
    {
        TConversion() = default;
        TConversion(const TConversion &) = delete; // Fates may point into it
        TConversion &operator=(const TConversion &) = delete;

        TFormParser *Parser = nullptr;
        std::unique_ptr<TFormParser> OwnParser; // a worker's own parser
        QString LineBreak = QStringLiteral("\r\n");
        TIdentifierContext Identifier;
        QString CurrentFile; // the file being converted, for the report
        // What the code scan asked of Parser's rules: its own, or that of
        // the worker that runs it, so that a run asks each question once
        // per thread.
        TMemberFates OwnFates;
        TMemberFates *Fates = &OwnFates;
        bool Collect = false;
        // What a collected conversion produced.
        QStringList LogLines;
        QList<TWorkItem> ReportItems;
        QStringList AppendedFiles;
        QStringList DeclaredClasses; // classes the unit declares itself
        QList<THandlerNote> HandlerNotes;
        bool HasInterface = false; // see TConversionHost::NoteUnitInterface
        TUnitInterface Interface;
        bool MayReach = false;
        bool HasOutput = false;
        QByteArray Output;
        // The original as the conversion read it, for the run.
        bool HasOriginal = false;
        QByteArray OriginalBytes;
        TFileAttributes OriginalAttributes;
        int ChangedFiles = 0;
        int RecreatedObjects = 0;
        std::exception_ptr Error;
    };
    // The conversion that the calling thread runs for this replacer, or the
    // replacer's own (direct) one.
    TConversion &Current() const;
    // A conversion with a form parser of its own, made through the
    // replacer's form parser class and set up like the replacer's.
    std::unique_ptr<TConversion> MakeCollectingConversion() const;
    // Runs ProcessFile(FileName) in Conversion on the calling thread; the
    // results and any error are left in Conversion.
    void ConvertInto(TConversion &Conversion, const QString &FileName);
    void LogLine(const QString &Line);
    void CountChangedFile();
    void CountRecreatedObjects(int Count);
    void AddWorkItem(TWorkItem Item);
    void NoteHandler(THandlerNote Note);

private:
    struct TPair
    {
        QString OldComp;
        int NewIndex;
    };
    std::vector<TPair> FOldComps; // sorted without regard to letter case
    QStringList FNewComps;
    TNameFilter FOldNames; // passes every old name
    TAsciiNameIndex FOldIndex; // old name -> index in FNewComps
    TFormParserClass FFormParserClass;
    std::unique_ptr<TFormParser> FFormParser;
    mutable TConversion FOwnConversion; // direct: effects go to the replacer
    QString FOldUsesUnit;
    QString FNewUsesList;
    TSourceFamily FFamily;
    TWorkReport FWorkReport;
    std::shared_ptr<const TUnitIndex> FUnitIndex;
    TReplaceOptions *FReplaceOptions;
    TReplaceProgress *FProgress = nullptr;

    TFileSystem *FFileSystem = &DefaultFileSystem();
    TRestoreQuestions *FRestoreQuestions = nullptr;
    TRestoreReport FRestoreReport;
    QStringList FRunErrors;
    // The run in progress (TReplaceRun), with the state that lives only as
    // long as it.
    TConversionHost *FRun = nullptr;
};
