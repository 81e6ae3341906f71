// Grammar engine: a recursive-descent recogniser with ordered choice and
// backtracking, driven by grammar rules given as strings at run time.
//
// The engine builds no tree. A descendant learns about a parse through the
// virtual operations (ParseNonterminal, ParseTerminal, BeforeParse, AfterParse)
// and keeps its own state in a TParseState descendant, which the engine saves
// before the alternatives of a nonterminal and restores after each failed one.
// Invariant: when the engine's ParseNonterminal returns false, the state is as
// it was on entry. Literals match the input without regard to letter case
// (rules are lower-cased, the input is lower-cased one UTF-16 unit at a time,
// which keeps positions); terminal classes test the input as given.
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

class TLL1Parser;

// The position of a parse and whatever a descendant adds to it. The engine
// saves and restores states only through Assign, so a descendant that adds
// fields copies them in its Assign override.
class TParseState
{
public:
    explicit TParseState(TLL1Parser *AParser);
    virtual ~TParseState();
    TParseState(const TParseState &) = delete;
    TParseState &operator=(const TParseState &) = delete;

    // Copies CurPos from Source; the parser is not copied.
    virtual void Assign(const TParseState &Source);

    TLL1Parser *Parser() const { return FParser; }
    // One-based index of the next character to read; may be one past the end.
    int CurPos() const { return FCurPos; }
    void SetCurPos(int Value) { FCurPos = Value; }

protected:
    int FCurPos = 0;
    TLL1Parser *FParser;

    friend class TLL1Parser;
};

// The "class" of the states a parser creates: its own and every saved one.
using TParseStateClass = std::unique_ptr<TParseState> (*)(TLL1Parser *AParser);

// MakeParseState<TMyState> is the TParseStateClass of TMyState.
template <class TState>
std::unique_ptr<TParseState> MakeParseState(TLL1Parser *AParser)
{
    return std::make_unique<TState>(AParser);
}

// The characters of a terminal class: a set of 8-bit character codes.
class TTerminalSet
{
public:
    void Include(int Code) { FBits[unsigned(Code) >> 6] |= std::uint64_t(1) << (Code & 63); }
    void IncludeRange(int First, int Last)
    {
        for (int Code = First; Code <= Last; ++Code)
            Include(Code);
    }
    void Exclude(int Code) { FBits[unsigned(Code) >> 6] &= ~(std::uint64_t(1) << (Code & 63)); }
    // Characters above U+00FF belong to no set.
    bool Contains(char16_t Ch) const { return Ch < 256 && (FBits[Ch >> 6] >> (Ch & 63)) & 1; }

private:
    std::array<std::uint64_t, 4> FBits{};
};

class TLL1Parser
{
public:
    explicit TLL1Parser(TParseStateClass ParseStateClass = &MakeParseState<TParseState>);
    virtual ~TLL1Parser();
    TLL1Parser(const TLL1Parser &) = delete;
    TLL1Parser &operator=(const TLL1Parser &) = delete;

    // Adds one rule such as "<sign>-+|-|": a head in angle brackets, one
    // separator character and alternatives separated by "|". Throws
    // EGrammarError on a malformed rule, EAssertionFailed after the first parse.
    void AddRule(const QString &ARule);
    // Empties the rule table. A table that was prepared stays closed to AddRule.
    void ClearRules();
    // Inlines empty alternatives and orders every alternative list; runs once,
    // by the first ParseString at the latest, and closes the table.
    void PrepareRules();
    bool RulesPrepared() const { return FRulesPrepared; }
    // The alternatives of a nonterminal as texts: as added before preparation,
    // in the order in which they are tried after it. Empty for an unknown head.
    QStringList Alternatives(const QString &Head) const;

    // Parses InpStr from the one-based position Pos as StartRule (for instance
    // "<object>"). On success returns true and moves Pos past the recognised
    // text (which need not reach the end); on failure Pos is unchanged.
    bool ParseString(const QString &InpStr, const QString &StartRule, int &Pos);

    TParseState *State() const { return FState.get(); }
    int ErrorPos() const { return FErrorPos; }
    void SetErrorPos(int Value) { FErrorPos = Value; }
    const QString &ErrorStr() const { return FErrorStr; }
    void SetErrorStr(const QString &Value) { FErrorStr = Value; }

    // Upper bound on the nesting of nonterminals being parsed. A parse that
    // reaches it anywhere fails as a whole (ParseString returns false and
    // ErrorStr says so) instead of running out of stack. The parse also stops
    // so when the thread's stack is nearly used up, whichever comes first.
    int MaxDepth() const { return FMaxDepth; }
    void SetMaxDepth(int Value) { FMaxDepth = Value; }
    static constexpr int DefaultMaxDepth = 20000;
    // Upper bound on the work of one parse: at most this many nonterminal
    // calls per character from the start position to the end of the input
    // (plus a fixed allowance). Ordered choice with backtracking can take
    // exponential time on hostile nesting; such a parse fails like one that
    // is nested too deeply.
    int WorkLimitPerChar() const { return FWorkLimitPerChar; }
    void SetWorkLimitPerChar(int Value) { FWorkLimitPerChar = Value; }
    static constexpr int DefaultWorkLimitPerChar = 1000;

protected:
    // Gives the characters of a terminal class (for instance "<*digits>") and
    // whether it matches exactly one character (IsSingle) or a run of one or
    // more. Unknown names are an internal error (assertion failure).
    virtual void GetTerminalSet(const QString &Name, TTerminalSet &Set, bool &IsSingle);
    // Tries the alternatives of one nonterminal in order; the first that
    // matches wins. Throws EGrammarError for a name without a rule.
    virtual bool ParseNonterminal(const QString &Name);
    // Matches a terminal class at CurPos. A run is taken whole.
    virtual bool ParseTerminal(const QString &Name);
    virtual void BeforeParse() {}
    virtual void AfterParse(bool &Result) { Q_UNUSED(Result); }

    // The id of a nonterminal of the prepared grammar, -1 if the grammar does
    // not mention it. Cheap for the names the engine hands to ParseNonterminal.
    int NonterminalId(const QString &Name) const;
    const QString &InputStr() const { return FInputStr; }
    // The current nesting of ParseNonterminal calls of the engine.
    int Depth() const { return FDepth; }
    // True once a parse has hit MaxDepth or its work limit; every pending
    // call then fails.
    bool IsDepthExceeded() const { return FDepthExceeded; }

    std::unique_ptr<TParseState> FState;

private:
    enum class TSymbolKind : std::uint8_t { Literal, Terminal, Nonterminal };
    struct TSymbol
    {
        TSymbolKind Kind;
        char16_t Ch;     // Literal
        int Id;          // Terminal or Nonterminal
    };
    struct TAlternative
    {
        int First;
        int Count;
    };
    struct TNonterminal
    {
        bool HasRule = false;
        std::vector<TAlternative> Alternatives;
    };
    struct TTerminalClass
    {
        bool IsResolved = false;
        bool IsSingle = false;
        TTerminalSet Set;
    };

    void compileRules();
    int internNonterminal(const QString &Head);
    int internTerminal(const QString &Name);
    bool matchAlternative(const TAlternative &Alt);
    const TTerminalClass &resolveTerminal(int Id);
    int terminalId(const QString &Name) const;
    TParseState &savedState(int Depth);

    TParseStateClass FParseStateClass;
    // The rule table: head (lower case) -> alternatives as texts. Sorted by
    // head; the heads are lower case, so the order ignores letter case.
    std::map<QString, QStringList> FGrammSL;
    bool FRulesPrepared = false;

    // The prepared grammar, compiled from FGrammSL once.
    // Names are kept apart so that the references the engine hands to the
    // virtual operations can be mapped back to ids by address.
    std::vector<QString> FNonterminalNames;
    std::vector<TNonterminal> FNonterminals;
    std::vector<QString> FTerminalNames;
    std::vector<TTerminalClass> FTerminals;
    std::vector<TSymbol> FSymbols;
    QHash<QString, int> FNonterminalIds;
    QHash<QString, int> FTerminalIds;

    QString FInputStr;
    int FErrorPos = -1;
    QString FErrorStr;

    // Saved states, one slot per nesting level, created on first use.
    std::vector<std::unique_ptr<TParseState>> FSavedStates;
    int FDepth = 0;
    int FMaxDepth = DefaultMaxDepth;
    bool FDepthExceeded = false;
    int FDepthExceededAt = 0;
    int FDepthReached = 0;
    int FWorkLimitPerChar = DefaultWorkLimitPerChar;
    qint64 FCallCount = 0;
    qint64 FCallLimit = 0;
    bool FIsWorkExceeded = false;
    // Below this stack address a parse stops as if MaxDepth had been reached.
    std::uintptr_t FStackFloor = 0;
};
