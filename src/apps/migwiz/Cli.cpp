#include "Cli.h"

#include "Errors.h"
#include "FileUtils.h"
#include "IDEUtils.h"
#include "OrxReplacer.h"
#include "ProjectIde.h"
#include "RExpertRes.h"
#include "ReplaceExpert.h"
#include "Replacer.h"
#include "TextCodec.h"

#include <QDir>
#include <QFileInfo>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <unistd.h>

#ifndef MIGWIZ_VERSION
#define MIGWIZ_VERSION "0.0.0"
#endif

namespace {

const QString ProductName = QStringLiteral("Orvex");

const char *const HelpText = R"(Usage:
  migwiz replace --from bde|ibx|fibplus
                 (--project APP.dpr|APP.dproj [--units A.pas,B.pas] | --dir DIR [--subdirs])
                 [--backup-dir DIR | --no-backup] [--no-log] [--codepage NAME]
  migwiz restore UNDOFILE [--force] [--codepage NAME]
  migwiz --help | --version

Converts Delphi units and forms that use the BDE (with the InfoPower
datasets), IBX or FIBPlus so that they use the Orvex components, or puts the
originals back from the undo file of an earlier run.

replace
  --from SET          the component set to convert from: bde, ibx or fibplus.
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
                      never overwritten.
  --no-backup         make no backups and no undo file.
  --no-log            write no log.
  --codepage NAME     the ANSI code page of the sources, forms, log and undo
                      file (default windows-1252; for instance windows-1251).

restore
  UNDOFILE            the RExpert.reu of an earlier run: every backup it lists
                      is copied back over its original. Nothing is copied
                      unless every backup is there. The backups and the undo
                      file stay. Relative paths in it are taken from its
                      folder, and backups only from inside that folder.
  --force             also overwrite files changed since the conversion, and
                      create originals that no longer exist; without it
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
  - with the log: Wiz_Log.txt beside the project file, or in DIR;
  - while it works, a temporary folder $DS<n> in $TMPDIR (or /tmp), removed
    at the end.
The outcome message, the log's path and the undo file's path are printed on
standard output; errors go to standard error. While a replace works and
standard error is a terminal, each file is shown there as "[i/n] path".

Exit status:
  0  success
  1  the operation reported failure ("Replace failed." or "Failed to restore
     files."); see the log
  2  usage error: unknown option, missing argument, --project together with
     --dir, unknown --from or --codepage, a project file, folder or undo file
     that does not exist
  3  an error stopped the run (a file that cannot be read or converted, a
     backup folder that cannot be made, a backup folder that already holds
     the undo file of an earlier run that changed files); the message is on
     standard error and no original was overwritten
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

private:
    QTextStream &FOut;
    QTextStream &FErr;
    bool FForce;
};

// Shows "[i/n] path" for every file of a run before it is converted.
class TCliProgress : public TReplaceProgress
{
public:
    TCliProgress(QTextStream &Err, bool Show) : FErr(Err), FShow(Show) {}
    void FileStarted(int Index, int Count, const QString &Path) override
    {
        if (FShow) {
            FErr << '[' << Index + 1 << '/' << Count << "] " << Path << '\n';
            FErr.flush();
        }
    }

private:
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
    std::optional<QString> From, Project, Units, Dir, BackupDir, CodePage;
    bool SubDirs = false, NoBackup = false, NoLog = false, Force = false;
};

// Reads options of the forms "--name value" and "--name=value"; a repeated
// option is refused rather than silently overriding the first.
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
        {"--from", &TArguments::From, true},          {"--project", &TArguments::Project, true},
        {"--units", &TArguments::Units, true},        {"--dir", &TArguments::Dir, true},
        {"--backup-dir", &TArguments::BackupDir, true}, {"--codepage", &TArguments::CodePage, false},
    };
    struct TFlag
    {
        const char *Name;
        bool TArguments::*Field;
        bool ReplaceOnly = true;
    };
    const TFlag Flags[] = {{"--subdirs", &TArguments::SubDirs},
                           {"--no-backup", &TArguments::NoBackup},
                           {"--no-log", &TArguments::NoLog},
                           {"--force", &TArguments::Force, false}};

    for (qsizetype I = 1; I < Args.size(); ++I) {
        const QString &Arg = Args[I];
        if (!Arg.startsWith(QLatin1String("--")) || Arg == QLatin1String("--")) {
            A.Positional << Arg;
            continue;
        }
        const qsizetype Eq = Arg.indexOf(u'=');
        const QString Name = Eq < 0 ? Arg : Arg.left(Eq);
        bool Known = false;
        for (const TValueOption &O : ValueOptions) {
            if (Name != QLatin1String(O.Name) || (O.ReplaceOnly && !IsReplace))
                continue;
            Known = true;
            QString Value;
            if (Eq >= 0)
                Value = Arg.mid(Eq + 1);
            else if (I + 1 < Args.size())
                Value = Args[++I];
            else
                throw EUsage(QStringLiteral("%1 needs a value").arg(Name));
            if (Value.isEmpty())
                throw EUsage(QStringLiteral("%1 needs a value").arg(Name));
            if (A.*O.Field)
                throw EUsage(QStringLiteral("%1 is given twice").arg(Name));
            A.*O.Field = Value;
        }
        for (const TFlag &F : Flags) {
            if (Name != QLatin1String(F.Name) || (F.ReplaceOnly != IsReplace))
                continue;
            Known = true;
            if (Eq >= 0)
                throw EUsage(QStringLiteral("%1 takes no value").arg(Name));
            A.*F.Field = true;
        }
        if (!Known)
            throw EUsage(QStringLiteral("unknown option %1 for %2").arg(Arg, A.Command));
    }
    return A;
}

QString absoluteNativePath(const QString &Path)
{
    return QDir::toNativeSeparators(QDir::cleanPath(QDir::current().absoluteFilePath(NativePath(Path))));
}

void setCodePage(const TArguments &A)
{
    if (A.CodePage && !TextCodec::SetAnsiCodePage(*A.CodePage))
        throw EUsage(QStringLiteral("unknown code page \"%1\"").arg(*A.CodePage));
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

int runReplace(const TArguments &A, QTextStream &Out, QTextStream &Err, bool ShowProgress)
{
    if (!A.Positional.isEmpty())
        throw EUsage(QStringLiteral("unexpected argument \"%1\"").arg(A.Positional.first()));
    if (!A.From)
        throw EUsage(QStringLiteral("replace needs --from bde|ibx|fibplus"));
    const int SourceSet = TOrxProduct::ReplacerIndexOf(*A.From);
    if (SourceSet < 0)
        throw EUsage(QStringLiteral("unknown source set \"%1\" (bde, ibx or fibplus)").arg(*A.From));
    if (A.Project.has_value() == A.Dir.has_value())
        throw EUsage(QStringLiteral("replace needs either --project or --dir"));
    if (A.Units && !A.Project)
        throw EUsage(QStringLiteral("--units goes with --project"));
    if (A.SubDirs && !A.Dir)
        throw EUsage(QStringLiteral("--subdirs goes with --dir"));
    if (A.BackupDir && A.NoBackup)
        throw EUsage(QStringLiteral("--backup-dir and --no-backup exclude each other"));
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
    Options.MakeBackup = !A.NoBackup;
    Options.BackupDir = A.BackupDir ? absoluteNativePath(*A.BackupDir) : JoinPath(Folder, QStringLiteral("RBackup"));
    Options.WriteLog = !A.NoLog;
    Options.ViewLog = false; // the path is printed instead

    const QString LogPath = JoinPath(Folder, RExpertRes::sLogFileName);
    const QString UndoPath = JoinPath(Options.BackupDir, RExpertRes::sUndoFileName);
    // A second run into the same backup folder would replace the backups of
    // the originals by those of already converted files, and the undo file
    // by one that leads back only to them. (An empty undo file, of a run that
    // changed nothing, guards nothing.)
    if (Options.MakeBackup && QFileInfo(UndoPath).size() > 0)
        throw EFileError(QStringLiteral("the backup folder already holds the undo file \"%1\" of an earlier run; "
                                        "restore from it, or move it away, or choose another --backup-dir")
                             .arg(UndoPath));

    TIDEServicesScope Scope(&Ide);
    TCliUI UI(Out, Err);
    TCompReplaceExpert Expert(ProductName, Product.Replacer(0), &UI);
    for (int I = 1; I < TOrxProduct::ReplacerCount; ++I)
        Expert.RegisterReplacer(Product.Replacer(I));
    TComponentReplacer &Replacer = *Expert.GetReplacer(SourceSet);
    TCliProgress Progress(Err, ShowProgress);
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
        if (Options.WriteLog && QFileInfo::exists(LogPath))
            Err << "Log: " << LogPath << '\n';
        return csStopped;
    }
    if (Outcome == TExpertOutcome::Succeeded || Outcome == TExpertOutcome::Failed) {
        if (Options.WriteLog)
            Out << "Log: " << LogPath << '\n';
        if (Options.MakeBackup)
            Out << "Undo file: " << UndoPath << '\n';
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
