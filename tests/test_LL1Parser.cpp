// The grammar engine: rule syntax, preparation of the alternatives, matching,
// the hooks a descendant sees, rollback of its state, and the depth limit.
#include "Errors.h"
#include "LL1Parser.h"

#include <gtest/gtest.h>

namespace {

using TEngine = TLL1Parser::TEngine;

std::unique_ptr<TLL1Parser> makeParser(const QStringList &Rules, TEngine Engine = TEngine::Plain)
{
    auto Parser = std::make_unique<TLL1Parser>();
    Parser->SetEngine(Engine);
    for (const QString &Rule : Rules)
        Parser->AddRule(Rule);
    return Parser;
}

// Parses Text from position 1; returns the position after the match, or 0.
int matchEnd(TLL1Parser &Parser, const QString &Text, const QString &Start = QStringLiteral("<s>"))
{
    int Pos = 1;
    return Parser.ParseString(Text, Start, Pos) ? Pos : 0;
}

QString grammarError(const QStringList &Rules)
{
    try {
        makeParser(Rules);
    } catch (const EGrammarError &E) {
        return E.Message();
    }
    return QString();
}

} // namespace

TEST(LL1ParserRules, EmptyAlternativesAreInlinedIntoEveryUse)
{
    auto P = makeParser({"<sign>-+|-|", "<int>-<sign><*digits>", "<pair>-<sign>x<sign>"});
    EXPECT_EQ(P->Alternatives("<sign>"), QStringList({"+", "-", ""}));
    P->PrepareRules();
    EXPECT_EQ(P->Alternatives("<sign>"), QStringList({"-", "+"}));
    EXPECT_EQ(P->Alternatives("<int>"), QStringList({"-<*digits>", "+<*digits>", "<*digits>"}));
    const QStringList Pair = P->Alternatives("<pair>");
    EXPECT_EQ(Pair.size(), 9);
    EXPECT_EQ(Pair.first(), "x-");
    EXPECT_EQ(Pair.last(), "+x");
    for (const QString &Alternative : Pair)
        EXPECT_FALSE(Alternative.contains("<sign>")) << Alternative.toStdString();
}

TEST(LL1ParserRules, OrderingGroupsByFirstSymbolThenDescending)
{
    auto P = makeParser({"<r>-<x>|<*digits>|a|b|<x><y>|\\60|<|", "<x>-x", "<y>-y"});
    P->PrepareRules();
    // A lone "<" opens no reference and sorts with the literals; the empty
    // text of "<r>" is inlined into "<r>" itself and then removed.
    EXPECT_EQ(P->Alternatives("<r>"), QStringList({"b", "a", "<", "<*digits>", "<x><y>", "<x>"}));
}

TEST(LL1ParserRules, EscapesAndSplitting)
{
    struct Row { QString Rule; QStringList Alternatives; };
    const Row Rows[] = {
        {"<r>-\\60x\\62", {"<x>"}},           // decoded after splitting: plain "<" and ">"
        {"<r>-a\\|b|c", {"a|b", "c"}},        // escaped "|" does not split
        {"<r>-a\\\\b", {"a\\b"}},             // escaped backslash
        {"<r>-\\65\\97", {"Aa"}},             // numeric escapes keep their case
        {"<r>-\\65601", {"A"}},               // code modulo 65536
        {"<r>-\\0481", {QString(QChar(481))}}, // the longest run of digits
        {"<r>-A|B", {"a", "b"}},              // the rule itself is lower-cased
        {"<r>-a||b|", {"a", "", "b", ""}},    // empty alternatives
        {"<r>-", {}},                         // nothing after the separator
        {"<r>-|", {"", ""}},
        {"x>", {}},                           // two characters: head only
    };
    for (const Row &R : Rows) {
        auto P = makeParser({R.Rule});
        const QString Head = R.Rule.left(R.Rule.indexOf('>') + 1).toLower();
        EXPECT_EQ(P->Alternatives(Head), R.Alternatives) << R.Rule.toStdString();
    }
}

TEST(LL1ParserRules, MalformedRulesAreRejected)
{
    const QString Invalid = "Cannot add rule. Invalid rule format.";
    for (const QString Rule : {"<abc", "ab", "<a>", "<a-b>", "<r>-ab\\"})
        EXPECT_TRUE(grammarError({Rule}).startsWith(Invalid)) << Rule.toStdString();
    EXPECT_TRUE(grammarError({"x"}).isEmpty());   // fewer than two characters: ignored
    EXPECT_TRUE(grammarError({"<a>-"}).isEmpty());

    // What was appended before the fault stays.
    TLL1Parser P;
    EXPECT_THROW(P.AddRule("<r>-a|b\\"), EGrammarError);
    EXPECT_EQ(P.Alternatives("<r>"), QStringList({"a"}));
}

TEST(LL1ParserRules, SecondRuleForAHeadAddsAlternatives)
{
    auto P = makeParser({"<s>-a", "<S>-b"});
    EXPECT_EQ(P->Alternatives("<s>"), QStringList({"a", "b"}));
    EXPECT_EQ(matchEnd(*P, "b"), 2);
}

TEST(LL1ParserRules, RuleAfterFirstParseIsAnAssertion)
{
    auto P = makeParser({"<s>-a"});
    matchEnd(*P, "a");
    EXPECT_THROW(P->AddRule("<t>-b"), EAssertionFailed);
    // Cleared rules stay closed: the table is empty and cannot be refilled.
    P->ClearRules();
    EXPECT_THROW(P->AddRule("<s>-a"), EAssertionFailed);
    EXPECT_THROW(matchEnd(*P, "a"), EGrammarError);
}

TEST(LL1ParserParse, Matching)
{
    struct Row { QStringList Rules; QString Text; int End; };
    const Row Rows[] = {
        {{"<s>-end"}, "END", 4},                          // literals ignore case
        {{"<s>-\\65"}, "A", 0},                           // an escaped capital never matches
        {{"<s>-\\65"}, "a", 0},
        {{"<s>-<*digits>1"}, "121", 0},                   // classes are greedy
        {{"<s>-<*digits>"}, "12a", 3},                    // a prefix of the input is enough
        {{"<s>-<*digit>"}, "12", 2},
        {{"<s>-<*symbols>"}, QString::fromUtf8("ab\xD0\x96"), 3},  // above U+00FF: no class
        {{"<s>-<*symbols>"}, QString::fromUtf8("\xD0\x96"), 0},
        {{"<s>-<*symbol>"}, "'", 0},
        {{"<s>-<*char><*chars_or_digits>"}, "_a1 ", 4},
        {{"<s>-<*hexs>"}, "0fAg", 4},
        {{"<s>-"}, "a", 0},                                // no alternatives: never matches
        {{"<s>-ab|a"}, "ac", 2},                           // ordered choice with backtracking
        {{"<s>-<a>c", "<a>-<x>|x", "<x>-xy"}, "xyc", 0},   // a nonterminal that matched never retries
        {{"<s>-(<s>)|x"}, "((x))", 6},
        // "<a>" gains an empty alternative from "<b>" after the pass has
        // gone past it and keeps it: alternatives that start with it are
        // never skipped by their first characters.
        {{"<s>-<a>y", "<a>-<b>", "<b>-x|"}, "y", 2},
        {{"<s>-<a>y", "<a>-<b>", "<b>-x|"}, "xy", 3},
        {{"<s>-<a>y|z", "<a>-<b>", "<b>-x|"}, "z", 2},
        {{"<s>-k|z"}, QString(QChar(0x212A)), 2},       // KELVIN SIGN lowers to "k"
        {{"<s>-<l>!|<l>", "<l>-ab<l>|ab"}, "ababab!", 8},   // a list, then backtracking over it
        {{"<s>-<l>!|<l>", "<l>-ab<l>|ab"}, "ababa", 5},
    };
    for (const TEngine Engine : {TEngine::Plain, TEngine::Fast})
        for (const Row &R : Rows) {
            auto P = makeParser(R.Rules, Engine);
            EXPECT_EQ(matchEnd(*P, R.Text), R.End) << R.Rules.join(' ').toStdString() << " on "
                                                   << R.Text.toStdString() << " with engine " << int(Engine);
        }
}

TEST(LL1ParserParse, PositionsAndErrors)
{
    auto P = makeParser({"<s>-ab"});
    int Pos = 3;
    EXPECT_TRUE(P->ParseString("xxabyy", "<S>", Pos));
    EXPECT_EQ(Pos, 5);
    EXPECT_EQ(P->ErrorPos(), -1);
    Pos = 2;
    EXPECT_FALSE(P->ParseString("xxabyy", "<s>", Pos));
    EXPECT_EQ(Pos, 2);
    EXPECT_EQ(P->ErrorPos(), 2);
    EXPECT_TRUE(P->ErrorStr().isEmpty());
    Pos = 7;   // one past the end
    EXPECT_FALSE(P->ParseString("xxabyy", "<s>", Pos));

    try {
        matchEnd(*P, "ab", "<nothing>");
        FAIL();
    } catch (const EGrammarError &E) {
        EXPECT_EQ(E.Message(), "Unknown nonterminal: <nothing>");
    }
    auto Q = makeParser({"<s>-a<t>"});
    EXPECT_THROW(matchEnd(*Q, "ab"), EGrammarError);
    EXPECT_EQ(matchEnd(*Q, "b"), 0);   // not reached: no error
    for (const TEngine Engine : {TEngine::Plain, TEngine::Fast}) {
        auto R = makeParser({"<s>-<*nothing>"}, Engine);
        EXPECT_THROW(matchEnd(*R, "a"), EAssertionFailed) << int(Engine);
    }
}

namespace {

// A state with a field of its own, and a parser that logs the hooks and
// counts letters in that field, so that rollback becomes visible.
class TCountingState : public TParseState
{
public:
    using TParseState::TParseState;
    void Assign(const TParseState &Source) override
    {
        TParseState::Assign(Source);
        Letters = static_cast<const TCountingState &>(Source).Letters;
    }
    int Letters = 0;
};

class TLoggingParser : public TLL1Parser
{
public:
    TLoggingParser() : TLL1Parser(&MakeParseState<TCountingState>) {}
    TCountingState &Counting() { return static_cast<TCountingState &>(*State()); }
    QStringList Log;

protected:
    bool ParseNonterminal(const QString &Name) override
    {
        Log << Name;
        const bool Result = TLL1Parser::ParseNonterminal(Name);
        if (Result && Name == u"<letter>")
            ++Counting().Letters;
        return Result;
    }
    bool ParseTerminal(const QString &Name) override
    {
        Log << Name;
        return TLL1Parser::ParseTerminal(Name);
    }
    void GetTerminalSet(const QString &Name, TTerminalSet &Set, bool &IsSingle) override
    {
        if (Name != u"<*x>")
            return TLL1Parser::GetTerminalSet(Name, Set, IsSingle);
        Set.Include('x');
        IsSingle = true;
    }
    void BeforeParse() override { Log << "before"; }
    void AfterParse(bool &Result) override
    {
        Log << (Result ? "after:true" : "after:false");
        Result = Result && Counting().Letters != 99;
    }
};

} // namespace

TEST(LL1ParserHooks, HooksRunAgainAfterBacktrackingAndStateRollsBack)
{
    TLoggingParser P;
    P.AddRule("<s>-<letter><letter>z|<letter><letter><*x>");
    P.AddRule("<letter>-a|b");
    int Pos = 1;
    ASSERT_TRUE(P.ParseString("abx", "<s>", Pos));
    EXPECT_EQ(Pos, 4);
    // The first alternative counts two letters before it fails at "x"; its
    // count is taken back, and both letters are parsed again for the second.
    EXPECT_EQ(P.Counting().Letters, 2);
    EXPECT_EQ(P.Log, QStringList({"before", "<s>", "<letter>", "<letter>", "<letter>", "<letter>", "<*x>",
                                  "after:true"}));
}

TEST(LL1ParserHooks, StateIsUnchangedAfterAFailedNonterminal)
{
    TLoggingParser P;
    P.AddRule("<s>-<letter><letter>");
    P.AddRule("<letter>-a|b");
    int Pos = 1;
    EXPECT_FALSE(P.ParseString("a!", "<s>", Pos));
    EXPECT_EQ(P.Counting().Letters, 0);
    EXPECT_EQ(P.State()->CurPos(), 1);
    EXPECT_EQ(P.Log.last(), "after:false");
}

namespace {

// Counts the calls of "<k>", and in the state the ones that matched; whether
// it tells the fast engine that these calls change only the state is given.
class TQuietCallsParser : public TLL1Parser
{
public:
    explicit TQuietCallsParser(bool Quiet) : TLL1Parser(&MakeParseState<TCountingState>), FQuiet(Quiet)
    {
        SetEngine(TEngine::Fast);
        ObserveNonterminal("<k>");
    }
    int Entered = 0;

protected:
    bool EnterNonterminal(int, bool &) override
    {
        ++Entered;
        return false;
    }
    void LeaveNonterminal(int, bool Result) override
    {
        if (Result)
            ++static_cast<TCountingState &>(*State()).Letters;
    }
    bool ChangesOnlyState(int) const override { return FQuiet; }

private:
    bool FQuiet;
};

} // namespace

TEST(LL1ParserHooks, AlternativesShareTheirFirstCallOnlyWhenItChangesNothingButTheState)
{
    for (const bool Quiet : {false, true}) {
        TQuietCallsParser P(Quiet);
        for (const QString Rule : {"<s>-<h>y|<h>z", "<h>-<k><k>", "<k>-a|b"})
            P.AddRule(Rule);
        int Pos = 1;
        ASSERT_TRUE(P.ParseString("aby", "<s>", Pos));
        EXPECT_EQ(Pos, 4);
        EXPECT_EQ(static_cast<TCountingState &>(*P.State()).Letters, 2);
        // "<h>z" comes first and fails at "y"; "<h>y" goes on after the <h>
        // that it matched, or parses <h> again when its hooks may do more.
        EXPECT_EQ(P.Entered, Quiet ? 2 : 4) << "quiet: " << Quiet;
    }
}

TEST(LL1ParserDepth, HostileNestingFailsCleanlyAndRealNestingParses)
{
    auto P = makeParser({"<s>-(<s>)|x"});
    const auto nested = [](int Depth) { return QString(Depth, '(') + 'x' + QString(Depth, ')'); };
    EXPECT_EQ(matchEnd(*P, nested(64)), 130);
    int Pos = 1;
    EXPECT_FALSE(P->ParseString(nested(100000), "<s>", Pos));
    EXPECT_EQ(Pos, 1);
    EXPECT_TRUE(P->ErrorStr().contains("nested too deeply")) << P->ErrorStr().toStdString();
    // The parser is usable afterwards, and the limit can be set.
    EXPECT_EQ(matchEnd(*P, nested(3)), 8);
    P->SetMaxDepth(3);
    EXPECT_EQ(matchEnd(*P, nested(2)), 6);
    EXPECT_EQ(matchEnd(*P, nested(3)), 0);
}

TEST(LL1ParserDepth, FastEngineCountsNestingNotListElements)
{
    auto P = makeParser({"<s>-(<s>)|<l>", "<l>-x<l>|x"}, TEngine::Fast);
    int Pos = 1;
    const QString Long = QString(300000, 'x');
    EXPECT_TRUE(P->ParseString(Long, "<s>", Pos));
    EXPECT_EQ(Pos, Long.size() + 1);
    const auto nested = [](int Depth) { return QString(Depth, '(') + 'x' + QString(Depth, ')'); };
    EXPECT_EQ(matchEnd(*P, nested(100000)), 200002);   // no thread stack is used up
    P->SetMaxDepth(1000);
    Pos = 1;
    EXPECT_FALSE(P->ParseString(nested(1000), "<s>", Pos));
    EXPECT_TRUE(P->ErrorStr().contains("nested too deeply")) << P->ErrorStr().toStdString();
    EXPECT_TRUE(P->ParseString(Long, "<s>", Pos));
}

namespace {

// Hears of every "<t>": the fast engine can then not answer a call of it
// from the last one.
class TObservingParser : public TLL1Parser
{
public:
    TObservingParser() { ObserveNonterminal("<t>"); }
};

} // namespace

TEST(LL1ParserDepth, ExponentialBacktrackingStopsAtTheWorkLimit)
{
    // Every level parses its inner text twice: 2^depth calls.
    const auto nested = [](int Depth) { return QString(Depth, '(') + 'x' + QString(Depth, ')'); };
    for (const TEngine Engine : {TEngine::Plain, TEngine::Fast}) {
        TObservingParser P;
        P.SetEngine(Engine);
        for (const QString Rule : {"<e>-<t>!|<t>", "<t>-(<e>)|x"})
            P.AddRule(Rule);
        EXPECT_EQ(matchEnd(P, nested(10), "<e>"), 22);
        const QString Text = nested(60);
        int Pos = 1;
        EXPECT_FALSE(P.ParseString(Text, "<e>", Pos));
        EXPECT_EQ(Pos, 1);
        EXPECT_TRUE(P.ErrorStr().contains("too costly")) << P.ErrorStr().toStdString();
        // The fast engine's budget belongs to a pass over the text: a later
        // parse of the same text further on, even of a short part of it,
        // finds it spent; a parse that starts again no further on begins a
        // new pass, and so does another text.
        if (Engine == TEngine::Fast) {
            Pos = 60;
            EXPECT_FALSE(P.ParseString(Text, "<e>", Pos));
            EXPECT_TRUE(P.ParseString(Text, "<e>", Pos));
            EXPECT_EQ(Pos, 63);
            EXPECT_EQ(matchEnd(P, nested(3), "<e>"), 8);
        }
    }
    // Without an observer the fast engine answers the repeated calls from
    // the last one, and the same text costs a few calls per character.
    auto Q = makeParser({"<e>-<t>!|<t>", "<t>-(<e>)|x"}, TEngine::Fast);
    EXPECT_EQ(matchEnd(*Q, nested(60), "<e>"), 122);
}
