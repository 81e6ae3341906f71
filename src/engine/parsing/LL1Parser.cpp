#include "LL1Parser.h"

#include "Errors.h"

#include <algorithm>
#include <bit>
#include <functional>

#if defined(__linux__)
#include <pthread.h>
#elif defined(_WIN32)
#include "WindowsApi.h"
#endif

namespace {

const QString InvalidRuleFormat = QStringLiteral("Cannot add rule. Invalid rule format.");

// Lower case of one UTF-16 unit; keeps the length of a text, so positions in
// the input and in its lower-case form are the same.
inline char16_t lowerChar(char16_t Ch)
{
    if (Ch < 128)
        return (Ch >= u'A' && Ch <= u'Z') ? char16_t(Ch + 32) : Ch;
    return QChar(Ch).toLower().unicode();
}

QString lowerText(const QString &Text)
{
    QString Result = Text;
    for (QChar &Ch : Result)
        Ch = QChar(lowerChar(Ch.unicode()));
    return Result;
}

enum class TSymbolShape { Literal, Terminal, Nonterminal };

// Reads the symbol of an alternative text that starts at I: a reference
// "<name>", a terminal class "<*name>", or a literal character (also a "<"
// that opens no reference). Returns the index after the symbol.
int readSymbol(const QString &Text, int I, TSymbolShape &Shape)
{
    const int N = Text.size();
    Shape = TSymbolShape::Literal;
    if (Text[I] != u'<' || I + 1 >= N || Text[I + 1] == u'<' || Text[I + 1] == u'>')
        return I + 1;
    for (int J = I + 1; J < N; ++J) {
        if (Text[J] == u'<')
            return I + 1;
        if (Text[J] == u'>') {
            Shape = Text[I + 1] == u'*' ? TSymbolShape::Terminal : TSymbolShape::Nonterminal;
            return J + 1;
        }
    }
    return I + 1;
}

// Group of an alternative by its first symbol: literals and the empty text,
// then terminal classes, then references.
int alternativeKind(const QString &Text)
{
    if (Text.isEmpty())
        return 0;
    TSymbolShape Shape;
    readSymbol(Text, 0, Shape);
    return Shape == TSymbolShape::Literal ? 0 : Shape == TSymbolShape::Terminal ? 1 : 2;
}

// "a" to "z" compare as "A" to "Z", other characters by code, and a proper
// prefix orders before the longer text.
int compareAlternatives(const QString &A, const QString &B)
{
    const auto upper = [](char16_t Ch) { return (Ch >= u'a' && Ch <= u'z') ? char16_t(Ch - 32) : Ch; };
    const qsizetype Common = std::min(A.size(), B.size());
    for (qsizetype I = 0; I < Common; ++I) {
        const char16_t CA = upper(A[I].unicode());
        const char16_t CB = upper(B[I].unicode());
        if (CA != CB)
            return CA < CB ? -1 : 1;
    }
    return A.size() == B.size() ? 0 : (A.size() < B.size() ? -1 : 1);
}

// Collects every text made from Segments by putting one of Alternatives
// between each two segments; the first gap varies slowest, which is the
// order of replacing the first placeholder by each alternative in turn.
void expandPlaceholders(const QStringList &Segments, const QStringList &Alternatives, int Gap,
                        const QString &Prefix, QStringList &Collected)
{
    if (Gap == Segments.size() - 1) {
        const QString Text = Prefix + Segments.last();
        if (!Collected.contains(Text))
            Collected.append(Text);
        return;
    }
    for (const QString &Alternative : Alternatives)
        expandPlaceholders(Segments, Alternatives, Gap + 1, Prefix + Segments[Gap] + Alternative, Collected);
}

// Ties the nesting counter to a scope, so that an exception leaves it right.
struct TDepthGuard
{
    explicit TDepthGuard(int &Depth) : FDepth(Depth) { ++FDepth; }
    ~TDepthGuard() { --FDepth; }
    int &FDepth;
};

// The address of the current stack frame; the stack grows downwards.
inline std::uintptr_t frameAddress()
{
    return reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
}

// The lowest stack address a parse on this thread may reach, keeping a margin
// for the hooks that run while the parse unwinds; 0 when unknown.
std::uintptr_t threadStackFloor()
{
    thread_local const std::uintptr_t Floor = [] {
        std::uintptr_t Result = 0;
#if defined(__linux__)
        pthread_attr_t Attributes;
        if (pthread_getattr_np(pthread_self(), &Attributes) == 0) {
            void *Address = nullptr;
            size_t Size = 0;
            if (pthread_attr_getstack(&Attributes, &Address, &Size) == 0 && Address)
                Result = reinterpret_cast<std::uintptr_t>(Address) + std::min<size_t>(256 * 1024, Size / 4);
            pthread_attr_destroy(&Attributes);
        }
#elif defined(_WIN32)
        ULONG_PTR Low = 0, High = 0;
        GetCurrentThreadStackLimits(&Low, &High);
        if (Low && High > Low)
            Result = std::uintptr_t(Low) + std::min<std::uintptr_t>(256 * 1024, (High - Low) / 4);
#endif
        return Result;
    }();
    return Floor;
}

// Where the stack size is unknown, a parse may use this much below its start.
constexpr std::uintptr_t FallbackStackBudget = 512 * 1024;

// For each character below U+0100: whether a character above U+00FF has it
// as its lower case (U+212A KELVIN SIGN lowers to "k"), so that a literal
// can start with a character above U+00FF.
const std::array<bool, 256> &lowersFromAbove()
{
    static const std::array<bool, 256> Table = [] {
        std::array<bool, 256> Result{};
        for (unsigned Ch = 256; Ch < 65536; ++Ch) {
            const char16_t Lower = lowerChar(char16_t(Ch));
            if (Lower < 256)
                Result[Lower] = true;
        }
        return Result;
    }();
    return Table;
}

// A fixed allowance on top of the fast engine's budget per character.
constexpr qint64 FastWorkAllowance = 100000;

} // namespace

// --- TParseState --------------------------------------------------------------

TParseState::TParseState(TLL1Parser *AParser) : FParser(AParser)
{
}

TParseState::~TParseState() = default;

void TParseState::Assign(const TParseState &Source)
{
    FCurPos = Source.FCurPos;
}

// --- TLL1Parser: rule table -----------------------------------------------------

TLL1Parser::TLL1Parser(TParseStateClass ParseStateClass)
    : FState(ParseStateClass(this)), FParseStateClass(ParseStateClass)
{
    MIG_ASSERT(FState != nullptr, QStringLiteral("The parse state class created no state"));
}

TLL1Parser::~TLL1Parser()
{
    ClearRules();
}

void TLL1Parser::AddRule(const QString &ARule)
{
    MIG_ASSERT(!FRulesPrepared, QStringLiteral("Rule added after the first parse: ") + ARule);
    if (ARule.size() < 2)
        return;
    const QString Rule = lowerText(ARule);
    const qsizetype Size = Rule.size();

    // The head ends at the first ">" from the second character on; the last
    // character counts only in a rule of two characters.
    const qsizetype LastExamined = Size == 2 ? 1 : Size - 2;
    qsizetype HeadEnd = -1;
    for (qsizetype I = 1; I <= LastExamined; ++I) {
        if (Rule[I] == u'>') {
            HeadEnd = I;
            break;
        }
    }
    if (HeadEnd < 0)
        throw EGrammarError(InvalidRuleFormat + QStringLiteral(" Rule: ") + ARule);

    QStringList &List = FGrammSL[Rule.left(HeadEnd + 1)];
    // The separator after the head is skipped unread.
    const qsizetype Start = HeadEnd + 2;
    if (Start >= Size)
        return;
    QString Alternative;
    for (qsizetype I = Start; I < Size; ++I) {
        const QChar Ch = Rule[I];
        if (Ch == u'|') {
            List.append(Alternative);
            Alternative.clear();
        } else if (Ch == u'\\') {
            if (I + 1 >= Size)
                throw EGrammarError(InvalidRuleFormat + QStringLiteral(" Rule: ") + ARule);
            if (Rule[I + 1].isDigit() && Rule[I + 1].unicode() < 128) {
                unsigned Code = 0;
                while (I + 1 < Size && Rule[I + 1].unicode() >= u'0' && Rule[I + 1].unicode() <= u'9') {
                    Code = (Code * 10 + (Rule[I + 1].unicode() - u'0')) % 65536;
                    ++I;
                }
                Alternative.append(QChar(char16_t(Code)));
            } else {
                Alternative.append(Rule[I + 1]);
                ++I;
            }
        } else {
            Alternative.append(Ch);
        }
    }
    List.append(Alternative);
}

void TLL1Parser::ClearRules()
{
    FGrammSL.clear();
    FNonterminalNames.clear();
    FNonterminals.clear();
    FTerminalNames.clear();
    FTerminals.clear();
    FSymbols.clear();
    FNonterminalIds.clear();
    FTerminalIds.clear();
}

QStringList TLL1Parser::Alternatives(const QString &Head) const
{
    const auto It = FGrammSL.find(lowerText(Head));
    return It == FGrammSL.end() ? QStringList() : It->second;
}

// Preparation works on the alternative texts, then compiles them once into
// symbol arrays that the parse walks.
//
// Inlining of empty alternatives, by example. With
//     <sign>-+|-|          and   <int>-<sign><*digits>
// "<sign>" holds the empty text, so every alternative that mentions "<sign>"
// is multiplied out with the alternatives of "<sign>": "<int>" becomes
// "+<*digits>", "-<*digits>", "<*digits>", and the empty text leaves "<sign>".
// A nonterminal is inlined into itself last: "<l>-<x><l>|<x>|" becomes
// "<x><x><l>", "<x><x>", "<x>", "<x>" ... without duplicates, which is how a
// right-recursive list with an empty end gets two items per level.
void TLL1Parser::PrepareRules()
{
    if (FRulesPrepared)
        return;
    const QString Placeholder = QStringLiteral("<__Spec>");
    for (auto &Entry : FGrammSL) {
        const QString &NHead = Entry.first;
        QStringList &NList = Entry.second;
        if (!NList.contains(QString()))
            continue;
        const auto rewrite = [&](QStringList &RList) {
            const QStringList Copy = NList;
            QStringList Collected;
            for (const QString &A : RList) {
                QString Marked = A;
                Marked.replace(NHead, Placeholder, Qt::CaseInsensitive);
                expandPlaceholders(Marked.split(Placeholder), Copy, 0, QString(), Collected);
            }
            RList = Collected;
        };
        for (auto &[RHead, RList] : FGrammSL)
            if (&RList != &NList)
                rewrite(RList);
        rewrite(NList);
        NList.removeOne(QString());
    }
    for (auto &[Head, List] : FGrammSL) {
        Q_UNUSED(Head);
        std::stable_sort(List.begin(), List.end(), [](const QString &A, const QString &B) {
            const int KindA = alternativeKind(A);
            const int KindB = alternativeKind(B);
            if (KindA != KindB)
                return KindA < KindB;
            return compareAlternatives(A, B) > 0;
        });
    }
    compileRules();
    FRulesPrepared = true;
}

int TLL1Parser::internNonterminal(const QString &Head)
{
    const QString Key = lowerText(Head);
    const auto It = FNonterminalIds.constFind(Key);
    if (It != FNonterminalIds.constEnd())
        return *It;
    const int Id = int(FNonterminalNames.size());
    FNonterminalNames.push_back(Key);
    FNonterminals.emplace_back();
    FNonterminalIds.insert(Key, Id);
    return Id;
}

int TLL1Parser::internTerminal(const QString &Name)
{
    const auto It = FTerminalIds.constFind(Name);
    if (It != FTerminalIds.constEnd())
        return *It;
    const int Id = int(FTerminalNames.size());
    FTerminalNames.push_back(Name);
    FTerminals.emplace_back();
    FTerminalIds.insert(Name, Id);
    return Id;
}

void TLL1Parser::ObserveNonterminal(const QString &Name)
{
    const QString Key = lowerText(Name);
    if (!FObservedNames.contains(Key))
        FObservedNames.append(Key);
    const auto It = FNonterminalIds.constFind(Key);
    if (It != FNonterminalIds.constEnd()) {
        FNonterminals[*It].IsObserved = true;
        computePurity();
    }
}

void TLL1Parser::compileRules()
{
    for (const auto &[Head, List] : FGrammSL) {
        Q_UNUSED(List);
        FNonterminals[internNonterminal(Head)].HasRule = true;
    }
    for (const auto &[Head, List] : FGrammSL) {
        const int Id = internNonterminal(Head);
        for (const QString &Text : List) {
            TAlternative Alt;
            Alt.First = int(FSymbols.size());
            for (int I = 0; I < Text.size();) {
                TSymbolShape Shape;
                const int Next = readSymbol(Text, I, Shape);
                if (Shape == TSymbolShape::Literal)
                    FSymbols.push_back({TSymbolKind::Literal, Text[I].unicode(), -1});
                else if (Shape == TSymbolShape::Terminal)
                    FSymbols.push_back({TSymbolKind::Terminal, 0, internTerminal(Text.mid(I, Next - I))});
                else
                    FSymbols.push_back({TSymbolKind::Nonterminal, 0, internNonterminal(Text.mid(I, Next - I))});
                I = Next;
            }
            Alt.Count = int(FSymbols.size()) - Alt.First;
            // internNonterminal may grow the vector: index afresh.
            FNonterminals[Id].Alternatives.push_back(Alt);
        }
    }
    for (const QString &Name : std::as_const(FObservedNames)) {
        const auto It = FNonterminalIds.constFind(Name);
        if (It != FNonterminalIds.constEnd())
            FNonterminals[*It].IsObserved = true;
    }
    for (TNonterminal &N : FNonterminals)
        for (auto Alt = N.Alternatives.begin(); Alt != N.Alternatives.end(); ++Alt) {
            const int Id = firstCall(*Alt);
            Alt->SharesFirst = Id >= 0 && std::any_of(Alt + 1, N.Alternatives.end(), [&](const TAlternative &Later) {
                                   return firstCall(Later) == Id;
                               });
        }
    computeStarts();
}

// First sets for the fast engine.
//
// An alternative may be skipped at a character that none of its possible
// first characters is, but only where trying it could not have done anything
// but fail: it must not match the empty text, and the symbols that would be
// tried at its start (its first symbol, that symbol's first symbols, and so
// on) must all be literals, known terminal classes or nonterminals with a
// rule and without an empty match. Otherwise trying it could have raised an
// error or let a nonterminal succeed on the empty text (and a descendant
// hear of it) before the alternative failed; such an alternative is always
// tried.
void TLL1Parser::computeStarts()
{
    const int Count = int(FNonterminals.size());
    // Terminal classes: resolved now; a class that no level of the parser
    // knows stays unresolved and fails (as an internal error) when reached.
    std::vector<bool> IsTerminalKnown(FTerminals.size(), false);
    for (size_t I = 0; I < FTerminals.size(); ++I) {
        try {
            resolveTerminal(int(I));
            IsTerminalKnown[I] = true;
        } catch (const EAssertionFailed &) {
            FTerminals[I].IsResolved = false;
        }
    }

    // Which nonterminals can match the empty text.
    for (bool Changed = true; Changed;) {
        Changed = false;
        for (TNonterminal &N : FNonterminals) {
            if (N.IsNullable)
                continue;
            for (const TAlternative &Alt : N.Alternatives) {
                bool IsNullable = true;
                for (int I = 0; I < Alt.Count && IsNullable; ++I) {
                    const TSymbol &Symbol = FSymbols[size_t(Alt.First + I)];
                    IsNullable = Symbol.Kind == TSymbolKind::Nonterminal && FNonterminals[size_t(Symbol.Id)].IsNullable;
                }
                if (IsNullable) {
                    N.IsNullable = true;
                    Changed = true;
                    break;
                }
            }
        }
    }

    // First characters of every nonterminal, to a fixed point.
    std::vector<TTerminalSet> Starts(FNonterminals.size());
    std::vector<bool> StartsAbove(FNonterminals.size(), false);
    const auto symbolStarts = [&](const TSymbol &Symbol, TTerminalSet &Set, bool &Above) {
        switch (Symbol.Kind) {
        case TSymbolKind::Literal:
            for (int Ch = 0; Ch < 256; ++Ch)
                if (lowerChar(char16_t(Ch)) == Symbol.Ch)
                    Set.Include(Ch);
            Above = Above || Symbol.Ch >= 256 || lowersFromAbove()[Symbol.Ch];
            break;
        case TSymbolKind::Terminal:
            if (IsTerminalKnown[size_t(Symbol.Id)])
                Set.Unite(FTerminals[size_t(Symbol.Id)].Set);
            break;
        case TSymbolKind::Nonterminal:
            Set.Unite(Starts[size_t(Symbol.Id)]);
            Above = Above || StartsAbove[size_t(Symbol.Id)];
            break;
        }
    };
    const auto alternativeStarts = [&](const TAlternative &Alt, TTerminalSet &Set, bool &Above) {
        for (int I = 0; I < Alt.Count; ++I) {
            const TSymbol &Symbol = FSymbols[size_t(Alt.First + I)];
            symbolStarts(Symbol, Set, Above);
            if (Symbol.Kind != TSymbolKind::Nonterminal || !FNonterminals[size_t(Symbol.Id)].IsNullable)
                break;
        }
    };
    for (bool Changed = true; Changed;) {
        Changed = false;
        for (int Id = 0; Id < Count; ++Id) {
            TTerminalSet Set = Starts[size_t(Id)];
            bool Above = StartsAbove[size_t(Id)];
            for (const TAlternative &Alt : FNonterminals[size_t(Id)].Alternatives)
                alternativeStarts(Alt, Set, Above);
            if (!(Set == Starts[size_t(Id)]) || Above != StartsAbove[size_t(Id)]) {
                Starts[size_t(Id)] = Set;
                StartsAbove[size_t(Id)] = Above;
                Changed = true;
            }
        }
    }

    // Nonterminals that can only fail quietly where they cannot start (the
    // largest set that is closed under the rule above).
    std::vector<bool> IsQuiet(FNonterminals.size(), true);
    const auto isQuietStart = [&](const TAlternative &Alt) {
        if (Alt.Count == 0)
            return false;
        const TSymbol &Symbol = FSymbols[size_t(Alt.First)];
        switch (Symbol.Kind) {
        case TSymbolKind::Literal:
            return true;
        case TSymbolKind::Terminal:
            return bool(IsTerminalKnown[size_t(Symbol.Id)]);
        case TSymbolKind::Nonterminal:
            return bool(IsQuiet[size_t(Symbol.Id)]);
        }
        return false;
    };
    for (bool Changed = true; Changed;) {
        Changed = false;
        for (int Id = 0; Id < Count; ++Id) {
            const TNonterminal &N = FNonterminals[size_t(Id)];
            if (!IsQuiet[size_t(Id)])
                continue;
            bool Quiet = N.HasRule && !N.IsNullable;
            for (const TAlternative &Alt : N.Alternatives)
                Quiet = Quiet && isQuietStart(Alt);
            if (!Quiet) {
                IsQuiet[size_t(Id)] = false;
                Changed = true;
            }
        }
    }
    for (TNonterminal &N : FNonterminals) {
        for (TAlternative &Alt : N.Alternatives) {
            alternativeStarts(Alt, Alt.Starts, Alt.StartsAbove);
            Alt.IsSkippable = isQuietStart(Alt);
        }
        N.Viable.clear();
        if (N.Alternatives.size() > 64)
            continue;
        N.Viable.assign(258, 0);
        for (size_t I = 0; I < N.Alternatives.size(); ++I) {
            const TAlternative &Alt = N.Alternatives[I];
            const std::uint64_t Bit = std::uint64_t(1) << I;
            for (int Ch = 0; Ch < 256; ++Ch)
                if (!Alt.IsSkippable || Alt.Starts.Contains(char16_t(Ch)))
                    N.Viable[size_t(Ch)] |= Bit;
            if (!Alt.IsSkippable || Alt.StartsAbove)
                N.Viable[256] |= Bit;
            if (!Alt.IsSkippable)
                N.Viable[257] |= Bit;
        }
    }
    computePurity();
}

void TLL1Parser::computePurity()
{
    // Whether every nonterminal that N calls is pure (as far as known) and
    // every terminal class it reads is known: a class that no level knows
    // fails when reached.
    const auto callsOnlyPure = [this](const TNonterminal &N) {
        for (const TAlternative &Alt : N.Alternatives)
            for (int I = 0; I < Alt.Count; ++I) {
                const TSymbol &Symbol = FSymbols[size_t(Alt.First + I)];
                if ((Symbol.Kind == TSymbolKind::Nonterminal && !FNonterminals[size_t(Symbol.Id)].IsPure) ||
                    (Symbol.Kind == TSymbolKind::Terminal && !FTerminals[size_t(Symbol.Id)].IsResolved))
                    return false;
            }
        return true;
    };
    for (TNonterminal &N : FNonterminals)
        N.IsPure = N.HasRule && !N.IsObserved;
    for (bool Changed = true; Changed;) {
        Changed = false;
        for (TNonterminal &N : FNonterminals)
            if (N.IsPure && !callsOnlyPure(N)) {
                N.IsPure = false;
                Changed = true;
            }
    }
    for (TNonterminal &N : FNonterminals)
        N.CallsOnlyPure = N.HasRule && callsOnlyPure(N);
    ++FPurityVersion;
}

void TLL1Parser::computeRepeatable()
{
    // The descendant's answers for the observed nonterminals that call only
    // pure ones: when they and the purity are those of the last parse, so
    // is the outcome.
    std::vector<std::uint8_t> Quiet(FNonterminals.size(), 0);
    for (size_t Id = 0; Id < FNonterminals.size(); ++Id) {
        const TNonterminal &C = FNonterminals[Id];
        Quiet[Id] = C.IsObserved && C.CallsOnlyPure && ChangesOnlyState(int(Id));
    }
    if (Quiet == FQuietCalls && FRepeatableVersion == FPurityVersion)
        return;
    FQuietCalls = std::move(Quiet);
    FRepeatableVersion = FPurityVersion;
    // A call below a repeatable nonterminal is pure, or observed with hooks
    // that change only the state and nothing observed below it, or itself
    // repeatable: start from every candidate and drop, to a fixed point,
    // those that call anything else. Pure ones are left out: their last call
    // is answered again anyway.
    for (TNonterminal &N : FNonterminals)
        N.IsRepeatable = N.HasRule && !N.IsObserved && !N.IsPure;
    const auto isQuietCall = [&](int Id) {
        const TNonterminal &C = FNonterminals[size_t(Id)];
        return C.IsPure || C.IsRepeatable || FQuietCalls[size_t(Id)];
    };
    for (bool Changed = true; Changed;) {
        Changed = false;
        for (TNonterminal &N : FNonterminals) {
            if (!N.IsRepeatable)
                continue;
            for (const TAlternative &Alt : N.Alternatives)
                for (int I = 0; I < Alt.Count && N.IsRepeatable; ++I) {
                    const TSymbol &Symbol = FSymbols[size_t(Alt.First + I)];
                    if (Symbol.Kind == TSymbolKind::Nonterminal && !isQuietCall(Symbol.Id)) {
                        N.IsRepeatable = false;
                        Changed = true;
                    }
                }
        }
    }
}

int TLL1Parser::NonterminalId(const QString &Name) const
{
    const QString *Names = FNonterminalNames.data();
    const std::less<const QString *> Before;
    if (!Before(&Name, Names) && Before(&Name, Names + FNonterminalNames.size()))
        return int(&Name - Names);
    return FNonterminalIds.value(lowerText(Name), -1);
}

int TLL1Parser::terminalId(const QString &Name) const
{
    const QString *Names = FTerminalNames.data();
    const std::less<const QString *> Before;
    if (!Before(&Name, Names) && Before(&Name, Names + FTerminalNames.size()))
        return int(&Name - Names);
    return FTerminalIds.value(Name, -1);
}

// --- TLL1Parser: parse --------------------------------------------------------

bool TLL1Parser::ParseString(const QString &InpStr, const QString &StartRule, int &Pos)
{
    PrepareRules();
    // The fast engine goes on spending the budget of the text it was given
    // last when it is given the same text again (the same shared data) at a
    // later position: the form rewriting parses the objects of one file in
    // one text, front to back. A parse at or before the last start begins a
    // new pass over the text, with a new budget.
    const bool IsSameText = FEngine == TEngine::Fast && FIsBudgetStarted && !InpStr.isEmpty() &&
                            InpStr.constData() == FInputStr.constData() && InpStr.size() == FInputStr.size() &&
                            Pos > FBudgetStart;
    FBudgetStart = Pos;
    FInputStr = InpStr;
    FState->FCurPos = Pos;
    FErrorPos = Pos;
    FErrorStr.clear();
    FDepth = 0;
    FFastDepth = 0;
    FFrames.clear();
    ++FParseSerial;
    FDepthExceeded = false;
    FIsWorkExceeded = false;
    if (FEngine == TEngine::Plain) {
        FIsBudgetStarted = false;
        FCallCount = 0;
        FCallLimit = qint64(WorkLimitPerChar()) * (std::max<qint64>(InpStr.size() - Pos + 1, 0) + 1) + 1000000;
    } else if (!IsSameText) {
        FIsBudgetStarted = true;
        FCallCount = 0;
        FCallLimit = qint64(WorkLimitPerChar()) * (qint64(InpStr.size()) + 1) + FastWorkAllowance;
    }
    FStackFloor = threadStackFloor();
    if (FStackFloor == 0 || FStackFloor >= frameAddress())
        FStackFloor = frameAddress() > FallbackStackBudget ? frameAddress() - FallbackStackBudget : 0;

    BeforeParse();
    if (FEngine == TEngine::Fast)
        computeRepeatable();
    bool Result = ParseNonterminal(StartRule) && !FDepthExceeded;
    AfterParse(Result);
    // The saved states of a long list are not kept for the next parse.
    constexpr size_t KeptSavedStates = 4096;
    if (FSavedStates.size() > KeptSavedStates) {
        FSavedStates.resize(KeptSavedStates);
        FFrames.shrink_to_fit();
    }
    if (FPrefixStates.size() > KeptSavedStates)
        FPrefixStates.resize(KeptSavedStates);
    if (Result) {
        FErrorPos = -1;
        FErrorStr.clear();
        Pos = FState->FCurPos;
    } else if (FIsWorkExceeded) {
        FErrorStr = QStringLiteral("Text too costly to parse (more than %1 steps), stopped at position %2; "
                                   "parse abandoned.")
                        .arg(FCallLimit)
                        .arg(FDepthExceededAt);
    } else if (FDepthExceeded) {
        FErrorStr = QStringLiteral("Text nested too deeply at position %1 (%2 levels); parse abandoned.")
                        .arg(FDepthExceededAt)
                        .arg(FDepthReached);
    }
    return Result;
}

bool TLL1Parser::ParseNonterminal(const QString &Name)
{
    const int Id = NonterminalId(Name);
    if (Id < 0 || !FNonterminals[Id].HasRule)
        throw EGrammarError(QStringLiteral("Unknown nonterminal: ") + Name);
    if (FDepthExceeded)
        return false;
    if (FEngine == TEngine::Fast)
        return chargeWork(1) && parseFast(Id);
    if (FDepth >= MaxDepth() || frameAddress() < FStackFloor || ++FCallCount > FCallLimit) {
        FIsWorkExceeded = FCallCount > FCallLimit;
        FDepthExceededAt = FState->FCurPos;
        FDepthReached = FDepth;
        FDepthExceeded = true;
        return false;
    }
    const std::vector<TAlternative> &Alternatives = FNonterminals[Id].Alternatives;
    if (Alternatives.empty())
        return false;

    const TDepthGuard Guard(FDepth);
    // One saved copy serves every alternative: after a failed one the state
    // is put back to it, so each alternative starts from the entry state.
    TParseState &Saved = savedState(FDepth);
    Saved.Assign(*FState);
    for (const TAlternative &Alt : Alternatives) {
        if (matchAlternative(Alt))
            return true;
        FState->Assign(Saved);
        if (FDepthExceeded)
            return false;
    }
    return false;
}

TParseState &TLL1Parser::savedState(int Depth)
{
    while (int(FSavedStates.size()) < Depth)
        FSavedStates.push_back(FParseStateClass(this));
    return *FSavedStates[Depth - 1];
}

bool TLL1Parser::matchAlternative(const TAlternative &Alt)
{
    const TSymbol *Symbol = FSymbols.data() + Alt.First;
    const TSymbol *const End = Symbol + Alt.Count;
    const char16_t *const Input = reinterpret_cast<const char16_t *>(FInputStr.constData());
    const int Length = int(FInputStr.size());
    for (; Symbol != End; ++Symbol) {
        switch (Symbol->Kind) {
        case TSymbolKind::Literal: {
            const int Pos = FState->FCurPos;
            if (Pos < 1 || Pos > Length || lowerChar(Input[Pos - 1]) != Symbol->Ch)
                return false;
            FState->FCurPos = Pos + 1;
            break;
        }
        case TSymbolKind::Terminal:
            if (!ParseTerminal(FTerminalNames[Symbol->Id]) || FDepthExceeded)
                return false;
            break;
        case TSymbolKind::Nonterminal:
            if (!ParseNonterminal(FNonterminalNames[Symbol->Id]) || FDepthExceeded)
                return false;
            break;
        }
    }
    return true;
}

const TLL1Parser::TTerminalClass &TLL1Parser::resolveTerminal(int Id)
{
    TTerminalClass &Class = FTerminals[Id];
    if (!Class.IsResolved) {
        GetTerminalSet(FTerminalNames[Id], Class.Set, Class.IsSingle);
        Class.IsResolved = true;
    }
    return Class;
}

bool TLL1Parser::ParseTerminal(const QString &Name)
{
    // The sets are asked for once per class and kept: GetTerminalSet gives the
    // same answer for the same name throughout the parser's life.
    const int Id = terminalId(Name);
    TTerminalSet LocalSet;
    bool IsSingle = false;
    const TTerminalSet *Set = &LocalSet;
    if (Id >= 0) {
        const TTerminalClass &Class = resolveTerminal(Id);
        Set = &Class.Set;
        IsSingle = Class.IsSingle;
    } else {
        GetTerminalSet(Name, LocalSet, IsSingle);
    }

    const char16_t *const Input = reinterpret_cast<const char16_t *>(FInputStr.constData());
    const int Length = int(FInputStr.size());
    const int Start = FState->FCurPos;
    if (Start < 1 || Start > Length)
        return false;
    int Pos = Start;
    if (IsSingle) {
        if (Set->Contains(Input[Pos - 1]))
            ++Pos;
    } else {
        while (Pos <= Length && Set->Contains(Input[Pos - 1]))
            ++Pos;
    }
    FState->FCurPos = Pos;
    return Pos > Start;
}

// --- TLL1Parser: fast engine ---------------------------------------------------
//
// The same ordered choice with backtracking as the plain engine, run on a
// stack of frames instead of the thread's stack. A frame is one nonterminal
// call: which alternative it is matching, how far, and (in FSavedStates at
// the frame's index) the state on entry, which is put back after each failed
// alternative. A call that is the last symbol of an alternative of the same
// nonterminal continues a list; it gets its frame (its state must be kept for
// backtracking) but no depth level, so only real nesting counts against
// MaxDepth.

bool TLL1Parser::chargeWork(qint64 Amount)
{
    FCallCount += Amount;
    if (FCallCount <= FCallLimit)
        return true;
    FIsWorkExceeded = true;
    FDepthExceeded = true;
    FDepthExceededAt = FState->FCurPos;
    FDepthReached = FFastDepth;
    return false;
}

bool TLL1Parser::pushFrame(int Id, bool IsObserved, bool IsTail)
{
    if (!IsTail && FFastDepth >= MaxDepth()) {
        FDepthExceeded = true;
        FDepthExceededAt = FState->FCurPos;
        FDepthReached = FFastDepth;
        return false;
    }
    const int Index = int(FFrames.size());
    int Slot = Index;
    quint64 Version = FStateVersion;
    if (!FFrames.empty() && FFrames.back().SavedVersion == FStateVersion) {
        // Nothing but the position has changed since the caller's entry.
        Slot = FFrames.back().SavedSlot;
        Version = FFrames.back().SavedVersion;
    } else {
        while (int(FSavedStates.size()) <= Index)
            FSavedStates.push_back(FParseStateClass(this));
        FSavedStates[size_t(Index)]->Assign(*FState);
    }
    FFrames.push_back({Id, 0, 0, FState->FCurPos, Slot, Version, IsObserved, IsTail});
    if (!IsTail)
        ++FFastDepth;
    return true;
}

int TLL1Parser::firstCall(const TAlternative &Alt) const
{
    return Alt.Count > 0 && FSymbols[size_t(Alt.First)].Kind == TSymbolKind::Nonterminal ? FSymbols[size_t(Alt.First)].Id
                                                                                         : -1;
}

void TLL1Parser::notePrefix(TFrame &Frame)
{
    const TAlternative &Alt = FNonterminals[size_t(Frame.Id)].Alternatives[size_t(Frame.Alt)];
    if (!Alt.SharesFirst)
        return;
    const int Id = firstCall(Alt);
    if (!FNonterminals[size_t(Id)].IsRepeatable)
        return;
    const size_t Index = FFrames.size() - 1;
    while (FPrefixStates.size() <= Index)
        FPrefixStates.push_back(FParseStateClass(this));
    FPrefixStates[Index]->Assign(*FState);
    Frame.PrefixId = Id;
}

void TLL1Parser::restoreFrame(const TFrame &Frame)
{
    if (FStateVersion != Frame.SavedVersion) {
        FState->Assign(*FSavedStates[size_t(Frame.SavedSlot)]);
        FStateVersion = Frame.SavedVersion;
    }
    FState->FCurPos = Frame.EntryPos;
}

bool TLL1Parser::selectAlternative(TFrame &Frame, int From)
{
    const TNonterminal &N = FNonterminals[size_t(Frame.Id)];
    const int Pos = Frame.EntryPos;
    const bool IsAtEnd = Pos < 1 || Pos > FInputStr.size();
    const char16_t Ch = IsAtEnd ? 0 : FInputStr.constData()[Pos - 1].unicode();
    if (!N.Viable.empty()) {
        if (From >= 64)
            return false;
        const std::uint64_t Mask =
            N.Viable[IsAtEnd ? 257 : Ch < 256 ? Ch : 256] & (~std::uint64_t(0) << From);
        if (Mask == 0)
            return false;
        Frame.Alt = std::countr_zero(Mask);
        Frame.Sym = 0;
        return true;
    }
    for (int I = From; I < int(N.Alternatives.size()); ++I) {
        const TAlternative &Alt = N.Alternatives[size_t(I)];
        if (Alt.IsSkippable && (IsAtEnd || (Ch < 256 ? !Alt.Starts.Contains(Ch) : !Alt.StartsAbove)))
            continue;
        Frame.Alt = I;
        Frame.Sym = 0;
        return true;
    }
    return false;
}

// Ends the call on top of the stack. A failed call has its entry state back
// already.
void TLL1Parser::popFrame(bool Result)
{
    const TFrame Frame = FFrames.back();
    FFrames.pop_back();
    if (!Frame.IsTail)
        --FFastDepth;
    TNonterminal &N = FNonterminals[size_t(Frame.Id)];
    if (N.IsPure) {
        TLastCall &Last = FLastCalls[size_t(Frame.Id)];
        Last.Parse = FParseSerial;
        Last.Pos = Frame.EntryPos;
        Last.End = FState->FCurPos;
        Last.Result = Result;
    }
    if (Frame.IsObserved) {
        LeaveNonterminal(Frame.Id, Result);
        FStateVersion = ++FVersionCounter;
    }
}

// A parse stopped by the depth limit or the budget: every pending call fails,
// innermost first, each putting its entry state back and telling the
// descendant, as the plain engine's calls do when they return.
void TLL1Parser::abandonFast(int Base)
{
    while (int(FFrames.size()) > Base) {
        const TFrame Frame = FFrames.back();
        restoreFrame(Frame);
        FFrames.pop_back();
        if (!Frame.IsTail)
            --FFastDepth;
        if (Frame.IsObserved) {
            LeaveNonterminal(Frame.Id, false);
            FStateVersion = ++FVersionCounter;
        }
    }
}

bool TLL1Parser::parseFast(int RootId)
{
    const int Base = int(FFrames.size());
    // An exception (an unknown nonterminal, an error in a hook) leaves the
    // frames of this call behind: drop them.
    struct TFrameGuard
    {
        TLL1Parser &Parser;
        int Base;
        int Depth;
        ~TFrameGuard()
        {
            if (int(Parser.FFrames.size()) > Base) {
                Parser.FFrames.resize(size_t(Base));
                Parser.FFastDepth = Depth;
            }
        }
    } Guard{*this, Base, FFastDepth};

    if (FLastCalls.size() != FNonterminals.size())
        FLastCalls.assign(FNonterminals.size(), TLastCall());
    // The caller may have changed the state: the root saves it.
    FStateVersion = ++FVersionCounter;
    if (!pushFrame(RootId, false, false))
        return false;
    const char16_t *const Input = reinterpret_cast<const char16_t *>(FInputStr.constData());
    const int Length = int(FInputStr.size());
    TFrame *Frame = &FFrames.back();
    bool IsMatching = selectAlternative(*Frame, 0);
    for (;;) {
        if (IsMatching) {
            const TAlternative &Alt = FNonterminals[size_t(Frame->Id)].Alternatives[size_t(Frame->Alt)];
            const TSymbol *const First = FSymbols.data() + Alt.First;
            const TSymbol *const End = First + Alt.Count;
            bool IsCalling = false;
            for (const TSymbol *Symbol = First + Frame->Sym; Symbol != End && IsMatching; ++Symbol) {
                switch (Symbol->Kind) {
                case TSymbolKind::Literal: {
                    const int Pos = FState->FCurPos;
                    if (Pos < 1 || Pos > Length || lowerChar(Input[Pos - 1]) != Symbol->Ch)
                        IsMatching = false;
                    else
                        FState->FCurPos = Pos + 1;
                    break;
                }
                case TSymbolKind::Terminal: {
                    const TTerminalClass &Class = FTerminals[size_t(Symbol->Id)].IsResolved
                                                      ? FTerminals[size_t(Symbol->Id)]
                                                      : resolveTerminal(Symbol->Id);
                    const int Start = FState->FCurPos;
                    if (Start < 1 || Start > Length) {
                        IsMatching = false;
                        break;
                    }
                    int Pos = Start;
                    if (Class.IsSingle) {
                        if (Class.Set.Contains(Input[Pos - 1]))
                            ++Pos;
                    } else {
                        while (Pos <= Length && Class.Set.Contains(Input[Pos - 1]))
                            ++Pos;
                        if (Pos - Start > 16 && !chargeWork(Pos - Start)) {
                            abandonFast(Base);
                            return false;
                        }
                    }
                    FState->FCurPos = Pos;
                    IsMatching = Pos > Start;
                    break;
                }
                case TSymbolKind::Nonterminal: {
                    const int Id = Symbol->Id;
                    const TNonterminal &Callee = FNonterminals[size_t(Id)];
                    if (Callee.IsPure) {
                        const TLastCall &Last = FLastCalls[size_t(Id)];
                        if (Last.Parse == FParseSerial && Last.Pos == FState->FCurPos) {
                            if (Last.Result)
                                FState->FCurPos = Last.End;
                            IsMatching = Last.Result;
                            break;
                        }
                    }
                    Frame->Sym = int(Symbol - First) + 1;
                    if (Callee.IsObserved) {
                        bool Answer = false;
                        const bool IsAnswered = EnterNonterminal(Id, Answer);
                        FStateVersion = ++FVersionCounter;
                        if (IsAnswered) {
                            IsMatching = Answer;
                            break;
                        }
                    }
                    if (!Callee.HasRule)
                        throw EGrammarError(QStringLiteral("Unknown nonterminal: ") + FNonterminalNames[size_t(Id)]);
                    const bool IsTail = Symbol + 1 == End && Id == Frame->Id;
                    if (!chargeWork(1) || !pushFrame(Id, Callee.IsObserved, IsTail)) {
                        if (Callee.IsObserved) {
                            LeaveNonterminal(Id, false);
                            FStateVersion = ++FVersionCounter;
                        }
                        abandonFast(Base);
                        return false;
                    }
                    Frame = &FFrames.back();
                    IsMatching = selectAlternative(*Frame, 0);
                    IsCalling = true;
                    break;
                }
                }
                if (IsCalling)
                    break;
            }
            if (IsCalling)
                continue;
            if (IsMatching) {
                // The alternative has matched: the call succeeds, and its
                // caller goes on after it.
                popFrame(true);
                if (int(FFrames.size()) == Base)
                    return true;
                Frame = &FFrames.back();
                if (Frame->Sym == 1)
                    notePrefix(*Frame);
                continue;
            }
        }
        // The alternative has failed: on to the next alternative that can
        // start here, from the entry state, or the call fails. When the next
        // one starts with the repeatable nonterminal that began a failed one,
        // that call would end where it ended, leaving the same state: the
        // alternative goes on after it.
        if (selectAlternative(*Frame, Frame->Alt + 1)) {
            if (Frame->PrefixId >= 0 &&
                firstCall(FNonterminals[size_t(Frame->Id)].Alternatives[size_t(Frame->Alt)]) == Frame->PrefixId) {
                FState->Assign(*FPrefixStates[FFrames.size() - 1]);
                FStateVersion = ++FVersionCounter;
                Frame->Sym = 1;
            } else {
                restoreFrame(*Frame);
            }
            IsMatching = true;
            continue;
        }
        restoreFrame(*Frame);
        popFrame(false);
        if (int(FFrames.size()) == Base)
            return false;
        Frame = &FFrames.back();
        IsMatching = false;
    }
}

void TLL1Parser::GetTerminalSet(const QString &Name, TTerminalSet &Set, bool &IsSingle)
{
    Set = TTerminalSet();
    const auto letters = [&Set] {
        Set.IncludeRange('A', 'Z');
        Set.IncludeRange('a', 'z');
        Set.Include('_');
    };
    const auto symbols = [&Set] {
        Set.IncludeRange(1, 255);
        Set.Exclude('\'');
    };
    if (Name == u"<*chars_or_digits>") {
        letters();
        Set.IncludeRange('0', '9');
        IsSingle = false;
    } else if (Name == u"<*symbols>") {
        symbols();
        IsSingle = false;
    } else if (Name == u"<*digits>") {
        Set.IncludeRange('0', '9');
        IsSingle = false;
    } else if (Name == u"<*char>") {
        letters();
        IsSingle = true;
    } else if (Name == u"<*symbol>") {
        symbols();
        IsSingle = true;
    } else if (Name == u"<*digit>") {
        Set.IncludeRange('0', '9');
        IsSingle = true;
    } else if (Name == u"<*hexs>") {
        Set.IncludeRange('0', '9');
        Set.IncludeRange('A', 'F');
        Set.IncludeRange('a', 'f');
        IsSingle = false;
    } else {
        MIG_ASSERT(false, QStringLiteral("Unknown terminal class: ") + Name);
    }
}
