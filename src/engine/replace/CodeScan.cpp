#include "CodeScan.h"

#include "CaseCompare.h"
#include "PasParser.h"
#include "Tokenizer.h"
#include "UnitIndex.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>


namespace {

// Whether A and B are written alike (letter case counts): short names,
// compared in place.
bool writtenAlike(QStringView A, QStringView B)
{
    return A.size() == B.size()
           && (A.data() == B.data() || std::memcmp(A.data(), B.data(), std::size_t(A.size()) * sizeof(QChar)) == 0);
}

// A declaration of an identifier with an old class (Type), with a class of
// the run that has fields of an old class (Container, case-folded), or with
// another type where the name is that of a global variable of the run (it
// hides the global).
struct TDeclaration
{
    QStringView Name;
    qsizetype Pos;
    const TUnitLexem *Type;
    int Container = -1; // into FContainers; -1: not of a class of the index
    mutable std::uint64_t Pair = 0; // TMemberFates::PairHash of Type, once asked
    // Where the declaration stops being in force: the end of its routine
    // for a parameter or a local variable, the end of the text otherwise.
    qsizetype ScopeEnd = std::numeric_limits<qsizetype>::max();
    std::uint32_t Hash = 0; // of the name, letter case ignored (ASCII names)
};

class TScanner
{
public:
    TScanner(const QString &Text, const std::vector<TUnitLexem> &Lexems, const TCodeIndex &Code, TMemberFates &Fates,
             const TCodeScanScope &Scope)
        : FText(Text), FAll(Lexems), FFates(Fates), FIndex(Scope.Index && !Scope.Index->IsEmpty() ? Scope.Index : nullptr),
          FUnit(Scope.Unit.toCaseFolded()), FMayReach(FIndex ? nullptr : Scope.MayReach), FTypesAt(Code.TypesAt),
          FSubjects(Code.Subjects), FHeadsAt(Code.HeadsAt), FBeginsAt(Code.BeginsAt), FEndsAt(Code.EndsAt),
          FUsesAt(Code.UsesAt), FImplementation(Code.Implementation)
    {
    }
    TScanner(const TScanner &) = delete;
    TScanner &operator=(const TScanner &) = delete;

    // "procedure TForm1.HandlerError(Sender: TObject; E: EFIBError)": the
    // methods whose parameters name an old class, with that class and its
    // new name, for the handler signatures (the form names its handlers).
    std::vector<TRenamedParameter> Headings() const
    {
        std::vector<TRenamedParameter> Methods;
        size_t Done = 0;
        for (const size_t I : FHeadsAt) {
            if (I < Done || !codeIs(I + 1, lexIdentifier))
                continue;
            size_t N = I + 1;
            if (codeIs(N + 1, lexDot) && codeIs(N + 2, lexIdentifier))
                N += 2; // Class.Method
            if (!codeIs(N + 1, lexOpenParen))
                continue;
            Done = N + 1;
            for (size_t P = N + 2; P < FAll.size() && lexem(P).Code != lexCloseParen; ++P)
                if (const TUnitLexem &L = lexem(P); L.NewName) {
                    const TUnitLexem &Name = lexem(N);
                    Methods.push_back({Name.Start, textOf(Name).toString(), textOf(L).toString(), *L.NewName});
                    break;
                }
        }
        return Methods;
    }

    std::vector<TCodeUse> Run()
    {
        collectDeclarations();
        if (FDeclared.empty() && !FIndex && !FMayReach)
            return {};
        std::vector<TCodeUse> Uses;
        Uses.reserve(std::min<std::size_t>(FSubjects.size() / 8, 64)); // a use grows the list by moving each
        for (const size_t I : FSubjects) {
            if (isWord(lexem(I), u"with"))
                scanWith(I, Uses);
            else
                scanMemberUse(I, Uses);
        }
        // The members of a with statement's body come with the statement,
        // before the dotted uses inside it: in text order, the rewriting
        // meets each renamed use where it stands.
        const auto ByPos = [](const TCodeUse &A, const TCodeUse &B) { return A.Pos < B.Pos; };
        if (!std::is_sorted(Uses.begin(), Uses.end(), ByPos))
            std::stable_sort(Uses.begin(), Uses.end(), ByPos);
        return Uses;
    }

private:
    const TUnitLexem &lexem(size_t I) const { return FAll[I]; }
    Q_ALWAYS_INLINE QStringView textOf(const TUnitLexem &L) const
    {
        return QStringView(FText.constData() + L.Start, L.End - L.Start);
    }
    template <std::size_t N>
    bool isWord(const TUnitLexem &L, const char16_t (&Word)[N]) const
    {
        return ::isWord(FText, L, Word);
    }
    bool codeIs(size_t I, int Code) const { return I < FAll.size() && FAll[I].Code == Code; }
    static QString key(QStringView Name) { return Name.toString().toCaseFolded(); }

    // "A, B: TQuery": every name of the list before the colon that stands
    // right before an old class is declared with it; so are the names
    // declared with a class of the run's index, and those that hide a
    // global variable of the index. The unit's uses clauses give the units
    // whose globals it sees. A parameter or local variable of another type
    // hides an object of its name within its routine.
    void collectDeclarations()
    {
        std::vector<size_t> Others; // names declared with other types
        FDeclared.reserve(FTypesAt.size());
        for (const size_t I : FTypesAt) {
            const TUnitLexem &Type = lexem(I);
            int Container = -1;
            if (!Type.NewName && FIndex && FIndex->HasFields(textOf(Type))) {
                Container = int(FContainers.size());
                FContainers.push_back(key(textOf(Type)));
            }
            forEachDeclaredName(I, [&](const TUnitLexem &Name, size_t At) {
                if (Type.NewName || Container >= 0 || (FIndex && FIndex->MayBeGlobal(textOf(Name)))) {
                    FDeclared.push_back({textOf(Name), Name.Start, Type.NewName ? &Type : nullptr, Container});
                    FDeclared.back().ScopeEnd = scopeEndOf(At);
                    FDeclaredNames.Add(textOf(Name));
                } else {
                    Others.push_back(At);
                }
            });
        }
        sortDeclarations();
        // Those of the names that the unit also declares as objects hide
        // them where they are parameters or locals.
        bool Hides = false;
        for (const size_t At : Others) {
            const TUnitLexem &Name = lexem(At);
            if (!FDeclaredNames.MayContain(textOf(Name)) || !declarationsOf(textOf(Name)).first)
                continue;
            if (const qsizetype End = scopeEndOf(At); End != NoEnd) {
                FDeclared.push_back({textOf(Name), Name.Start, nullptr, -1});
                FDeclared.back().ScopeEnd = End;
                Hides = true;
            }
        }
        if (Hides)
            sortDeclarations();
        FLastName = QStringView();
    }
    // Calls Visit(Name, Index) for each name of the list before the type at
    // I, last first.
    template <class TVisit>
    void forEachDeclaredName(size_t I, TVisit &&Visit) const
    {
        for (size_t N = I - 2;; N -= 2) {
            const TUnitLexem &Name = lexem(N);
            if (Name.Code != lexIdentifier || Name.NewName)
                break;
            Visit(Name, N);
            if (N < 2 || lexem(N - 1).Code != lexComma)
                break;
        }
    }
    // Each name's declarations one after another, in text order (no two
    // declarations share a place). ASCII names are grouped through the
    // table of names (FNameSlots), without comparing one name with another:
    // the declarations come nearly in text order, so each name's are then
    // put in order by a pass that seldom moves one. Other names are sorted.
    void sortDeclarations()
    {
        bool Ascii = true;
        for (TDeclaration &D : FDeclared)
            Ascii = asciiHash(D.Name, D.Hash) && Ascii;
        if (!Ascii) {
            std::sort(FDeclared.begin(), FDeclared.end(), [](const TDeclaration &A, const TDeclaration &B) {
                const int Order = compareIgnoringCase(A.Name, B.Name);
                return Order != 0 ? Order < 0 : A.Pos < B.Pos;
            });
            FNameSlots.clear(); // looked up by a search
            return;
        }
        const std::size_t N = FDeclared.size();
        std::size_t Size = 16;
        while (Size < 2 * N)
            Size *= 2;
        const std::size_t Mask = Size - 1;
        // The slot of each name, holding one of its declarations (Begin)
        // and, while they are counted, how many it has (End).
        FNameSlots.assign(Size, {});
        std::vector<std::uint32_t> SlotOf(N);
        for (std::size_t I = 0; I < N; ++I) {
            const TDeclaration &D = FDeclared[I];
            std::size_t S = D.Hash & Mask;
            while (FNameSlots[S].End
                   && !(FNameSlots[S].Hash == D.Hash && sameName(FDeclared[FNameSlots[S].Begin].Name, D.Name)))
                S = (S + 1) & Mask;
            if (!FNameSlots[S].End)
                FNameSlots[S] = {D.Hash, std::uint32_t(I), 0};
            ++FNameSlots[S].End;
            SlotOf[I] = std::uint32_t(S);
        }
        // Each name's run, then its declarations into it in their order.
        std::uint32_t Offset = 0;
        for (TNameSlot &Slot : FNameSlots)
            if (const std::uint32_t Count = Slot.End) {
                Slot.Begin = Slot.End = Offset;
                Offset += Count;
            }
        std::vector<TDeclaration> Grouped(N);
        for (std::size_t I = 0; I < N; ++I)
            Grouped[FNameSlots[SlotOf[I]].End++] = FDeclared[I];
        for (const TNameSlot &Slot : FNameSlots)
            for (std::uint32_t I = Slot.Begin + 1; I < Slot.End; ++I)
                for (std::uint32_t J = I; J > Slot.Begin && Grouped[J].Pos < Grouped[J - 1].Pos; --J)
                    std::swap(Grouped[J], Grouped[J - 1]);
        FDeclared.swap(Grouped);
    }
    static bool sameName(QStringView A, QStringView B)
    {
        return writtenAlike(A, B) || (A.size() == B.size() && compareIgnoringCase(A, B) == 0);
    }

    // The scope of a name declared at I: a parameter or a local variable
    // (in the implementation part, after a routine's heading and before its
    // first "begin", with no "end" between: a method declared in a class
    // meets the class's end first) is in force up to the next routine after
    // that "begin"; anything else, to the end. A second routine nested in
    // the declarations of another ends the scope early; an anonymous method
    // ("procedure" after "(", "," or ":=") and a procedural type
    // ("= procedure", ": function") are no routines here.
    static constexpr qsizetype NoEnd = std::numeric_limits<qsizetype>::max();
    qsizetype scopeEndOf(size_t I) const
    {
        if (I < FImplementation)
            return NoEnd;
        auto Head = std::lower_bound(FHeadsAt.begin(), FHeadsAt.end(), I);
        while (Head != FHeadsAt.begin() && !isRoutine(*(Head - 1)))
            --Head;
        if (Head == FHeadsAt.begin() || *(Head - 1) < FImplementation)
            return NoEnd;
        // A routine declares its names one after another: what follows
        // from its heading is worked out once.
        if (*(Head - 1) != FScope.Head) {
            FScope.Head = *(Head - 1);
            const auto Begin = std::upper_bound(FBeginsAt.begin(), FBeginsAt.end(), FScope.Head);
            const auto End = std::upper_bound(FEndsAt.begin(), FEndsAt.end(), FScope.Head);
            FScope.Begin = Begin == FBeginsAt.end() ? 0 : *Begin;
            FScope.End = NoEnd;
            if (Begin == FBeginsAt.end() || (End != FEndsAt.end() && *End < *Begin))
                FScope.Begin = 0; // a class's or record's member: no routine's
            else
                FScope.End = nextRoutineAfter(*Begin);
        }
        if (FScope.Begin < I)
            return NoEnd; // not in a routine's heading or declarations
        return FScope.End;
    }
    // Where the first routine after I starts, or the end of the text.
    qsizetype nextRoutineAfter(size_t I) const
    {
        for (auto Next = std::upper_bound(FHeadsAt.begin(), FHeadsAt.end(), I); Next != FHeadsAt.end(); ++Next)
            if (isRoutine(*Next))
                return lexem(*Next).Start;
        return FText.size(); // the last routine's
    }
    // The scope that the last routine heading asked about gives.
    struct TScope
    {
        size_t Head = size_t(-1);
        size_t Begin = 0; // its first "begin"; 0: none that starts its body
        qsizetype End = 0;
    };
    mutable TScope FScope;
    bool isRoutine(size_t Head) const
    {
        if (Head == 0)
            return true;
        const int Before = lexem(Head - 1).Code;
        return Before != lexOpenParen && Before != lexComma && Before != lexEquals && Before != lexColon;
    }

    // Each code identifier before a dot is looked up: the names are hashed
    // into a table of their runs in FDeclared, one probe where the binary
    // search made several comparisons. ASCII names only, as
    // TAsciiNameIndex: once one is not, every lookup is a search.
    struct TNameSlot
    {
        std::uint32_t Hash = 0;
        std::uint32_t Begin = 0, End = 0; // End == 0: empty
    };
    static bool asciiHash(QStringView Name, std::uint32_t &Hash)
    {
        Hash = 2166136261u;
        for (const QChar C : Name) {
            if (C.unicode() >= 0x80)
                return false;
            Hash = (Hash ^ foldAscii(C.unicode())) * 16777619u;
        }
        return true;
    }
    // The run of Name's declarations in FDeclared.
    std::pair<const TDeclaration *, const TDeclaration *> declarationsOf(QStringView Name) const
    {
        if (!FNameSlots.empty()) {
            std::uint32_t Hash;
            if (!asciiHash(Name, Hash))
                return {nullptr, nullptr}; // every declared name is ASCII
            const std::size_t Mask = FNameSlots.size() - 1;
            for (std::size_t S = Hash & Mask; FNameSlots[S].End; S = (S + 1) & Mask) {
                const TNameSlot &Slot = FNameSlots[S];
                const TDeclaration &D = FDeclared[Slot.Begin];
                if (Slot.Hash == Hash && sameName(D.Name, Name))
                    return {&D, FDeclared.data() + Slot.End};
            }
            return {nullptr, nullptr};
        }
        const auto Less = [](const TDeclaration &D, QStringView N) { return compareIgnoringCase(D.Name, N) < 0; };
        const auto First = std::lower_bound(FDeclared.cbegin(), FDeclared.cend(), Name, Less);
        auto Last = First;
        while (Last != FDeclared.cend() && Last->Name.size() == Name.size() && compareIgnoringCase(Last->Name, Name) == 0)
            ++Last;
        return {FDeclared.data() + (First - FDeclared.cbegin()), FDeclared.data() + (Last - FDeclared.cbegin())};
    }

    // "uses A, B.C in 'c.pas';" from the keyword at I: the names, dotted
    // whole. Returns the index of the last lexeme read.
    size_t readUses(size_t I) const
    {
        QString Name;
        for (++I; I < FAll.size() && lexem(I).Code != lexSemicolon; ++I) {
            const TUnitLexem &L = lexem(I);
            if (L.Code == lexIdentifier && !isWord(L, u"in")) {
                if (!Name.isEmpty() && lexem(I - 1).Code == lexDot)
                    Name += u'.';
                else if (!Name.isEmpty())
                    FUses << std::exchange(Name, QString());
                Name += key(textOf(L));
            } else if (L.Code == lexComma && !Name.isEmpty()) {
                FUses << std::exchange(Name, QString());
            }
        }
        if (!Name.isEmpty())
            FUses << Name;
        return I;
    }

    // The declaration in force at Pos: the last one before it, or the first
    // one of an object when all follow it (a field used in a method body
    // above the class).
    const TDeclaration *declarationOf(QStringView Name, qsizetype Pos) const
    {
        // A unit names the same object again and again: the last name's
        // declarations are at hand.
        if (!writtenAlike(Name, FLastName)) {
            if (!FDeclaredNames.MayContain(Name))
                return nullptr; // most identifiers, without a search
            FLastRun = declarationsOf(Name);
            FLastName = Name;
        }
        const auto [First, Last] = FLastRun;
        if (First == Last)
            return nullptr;
        // The name's declarations are in text order: the last one before Pos
        // whose scope Pos is in.
        const auto After = std::partition_point(First, Last, [Pos](const TDeclaration &D) { return D.Pos < Pos; });
        for (auto It = After; It != First;)
            if (Pos < (--It)->ScopeEnd)
                return &*It;
        // An object declared further down for the whole unit (a field used
        // in a method body above its class); a name that only hides a
        // global there hides nothing here.
        for (auto It = After; It != Last; ++It)
            if (It->ScopeEnd == NoEnd && (It->Type || It->Container >= 0))
                return &*It;
        return nullptr;
    }

    // The identifier at I stands for the object itself: it is not a member
    // of something else, unless of Self.
    bool isSubject(size_t I) const
    {
        if (I == 0 || lexem(I - 1).Code != lexDot)
            return true;
        return I >= 2 && isWord(lexem(I - 2), u"Self") && (I < 3 || lexem(I - 3).Code != lexDot);
    }

    // The class of the run's index of the subject at I ("DataModule1", a
    // field "FDM: TDataModule1"), case-folded, or an empty text.
    QString containerOf(size_t I) const
    {
        if (!FIndex)
            return {};
        const TUnitLexem &Ident = lexem(I);
        if (const TDeclaration *D = declarationOf(textOf(Ident), Ident.Start))
            return D->Pos == Ident.Start || D->Container < 0 ? QString() : FContainers[std::size_t(D->Container)];
        if (!FIndex->MayBeGlobal(textOf(Ident)))
            return {};
        if (!FUsesRead)
            for (const size_t Uses : FUsesAt)
                readUses(Uses);
        FUsesRead = true;
        return FIndex->GlobalClass(textOf(Ident), FUnit, FUses);
    }

    // The converted object that the subject at I names, alone or with the
    // field behind it ("DataModule1.Query1", from IdentStart to IdentEnd);
    // Next is the lexeme behind it.
    struct TObject
    {
        qsizetype IdentStart = 0, IdentEnd = 0;
        bool Reached = false; // through the index
        std::uint64_t Pair = 0; // TMemberFates::PairHash
        QStringView OldClass;
        const QString *NewClass = nullptr;
        size_t Next = 0;
    };
    bool objectAt(size_t I, TObject &Object) const
    {
        const TUnitLexem &Ident = lexem(I);
        const TDeclaration *D = declarationOf(textOf(Ident), Ident.Start);
        if (D && D->Type) {
            if (D->Pos == Ident.Start)
                return false;
            if (!D->Pair)
                D->Pair = pairOf(textOf(*D->Type), D->Type->NewName);
            Object = {Ident.Start, Ident.End, false, D->Pair, textOf(*D->Type), D->Type->NewName, I + 1};
            return true;
        }
        if (!codeIs(I + 1, lexDot) || !codeIs(I + 2, lexIdentifier))
            return false;
        const QString Container = containerOf(I);
        if (Container.isEmpty())
            return false;
        const TUnitIndex::TField *Field = FIndex->FieldOf(Container, textOf(lexem(I + 2)));
        if (!Field)
            return false;
        Object = {Ident.Start, lexem(I + 2).End, true, pairOf(Field->OldClass, &Field->NewClass),
                  Field->OldClass, &Field->NewClass, I + 3};
        return true;
    }
    // TMemberFates::PairHash, of the same few classes again and again.
    std::uint64_t pairOf(QStringView OldClass, const QString *NewClass) const
    {
        for (const TPairSeen &P : FPairs)
            if (P.NewClass == NewClass && P.OldClass == OldClass)
                return P.Pair;
        const std::uint64_t Pair = TMemberFates::PairHash(OldClass, *NewClass);
        if (FPairs.size() < MaxKnown)
            FPairs.push_back({OldClass, NewClass, Pair});
        return Pair;
    }

    // The identifier of an object as written. A unit names the same few
    // objects again and again: the last one's text is shared.
    QString identOf(const TObject &Object)
    {
        const QStringView Ident = QStringView(FText).mid(Object.IdentStart, Object.IdentEnd - Object.IdentStart);
        if (Ident != FLastIdent)
            FLastIdent = Ident.toString();
        return FLastIdent;
    }
    // Written, shared with Known when they are written alike.
    static QString spelled(const QString &Known, QStringView Written)
    {
        return Known == Written ? Known : Written.toString();
    }

    void scanMemberUse(size_t I, std::vector<TCodeUse> &Uses)
    {
        if (!codeIs(I + 1, lexDot) || !codeIs(I + 2, lexIdentifier) || !isSubject(I))
            return;
        TObject Object;
        if (!objectAt(I, Object)) {
            if (FMayReach && codeIs(I + 3, lexDot) && codeIs(I + 4, lexIdentifier))
                *FMayReach = true; // "A.B.Member": A may be another unit's object
            return;
        }
        if (!codeIs(Object.Next, lexDot) || !codeIs(Object.Next + 1, lexIdentifier))
            return;
        const TUnitLexem &First = lexem(Object.Next + 1);
        const bool HasSub = codeIs(Object.Next + 2, lexDot) && codeIs(Object.Next + 3, lexIdentifier);
        const TUnitLexem *Sub = HasSub ? &lexem(Object.Next + 3) : nullptr;
        memberUse(lexem(I).Start, Object, First, Sub, Uses);
    }

    // The fate of a member of Object. A unit uses the same few members of
    // the same few classes: they are found again in the unit's own short
    // list, as written, without a hash.
    const TMemberFates::TEntry &known(const TObject &Object, QStringView First, QStringView Sub)
    {
        for (const TKnownUse &K : FKnown)
            if (K.First.size() == First.size() && K.Pair == Object.Pair && K.NewClass == Object.NewClass
                && writtenAlike(K.First, First) && writtenAlike(K.Sub, Sub) && writtenAlike(K.OldClass, Object.OldClass))
                return *K.Entry;
        const TMemberFates::TEntry &Entry = FFates.Of(Object.Pair, Object.OldClass, *Object.NewClass, First, Sub);
        if (FKnown.size() < MaxKnown)
            FKnown.push_back({Object.Pair, Object.NewClass, Object.OldClass, First, Sub, &Entry});
        return Entry;
    }

    // Appends the use at Pos of the member First (and Sub, when given) of
    // Object, unless the member is kept (most uses: nothing is built for
    // them). The member path names Sub only when the fate covers both parts.
    void memberUse(qsizetype Pos, const TObject &Object, const TUnitLexem &First, const TUnitLexem *Sub,
                   std::vector<TCodeUse> &Uses)
    {
        const TMemberFates::TEntry &Known = known(Object, textOf(First), Sub ? textOf(*Sub) : QStringView());
        if (Known.Fate.IsKept())
            return;
        TCodeUse &Use = Uses.emplace_back();
        Use = {TCodeUse::TKind::Member,
               Pos,
               identOf(Object),
               spelled(Known.OldClass, Object.OldClass),
               *Object.NewClass,
               spelled(Known.First, textOf(First)),
               Known.Fate,
               &Known,
               Object.Reached};
        if (Use.Fate.Parts == 2 && Sub) {
            Use.Member += u'.';
            Use.Member += textOf(*Sub);
        } else {
            Use.Fate.Parts = 1;
        }
        if (Use.Fate.Kind == TMemberFate::TKind::Renamed) {
            // Rewritten in place only when nothing stands between the parts.
            if (Use.Fate.Parts == 1)
                Use.RenameStart = First.Start, Use.RenameEnd = First.End;
            else if (Sub->Start == First.End + 1)
                Use.RenameStart = First.Start, Use.RenameEnd = Sub->End;
        }
    }

    // "with A, B do": each subject that is a converted object itself (not a
    // member of it, but a field of an object of the index) is reported once.
    void scanWith(size_t I, std::vector<TCodeUse> &Uses)
    {
        constexpr size_t MaxSubjects = 64;
        bool Several = false;
        TObject Converted;
        for (size_t J = I + 1; J < FAll.size() && J < I + MaxSubjects; ++J) {
            const TUnitLexem &L = lexem(J);
            if (isWord(L, u"do")) {
                if (!Several && Converted.NewClass)
                    scanWithBody(J + 1, Converted, Uses);
                return;
            }
            Several = Several || L.Code == lexComma;
            if (L.Code != lexIdentifier || L.NewName)
                continue;
            const bool Starts = lexem(J - 1).Code == lexComma || J == I + 1
                                || (J >= 2 && lexem(J - 1).Code == lexDot && isSubject(J));
            if (!Starts)
                continue;
            TObject Object;
            if (!objectAt(J, Object)) {
                const bool Ends = codeIs(J + 3, lexComma) || (J + 3 < FAll.size() && isWord(lexem(J + 3), u"do"));
                if (FMayReach && codeIs(J + 1, lexDot) && codeIs(J + 2, lexIdentifier) && Ends)
                    *FMayReach = true; // "with A.B do": A may be another unit's object
                continue;
            }
            const bool Ends = codeIs(Object.Next, lexComma)
                              || (Object.Next < FAll.size() && isWord(lexem(Object.Next), u"do"));
            if (!Ends)
                continue;
            TCodeUse Use;
            Use.Kind = TCodeUse::TKind::With;
            Use.Pos = L.Start;
            Use.Ident = identOf(Object);
            Use.OldClass = Object.OldClass.toString();
            Use.NewClass = *Object.NewClass;
            Use.Reached = Object.Reached;
            Uses.push_back(std::move(Use));
            Converted = Object;
            J = Object.Next - 1;
        }
    }

    // The statement of "with Object do" from Begin: a bare identifier in it
    // that the rules rename or drop on the object's class is its member (in
    // Delphi the subject's members hide every other name), reported and,
    // when renamed one to one, rewritten like "Object.Member"; the
    // statement is left at a nested "with", which may hide the subject in
    // turn.
    void scanWithBody(size_t Begin, const TObject &Object, std::vector<TCodeUse> &Uses)
    {
        const bool Block = Begin < FAll.size() && isWord(lexem(Begin), u"begin");
        int Depth = 0;
        for (size_t K = Begin; K < FAll.size(); ++K) {
            const TUnitLexem &L = lexem(K);
            if (L.Code == lexKeywordEnd) {
                if (--Depth <= 0 && (Block || Depth < 0))
                    return;
                continue;
            }
            if (L.Code == lexSemicolon && Depth == 0 && !Block)
                return;
            if (L.Code != lexIdentifier || L.NewName)
                continue;
            if (isWord(L, u"begin") || isWord(L, u"case") || isWord(L, u"try") || isWord(L, u"asm")) {
                ++Depth;
                continue;
            }
            if (isWord(L, u"with") || (Depth == 0 && !Block && isWord(L, u"else")))
                return;
            if (K > 0 && lexem(K - 1).Code == lexDot)
                continue;
            const bool HasSub = codeIs(K + 1, lexDot) && codeIs(K + 2, lexIdentifier);
            memberUse(L.Start, Object, L, HasSub ? &lexem(K + 2) : nullptr, Uses);
        }
    }

    const QString &FText;
    const std::vector<TUnitLexem> &FAll;
    TMemberFates &FFates;
    const TUnitIndex *FIndex; // null when it has nothing to find
    QString FUnit;            // case-folded
    bool *FMayReach;          // see TCodeScanScope
    mutable QStringList FUses; // the units the uses clauses name, case-folded
    // The unit's code and the places in it that the scan reads (TCodeIndex).
    const std::vector<size_t> &FTypesAt, &FSubjects, &FHeadsAt, &FBeginsAt, &FEndsAt, &FUsesAt;
    const size_t FImplementation;
    mutable bool FUsesRead = false; // whether FUses holds the uses clauses
    std::vector<TDeclaration> FDeclared; // see sortDeclarations
    std::vector<QString> FContainers;    // the classes of the index that FDeclared names
    TNameFilter FDeclaredNames;
    std::vector<TNameSlot> FNameSlots; // see declarationsOf
    QString FLastIdent;
    // The name that declarationOf looked up last, and its declarations.
    mutable QStringView FLastName;
    mutable std::pair<const TDeclaration *, const TDeclaration *> FLastRun;
    // The unit's own lists of what it asked (see known and pairOf), each
    // kept short enough to be searched from the front.
    static constexpr size_t MaxKnown = 32;
    struct TKnownUse
    {
        std::uint64_t Pair;
        const QString *NewClass;
        QStringView OldClass, First, Sub;
        const TMemberFates::TEntry *Entry;
    };
    std::vector<TKnownUse> FKnown;
    struct TPairSeen
    {
        QStringView OldClass;
        const QString *NewClass;
        std::uint64_t Pair;
    };
    mutable std::vector<TPairSeen> FPairs;
};

} // namespace

std::vector<TCodeUse> scanCodeUses(const QString &Text, const std::vector<TUnitLexem> &Lexems, const TCodeIndex &Index,
                                   TMemberFates &Fates, const TCodeScanScope &Scope,
                                   std::vector<TRenamedParameter> *Headings)
{
    TScanner Scanner(Text, Lexems, Index, Fates, Scope);
    if (Headings)
        *Headings = Scanner.Headings();
    return Scanner.Run();
}

std::uint64_t TMemberFates::PairHash(QStringView OldClass, const QString &NewClass)
{
    return hashIgnoringCase(NewClass, hashIgnoringCase(OldClass));
}

const TMemberFates::TEntry &TMemberFates::Of(std::uint64_t Pair, QStringView OldClass, const QString &NewClass,
                                             QStringView First, QStringView Sub)
{
    const std::uint64_t Hash = hashIgnoringCase(Sub, hashIgnoringCase(First, Pair));
    // Nearly always written as the first time: compared as written first.
    const auto Same = [](const QString &A, QStringView B) {
        return A.size() == B.size() && (A.constData() == B.data() || QStringView(A) == B || compareIgnoringCase(A, B) == 0);
    };
    if (!FSlots.empty()) {
        const std::size_t Mask = FSlots.size() - 1;
        for (std::size_t I = slotOf(Hash) & Mask; FSlots[I].Entry; I = (I + 1) & Mask) {
            const TEntry &E = *FSlots[I].Entry;
            if (FSlots[I].Hash == Hash && Same(E.First, First) && Same(E.Sub, Sub) && Same(E.OldClass, OldClass)
                && Same(E.NewClass, NewClass))
                return E;
        }
    }
    TEntry E{OldClass.toString(), NewClass, First.toString(), Sub.toString(), {}, {}};
    QString Path = E.First;
    if (!Sub.isEmpty()) {
        Path += u'.';
        Path += Sub;
    }
    if (FLookup)
        E.Fate = FLookup(E.OldClass, NewClass, Path);
    const TEntry &Added = FEntries.emplace_back(std::move(E));
    if (2 * FEntries.size() > FSlots.size()) {
        // A power of two: a slot is found by masking the hash.
        std::vector<TSlot> Old(std::max<std::size_t>(64, 2 * FSlots.size()));
        Old.swap(FSlots);
        for (const TSlot &Slot : Old)
            if (Slot.Entry)
                place(Slot);
    }
    place({Hash, &Added});
    return Added;
}

void TMemberFates::place(const TSlot &Slot)
{
    const std::size_t Mask = FSlots.size() - 1;
    std::size_t I = slotOf(Slot.Hash) & Mask;
    while (FSlots[I].Entry)
        I = (I + 1) & Mask;
    FSlots[I] = Slot;
}

void codeLexemes(const std::vector<TUnitLexem> &Lexems, std::vector<size_t> &Code, size_t End)
{
    End = std::min(End, Lexems.size());
    Code.clear();
    Code.reserve(End);
    for (size_t I = 0; I < End; ++I)
        if (Lexems[I].Code != lexComment)
            Code.push_back(I);
}
