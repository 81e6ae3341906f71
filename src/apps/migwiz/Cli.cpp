#include "Cli.h"

#include "Errors.h"
#include "FamilyScan.h"
#include "FileUtils.h"
#include "IDEUtils.h"
#include "OrxReplacer.h"
#include "ProjectIde.h"
#include "RExpertRes.h"
#include "ReplaceExpert.h"
#include "Replacer.h"
#include "TextCodec.h"
#include "WorkReport.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QThread>
#include <QTextStream>

#include <dtl/dtl.hpp>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>
#include <unistd.h>

#ifndef MIGWIZ_VERSION
#define MIGWIZ_VERSION "0.0.0"
#endif

namespace {

const QString ProductName = QStringLiteral("Orvex");
// More threads than this only cost memory: every file is read and written by
// the one committing thread.
constexpr int MaxJobs = 256;

const char *const HelpText = R"(Usage:
  migwiz replace --from bde|ibx|fibplus|auto
                 (--project APP.dpr|APP.dproj [--units A.pas,B.pas] | --dir DIR [--subdirs])
                 [--backup-dir DIR | --no-backup] [--no-log] [--codepage NAME]
                 [--dry-run] [--report FILE.json] [--jobs N] [--rename-members]
  migwiz restore UNDOFILE [--force] [--codepage NAME]
  migwiz --help | --version

Converts Delphi units and forms that use the BDE (with the InfoPower
datasets), IBX or FIBPlus so that they use the Orvex components, or puts the
originals back from the undo file of an earlier run.

replace
  --from SET          the component set to convert from: bde, ibx or fibplus;
                      auto: the one whose components the forms of the
                      chosen units (or of DIR) hold most of, as a quick
                      scan of their object headers finds (the counts are
                      printed; none found is a usage error).
  --project FILE      project mode: convert the .pas units of a .dpr (the
                      "Name in 'path'" entries of its uses clause) or of a
                      .dproj (its DCCReference items), and the form files
                      that their {$R} directives name.
  --units A.pas,B.pas with --project: only these units of the project (file
                      names without folders, letter case ignored).
  --dir DIR           folder mode: convert every .pas and .dpr file of DIR
                      and the form files that they name.
  --subdirs           with --dir: the subfolders of DIR as well.
  --backup-dir DIR    where the originals of changed files are copied
                      (default: RBackup below the project's folder or DIR).
                      A folder that holds the undo file of an earlier run
                      that changed files is refused, so that its backups are
                      never overwritten (unless that run was restored).
  --no-backup         make no backups and no undo file.
  --no-log            write no log.
  --codepage NAME     the ANSI code page of the sources, forms, log and undo
                      file (default windows-1252; for instance windows-1251).
  --dry-run           convert into the temporary folder only: print a unified
                      diff of every file that would change (binary forms as
                      their text) and the report of work left; nothing else
                      is written, and the temporary folder is removed.
  --report FILE.json  also write the report of work left as JSON.
  --jobs N            convert on N threads, 1 to 256 (default: the number
                      of cores).
                      The log, the undo file, the report and every file
                      written are the same for any N.
  --rename-members    also rewrite in the code the members of converted
                      components that the form rules rename one to one
                      (X.SelectSQL to X.SQL, X.DBName to X.Database); the
                      report lists them. Without it they are only reported.

restore
  UNDOFILE            the RExpert.reu of an earlier run: every backup it lists
                      is put back over its original. Nothing is put back
                      unless every backup is there and holds what the run
                      recorded. The backups and the undo file stay. Relative
                      paths in it are taken from its folder, backups only
                      from inside that folder, and originals only inside the
                      tree the run converted (without its record: the parent
                      of the undo file's folder).
  --force             also overwrite files changed since the conversion (all
                      converted files, when the run's record is missing),
                      and create originals that no longer exist; without it
                      they are left alone, named on standard error, and the
                      restore reports failure.

What a replace writes:
  - the converted files in place of their originals, each replaced in one
    step, and only after every file was converted; a file with nothing to
    change is not written;
  - with backups: the original of every changed file in the backup folder,
    its extension prefixed with "~" (Main.pas -> Main.~pas, Main.dfm ->
    Main.~dfm; in folder mode at the same relative path), and the undo file
    RExpert.reu there, one "original=backup" line per file;
  - with the log: Wiz_Log.txt beside the project file, or in DIR, and beside
    it Wiz_Report.txt, the report of work left: counts by consequence (will
    not compile, will not load, behaves differently, for information), the
    largest groups, then the items: objects that could not be converted,
    code that uses members the new classes rename or lack, dropped
    properties and event handlers, database names that no TDatabase
    defines, components of the old set without an Orvex class, and old
    identifiers left in the code, each with its file and line;
  - while it works, a temporary folder $DS<n> in $TMPDIR (or /tmp), removed
    at the end.
The outcome message, the log's path, the undo file's path and a summary of
the work left ("N items need manual work; see PATH") are printed on standard
output; errors go to standard error. While a replace works and
standard error is a terminal, each file is shown there as "[i/n] path".

Exit status:
  0  success
  1  the operation reported failure ("Replace failed." or "Failed to restore
     files."); see the log; or the --report file could not be written
  2  usage error: unknown option, missing argument, --project together with
     --dir, unknown --from or --codepage, a project file, folder or undo file
     that does not exist
  3  an error stopped the run (a file that cannot be read or converted, a
     backup folder that cannot be made, a backup folder that already holds
     the undo file of an earlier run that changed files, another run or
     restore working on the backup folder or the tree, an original that may
     not be replaced); the message is on standard error and no original was
     overwritten
)";

// Terminal output for the expert: messages with the information icon go to
// Out, those with the error icon to Err. There is nobody to ask, and the
// command itself was the confirmation; --force answers the restore's
// questions with yes.
class TCliUI : public TExpertUI
{
public:
    TCliUI(QTextStream &Out, QTextStream &Err, bool Force = false)
        : FOut(Out), FErr(Err), FForce(Force)
    {
    }
    bool OverwriteChangedFiles(const QString &, const QStringList &) override { return FForce; }
    bool CreateMissingFiles(const QString &, const QStringList &) override { return FForce; }

    void MessageBox(const QString &Text, const QString &, TMessageIcon Icon) override
    {
        (Icon == TMessageIcon::Error ? FErr : FOut) << Text << '\n';
    }
    bool ConfirmAction(const QString &, bool, const QString &, bool) override { return true; }
    // The command line writes the report itself (--report).
    bool ShowsReportView() const override { return false; }

private:
    QTextStream &FOut;
    QTextStream &FErr;
    bool FForce;
};

// The text of a unit or form file as the run reads it: a binary form as
// its text form.
QString readableText(const QString &Path)
{
    QFile File(Path);
    if (!File.open(QIODevice::ReadOnly))
        throw EFileError(QStringLiteral("Cannot open file \"%1\". %2").arg(Path, File.errorString()));
    QString Text;
    TTextEncoding Encoding;
    const QString Upper = Path.right(4).toUpper();
    if (Upper == QLatin1String(".PAS") || Upper == QLatin1String(".DPR")) {
        TComponentReplacer::ReadSourceText(File, Text, Encoding);
    } else {
        TRCData RCData;
        bool Binary = false;
        TComponentReplacer::ReadFormText(File, Path, RCData, Text, Encoding, Binary);
    }
    return Text;
}

std::vector<std::string> linesOf(const QString &Text)
{
    std::vector<std::string> Lines;
    for (const QString &Line : Text.split(QRegularExpression(QStringLiteral("\r\n|\n|\r"))))
        Lines.push_back(Line.toStdString());
    if (!Lines.empty() && Lines.back().empty())
        Lines.pop_back(); // the line break that ends the last line
    return Lines;
}

// A unified diff of two texts, by lines, from the dtl library.
QString unifiedDiff(const QString &OldText, const QString &NewText, const QString &OldName, const QString &NewName)
{
    dtl::Diff<std::string> Diff(linesOf(OldText), linesOf(NewText));
    Diff.compose();
    Diff.composeUnifiedHunks();
    std::ostringstream Hunks;
    Diff.printUnifiedFormat(Hunks);
    return QStringLiteral("--- %1\n+++ %2\n").arg(OldName, NewName) + QString::fromStdString(Hunks.str());
}

// Shows "[i/n] path" for every file of a run before it is converted, and the
// changes of every converted file in a dry run.
class TCliProgress : public TReplaceProgress
{
public:
    TCliProgress(QTextStream &Out, QTextStream &Err, bool Show) : FOut(Out), FErr(Err), FShow(Show) {}
    void FileStarted(int Index, int Count, const QString &Path) override
    {
        if (FShow) {
            FErr << '[' << Index + 1 << '/' << Count << "] " << Path << '\n';
            FErr.flush();
        }
    }
    void ConvertedFile(const QString &Original, const QString &Converted) override
    {
        FOut << unifiedDiff(readableText(Original), readableText(Converted), Original, Original + QStringLiteral(" (converted)"));
    }

private:
    QTextStream &FOut;
    QTextStream &FErr;
    bool FShow;
};

// Puts the process-wide ANSI code page back when a run is over, so that one
// in-process run does not change the next.
class TCodePageScope
{
public:
    TCodePageScope()
        : FPrevious(TextCodec::AnsiCodePage())
    {
    }
    ~TCodePageScope() { TextCodec::SetAnsiCodePage(FPrevious); }

    TCodePageScope(const TCodePageScope &) = delete;
    TCodePageScope &operator=(const TCodePageScope &) = delete;

private:
    QString FPrevious;
};

class EUsage : public std::exception
{
public:
    explicit EUsage(QString Message)
        : FMessage(std::move(Message))
    {
    }
    const QString &Message() const { return FMessage; }

private:
    QString FMessage;
};

// The arguments of one command, as given.
struct TArguments
{
    QString Command;
    QStringList Positional;
    std::optional<QString> From, Project, Units, Dir, BackupDir, CodePage, Report, Jobs;
    bool SubDirs = false, NoBackup = false, NoLog = false, DryRun = false, Force = false, RenameMembers = false;
};

// Reads the options of one command (the forms "--name value" and
// "--name=value") with QCommandLineParser; a repeated value option is
// refused rather than silently overriding the first. The library's error
// texts are turned into the messages that migwiz has always printed.
TArguments parseArguments(const QStringList &Args)
{
    TArguments A;
    A.Command = Args.value(0);
    const bool IsReplace = A.Command == QLatin1String("replace");
    struct TValueOption
    {
        const char *Name;
        std::optional<QString> TArguments::*Field;
        bool ReplaceOnly;
    };
    const TValueOption ValueOptions[] = {
        {"from", &TArguments::From, true},           {"project", &TArguments::Project, true},
        {"units", &TArguments::Units, true},         {"dir", &TArguments::Dir, true},
        {"backup-dir", &TArguments::BackupDir, true}, {"report", &TArguments::Report, true},
        {"codepage", &TArguments::CodePage, false},  {"jobs", &TArguments::Jobs, true},
    };
    struct TFlag
    {
        const char *Name;
        bool TArguments::*Field;
        bool ReplaceOnly; // false: the restore's own flag
    };
    // Each flag belongs to one command.
    const TFlag Flags[] = {
        {"subdirs", &TArguments::SubDirs, true},
        {"no-backup", &TArguments::NoBackup, true},
        {"no-log", &TArguments::NoLog, true},
        {"dry-run", &TArguments::DryRun, true},
        {"rename-members", &TArguments::RenameMembers, true},
        {"force", &TArguments::Force, false},
    };

    QCommandLineParser Parser;
    Parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const TValueOption &O : ValueOptions)
        if (IsReplace || !O.ReplaceOnly)
            Parser.addOption(QCommandLineOption(QString::fromLatin1(O.Name), QString(), QStringLiteral("value")));
    for (const TFlag &F : Flags)
        if (F.ReplaceOnly == IsReplace)
            Parser.addOption(QCommandLineOption(QString::fromLatin1(F.Name)));

    if (!Parser.parse(QStringList{QStringLiteral("migwiz")} + Args.mid(1))) {
        if (!Parser.unknownOptionNames().isEmpty())
            throw EUsage(QStringLiteral("unknown option --%1 for %2").arg(Parser.unknownOptionNames().first(), A.Command));
        // "Missing value after '--from'." and "Unexpected value after
        // '--no-log'." name the option between quotes.
        const QString Error = Parser.errorText();
        const QString Name = Error.section(u'\'', 1, 1);
        if (Error.startsWith(QLatin1String("Missing value")))
            throw EUsage(QStringLiteral("%1 needs a value").arg(Name));
        if (Error.startsWith(QLatin1String("Unexpected value")))
            throw EUsage(QStringLiteral("%1 takes no value").arg(Name));
        throw EUsage(Error);
    }
    A.Positional = Parser.positionalArguments();
    for (const TValueOption &O : ValueOptions) {
        if (!IsReplace && O.ReplaceOnly)
            continue;
        const QStringList Values = Parser.values(QString::fromLatin1(O.Name));
        const QString Name = QStringLiteral("--") + QString::fromLatin1(O.Name);
        if (Values.size() > 1)
            throw EUsage(QStringLiteral("%1 is given twice").arg(Name));
        if (Values.size() == 1 && Values.first().isEmpty())
            throw EUsage(QStringLiteral("%1 needs a value").arg(Name));
        if (Values.size() == 1)
            A.*O.Field = Values.first();
    }
    for (const TFlag &F : Flags)
        if (F.ReplaceOnly == IsReplace)
            A.*F.Field = Parser.isSet(QString::fromLatin1(F.Name));
    return A;
}

QString absoluteNativePath(const QString &Path)
{
    return QDir::toNativeSeparators(QDir::cleanPath(QDir::current().absoluteFilePath(NativePath(Path))));
}

void setCodePage(const TArguments &A)
{
    QString Error;
    if (A.CodePage && !TextCodec::SetAnsiCodePage(*A.CodePage, &Error))
        throw EUsage(Error);
}

// The file names of the project's .pas units that the run converts: all of
// them, or those that --units names.
QString moduleList(const TProjectFileIde &Ide, const std::optional<QString> &Units)
{
    QStringList Names;
    for (int I = 0; I < Ide.ModuleCount(); ++I) {
        const QString Name = QFileInfo(Ide.ModuleFileName(I)).fileName();
        if (Name.endsWith(QLatin1String(".pas"), Qt::CaseInsensitive))
            Names << Name;
    }
    if (!Units)
        return Names.join(u'\n');
    QStringList Chosen;
    for (QString Unit : Units->split(u',')) {
        Unit = Unit.trimmed();
        if (Unit.isEmpty())
            continue;
        if (Unit.contains(u'/') || Unit.contains(u'\\'))
            throw EUsage(QStringLiteral("--units takes file names without folders: \"%1\"").arg(Unit));
        const auto It = std::find_if(Names.cbegin(), Names.cend(), [&](const QString &N) {
            return N.compare(Unit, Qt::CaseInsensitive) == 0;
        });
        if (It == Names.cend())
            throw EUsage(QStringLiteral("\"%1\" is not a unit of the project %2")
                             .arg(Unit, Ide.ActiveProjectFileName()));
        if (!Chosen.contains(*It, Qt::CaseInsensitive))
            Chosen << *It;
    }
    if (Chosen.isEmpty())
        throw EUsage(QStringLiteral("--units names no unit"));
    return Chosen.join(u'\n');
}

// The report of work left: the JSON file that --report names, the whole
// report on the terminal in a dry run, and one summary line. False when the
// JSON file cannot be written; the converted files are in place by then, so
// that is a failure of the run, not an error that stopped it.
bool reportWorkLeft(const TWorkReport &Report, const TReplaceOptions &Options, const QString &LogPath,
                    const QString &JsonPath, QTextStream &Out, QTextStream &Err)
{
    bool Result = true;
    if (!JsonPath.isEmpty()) {
        QSaveFile File(JsonPath);
        if (!File.open(QIODevice::WriteOnly) || File.write(Report.ToJson(QFileInfo(LogPath).path())) < 0 || !File.commit()) {
            Err << "migwiz: cannot write the report \"" << JsonPath << "\": " << File.errorString() << '\n';
            Result = false;
        }
    }
    const QString Folder = FolderOf(LogPath);
    if (Options.DryRun)
        Out << Report.ToText(Options.Caption() + RExpertRes::sReport, Folder).replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QString Seen = JsonPath;
    if (Options.WriteLog)
        Seen = JoinPath(Folder, RExpertRes::sReportFileName);
    Out << Report.Summary(Options.DryRun ? QString() : Seen) << '\n';
    return Result;
}

// --from auto: the set whose paired objects the run's forms hold most of.
int detectSourceSet(const TReplaceOptions &Options, const TProjectFileIde &Ide,
                    const std::vector<const TComponentReplacer *> &Replacers, QTextStream &Out)
{
    TFamilyScan Scan;
    if (Options.Dest == sdProject) {
        const QStringList Chosen = Options.ModuleList.split(u'\n', Qt::SkipEmptyParts);
        QStringList Units;
        for (int I = 0; I < Ide.ModuleCount(); ++I)
            if (Chosen.contains(QFileInfo(Ide.ModuleFileName(I)).fileName(), Qt::CaseInsensitive))
                Units << Ide.ModuleFileName(I);
        Scan = ScanFamilies(FormsOfUnits(Units), Replacers);
    } else {
        Scan = ScanFolderFamilies(Options.Directory, Options.IncludeSubDirs, Replacers);
    }
    const int Found = Scan.Largest();
    if (Found < 0)
        throw EUsage(QStringLiteral("--from auto: the forms hold no BDE, IBX or FIBPlus components; give the set"));
    QStringList Seen;
    for (size_t F = 0; F < Replacers.size(); ++F)
        if (Scan.Families[F].Objects > 0)
            Seen << QStringLiteral("%1 %2 in %3 form(s)")
                        .arg(Scan.Families[F].Objects)
                        .arg(Replacers[F]->Family().Name)
                        .arg(Scan.Families[F].Forms);
    Out << "Components found: " << Seen.join(QStringLiteral(", ")) << "; converting from "
        << Replacers[size_t(Found)]->Family().Name << '\n';
    return Found;
}

int runReplace(const TArguments &A, QTextStream &Out, QTextStream &Err, bool ShowProgress)
{
    if (!A.Positional.isEmpty())
        throw EUsage(QStringLiteral("unexpected argument \"%1\"").arg(A.Positional.first()));
    if (!A.From)
        throw EUsage(QStringLiteral("replace needs --from bde|ibx|fibplus|auto"));
    const bool AutoSet = A.From->compare(QLatin1String("auto"), Qt::CaseInsensitive) == 0;
    int SourceSet = AutoSet ? 0 : TOrxProduct::ReplacerIndexOf(*A.From);
    if (SourceSet < 0)
        throw EUsage(QStringLiteral("unknown source set \"%1\" (bde, ibx, fibplus or auto)").arg(*A.From));
    if (A.Project.has_value() == A.Dir.has_value())
        throw EUsage(QStringLiteral("replace needs either --project or --dir"));
    if (A.Units && !A.Project)
        throw EUsage(QStringLiteral("--units goes with --project"));
    if (A.SubDirs && !A.Dir)
        throw EUsage(QStringLiteral("--subdirs goes with --dir"));
    if (A.BackupDir && A.NoBackup)
        throw EUsage(QStringLiteral("--backup-dir and --no-backup exclude each other"));
    if (A.DryRun && A.BackupDir)
        throw EUsage(QStringLiteral("--backup-dir and --dry-run exclude each other"));
    int Jobs = QThread::idealThreadCount();
    if (A.Jobs) {
        bool Ok = false;
        Jobs = A.Jobs->toInt(&Ok);
        if (!Ok || Jobs < 1 || Jobs > MaxJobs)
            throw EUsage(QStringLiteral("--jobs needs a whole number from 1 to %1, not \"%2\"").arg(MaxJobs).arg(*A.Jobs));
    }
    setCodePage(A);

    TOrxProduct Product;
    TReplaceOptions &Options = Product.ReplaceOptions();
    TProjectFileIde Ide;
    QString Folder; // where the log goes and the default backup folder lies
    if (A.Project) {
        const QString ProjectFile = absoluteNativePath(*A.Project);
        if (!QFileInfo(ProjectFile).isFile())
            throw EUsage(QStringLiteral("the project file \"%1\" does not exist").arg(ProjectFile));
        if (!Ide.OpenProject(ProjectFile))
            throw EFileError(Ide.ErrorString());
        Options.Dest = sdProject;
        Options.ModuleList = moduleList(Ide, A.Units);
        Folder = QDir::toNativeSeparators(QFileInfo(Ide.ActiveProjectFileName()).path());
    } else {
        Folder = absoluteNativePath(*A.Dir);
        if (!QFileInfo(Folder).isDir())
            throw EUsage(QStringLiteral("the folder \"%1\" does not exist").arg(Folder));
        Options.Dest = sdDirectory;
        Options.Directory = Folder;
        Options.IncludeSubDirs = A.SubDirs;
    }
    // A dry run changes nothing outside its temporary folder: no backups, no
    // log, no report file beside it.
    Options.MakeBackup = !A.NoBackup && !A.DryRun;
    Options.BackupDir = A.BackupDir ? absoluteNativePath(*A.BackupDir) : JoinPath(Folder, QStringLiteral("RBackup"));
    Options.WriteLog = !A.NoLog && !A.DryRun;
    Options.ViewLog = false; // the path is printed instead
    Options.DryRun = A.DryRun;
    Options.Jobs = std::max(Jobs, 1);
    Options.RenameMembers = A.RenameMembers;
    const QString ReportPath = A.Report ? absoluteNativePath(*A.Report) : QString();
    if (!ReportPath.isEmpty() && !QFileInfo(QFileInfo(ReportPath).path()).isDir())
        throw EUsage(QStringLiteral("the folder of the report \"%1\" does not exist").arg(ReportPath));

    const QString LogPath = JoinPath(Folder, RExpertRes::sLogFileName);
    const QString UndoPath = JoinPath(Options.BackupDir, RExpertRes::sUndoFileName);
    TIDEServicesScope Scope(&Ide);
    TCliUI UI(Out, Err);
    TCompReplaceExpert Expert(ProductName, Product.Replacer(0), &UI);
    for (int I = 1; I < TOrxProduct::ReplacerCount; ++I)
        Expert.RegisterReplacer(Product.Replacer(I));
    if (AutoSet)
        SourceSet = detectSourceSet(Options, Ide, Expert.Replacers(), Out);
    TComponentReplacer &Replacer = *Expert.GetReplacer(SourceSet);
    TCliProgress Progress(Out, Err, ShowProgress);
    Replacer.SetProgress(&Progress);
    struct TDetach
    {
        TComponentReplacer &R;
        ~TDetach() { R.SetProgress(nullptr); }
    } Detach{Replacer};

    TExpertOutcome Outcome;
    try {
        Outcome = Expert.PerformReplace(Replacer);
    } catch (const EMigError &E) {
        Err << "migwiz: error: " << E.Message() << '\n';
        if (Options.WriteLog && !Replacer.Log().FileName().isEmpty()) // opened by this run
            Err << "Log: " << LogPath << '\n';
        return csStopped;
    }
    if (Outcome == TExpertOutcome::Succeeded || Outcome == TExpertOutcome::Failed) {
        if (Options.WriteLog)
            Out << "Log: " << LogPath << '\n';
        if (Options.MakeBackup)
            Out << "Undo file: " << UndoPath << '\n';
        if (!reportWorkLeft(Replacer.WorkReport(), Options, LogPath, ReportPath, Out, Err))
            return csFailed;
    }
    return Outcome == TExpertOutcome::Succeeded ? csSuccess : csFailed;
}

int runRestore(const TArguments &A, QTextStream &Out, QTextStream &Err)
{
    if (A.Positional.size() != 1)
        throw EUsage(A.Positional.isEmpty() ? QStringLiteral("restore needs the undo file")
                                            : QStringLiteral("restore takes one undo file"));
    setCodePage(A);
    const QString UndoFile = absoluteNativePath(A.Positional.first());
    if (!QFileInfo(UndoFile).isFile())
        throw EUsage(QStringLiteral("the undo file \"%1\" does not exist").arg(UndoFile));

    TOrxProduct Product;
    TProjectFileIde Ide; // no project open: nothing to close or reopen
    TIDEServicesScope Scope(&Ide);
    TCliUI UI(Out, Err, A.Force);
    TCompReplaceExpert Expert(ProductName, Product.Replacer(0), &UI);
    return Expert.PerformRestore(UndoFile) == TExpertOutcome::Succeeded ? csSuccess : csFailed;
}

} // namespace

int runCli(const QStringList &Args, QTextStream &Out, QTextStream &Err, bool ShowProgress)
{
    TCodePageScope CodePage;
    int Status = csSuccess;
    try {
        const QString Command = Args.value(0);
        if (Command == QLatin1String("--help") || Command == QLatin1String("-h")
            || Command == QLatin1String("help")) {
            Out << HelpText;
        } else if (Command == QLatin1String("--version")) {
            Out << "migwiz " << MIGWIZ_VERSION << '\n';
        } else if (Command == QLatin1String("replace")) {
            Status = runReplace(parseArguments(Args), Out, Err, ShowProgress);
        } else if (Command == QLatin1String("restore")) {
            Status = runRestore(parseArguments(Args), Out, Err);
        } else if (Command.isEmpty()) {
            throw EUsage(QStringLiteral("no command given"));
        } else {
            throw EUsage(QStringLiteral("unknown command \"%1\"").arg(Command));
        }
    } catch (const EUsage &E) {
        Err << "migwiz: " << E.Message() << '\n' << "Try 'migwiz --help'.\n";
        Status = csUsageError;
    } catch (const EMigError &E) {
        Err << "migwiz: error: " << E.Message() << '\n';
        Status = csStopped;
    } catch (const std::exception &E) {
        Err << "migwiz: error: " << E.what() << '\n';
        Status = csStopped;
    }
    Out.flush();
    Err.flush();
    return Status;
}

int runCli(const QStringList &Args, QTextStream &Out, QTextStream &Err)
{
    return runCli(Args, Out, Err, isatty(fileno(stderr)) != 0);
}
