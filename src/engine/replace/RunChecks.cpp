#include "RunChecks.h"

#include "FamilyScan.h"
#include "FileSystem.h"
#include "FileUtils.h"
#include "RExpertRes.h"
#include "ReplaceRun.h"
#include "Replacer.h"
#include "RunLock.h"

#include <QDir>
#include <QFileInfo>

namespace {

QString objectsIn(const TFamilyCount &Count)
{
    return QStringLiteral("%1 object%2 in %3 form%4")
        .arg(Count.Objects)
        .arg(Count.Objects == 1 ? QString() : QStringLiteral("s"))
        .arg(Count.Forms)
        .arg(Count.Forms == 1 ? QString() : QStringLiteral("s"));
}

bool isReadOnly(const QString &Path)
{
    const QFileInfo Info(Path);
    return Info.exists() && !(Info.permissions() & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther));
}

QString shortList(const QStringList &Paths)
{
    constexpr int Shown = 3;
    QString Text = Paths.mid(0, Shown).join(QStringLiteral(", "));
    if (Paths.size() > Shown)
        Text += QStringLiteral(" and %1 more").arg(Paths.size() - Shown);
    return Text;
}

} // namespace

QString ExistingFolderAtOrAbove(const QString &Folder)
{
    QString Path = QDir::cleanPath(QDir::fromNativeSeparators(Folder));
    if (!QDir::isAbsolutePath(Path))
        return QString();
    while (!QFileInfo(Path).isDir()) {
        const QString Up = QFileInfo(Path).path();
        if (Up == Path)
            return QString();
        Path = Up;
    }
    return QDir::toNativeSeparators(Path);
}

QString TRunChecks::StopReason() const
{
    for (const TRunCheck &Check : Items)
        if (Check.Stops)
            return Check.Text;
    return QString();
}

QString EarlierRunMessage(const QString &UndoFile, TFileSystem &Fs)
{
    // A second run into the same backup folder would replace the backups of
    // the originals by those of already converted files. (An empty undo
    // file, of a run that changed nothing, guards nothing; nor does the undo
    // set of a run whose originals a restore has put back: the new run
    // replaces it.)
    const QFileInfo Undo(UndoFile);
    if (!Undo.exists() || (Undo.isFile() && Undo.size() == 0))
        return QString();
    TRunRecord Record;
    QByteArray Bytes;
    const bool HasRecord = Fs.ReadFile(TRunRecord::FileNameFor(UndoFile), Bytes, nullptr)
        && TRunRecord::FromBytes(Bytes, Record);
    if (HasRecord && Record.Restored)
        return QString();
    return QStringLiteral("The backup folder already holds the undo file \"%1\" of an earlier %2run; "
                          "restore from it, or move it away, or choose another backup folder.")
        .arg(UndoFile, HasRecord && !Record.Finished ? QStringLiteral("unfinished ") : QString());
}

QString NoUnitsMessage(const QString &Folder, bool IncludeSubDirs)
{
    return QStringLiteral("The folder \"%1\"%2 holds no Delphi units (.pas, .dpr).")
        .arg(Folder, IncludeSubDirs ? QStringLiteral(" and its subfolders") : QString());
}

TRunChecks CheckReplaceRun(const TReplaceOptions &Options, const QStringList &ProjectUnits, const QString &LogFolder,
                           int Chosen, const std::vector<const TComponentReplacer *> &Replacers,
                           const TFormScanHook &OnForm)
{
    TRunChecks Checks;
    auto add = [&Checks](const QString &Text, bool Stops = false) { Checks.Items.push_back({Text, Stops}); };

    // What the files hold.
    QStringList Units = ProjectUnits, Forms;
    if (Options.Dest == sdProject)
        Forms = FormsOfUnits(Units);
    else
        ListDelphiFiles(Options.Directory, Options.IncludeSubDirs, Units, Forms);
    if (Units.isEmpty()) {
        // The units step refuses an empty choice; a folder may hold none.
        if (Options.Dest == sdProject)
            add(QStringLiteral("No unit is chosen."));
        else
            add(NoUnitsMessage(Options.Directory, Options.IncludeSubDirs), true);
        return Checks;
    }
    const TFamilyScan Scan = ScanFamilies(Forms, Replacers, OnForm);
    add(QStringLiteral("%1 unit%2 and %3 form%4 to look at.")
            .arg(Units.size())
            .arg(Units.size() == 1 ? QString() : QStringLiteral("s"))
            .arg(Forms.size())
            .arg(Forms.size() == 1 ? QString() : QStringLiteral("s")));
    if (Chosen >= 0 && Chosen < int(Replacers.size())) {
        const TFamilyCount &Own = Scan.Families[size_t(Chosen)];
        const QString Name = Replacers[size_t(Chosen)]->Family().Name;
        if (Own.Objects > 0) {
            add(QStringLiteral("%1 components: %2.").arg(Name, objectsIn(Own)));
        } else {
            QString Text = QStringLiteral("No %1 components were found in the forms").arg(Name);
            const int Found = Scan.Largest();
            if (Found >= 0)
                Text += QStringLiteral("; they hold %1 components: choose %1 on the first page")
                            .arg(Replacers[size_t(Found)]->Family().Name);
            add(Text + u'.');
        }
        QStringList Others;
        for (size_t F = 0; F < Replacers.size(); ++F)
            if (int(F) != Chosen && Scan.Families[F].Objects > 0)
                Others << QStringLiteral("%1 (%2)").arg(Replacers[F]->Family().Name, objectsIn(Scan.Families[F]));
        if (!Others.isEmpty() && Own.Objects > 0)
            add(QStringLiteral("Also seen: %1.").arg(Others.join(QStringLiteral(", "))));
        // A read-only form with objects to re-create cannot be replaced.
        QStringList Locked;
        for (const QString &Form : Own.FormPaths)
            if (isReadOnly(Form))
                Locked << Form;
        if (!Locked.isEmpty())
            add(QStringLiteral("Read-only forms that the run must change: %1.").arg(shortList(Locked)), true);
    }
    if (!Scan.Unreadable.isEmpty())
        add(QStringLiteral("Forms that cannot be read: %1.").arg(shortList(Scan.Unreadable)));
    QStringList ReadOnlyUnits;
    for (const QString &Unit : std::as_const(Units))
        if (isReadOnly(Unit))
            ReadOnlyUnits << Unit;
    if (!ReadOnlyUnits.isEmpty())
        add(QStringLiteral("Read-only units, left as they are if they need changes: %1.").arg(shortList(ReadOnlyUnits)));

    // Where the run writes.
    if (Options.MakeBackup && QFileInfo(Options.BackupDir).isDir()) {
        if (const QString Holder = RunLockHolder(Options.BackupDir); !Holder.isEmpty())
            add(QStringLiteral("The backup folder \"%1\" is in use by %2.").arg(Options.BackupDir, Holder), true);
    }
    if (Options.MakeBackup) {
        const QString Earlier =
            EarlierRunMessage(JoinPath(Options.BackupDir, RExpertRes::sUndoFileName), DefaultFileSystem());
        if (!Earlier.isEmpty()) {
            add(Earlier, true);
        } else {
            const QString Existing = ExistingFolderAtOrAbove(Options.BackupDir);
            if (Existing.isEmpty() || !QFileInfo(Existing).isWritable())
                add(QStringLiteral("The backup folder \"%1\" cannot be written: \"%2\" allows no writing.")
                        .arg(Options.BackupDir, Existing),
                    true);
        }
    }
    if (Options.WriteLog && !LogFolder.isEmpty() && !QFileInfo(LogFolder).isWritable())
        add(QStringLiteral("The log cannot be written: the folder \"%1\" allows no writing.").arg(LogFolder), true);
    QStringList Folders;
    for (const QString &File : std::as_const(Units) + Forms) {
        const QString Folder = QFileInfo(File).path();
        if (!Folders.contains(Folder) && !QFileInfo(Folder).isWritable())
            Folders << QDir::toNativeSeparators(Folder);
    }
    if (!Folders.isEmpty())
        add(QStringLiteral("Folders whose files cannot be replaced: %1.").arg(shortList(Folders)), true);
    return Checks;
}
