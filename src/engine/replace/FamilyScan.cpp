#include "FamilyScan.h"

#include "Errors.h"
#include "Replacer.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace {

bool hasExtension(const QString &Name, std::initializer_list<const char *> Extensions)
{
    for (const char *Ext : Extensions)
        if (Name.endsWith(QLatin1String(Ext), Qt::CaseInsensitive))
            return true;
    return false;
}

// The class names of the object headers of a form text, in order.
QStringList headerClasses(const QString &Text)
{
    // "object Name: TClass", "inherited Name: TClass [2]", "inline ...";
    // the name may be missing ("object TClass").
    static const QRegularExpression Header(
        QStringLiteral("^[ \\t]*(?:object|inherited|inline)[ \\t]+(?:[A-Za-z_]\\w*[ \\t]*:[ \\t]*)?([A-Za-z_][\\w.]*)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::MultilineOption);
    QStringList Classes;
    for (auto It = Header.globalMatch(Text); It.hasNext();)
        Classes << It.next().captured(1);
    return Classes;
}

} // namespace

int TFamilyScan::Largest() const
{
    int Best = -1;
    for (int I = 0; I < int(Families.size()); ++I)
        if (Families[size_t(I)].Objects > 0 && (Best < 0 || Families[size_t(I)].Objects > Families[size_t(Best)].Objects))
            Best = I;
    return Best;
}

TFamilyScan ScanFamilies(const QStringList &FormFiles, const std::vector<const TComponentReplacer *> &Replacers,
                         const TFormScanHook &OnForm)
{
    TFamilyScan Scan;
    Scan.Families.resize(Replacers.size());
    for (const QString &Path : FormFiles) {
        if (OnForm)
            OnForm(Path);
        QFile File(Path);
        if (!File.open(QIODevice::ReadOnly)) {
            Scan.Unreadable << QStringLiteral("%1: %2").arg(Path, File.errorString());
            continue;
        }
        QString Text;
        try {
            TRCData RCData;
            TTextEncoding Encoding;
            bool Binary = false;
            TComponentReplacer::ReadFormText(File, Path, RCData, Text, Encoding, Binary);
        } catch (const EMigError &E) {
            Scan.Unreadable << E.Message();
            continue;
        }
        ++Scan.FormFiles;
        const QStringList Classes = headerClasses(Text);
        for (size_t F = 0; F < Replacers.size(); ++F) {
            const int Found = int(std::count_if(Classes.cbegin(), Classes.cend(), [&](const QString &Class) {
                return Replacers[F]->FindNewComp(Class) != nullptr;
            }));
            Scan.Families[F].Objects += Found;
            if (Found > 0) {
                ++Scan.Families[F].Forms;
                Scan.Families[F].FormPaths << Path;
            }
        }
    }
    return Scan;
}

QStringList FormsOfUnits(const QStringList &Units)
{
    QStringList Forms;
    for (const QString &Unit : Units) {
        if (!hasExtension(Unit, {".pas"}))
            continue;
        const QFileInfo Info(Unit);
        const QString Base = Info.completeBaseName();
        const QDir Folder = Info.dir();
        // Delphi projects come from file systems that ignore letter case.
        const QStringList Entries = Folder.entryList({Base + QStringLiteral(".dfm"), Base + QStringLiteral(".nfm")},
                                                     QDir::Files | QDir::CaseSensitive);
        const QStringList Any = Entries.isEmpty()
                                    ? Folder.entryList({Base + QStringLiteral(".dfm"), Base + QStringLiteral(".nfm")},
                                                       QDir::Files)
                                    : Entries;
        if (!Any.isEmpty())
            Forms << QDir::toNativeSeparators(Folder.filePath(Any.first()));
    }
    return Forms;
}

void ListDelphiFiles(const QString &Folder, bool IncludeSubDirs, QStringList &Units, QStringList &Forms)
{
    QDirIterator It(Folder, {QStringLiteral("*.pas"), QStringLiteral("*.dpr"), QStringLiteral("*.dfm"),
                             QStringLiteral("*.nfm")},
                    QDir::Files, IncludeSubDirs ? QDirIterator::Subdirectories : QDirIterator::NoIteratorFlags);
    while (It.hasNext()) {
        const QString Path = QDir::toNativeSeparators(It.next());
        (hasExtension(Path, {".pas", ".dpr"}) ? Units : Forms) << Path;
    }
    Units.sort();
    Forms.sort();
}

TFamilyScan ScanFolderFamilies(const QString &Folder, bool IncludeSubDirs,
                               const std::vector<const TComponentReplacer *> &Replacers, const TFormScanHook &OnForm)
{
    QStringList Units, Forms;
    ListDelphiFiles(Folder, IncludeSubDirs, Units, Forms);
    TFamilyScan Scan = ScanFamilies(Forms, Replacers, OnForm);
    Scan.UnitFiles = int(Units.size());
    return Scan;
}
