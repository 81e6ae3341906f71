#include "WorkReport.h"

#include "CaseCompare.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QHash>
#include <QMap>

#include <algorithm>
#include <charconv>
#include <bit>

namespace {

constexpr qsizetype MaxValueLength = 60;
// The groups that the text lists after the counts.
constexpr int ShownGroups = 10;

struct TKindInfo
{
    const char *Name;
    const char *SectionTitle;
    // The text of a group: %1 the name, %2 the count, %3 the class, %4 the
    // number of files; "(s)" stands where a plural takes an "s".
    const char *GroupText;
};

const TKindInfo Kinds[WorkItemKindCount] = {
    {"objectNotConverted", "Objects not converted; their forms will not load until they are",
     "%2 %1 object(s) not re-created in %4 form(s)"},
    {"droppedProperty", "Properties dropped", "%1 dropped on %2 %3 object(s) in %4 form(s)"},
    {"droppedEvent", "Event handlers dropped", "%1 handlers dropped on %2 %3 object(s) in %4 form(s)"},
    {"unknownDatabase", "Database names that no TDatabase of the run defines (BDE aliases)",
     "%1 naming no TDatabase of the run on %2 %3 object(s) in %4 form(s)"},
    {"unpairedComponent", "Components of the old source set without an Orvex class",
     "%2 %1 component(s) without an Orvex class in %4 form(s)"},
    {"leftInCode", "Identifiers of the old source set left in the code", "%1 left in the code %2 time(s) in %4 file(s)"},
    {"apiCall", "BDE API calls left in the code", "%1 called %2 time(s) in %4 file(s)"},
    {"memberInCode", "Members of converted components used in the code",
     "%1 of %3 used in the code %2 time(s) in %4 file(s)"},
    {"withInCode", "with statements on converted components", "with on %3 components %2 time(s) in %4 file(s)"},
    {"memberRenamed", "Members renamed in the code", "%1 of %3 renamed in the code %2 time(s) in %4 file(s)"},
    {"handlerSignature", "Event handlers whose parameters name a renamed class",
     "%1: %2 handler(s) whose parameters name %3 in %4 file(s)"},
    {"openWithoutConnection", "Objects left open without a connection",
     "%1 = True without a connection on %2 %3 object(s) in %4 form(s)"},
    {"formNotNamed", "Form files that no unit of the run names (not converted)", "%2 form file(s) that no unit names"},
    {"addedDeclaration", "Declarations added without an object in the form",
     "%1 added %2 time(s) without an object in %4 file(s)"},
    {"fileLeftAlone", "Files left as they are, not converted", "%2 file(s) left as they are: %1"},
};

const char *const ConsequenceNames[ConsequenceCount] = {"willNotCompile", "willNotLoad", "behavesDifferently",
                                                        "information"};
const char *const ConsequenceTexts[ConsequenceCount] = {"will not compile", "will not load", "behaves differently",
                                                        "for information"};

// Paths as the text shows them: relative to the run's folder when inside
// it. A file's items follow one another, so the last answer is kept.
class TShownPaths
{
public:
    explicit TShownPaths(const QString &BaseFolder) : FBase(BaseFolder), FHasBase(!BaseFolder.isEmpty()) {}
    const QString &Of(const QString &Path)
    {
        if (!FHasBase)
            return Path;
        // The items of a file share its path's text: most are told at once.
        const bool Same = Path.constData() == FLastPath.constData() && Path.size() == FLastPath.size();
        if (!Same && Path != FLastPath) {
            const QString Relative = FBase.relativeFilePath(Path);
            FLastPath = Path;
            FLastShown = Relative.startsWith(QLatin1String("..")) ? Path : QDir::toNativeSeparators(Relative);
        }
        return FLastShown;
    }

private:
    const QDir FBase;
    const bool FHasBase;
    QString FLastPath, FLastShown;
};

// "path:line" at the end of Text.
void appendPlace(QString &Text, const TWorkItem &Item, TShownPaths &Paths)
{
    Text += Paths.Of(Item.File);
    if (Item.Line > 0) {
        char Digits[16];
        const auto End = std::to_chars(Digits, Digits + sizeof Digits, Item.Line).ptr;
        Text += u':';
        Text += QLatin1StringView(Digits, End - Digits);
    }
}

// An object path as the text shows it, at the end of Text: a deep one keeps
// its first and last names around "...".
void appendObjectPath(QString &Text, const QString &Path)
{
    constexpr qsizetype Head = 3, Tail = 4;
    if (Path.count(u'.') <= Head + Tail) {
        Text += Path; // most paths: not split
        return;
    }
    const QStringList Names = Path.split(u'.');
    Text += QStringList(Names.cbegin(), Names.cbegin() + Head).join(u'.') + QStringLiteral("...")
            + QStringList(Names.cend() - Tail, Names.cend()).join(u'.');
}

// The text of a group from its kind's template. "(s)" becomes "s" unless
// the number it counts (the nearest %2 or %4 before it) is 1.
QString groupText(const TWorkGroup &G)
{
    QString Template = QString::fromLatin1(Kinds[int(G.Kind)].GroupText);
    for (qsizetype P; (P = Template.indexOf(QLatin1String("(s)"))) >= 0;) {
        const bool CountsFiles = Template.lastIndexOf(QLatin1String("%4"), P) > Template.lastIndexOf(QLatin1String("%2"), P);
        Template.replace(P, 3, (CountsFiles ? G.Files : G.Count) == 1 ? QString() : QStringLiteral("s"));
    }
    // Not QString::arg: a template need not use every number.
    return Template.replace(QLatin1String("%1"), G.Name)
        .replace(QLatin1String("%2"), QString::number(G.Count))
        .replace(QLatin1String("%3"), G.Class.isEmpty() ? QStringLiteral("converted") : G.Class)
        .replace(QLatin1String("%4"), QString::number(G.Files));
}

} // namespace

int TLineIndex::LineOf(qsizetype Pos)
{
    if (Pos < 0)
        return 0; // unknown
    Pos = std::min(Pos, FText.size());
    if (FStarts.empty() && Pos >= FPos) {
        // In blocks of a fixed length, which the compiler counts with
        // vector instructions: long stretches by 256 characters, the short
        // ones between the items of one unit by 16.
        const char16_t *const Text = reinterpret_cast<const char16_t *>(FText.constData());
        int Breaks = 0;
        qsizetype I = FPos;
        for (; I + 256 <= Pos; I += 256) {
            std::uint16_t N = 0; // 16-bit lanes: no widening in the loop
            for (int K = 0; K < 256; ++K)
                N += Text[I + K] == u'\n';
            Breaks += N;
        }
        for (; I + 16 <= Pos; I += 16) {
            // A 16-bit sum here is miscompiled by the MinGW compiler.
            unsigned N = 0;
            for (int K = 0; K < 16; ++K)
                N += Text[I + K] == u'\n';
            Breaks += int(N);
        }
        for (; I < Pos; ++I)
            Breaks += Text[I] == u'\n';
        FPos = Pos;
        FLine += Breaks;
        return FLine;
    }
    if (FStarts.empty()) {
        FStarts.push_back(0);
        for (qsizetype I = FText.indexOf(u'\n'); I >= 0; I = FText.indexOf(u'\n', I + 1))
            FStarts.push_back(I + 1);
    }
    return int(std::upper_bound(FStarts.begin(), FStarts.end(), Pos) - FStarts.begin());
}

std::size_t TWorkReport::hashOf(const TWorkItem &Item)
{
    // The file is left out: the items are indexed per file.
    return qHashMulti(0, int(Item.Kind), Item.Line, Item.ObjectPath, Item.Name, Item.Value);
}

bool TWorkReport::TFileItems::Contains(const TWorkReport &Report, const TWorkItem &Item, std::size_t Hash) const
{
    if (Slots.empty())
        return false;
    const std::size_t Mask = Slots.size() - 1;
    for (std::size_t I = Hash & Mask; Slots[I] >= 0; I = (I + 1) & Mask) {
        const qsizetype At = Slots[I];
        if (Report.FHashes[std::size_t(At)] != Hash)
            continue;
        const TWorkItem &Other = Report.FItems[At];
        if (Other.Kind == Item.Kind && Other.Line == Item.Line && Other.ObjectPath == Item.ObjectPath
            && Other.Name == Item.Name && Other.Value == Item.Value)
            return true;
    }
    return false;
}

void TWorkReport::TFileItems::Insert(const std::vector<std::size_t> &Hashes, qsizetype At)
{
    // Kept at most half full: twice as large when it would not be.
    if (2 * (Count + 1) > qsizetype(Slots.size())) {
        std::vector<qsizetype> Old(std::max<std::size_t>(16, 2 * Slots.size()), -1);
        Old.swap(Slots);
        Count = 0;
        for (const qsizetype Each : Old)
            if (Each >= 0)
                Insert(Hashes, Each);
    }
    const std::size_t Mask = Slots.size() - 1;
    std::size_t I = Hashes[std::size_t(At)] & Mask;
    while (Slots[I] >= 0)
        I = (I + 1) & Mask;
    Slots[I] = At;
    ++Count;
}

TWorkReport::TFileItems &TWorkReport::fileItems(const QString &File)
{
    // A file's items come one after another: the last file's are at hand.
    if (!FLastFileItems || File != FLastFile) {
        FLastFileItems = &FByFile[File];
        FLastFile = File;
    }
    return *FLastFileItems;
}

void TWorkReport::indexAll()
{
    FByFile.clear();
    FLastFileItems = nullptr;
    FLastFile.clear();
    FHashes.clear();
    for (qsizetype I = 0; I < FItems.size(); ++I) {
        FHashes.push_back(hashOf(FItems[I]));
        fileItems(FItems[I].File).Insert(FHashes, I);
    }
}

void TWorkReport::Add(TWorkItem Item)
{
    if (Item.Consequence == TConsequence::ByKind)
        Item.Consequence = ConsequenceOf(Item.Kind, Item.Name);
    // A form that two units name is converted twice; it is reported once.
    const std::size_t Hash = hashOf(Item);
    TFileItems &Same = fileItems(Item.File);
    if (Same.Contains(*this, Item, Hash))
        return;
    FItems.append(std::move(Item));
    FHashes.push_back(Hash);
    Same.Insert(FHashes, FItems.size() - 1);
}

TWorkReport::TSorted TWorkReport::sorted() const
{
    // Pointers, not copies: the report may hold tens of thousands of items.
    TSorted Result;
    Result.reserve(std::size_t(FItems.size()));
    for (const TWorkItem &Item : FItems)
        Result.push_back(&Item);
    std::stable_sort(Result.begin(), Result.end(), [](const TWorkItem *A, const TWorkItem *B) {
        return std::pair(int(A->Consequence), int(A->Kind)) < std::pair(int(B->Consequence), int(B->Kind));
    });
    return Result;
}

QList<TWorkItem> TWorkReport::Items() const
{
    QList<TWorkItem> Result;
    Result.reserve(FItems.size());
    for (const TWorkItem *Item : sorted())
        Result.append(*Item);
    return Result;
}

int TWorkReport::Count(TConsequence Consequence) const
{
    return int(std::count_if(FItems.cbegin(), FItems.cend(),
                             [Consequence](const TWorkItem &I) { return I.Consequence == Consequence; }));
}

TConsequence TWorkReport::ConsequenceOf(TWorkItemKind Kind, const QString &Name)
{
    switch (Kind) {
    case TWorkItemKind::ObjectNotConverted:
        return TConsequence::WillNotLoad;
    case TWorkItemKind::LeftInCode:
    case TWorkItemKind::ApiCall:
    case TWorkItemKind::MemberInCode:
    case TWorkItemKind::HandlerSignature:
        return TConsequence::WillNotCompile;
    case TWorkItemKind::DroppedEvent:
    case TWorkItemKind::UnknownDatabase:
    case TWorkItemKind::OpenWithoutConnection:
    case TWorkItemKind::AddedDeclaration:
    case TWorkItemKind::FileLeftAlone:
        return TConsequence::BehavesDifferently;
    case TWorkItemKind::DroppedProperty: {
        // Without its index a table is read in another order; without its
        // master link a detail dataset no longer follows its master; a
        // connection or transaction without its isolation or parameters
        // runs in another mode.
        static const char16_t *const Changing[] = {u"IndexName", u"IndexFieldNames", u"DataSource",
                                                   u"MasterSource", u"MasterFields", u"TransIsolation"};
        for (const char16_t *Changed : Changing)
            if (Name.compare(QStringView(Changed), Qt::CaseInsensitive) == 0)
                return TConsequence::BehavesDifferently;
        return Name.startsWith(u"TRParams", Qt::CaseInsensitive) ? TConsequence::BehavesDifferently
                                                                 : TConsequence::Information;
    }
    default:
        return TConsequence::Information;
    }
}

const char *TWorkReport::ConsequenceName(TConsequence Consequence)
{
    return ConsequenceNames[int(Consequence)];
}

const char *TWorkReport::ConsequenceText(TConsequence Consequence)
{
    return ConsequenceTexts[int(Consequence)];
}

void TWorkReport::NoteDeclaredClasses(const QStringList &Names)
{
    for (const QString &Name : Names)
        FDeclaredClasses.insert(Name.toCaseFolded());
}

void TWorkReport::Settle()
{
    // A handler is the unit's method that its form names: same base name.
    const auto Base = [](const QString &Path) {
        const QFileInfo Info(Path);
        return QDir(Info.path()).filePath(Info.completeBaseName()).toCaseFolded();
    };
    // A method is reported once, where the unit first names it (its
    // declaration in the form class).
    QSet<QString> Reported;
    for (const THandlerNote &Method : std::as_const(FHandlerNotes)) {
        if (!Method.IsMethod)
            continue;
        for (const THandlerNote &Event : std::as_const(FHandlerNotes))
            if (!Event.IsMethod && compareIgnoringCase(Event.Method, Method.Method) == 0
                && Base(Event.File) == Base(Method.File)
                && !Reported.contains(Base(Method.File) + u'/' + Method.Method.toCaseFolded() + u'/' + Event.ObjectPath)) {
                Reported.insert(Base(Method.File) + u'/' + Method.Method.toCaseFolded() + u'/' + Event.ObjectPath);
                Add({TWorkItemKind::HandlerSignature, Method.File, Method.Line, Event.ObjectPath, Method.Method,
                     Method.Class,
                     QStringLiteral("%1 of %2 (not converted) is handled here, but the handler now names %3 instead "
                                    "of %4")
                         .arg(Event.Detail, Event.Class, Method.Detail, Method.Class),
                     Method.Class});
            }
    }
    if (FDeclaredClasses.isEmpty())
        return;
    const qsizetype Removed = FItems.removeIf([this](const TWorkItem &Item) {
        return (Item.Kind == TWorkItemKind::LeftInCode || Item.Kind == TWorkItemKind::UnpairedComponent)
               && FDeclaredClasses.contains(Item.Name.toCaseFolded());
    });
    if (Removed > 0)
        indexAll(); // the items moved
}

QList<TWorkGroup> TWorkReport::Groups() const
{
    return groupsOf(sorted());
}

QList<TWorkGroup> TWorkReport::groupsOf(const TSorted &Sorted)
{
    QList<TWorkGroup> Groups;
    // By a hash of consequence, kind, name and class: no key is built per
    // item.
    std::unordered_multimap<std::size_t, qsizetype> Index;
    QList<QSet<QString>> Files;
    QList<const QString *> LastFile; // a file's items follow one another
    const auto InGroup = [&Groups](const TWorkItem &Item, qsizetype At) {
        const TWorkGroup &G = Groups[At];
        return G.Consequence == Item.Consequence && G.Kind == Item.Kind && G.Name == Item.Name && G.Class == Item.Class;
    };
    qsizetype Last = -1; // the group of the item before: most often this one's
    for (const TWorkItem *Each : Sorted) {
        const TWorkItem &Item = *Each;
        qsizetype At = Last >= 0 && InGroup(Item, Last) ? Last : -1;
        if (At < 0) {
            const std::size_t Hash = qHashMulti(0, int(Item.Consequence), int(Item.Kind), Item.Name, Item.Class);
            for (auto [It, End] = Index.equal_range(Hash); It != End && At < 0; ++It)
                if (InGroup(Item, It->second))
                    At = It->second;
            if (At < 0) {
                At = Groups.size();
                Index.emplace(Hash, At);
                Groups.append({Item.Consequence, Item.Kind, Item.Name, Item.Class, 0, 0, {}});
                Files.append(QSet<QString>());
                LastFile.append(nullptr);
            }
        }
        Last = At;
        ++Groups[At].Count;
        if (!LastFile[At] || *LastFile[At] != Item.File) {
            Files[At].insert(Item.File);
            LastFile[At] = &Item.File;
        }
    }
    for (qsizetype I = 0; I < Groups.size(); ++I) {
        TWorkGroup &G = Groups[I];
        G.Files = int(Files[I].size());
        G.Text = groupText(G);
    }
    std::stable_sort(Groups.begin(), Groups.end(),
                     [](const TWorkGroup &A, const TWorkGroup &B) { return A.Count > B.Count; });
    return Groups;
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
    return Kinds[int(Kind)].Name;
}

QString TWorkReport::ToText(const QString &Title, const QString &BaseFolder) const
{
    QString Result;
    WriteText([&Result](const QString &Part) { Result += Part; }, Title, BaseFolder);
    return Result;
}

void TWorkReport::WriteText(const std::function<void(const QString &)> &Write, const QString &Title,
                            const QString &BaseFolder) const
{
    // Given away in parts: the text of a large run is megabytes long, and
    // held whole (then encoded whole) it costs more than writing it.
    constexpr qsizetype PartSize = 1 << 15;
    const QString Br = QStringLiteral("\r\n");
    QString Text = Title + Br + Br;
    if (Count() == 0) {
        Write(Text + QStringLiteral("Nothing needs manual work.") + Br);
        return;
    }
    Text += QStringLiteral("%1 item(s) need manual work.").arg(Count()) + Br;
    for (int C = 0; C < ConsequenceCount; ++C)
        if (const int N = Count(TConsequence(C)); N > 0)
            Text += QStringLiteral("  %1: %2").arg(QString::fromLatin1(ConsequenceTexts[C])).arg(N) + Br;
    const TSorted Sorted = sorted();
    const QList<TWorkGroup> Groups = groupsOf(Sorted);
    Text += Br + QStringLiteral("Largest groups:") + Br;
    for (qsizetype G = 0; G < Groups.size() && G < ShownGroups; ++G)
        Text += QStringLiteral("  %1 (%2)").arg(Groups[G].Text, QString::fromLatin1(ConsequenceTexts[int(Groups[G].Consequence)]))
                + Br;
    TShownPaths Paths(BaseFolder);
    const qsizetype Total = qsizetype(Sorted.size());
    for (qsizetype First = 0; First < Total;) {
        // One section per consequence and kind.
        const TConsequence Consequence = Sorted[First]->Consequence;
        const TWorkItemKind Kind = Sorted[First]->Kind;
        qsizetype End = First;
        while (End < Total && Sorted[End]->Consequence == Consequence && Sorted[End]->Kind == Kind)
            ++End;
        Text += Br + QString::fromLatin1(Kinds[int(Kind)].SectionTitle) + QStringLiteral(" (")
                + QString::fromLatin1(ConsequenceTexts[int(Consequence)]) + QStringLiteral("): ")
                + QString::number(End - First) + Br;
        if (Kind == TWorkItemKind::UnpairedComponent) {
            // Counted per class, with the files that hold them.
            QMap<QString, QPair<int, QStringList>> Classes;
            for (qsizetype I = First; I < End; ++I) {
                auto &[Objects, Files] = Classes[Sorted[I]->Name];
                ++Objects;
                const QString File = Paths.Of(Sorted[I]->File);
                if (!Files.contains(File))
                    Files << File;
            }
            for (auto It = Classes.cbegin(); It != Classes.cend(); ++It)
                Text += QStringLiteral("  %1 (%2): %3").arg(It.key()).arg(It->first).arg(It->second.join(QStringLiteral(", ")))
                        + Br;
            First = End;
            continue;
        }
        for (qsizetype I = First; I < End; ++I) {
            const TWorkItem &Item = *Sorted[I];
            const QString Value = Item.Value.isEmpty() ? QString() : Shorten(Item.Value);
            Text += u"  ";
            appendPlace(Text, Item, Paths);
            Text += u"  ";
            if (!Item.ObjectPath.isEmpty()) {
                appendObjectPath(Text, Item.ObjectPath);
                Text += u"  ";
            }
            switch (Kind) {
            case TWorkItemKind::ObjectNotConverted:
                Text += QStringLiteral("%1 -> %2: %3").arg(Item.Name, Value, Item.Detail);
                break;
            case TWorkItemKind::DroppedProperty:
                Text += QStringLiteral("%1 = %2 (%3)").arg(Item.Name, Value, Item.Detail);
                break;
            case TWorkItemKind::DroppedEvent:
                Text += QStringLiteral("%1: %2 will no longer be called (%3)").arg(Item.Name, Value, Item.Detail);
                break;
            case TWorkItemKind::UnknownDatabase:
                Text += QStringLiteral("%1 = %2").arg(Item.Name, Value);
                break;
            default:
                Text += Item.Name;
                if (!Value.isEmpty()) {
                    Text += u" = ";
                    Text += Value;
                }
                if (!Item.Detail.isEmpty()) {
                    Text += u" (";
                    Text += Item.Detail;
                    Text += u')';
                }
                break;
            }
            Text += Br;
            if (Text.size() >= PartSize) {
                Write(Text);
                Text.resize(0); // its memory stays for the next part
            }
        }
        First = End;
    }
    Write(Text);
}

QByteArray TWorkReport::ToJson(const QString &Base) const
{
    const TSorted Sorted = sorted();
    QJsonArray Items;
    for (const TWorkItem *Each : Sorted) {
        const TWorkItem &Item = *Each;
        QJsonObject O;
        O.insert(QStringLiteral("consequence"), QString::fromLatin1(ConsequenceName(Item.Consequence)));
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
    QJsonObject Consequences;
    for (int C = 0; C < ConsequenceCount; ++C)
        Consequences.insert(QString::fromLatin1(ConsequenceNames[C]), Count(TConsequence(C)));
    QJsonObject Counts;
    for (int K = 0; K < WorkItemKindCount; ++K)
        Counts.insert(QString::fromLatin1(KindName(TWorkItemKind(K))), Count(TWorkItemKind(K)));
    QJsonArray Groups;
    for (const TWorkGroup &G : groupsOf(Sorted))
        Groups.append(QJsonObject{{QStringLiteral("consequence"), QString::fromLatin1(ConsequenceName(G.Consequence))},
                                  {QStringLiteral("kind"), QString::fromLatin1(KindName(G.Kind))},
                                  {QStringLiteral("name"), G.Name},
                                  {QStringLiteral("count"), G.Count},
                                  {QStringLiteral("files"), G.Files},
                                  {QStringLiteral("text"), G.Text}});
    QJsonObject Root;
    Root.insert(QStringLiteral("total"), Count());
    Root.insert(QStringLiteral("base"), QDir::fromNativeSeparators(Base.isEmpty() ? Base : QDir(Base).absolutePath()));
    Root.insert(QStringLiteral("consequences"), Consequences);
    Root.insert(QStringLiteral("counts"), Counts);
    Root.insert(QStringLiteral("groups"), Groups);
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
