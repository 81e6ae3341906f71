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
    void Unite(const TTerminalSet &Other)
    {
        for (size_t I = 0; I < FBits.size(); ++I)
            FBits[I] |= Other.FBits[I];
    }
    bool operator==(const TTerminalSet &Other) const { return FBits == Other.FBits; }

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
    // The input of the current (or last) parse, as given.
    const QString &InputStr() const { return FInputStr; }
    int ErrorPos() const { return FErrorPos; }
    void SetErrorPos(int Value) { FErrorPos = Value; }
    const QString &ErrorStr() const { return FErrorStr; }
    void SetErrorStr(const QString &Value) { FErrorStr = Value; }

    // Which engine runs the parses. Both accept the same inputs, stop at the
    // same positions and leave the same state; they differ in what a
    // descendant hears of the parse.
    //  - Plain: every nonterminal and terminal class goes through the virtual
    //    ParseNonterminal and ParseTerminal, recursively, and every
    //    alternative is tried in turn. The default.
    //  - Fast: the parse runs on a stack of frames of its own (no recursion,
    //    so the depth it allows does not depend on the thread's stack); an
    //    alternative that cannot start with the next character is skipped
    //    (first sets computed when the rules are prepared) where trying it
    //    could only have failed; a nonterminal that ends an alternative of
    //    itself (a list such as "<l>-<x><l>|<x>") continues without a depth
    //    level per element; a repeated call of a nonterminal from which no
    //    observed one can be reached is answered from the last call at the
    //    same position. The descendant hears only of the nonterminals it
    //    observes (ObserveNonterminal), through EnterNonterminal and
    //    LeaveNonterminal, and of every call of them that the plain engine
    //    would make and that succeeds, in the same order.
    enum class TEngine { Plain, Fast };
    TEngine Engine() const { return FEngine; }
    void SetEngine(TEngine Value) { FEngine = Value; }

    // Upper bound on the nesting of nonterminals being parsed. A parse that
    // reaches it anywhere fails as a whole (ParseString returns false and
    // ErrorStr says so) instead of running out of stack. The plain engine
    // also stops so when the thread's stack is nearly used up, whichever
    // comes first; the fast engine does not count the calls that continue a
    // list, so its depth is that of the real nesting.
    // Each engine has its own limit; these read and set the current one's.
    int MaxDepth() const { return FMaxDepth[int(FEngine)]; }
    void SetMaxDepth(int Value) { FMaxDepth[int(FEngine)] = Value; }
    static constexpr int DefaultMaxDepth = 20000;
    static constexpr int DefaultFastMaxDepth = 200000;
    // Upper bound on the work of a parse, in nonterminal calls per character
    // (plus a fixed allowance). Ordered choice with backtracking can take
    // exponential time on hostile nesting; such a parse fails like one that
    // is nested too deeply. The plain engine gives each parse its own budget,
    // from the start position to the end of the input. The fast engine gives
    // one budget to a whole input text, shared by the parses of the same text
    // at increasing start positions (the objects of one form file, front to
    // back): it also counts the characters that terminal classes read, so no
    // text costs more than a constant times its length however many of its
    // objects are parsed.
    int WorkLimitPerChar() const { return FWorkLimitPerChar[int(FEngine)]; }
    void SetWorkLimitPerChar(int Value) { FWorkLimitPerChar[int(FEngine)] = Value; }
    static constexpr int DefaultWorkLimitPerChar = 1000;
    static constexpr int DefaultFastWorkLimitPerChar = 16;
    // Takes the engine and both engines' limits from Other (a parser made
    // for another thread is set up like the one it stands in for).
    void CopyLimitsFrom(const TLL1Parser &Other)
    {
        FEngine = Other.FEngine;
        for (int I = 0; I < 2; ++I) {
            FMaxDepth[I] = Other.FMaxDepth[I];
            FWorkLimitPerChar[I] = Other.FWorkLimitPerChar[I];
        }
    }

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
    // The name ("<name>", lower case) of a nonterminal id.
    const QString &NonterminalName(int Id) const { return FNonterminalNames[Id]; }

    // Fast engine: the descendant hears of every call of Name (in any letter
    // case) through EnterNonterminal and LeaveNonterminal. May be called
    // before or after the rules are prepared.
    void ObserveNonterminal(const QString &Name);
    // Fast engine, before an observed nonterminal is parsed. Returning true
    // answers the call without parsing: Result is the answer and the state
    // must already be what the parse would have left (then LeaveNonterminal
    // is not called). The state is saved after this hook, so what it changes
    // stays when the nonterminal fails.
    virtual bool EnterNonterminal(int Id, bool &Result)
    {
        Q_UNUSED(Id);
        Q_UNUSED(Result);
        return false;
    }
    // Fast engine, after an observed nonterminal was parsed (and, when it
    // failed, the state restored).
    virtual void LeaveNonterminal(int Id, bool Result)
    {
        Q_UNUSED(Id);
        Q_UNUSED(Result);
    }
    // Fast engine: whether a call of the observed nonterminal Id, hooks
    // included, changes nothing but the parse state (and what the descendant
    // keeps only to answer calls again), so that a second call at the same
    // position from the same state would leave the same state. The engine
    // then may reuse such a call's outcome (see parseFast). Asked anew for
    // each parse; false unless the descendant knows better.
    virtual bool ChangesOnlyState(int Id) const
    {
        Q_UNUSED(Id);
        return false;
    }
    // Fast engine: whether every nonterminal that the alternatives of Id call
    // is unobserved and reaches no observed one, so that a call of Id changes
    // nothing but the position, apart from what Id's own hooks do. False for
    // an unknown id or before the rules are prepared.
    bool CallsOnlyPure(int Id) const
    {
        return Id >= 0 && Id < int(FNonterminals.size()) && FNonterminals[size_t(Id)].CallsOnlyPure;
    }
    // Counts the parses of this parser: a new number for each ParseString.
    qint64 ParseSerial() const { return FParseSerial; }
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
        // The characters with which the alternative can start (input as
        // given, below U+0100), whether it can start with a character above
        // U+00FF, and whether the fast engine may skip it when the next
        // character is none of them (false when it can match the empty text,
        // or when something observable could happen before it fails).
        TTerminalSet Starts;
        bool StartsAbove = false;
        bool IsSkippable = false;
        // It starts with a nonterminal that a later alternative of the same
        // list starts with too.
        bool SharesFirst = false;
    };
    struct TNonterminal
    {
        bool HasRule = false;
        bool IsObserved = false;
        bool IsNullable = false;
        // No observed nonterminal can be reached from it: its calls change
        // nothing but the position, so the last one can be answered again.
        bool IsPure = false;
        bool CallsOnlyPure = false;
        // Unobserved, and every call below it changes nothing but the parse
        // state: two calls from the same state at the same position leave
        // the same state (decided for each parse).
        bool IsRepeatable = false;
        std::vector<TAlternative> Alternatives;
        // For lists of up to 64 alternatives: per next character (below
        // U+0100; 256 for any above, 257 at the end of the input), the
        // alternatives that are not skipped there, one bit each.
        std::vector<std::uint64_t> Viable;
    };
    // The last call of a pure nonterminal in the current parse.
    struct TLastCall
    {
        qint64 Parse = -1;
        int Pos = 0;
        int End = 0;
        bool Result = false;
    };
    // One nonterminal call of the fast engine.
    struct TFrame
    {
        int Id;
        int Alt;            // index of the alternative being matched
        int Sym;            // index of its next symbol
        int EntryPos;       // CurPos on entry
        int SavedSlot;      // the FSavedStates slot that holds the entry state
        quint64 SavedVersion;
        bool IsObserved;    // LeaveNonterminal is due
        bool IsTail;        // continues a list: no depth level
        // The repeatable nonterminal that began an earlier alternative of
        // this call and matched; the state after it (its end position
        // included) is in FPrefixStates at this frame's index. -1: none.
        int PrefixId = -1;
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
    void computeStarts();
    void computePurity();
    void computeRepeatable();
    bool parseFast(int RootId);
    bool selectAlternative(TFrame &Frame, int From);
    bool pushFrame(int Id, bool IsObserved, bool IsTail);
    void abandonFast(int Base);
    // The nonterminal that Alt starts with, or -1.
    int firstCall(const TAlternative &Alt) const;
    // After the first symbol of Frame's alternative matched: keeps the state
    // if a later alternative starts with the same repeatable nonterminal.
    void notePrefix(TFrame &Frame);
    void restoreFrame(const TFrame &Frame);
    void popFrame(bool Result);
    bool chargeWork(qint64 Amount);
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
    // What the repeatable nonterminals were last computed from: the purity
    // (counted up at each computation) and the descendant's answers.
    quint64 FPurityVersion = 0;
    quint64 FRepeatableVersion = ~quint64(0);
    std::vector<std::uint8_t> FQuietCalls;
    // Per frame index: the state after the first nonterminal of an
    // alternative that a later alternative starts with too.
    std::vector<std::unique_ptr<TParseState>> FPrefixStates;
    TEngine FEngine = TEngine::Plain;
    QStringList FObservedNames;
    // The fast engine's call stack; frame i saves its entry state in
    // FSavedStates[i].
    std::vector<TFrame> FFrames;
    int FFastDepth = 0;
    // Versions of the state, so that a frame whose entry state equals its
    // caller's (no hook has run in between) shares the caller's saved copy,
    // and a restore is skipped where no hook has run since the save. A
    // version number stands for one content of the state apart from CurPos;
    // every hook call gives the state a new one.
    quint64 FStateVersion = 0;
    quint64 FVersionCounter = 0;
    std::vector<TLastCall> FLastCalls;
    qint64 FParseSerial = 0;
    // False until the fast engine has started the budget of FInputStr; the
    // start position of the last parse.
    bool FIsBudgetStarted = false;
    int FBudgetStart = 0;
    int FDepth = 0;
    int FMaxDepth[2] = {DefaultMaxDepth, DefaultFastMaxDepth};
    bool FDepthExceeded = false;
    int FDepthExceededAt = 0;
    int FDepthReached = 0;
    int FWorkLimitPerChar[2] = {DefaultWorkLimitPerChar, DefaultFastWorkLimitPerChar};
    qint64 FCallCount = 0;
    qint64 FCallLimit = 0;
    bool FIsWorkExceeded = false;
    // Below this stack address a parse stops as if MaxDepth had been reached.
    std::uintptr_t FStackFloor = 0;
};
