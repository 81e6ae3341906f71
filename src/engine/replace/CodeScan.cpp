#include "CodeScan.h"

#include "CaseCompare.h"
#include "Tokenizer.h"

#include <QHash>

namespace {

// Codes of the symbols the scan reads (their places in the lexer's table).
constexpr int symOpenParen = 7;
constexpr int symStar = 9;
constexpr int symComma = 11;
constexpr int symDot = 13;
constexpr int symSlash = 14;
constexpr int symColon = 15;

// A declaration of an identifier with an old class.
struct TDeclaration
{
    qsizetype Pos;
    const TUnitLexem *Type;
};

class TScanner
{
public:
    TScanner(const QString &Text, const std::vector<TUnitLexem> &Lexems, const TMemberLookup &Lookup)
        : FText(Text), FAll(Lexems), FLookup(Lookup)
    {
        selectCode();
    }

    QList<TCodeUse> Run()
    {
        collectDeclarations();
        if (FDeclared.isEmpty())
            return {};
        QList<TCodeUse> Uses;
        for (size_t I = 0; I < FCode.size(); ++I) {
            const TUnitLexem &L = lexem(I);
            if (L.Code != lexIdentifier || L.NewName)
                continue;
            if (isWord(L, u"with"))
                scanWith(I, Uses);
            else
                scanMemberUse(I, Uses);
        }
        return Uses;
    }

private:
    // The lexemes that are code: block comments, "//" comments up to the
    // line's end and "(* *)" comments left out.
    void selectCode()
    {
        FCode.reserve(FAll.size());
        for (size_t I = 0; I < FAll.size(); ++I) {
            const TUnitLexem &L = FAll[I];
            if (L.Code == lexComment)
                continue;
            if (L.Code == symSlash && adjacent(I, symSlash)) {
                const qsizetype LineEnd = FText.indexOf(u'\n', L.Start);
                while (I + 1 < FAll.size() && (LineEnd < 0 || FAll[I + 1].Start < LineEnd))
                    ++I;
                continue;
            }
            if (L.Code == symOpenParen && adjacent(I, symStar)) {
                const qsizetype Close = FText.indexOf(QStringLiteral("*)"), L.End + 1);
                while (I + 1 < FAll.size() && (Close < 0 || FAll[I + 1].Start < Close + 2))
                    ++I;
                continue;
            }
            FCode.push_back(I);
        }
    }
    bool adjacent(size_t I, int NextCode) const
    {
        return I + 1 < FAll.size() && FAll[I + 1].Code == NextCode && FAll[I + 1].Start == FAll[I].End;
    }

    const TUnitLexem &lexem(size_t CodeIndex) const { return FAll[FCode[CodeIndex]]; }
    QStringView textOf(const TUnitLexem &L) const { return QStringView(FText).mid(L.Start, L.End - L.Start); }
    bool isWord(const TUnitLexem &L, QStringView Word) const
    {
        return L.Code == lexIdentifier && L.End - L.Start == Word.size() && compareIgnoringCase(textOf(L), Word) == 0;
    }
    bool codeIs(size_t CodeIndex, int Code) const { return CodeIndex < FCode.size() && lexem(CodeIndex).Code == Code; }
    static QString key(QStringView Name) { return Name.toString().toCaseFolded(); }

    // "A, B: TQuery": every name of the list before the colon that stands
    // right before an old class is declared with it.
    void collectDeclarations()
    {
        for (size_t I = 2; I < FCode.size(); ++I) {
            const TUnitLexem &Type = lexem(I);
            if (!Type.NewName || lexem(I - 1).Code != symColon || Type.Code != lexIdentifier)
                continue;
            for (size_t N = I - 2;; N -= 2) {
                const TUnitLexem &Name = lexem(N);
                if (Name.Code != lexIdentifier || Name.NewName)
                    break;
                FDeclared[key(textOf(Name))].push_back({Name.Start, &Type});
                FDeclaredNames.Add(textOf(Name));
                if (N < 2 || lexem(N - 1).Code != symComma)
                    break;
            }
        }
    }

    // The declaration in force at Pos: the last one before it, or the first
    // one when all follow it (a field used in a method body above the class).
    const TDeclaration *declarationOf(QStringView Name, qsizetype Pos) const
    {
        if (!FDeclaredNames.MayContain(Name))
            return nullptr; // most identifiers, without building a key
        const auto It = FDeclared.constFind(key(Name));
        if (It == FDeclared.constEnd())
            return nullptr;
        const TDeclaration *Found = &It->front();
        for (const TDeclaration &D : *It)
            if (D.Pos < Pos)
                Found = &D;
        return Found;
    }

    // The identifier at I stands for the object itself: it is not a member
    // of something else, unless of Self.
    bool isSubject(size_t I) const
    {
        if (I == 0 || lexem(I - 1).Code != symDot)
            return true;
        return I >= 2 && isWord(lexem(I - 2), u"Self") && (I < 3 || lexem(I - 3).Code != symDot);
    }

    void scanMemberUse(size_t I, QList<TCodeUse> &Uses)
    {
        if (!codeIs(I + 1, symDot) || !codeIs(I + 2, lexIdentifier) || !isSubject(I))
            return;
        const TUnitLexem &Ident = lexem(I);
        const TDeclaration *D = declarationOf(textOf(Ident), Ident.Start);
        if (!D || D->Pos == Ident.Start)
            return;
        const TUnitLexem &First = lexem(I + 2);
        const bool HasSub = codeIs(I + 3, symDot) && codeIs(I + 4, lexIdentifier);
        const TUnitLexem *Sub = HasSub ? &lexem(I + 4) : nullptr;
        const QString OldClass = textOf(*D->Type).toString();
        const QString &NewClass = *D->Type->NewName;
        QString Path = textOf(First).toString();
        if (Sub) {
            Path += u'.';
            Path += textOf(*Sub);
        }
        // A unit uses the same few members again and again: each is looked
        // up once.
        const QString FateKey = OldClass.toCaseFolded() + u'\0' + NewClass + u'\0' + Path.toCaseFolded();
        auto Known = FFates.constFind(FateKey);
        if (Known == FFates.constEnd())
            Known = FFates.insert(FateKey, FLookup(OldClass, NewClass, Path));
        const TMemberFate Fate = *Known;
        if (Fate.IsKept())
            return;
        TCodeUse Use{TCodeUse::TKind::Member, Ident.Start, textOf(Ident).toString(), OldClass, NewClass,
                     textOf(First).toString(), Fate};
        if (Fate.Parts == 2 && Sub) {
            Use.Member = Path;
            // Rewritten in place only when nothing stands between the parts.
            if (Sub->Start == First.End + 1) {
                Use.RenameStart = First.Start;
                Use.RenameEnd = Sub->End;
            }
        } else {
            Use.Fate.Parts = 1;
            Use.RenameStart = First.Start;
            Use.RenameEnd = First.End;
        }
        if (Use.Fate.Kind != TMemberFate::TKind::Renamed)
            Use.RenameStart = Use.RenameEnd = 0;
        Uses << Use;
    }

    // "with A, B do": each subject that is a declared identifier itself
    // (not a member of it) is reported once.
    void scanWith(size_t I, QList<TCodeUse> &Uses)
    {
        constexpr size_t MaxSubjects = 64;
        for (size_t J = I + 1; J < FCode.size() && J < I + MaxSubjects; ++J) {
            const TUnitLexem &L = lexem(J);
            if (isWord(L, u"do"))
                return;
            if (L.Code != lexIdentifier || L.NewName)
                continue;
            const bool Starts = lexem(J - 1).Code == symComma || J == I + 1
                                || (J >= 2 && lexem(J - 1).Code == symDot && isSubject(J));
            const bool Ends = codeIs(J + 1, symComma) || (J + 1 < FCode.size() && isWord(lexem(J + 1), u"do"));
            if (!Starts || !Ends)
                continue;
            if (const TDeclaration *D = declarationOf(textOf(L), L.Start)) {
                TCodeUse Use;
                Use.Kind = TCodeUse::TKind::With;
                Use.Pos = L.Start;
                Use.Ident = textOf(L).toString();
                Use.OldClass = textOf(*D->Type).toString();
                Use.NewClass = *D->Type->NewName;
                Uses << Use;
            }
        }
    }

    const QString &FText;
    const std::vector<TUnitLexem> &FAll;
    const TMemberLookup &FLookup;
    std::vector<size_t> FCode; // indexes into FAll of the code lexemes
    QHash<QString, std::vector<TDeclaration>> FDeclared;
    TNameFilter FDeclaredNames;
    QHash<QString, TMemberFate> FFates;
};

} // namespace

QList<TCodeUse> scanCodeUses(const QString &Text, const std::vector<TUnitLexem> &Lexems, const TMemberLookup &Lookup)
{
    return TScanner(Text, Lexems, Lookup).Run();
}
