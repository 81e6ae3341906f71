#include "UnitIndex.h"

#include "CodeScan.h"
#include "PasParser.h"

#include <algorithm>
#include <vector>

namespace {

QString key(QStringView Name)
{
    return Name.toString().toCaseFolded();
}

class TInterfaceReader
{
public:
    TInterfaceReader(const QString &Text, const TNewClassOf &NewClassOf, TInterfaceScratch &Scratch)
        : FText(Text), FNewClassOf(NewClassOf), FAll(Scratch.Lexems), FCode(Scratch.Code)
    {
    }

    // Lexems: the whole unit's, already made, with the index of its code
    // when the lexing made one; otherwise the reader lexes the text itself,
    // up to the word "implementation".
    TUnitInterface Run(bool *Complete, const std::vector<TUnitLexem> *Lexems = nullptr,
                       const TCodeIndex *Index = nullptr)
    {
        if (Lexems) {
            // The first "implementation" of the code ends the interface.
            FLexems = Lexems;
            const auto IsEnd = [&](size_t I) { return is((*Lexems)[I], u"implementation"); };
            if (Index && Index->Implementation) {
                codeLexemes(*Lexems, FCode, Index->Implementation);
                FComplete = true;
            } else {
                codeLexemes(*Lexems, FCode);
                const auto End = std::find_if(FCode.begin(), FCode.end(), IsEnd);
                FComplete = End != FCode.end();
                FCode.erase(End, FCode.end());
            }
        } else {
            lexInterface();
            codeLexemes(FAll, FCode);
        }
        if (Complete)
            *Complete = FComplete;
        TUnitInterface Result;
        // The class whose body each open "end" closes (empty for records
        // and other bodies).
        std::vector<QString> Bodies;
        bool InVar = false;
        int Parens = 0;
        for (size_t I = 0; I < FCode.size(); ++I) {
            const TUnitLexem &L = lexem(I);
            if (L.Code == lexOpenParen) {
                ++Parens;
                continue;
            }
            if (L.Code == lexCloseParen) {
                Parens = std::max(Parens - 1, 0);
                continue;
            }
            if (Parens > 0)
                continue; // parameter lists
            if (L.Code == lexKeywordEnd) {
                if (!Bodies.empty())
                    Bodies.pop_back();
                continue;
            }
            if (L.Code == lexColon) {
                readDeclaration(I, Bodies.empty() ? nullptr : &Bodies.back(), InVar && Bodies.empty(), Result);
                continue;
            }
            const bool AfterEquals = I > 0 && lexem(I - 1).Code == lexEquals;
            if (L.Code == lexKeywordObject && AfterEquals) {
                Bodies.emplace_back();
                continue;
            }
            if (L.Code != lexIdentifier)
                continue;
            if (is(L, u"record") || (AfterEquals && (is(L, u"interface") || is(L, u"dispinterface")))) {
                Bodies.emplace_back();
            } else if (AfterEquals && is(L, u"class") && I >= 2 && lexem(I - 2).Code == lexIdentifier) {
                I = readClassHead(I, Bodies, Result);
            } else if (Bodies.empty()) {
                if (is(L, u"var") || is(L, u"threadvar"))
                    InVar = true;
                else if (is(L, u"type") || is(L, u"const") || is(L, u"resourcestring") || is(L, u"procedure")
                         || is(L, u"function"))
                    InVar = false;
            }
        }
        return Result;
    }

private:
    // The lexemes up to the word "implementation" (blanks left out).
    void lexInterface()
    {
        FAll.clear();
        FAll.reserve(size_t(FText.size() / 4)); // a lexeme every five characters or so
        // Old class names are looked up where the reader needs them
        // (FNewClassOf). The word in a comment is no section: a comment
        // is a lexeme of its own.
        lexUnitInto(
            FText, FAll, [](QStringView) -> const QString * { return nullptr; },
            [this](int Code, QStringView Lexem, qsizetype) {
                FComplete = Code == lexIdentifier && Lexem.size() == 14
                            && compareIgnoringCase(Lexem, u"implementation") == 0;
                return FComplete;
            });
    }

    // "TName = class(TParent) ... end": notes the class and its ancestor and
    // opens its body; "class of", forward declarations and "class(TParent);"
    // open none. Returns the last lexeme read.
    size_t readClassHead(size_t I, std::vector<QString> &Bodies, TUnitInterface &Result)
    {
        const QString Name = textOf(lexem(I - 2)).toString();
        size_t J = I + 1;
        if (J < FCode.size() && is(lexem(J), u"of"))
            return J;
        Result.Classes << Name;
        if (J < FCode.size() && lexem(J).Code == lexOpenParen) {
            if (J + 1 < FCode.size() && lexem(J + 1).Code == lexIdentifier)
                Result.Parents.append({Name, lastOfDotted(J + 1).toString()});
            while (J < FCode.size() && lexem(J).Code != lexCloseParen)
                ++J;
            ++J;
        }
        if (J < FCode.size() && lexem(J).Code == lexSemicolon)
            return J;
        Bodies.push_back(Name);
        return J - 1;
    }

    // "A, B: TType" at the colon I: fields of an old class in a class body,
    // variables of any class in a var section of the interface.
    void readDeclaration(size_t I, const QString *Body, bool Global, TUnitInterface &Result)
    {
        if (I == 0 || I + 1 >= FCode.size() || lexem(I + 1).Code != lexIdentifier || (!Global && !Body)
            || (Body && Body->isEmpty()))
            return;
        const TUnitLexem &TypeLexem = lastLexemOfDotted(I + 1);
        const QStringView Type = textOf(TypeLexem);
        // The rewriting's lexemes know their new class already.
        const QString *NewClass = Global ? nullptr : TypeLexem.NewName ? TypeLexem.NewName : FNewClassOf ? FNewClassOf(Type) : nullptr;
        if (!Global && !NewClass)
            return;
        for (size_t N = I - 1;; N -= 2) {
            const TUnitLexem &Name = lexem(N);
            if (Name.Code != lexIdentifier)
                break;
            if (Global)
                Result.Globals.append({textOf(Name).toString(), typeName(Type)});
            else
                Result.Fields.append({*Body, textOf(Name).toString(), typeName(Type), *NewClass});
            if (N < 2 || lexem(N - 1).Code != lexComma)
                break;
        }
    }

    // Type as a text shared by the fields and variables declared with it:
    // a unit declares many of the same few classes.
    QString typeName(QStringView Type)
    {
        for (const QString &Known : FTypes)
            if (Known.size() == Type.size() && QStringView(Known) == Type)
                return Known;
        if (FTypes.size() >= MaxTypes)
            return Type.toString();
        return FTypes.emplace_back(Type.toString());
    }

    // "Unit.TName" from its first lexeme at I gives TName.
    const TUnitLexem &lastLexemOfDotted(size_t I) const
    {
        while (I + 2 < FCode.size() && lexem(I + 1).Code == lexDot && lexem(I + 2).Code == lexIdentifier)
            I += 2;
        return lexem(I);
    }
    QStringView lastOfDotted(size_t I) const { return textOf(lastLexemOfDotted(I)); }

    const TUnitLexem &lexem(size_t CodeIndex) const { return (*FLexems)[FCode[CodeIndex]]; }
    QStringView textOf(const TUnitLexem &L) const { return QStringView(FText).mid(L.Start, L.End - L.Start); }
    template <std::size_t N>
    bool is(const TUnitLexem &L, const char16_t (&Word)[N]) const
    {
        return isWord(FText, L, Word);
    }

    const QString &FText;
    const TNewClassOf &FNewClassOf;
    std::vector<TUnitLexem> &FAll;
    std::vector<size_t> &FCode;
    const std::vector<TUnitLexem> *FLexems = &FAll; // those read
    bool FComplete = false; // "implementation" was reached
    static constexpr std::size_t MaxTypes = 16;
    std::vector<QString> FTypes; // see typeName
};

} // namespace

QString unitNameOf(const QString &Path)
{
    const qsizetype Slash = std::max(Path.lastIndexOf(u'/'), Path.lastIndexOf(u'\\'));
    const qsizetype Dot = Path.lastIndexOf(u'.');
    return Path.mid(Slash + 1, Dot > Slash ? Dot - Slash - 1 : -1);
}

QStringList unitPathsOfProject(const QString &Text)
{
    QStringList Paths;
    TPasParser Lexer(Text);
    QStringView Lexem;
    bool InUses = false, AfterIn = false;
    for (int Code = Lexer.GetNextView(Lexem); Code != lexEnd; Code = Lexer.GetNextView(Lexem)) {
        if (Code == lexKeywordUses) {
            InUses = true;
        } else if (!InUses || Code == lexBlanks || Code == lexComment) {
            continue;
        } else if (Code == lexSemicolon) {
            InUses = false;
        } else if (Code == lexIdentifier) {
            AfterIn = Lexem.size() == 2 && compareIgnoringCase(Lexem, u"in") == 0;
        } else if (Code == lexString && AfterIn && Lexem.size() >= 2 && Lexem.front() == u'\'') {
            Paths << Lexem.mid(1, Lexem.size() - 2).toString().replace(QStringLiteral("''"), QStringLiteral("'"));
            AfterIn = false;
        }
    }
    return Paths;
}

TUnitInterface readUnitInterface(const QString &Text, const TNewClassOf &NewClassOf, bool *Complete,
                                 TInterfaceScratch *Scratch)
{
    TInterfaceScratch Own;
    return TInterfaceReader(Text, NewClassOf, Scratch ? *Scratch : Own).Run(Complete);
}

TUnitInterface readUnitInterface(const QString &Text, const std::vector<TUnitLexem> &Lexems, const TCodeIndex *Index)
{
    // An identifier of the rewriting's lexemes carries its new class.
    const TNewClassOf None;
    TInterfaceScratch Own;
    return TInterfaceReader(Text, None, Own).Run(nullptr, &Lexems, Index);
}

void TUnitIndex::Add(const QString &UnitName, const TUnitInterface &Interface)
{
    for (const TUnitInterface::TNamed &P : Interface.Parents) {
        FClasses[key(P.Name)].Parent = key(P.Type);
        FClassNames.Add(P.Name);
    }
    for (const TUnitInterface::TField &F : Interface.Fields) {
        FClasses[key(F.Class)].Fields.insert(key(F.Name), {F.OldClass, F.NewClass});
        FClassNames.Add(F.Class);
        FHasFields = true;
    }
    const QString Unit = key(UnitName);
    for (const TUnitInterface::TNamed &G : Interface.Globals) {
        FGlobals[key(G.Name)].append({Unit, key(G.Type)});
        FGlobalNames.Add(G.Name);
    }
}

const TUnitIndex::TClass *TUnitIndex::classOf(QStringView Name) const
{
    if (!FClassNames.MayContain(Name))
        return nullptr;
    const auto It = FClasses.constFind(key(Name));
    return It == FClasses.constEnd() ? nullptr : &*It;
}

const TUnitIndex::TField *TUnitIndex::FieldOf(QStringView Class, QStringView Name) const
{
    // A chain of ancestors that loops (a fault of the project) ends here.
    constexpr int MaxDepth = 32;
    const TClass *C = classOf(Class);
    for (int Depth = 0; C && Depth < MaxDepth; ++Depth) {
        const auto It = C->Fields.constFind(key(Name));
        if (It != C->Fields.constEnd())
            return &*It;
        C = C->Parent.isEmpty() ? nullptr : classOf(C->Parent);
    }
    return nullptr;
}

bool TUnitIndex::HasFields(QStringView Class) const
{
    constexpr int MaxDepth = 32;
    const TClass *C = classOf(Class);
    for (int Depth = 0; C && Depth < MaxDepth; ++Depth) {
        if (!C->Fields.isEmpty())
            return true;
        C = C->Parent.isEmpty() ? nullptr : classOf(C->Parent);
    }
    return false;
}

QString TUnitIndex::GlobalClass(QStringView Name, const QString &OwnUnit, const QStringList &Uses) const
{
    if (!FGlobalNames.MayContain(Name))
        return {};
    const auto It = FGlobals.constFind(key(Name));
    if (It == FGlobals.constEnd())
        return {};
    const std::pair<QString, QString> *Seen = nullptr;
    qsizetype SeenAt = -1;
    for (const auto &Global : *It) {
        const qsizetype At = Global.first == OwnUnit ? Uses.size() : Uses.lastIndexOf(Global.first);
        if (At > SeenAt) {
            Seen = &Global;
            SeenAt = At;
        }
    }
    return Seen && HasFields(Seen->second) ? Seen->second : QString();
}
