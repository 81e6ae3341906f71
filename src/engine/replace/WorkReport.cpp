#include "WorkReport.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>

#include <algorithm>

namespace {

constexpr int KindCount = 8;
constexpr qsizetype MaxValueLength = 60;

const char *const SectionTitles[KindCount] = {
    "Objects not converted; their forms will not load until they are",
    "Properties dropped",
    "Event handlers dropped",
    "Database names that no TDatabase of the run defines (BDE aliases)",
    "Components of the old source set without an Orvex class",
    "Identifiers of the old source set left in the code",
    "BDE API calls left in the code",
    "Files left as they are, not converted",
};

QString shownPath(const QString &Path, const QString &BaseFolder)
{
    if (BaseFolder.isEmpty())
        return Path;
    const QString Relative = QDir(BaseFolder).relativeFilePath(Path);
    return Relative.startsWith(QLatin1String("..")) ? Path : QDir::toNativeSeparators(Relative);
}

QString place(const TWorkItem &Item, const QString &BaseFolder)
{
    QString Result = shownPath(Item.File, BaseFolder);
    if (Item.Line > 0)
        Result += u':' + QString::number(Item.Line);
    return Result;
}

} // namespace

int TLineIndex::LineOf(qsizetype Pos)
{
    if (FStarts.empty()) {
        FStarts.push_back(0);
        for (qsizetype I = 0; I < FText.size(); ++I)
            if (FText[I] == u'\n')
                FStarts.push_back(I + 1);
    }
    return int(std::upper_bound(FStarts.begin(), FStarts.end(), Pos) - FStarts.begin());
}

void TWorkReport::Add(TWorkItem Item)
{
    // A form that two units name is converted twice; it is reported once.
    const QString Key = QStringList{QString::number(int(Item.Kind)), Item.File, QString::number(Item.Line),
                                    Item.ObjectPath, Item.Name, Item.Value}
                            .join(QChar(0));
    if (FKeys.contains(Key))
        return;
    FKeys.insert(Key);
    FItems.append(std::move(Item));
}

QList<TWorkItem> TWorkReport::Items() const
{
    QList<TWorkItem> Result = FItems;
    std::stable_sort(Result.begin(), Result.end(),
                     [](const TWorkItem &A, const TWorkItem &B) { return int(A.Kind) < int(B.Kind); });
    return Result;
}

int TWorkReport::Count(TWorkItemKind Kind) const
{
    return int(std::count_if(FItems.cbegin(), FItems.cend(), [Kind](const TWorkItem &I) { return I.Kind == Kind; }));
}

QString TWorkReport::Shorten(const QString &Value)
{
    QString Result = Value.simplified();
    if (Result.size() > MaxValueLength)
        Result = Result.left(MaxValueLength - 3) + QStringLiteral("...");
    return Result;
}

const char *TWorkReport::KindName(TWorkItemKind Kind)
{
    static const char *const Names[KindCount] = {
        "objectNotConverted", "droppedProperty", "droppedEvent", "unknownDatabase",
        "unpairedComponent",  "leftInCode",      "apiCall",         "fileLeftAlone",
    };
    return Names[int(Kind)];
}

QString TWorkReport::ToText(const QString &Title, const QString &BaseFolder) const
{
    const QString Br = QStringLiteral("\r\n");
    QString Text = Title + Br + Br;
    Text += Count() == 0 ? QStringLiteral("Nothing needs manual work.") + Br
                         : QStringLiteral("%1 item(s) need manual work.").arg(Count()) + Br;
    const QList<TWorkItem> Sorted = Items();
    for (int K = 0; K < KindCount; ++K) {
        const auto Kind = TWorkItemKind(K);
        const int N = Count(Kind);
        if (N == 0)
            continue;
        Text += Br + QString::fromLatin1(SectionTitles[K]) + QStringLiteral(": ") + QString::number(N) + Br;
        if (Kind == TWorkItemKind::UnpairedComponent) {
            // Counted per class, with the files that hold them.
            QMap<QString, QPair<int, QStringList>> Classes;
            for (const TWorkItem &Item : Sorted)
                if (Item.Kind == Kind) {
                    auto &[Count, Files] = Classes[Item.Name];
                    ++Count;
                    const QString File = shownPath(Item.File, BaseFolder);
                    if (!Files.contains(File))
                        Files << File;
                }
            for (auto It = Classes.cbegin(); It != Classes.cend(); ++It)
                Text += QStringLiteral("  %1 (%2): %3").arg(It.key()).arg(It->first).arg(It->second.join(QStringLiteral(", ")))
                        + Br;
            continue;
        }
        for (const TWorkItem &Item : Sorted) {
            if (Item.Kind != Kind)
                continue;
            QString Line = QStringLiteral("  ") + place(Item, BaseFolder) + QStringLiteral("  ");
            if (!Item.ObjectPath.isEmpty())
                Line += Item.ObjectPath + QStringLiteral("  ");
            switch (Kind) {
            case TWorkItemKind::ObjectNotConverted:
                Line += QStringLiteral("%1 -> %2: %3").arg(Item.Name, Item.Value, Item.Detail);
                break;
            case TWorkItemKind::DroppedProperty:
                Line += QStringLiteral("%1 = %2 (%3)").arg(Item.Name, Item.Value, Item.Detail);
                break;
            case TWorkItemKind::DroppedEvent:
                Line += QStringLiteral("%1: %2 will no longer be called (%3)").arg(Item.Name, Item.Value, Item.Detail);
                break;
            case TWorkItemKind::UnknownDatabase:
                Line += QStringLiteral("%1 = %2").arg(Item.Name, Item.Value);
                break;
            default:
                Line += Item.Name;
                if (!Item.Detail.isEmpty())
                    Line += QStringLiteral(" (%1)").arg(Item.Detail);
                break;
            }
            Text += Line + Br;
        }
    }
    return Text;
}

QByteArray TWorkReport::ToJson() const
{
    QJsonArray Items;
    for (const TWorkItem &Item : this->Items()) {
        QJsonObject O;
        O.insert(QStringLiteral("kind"), QString::fromLatin1(KindName(Item.Kind)));
        O.insert(QStringLiteral("file"), Item.File);
        O.insert(QStringLiteral("line"), Item.Line);
        if (!Item.ObjectPath.isEmpty())
            O.insert(QStringLiteral("object"), Item.ObjectPath);
        O.insert(QStringLiteral("name"), Item.Name);
        if (!Item.Value.isEmpty())
            O.insert(QStringLiteral("value"), Item.Value);
        if (!Item.Detail.isEmpty())
            O.insert(QStringLiteral("detail"), Item.Detail);
        Items.append(O);
    }
    QJsonObject Counts;
    for (int K = 0; K < KindCount; ++K)
        Counts.insert(QString::fromLatin1(KindName(TWorkItemKind(K))), Count(TWorkItemKind(K)));
    QJsonObject Root;
    Root.insert(QStringLiteral("total"), Count());
    Root.insert(QStringLiteral("counts"), Counts);
    Root.insert(QStringLiteral("items"), Items);
    return QJsonDocument(Root).toJson(QJsonDocument::Indented);
}

QString TWorkReport::Summary(const QString &Path) const
{
    QString Text = QStringLiteral("%1 items need manual work").arg(Count());
    if (const int N = Count(TWorkItemKind::ObjectNotConverted); N > 0)
        Text += QStringLiteral(" (%1 object(s) not converted: their forms will not load)").arg(N);
    if (!Path.isEmpty())
        Text += QStringLiteral("; see ") + Path;
    return Text;
}
