#include "FormParser.h"

#include "DefaultConversion.h"
#include "Errors.h"
#include "FormRules.h"

#include <algorithm>

namespace {

inline bool isDelim(QChar Ch)
{
    return Ch == u' ' || Ch == u'\t' || Ch == u'\r' || Ch == u'\n';
}

QString indent(int Level)
{
    return QString(2 * Level, u' ');
}

const QString LineBreak = QStringLiteral("\r\n");

// The nonterminals the parser watches, and those whose calls inside nested
// objects it remembers (see ParseNonterminal).
const char16_t *const WatchedNames[] = {u"<keyword>",    u"<obj_name>",   u"<obj_type>",   u"<full_prop_name>",
                                        u"<prop_value>", u"<nested_obj>", u"<order_index>"};
// Remembered are the nonterminals whose alternatives share prefixes that
// hold objects, properties or collection items: re-parsing those is what
// multiplies with nesting. The small ones are cheaper to parse again.
const char16_t *const MemoizedNames[] = {u"<object>", u"<nested_obj>", u"<properties>", u"<prop>",
                                         u"<value>",  u"<col_item>",   u"<item_prop>"};
// The fast engine hears only of the watched nonterminals and of these; it
// re-parses a property or a list element at most a fixed number of times by
// itself, and the nesting of objects and collections is what the memo must
// take care of.
const char16_t *const FastMemoizedNames[] = {u"<object>", u"<nested_obj>", u"<value>", u"<col_item>"};

} // namespace

// --- TFormParseState ------------------------------------------------------------

TFormParseState::TFormParseState(TLL1Parser *AParser)
    : TParseState(AParser), FFormParser(dynamic_cast<TFormParser *>(AParser))
{
    // The parser's own state is created while TLL1Parser is being constructed,
    // before it is a TFormParser; TFormParser's constructor sets the link then.
}

void TFormParseState::Assign(const TParseState &Source)
{
    TParseState::Assign(Source);
    // The states of one form parser all come from its state class.
    const auto *S = FFormParser && Source.Parser() == FParser ? static_cast<const TFormParseState *>(&Source)
                                                              : dynamic_cast<const TFormParseState *>(&Source);
    if (!S)
        return;
    FPropCount = S->FPropCount;
    FStartPos = S->FStartPos;
    // Every parse assigns states on each call it tries: the texts given as
    // strings, which only the setters make, are looked at when there may be
    // some.
    if (FMayHaveGiven || S->FMayHaveGiven) {
        FTypeName.Assign(S->FTypeName);
        FCurPropName.Assign(S->FCurPropName);
        FObjKeyWord.Assign(S->FObjKeyWord);
        FName.Assign(S->FName);
        FOrderIndex.Assign(S->FOrderIndex);
        FMayHaveGiven = true;
    } else {
        // Neither state has a given text: the ranges are all there is.
        FTypeName.Start = S->FTypeName.Start;
        FTypeName.Length = S->FTypeName.Length;
        FCurPropName.Start = S->FCurPropName.Start;
        FCurPropName.Length = S->FCurPropName.Length;
        FObjKeyWord.Start = S->FObjKeyWord.Start;
        FObjKeyWord.Length = S->FObjKeyWord.Length;
        FName.Start = S->FName.Start;
        FName.Length = S->FName.Length;
        FOrderIndex.Start = S->FOrderIndex.Start;
        FOrderIndex.Length = S->FOrderIndex.Length;
    }
    FNestedObject = S->FNestedObject;
    FObjectCount = S->FObjectCount;
    FObjectPos = S->FObjectPos;
    if (FFormParser) {
        QList<TFormProperty> &Props = FFormParser->FProps;
        if (Props.size() > FPropCount)
            Props.resize(std::max(FPropCount, 0));
        QStringList &Nested = FFormParser->FNestedObjects;
        if (Nested.size() > FObjectCount)
            Nested.resize(std::max(FObjectCount, 0));
    }
}

void TFormParseState::Reset()
{
    FObjKeyWord.SetRange(0, 0);
    FName.SetRange(0, 0);
    FTypeName.SetRange(0, 0);
    FCurPropName.SetRange(0, 0);
    FOrderIndex.SetRange(0, 0);
    FStartPos = 0;
    FPropCount = 0;
}

QString TFormParseState::text(const TStateText &Text) const
{
    if (Text.IsGiven)
        return Text.Given;
    if (Text.Length <= 0)
        return QString();
    return FParser->InputStr().mid(Text.Start - 1, Text.Length);
}

// --- TFormParser ----------------------------------------------------------------

TFormParser::TFormParser(TParseStateClass ParseStateClass) : TLL1Parser(ParseStateClass)
{
    auto *OwnState = dynamic_cast<TFormParseState *>(State());
    MIG_ASSERT(OwnState != nullptr, QStringLiteral("The form parser needs a TFormParseState"));
    OwnState->FFormParser = this;
    for (const QString &Rule : FormRules())
        AddRule(Rule);
    SetEngine(TEngine::Fast);
    for (const char16_t *Name : WatchedNames)
        ObserveNonterminal(QString::fromUtf16(Name));
    for (const char16_t *Name : FastMemoizedNames)
        ObserveNonterminal(QString::fromUtf16(Name));
}

TFormParser::~TFormParser() = default;

void TFormParser::GetTerminalSet(const QString &Name, TTerminalSet &Set, bool &IsSingle)
{
    if (Name != u"<*delim>") {
        TLL1Parser::GetTerminalSet(Name, Set, IsSingle);
        return;
    }
    Set = TTerminalSet();
    for (const char Ch : {'\t', '\n', '\r', ' '})
        Set.Include(Ch);
    IsSingle = false;
}

void TFormParser::BeforeParse()
{
    ClearObject();
    // A parse that an exception ended may have left these behind.
    FormState().FNestedObject = 0;
    FormState().FObjectPos = 0;
    FMemo.clear();
    FPending.clear();
    resolveNames();
    // Watched nonterminals that read only text: nothing below them is
    // watched or remembered (see EnterNonterminal). Asked anew for each
    // parse, since a descendant may observe more nonterminals between parses.
    FIsLeaf.assign(FRoles.size(), 0);
    for (size_t Id = 0; Id < FRoles.size(); ++Id)
        FIsLeaf[Id] = FRoles[Id] != rlNone && FRoles[Id] != rlNestedObj && FRoles[Id] != rlPropValue &&
                      !isMemoized(int(Id)) && CallsOnlyPure(int(Id));
    if (FLeafCalls.size() != FRoles.size())
        FLeafCalls.assign(FRoles.size(), TLeafCall());
}

void TFormParser::resolveNames()
{
    if (FIsNamesResolved)
        return;
    FIsNamesResolved = true;
    const auto idOf = [this](const char16_t *Name) { return NonterminalId(QString::fromUtf16(Name)); };
    static constexpr TRole Roles[] = {rlKeyword,   rlObjName,   rlObjType,   rlFullPropName,
                                      rlPropValue, rlNestedObj, rlOrderIndex};
    static_assert(std::size(Roles) == std::size(WatchedNames));
    for (size_t I = 0; I < std::size(WatchedNames); ++I) {
        const int Id = idOf(WatchedNames[I]);
        if (Id < 0)
            continue;
        if (Id >= int(FRoles.size()))
            FRoles.resize(size_t(Id) + 1, rlNone);
        FRoles[size_t(Id)] = Roles[I];
    }
    for (const char16_t *Name : MemoizedNames) {
        const int Id = idOf(Name);
        if (Id < 0)
            continue;
        if (Id >= int(FIsMemoized.size()))
            FIsMemoized.resize(size_t(Id) + 1, 0);
        FIsMemoized[size_t(Id)] = 1;
    }
}

void TFormParser::AfterParse(bool &Result)
{
    FMemo.clear();
    if (!Result)
        ClearObject();
}

void TFormParser::ClearObject()
{
    TFormParseState &S = FormState();
    S.Reset();
    FProps.clear();
    FNestedObjects.clear();
    FDropped.clear();
    S.FObjectCount = 0;
}

// Memo of calls inside nested objects.
//
// With ordered choice, "<properties>" tries "<nested_obj><properties>" before
// "<nested_obj>", so the last nested object of every object is parsed twice,
// and "<object>" tries "...<properties>end<*delim>" before "...<properties>end";
// nested objects D levels deep would cost 2^D. Inside a nested object
// (NestedObject >= 1 on entry) a call can be answered from memory without any
// difference a caller can observe:
//  - the grammar's answer (success, end position) depends only on the input,
//    the nonterminal and the position;
//  - ConvertProperty is never called there, so FProps and PropCount do not
//    change, and neither do TypeName, Name, ObjKeyWord, ObjectCount,
//    ObjectPos and FNestedObjects, which change only at depth 0 or when a
//    depth-1 "<nested_obj>" ends (and that call starts at depth 0);
//  - what does change is CurPos, StartPos, CurPropName and (balanced)
//    NestedObject. The memo keys on the nonterminal and CurPos, checks that
//    StartPos, NestedObject and CurPropName are those of the remembered call,
//    and replays their remembered values on exit.
// Only the nonterminals of MemoizedNames are remembered.
// Calls at depth 0 are never answered from memory: a descendant's
// ParseNonterminal override sees each of them, and every ConvertProperty call,
// exactly as without the memo. At depth >= 1 it sees each call that is made,
// but a call answered from memory makes none of the calls inside it again.
//
// The plain engine comes here for every nonterminal; the fast engine calls
// EnterNonterminal and LeaveNonterminal itself for the observed ones (the
// watched and the remembered), and comes here for the start rule only.
bool TFormParser::ParseNonterminal(const QString &Name)
{
    const int Id = NonterminalId(Name);
    bool Result = false;
    if (EnterNonterminal(Id, Result))
        return Result;
    Result = TLL1Parser::ParseNonterminal(Name);
    LeaveNonterminal(Id, Result);
    return Result;
}

bool TFormParser::EnterNonterminal(int Id, bool &Result)
{
    TFormParseState &S = FormState();
    // The fast engine tries the alternatives of a header or a property one
    // after another, and each of them reads the keyword, the names and the
    // class again from the same position. Below these nothing is watched, so
    // the outcome depends on the position alone: the last call at the same
    // position of the same parse is answered again, and the call ends as if
    // it had been parsed. The plain engine, the reference, parses each.
    if (isLeaf(Id) && Engine() == TEngine::Fast) {
        const TLeafCall &Last = FLeafCalls[size_t(Id)];
        if (Last.Parse == ParseSerial() && Last.Pos == S.FCurPos) {
            Result = Last.Result;
            if (!Result) {
                // A failed call leaves the start that its entry recorded.
                S.FStartPos = S.FCurPos;
                return true;
            }
            S.FCurPos = Last.End;
            recordText(role(Id), Last.Pos, Last.End - Last.Pos);
            S.FStartPos = 0;
            return true;
        }
    }
    TPendingCall Call{false, 0, {}};
    if (S.FNestedObject >= 1 && FIsMemoEnabled && isMemoized(Id) && !S.FCurPropName.IsGiven) {
        const quint64 Key = (quint64(quint32(Id)) << 32) | quint32(S.FCurPos);
        const auto It = FMemo.constFind(Key);
        if (It != FMemo.constEnd()) {
            if (It->EntryStartPos == S.FStartPos && It->EntryNestedObject == S.FNestedObject &&
                It->EntryPropStart == S.FCurPropName.Start && It->EntryPropLength == S.FCurPropName.Length) {
                S.FCurPos = It->ExitCurPos;
                S.FStartPos = It->ExitStartPos;
                S.FNestedObject = It->ExitNestedObject;
                S.FCurPropName.SetRange(It->ExitPropStart, It->ExitPropLength);
                Result = It->Result;
                return true;
            }
        }
        Call = {true, Key, {S.FStartPos, S.FNestedObject, S.FCurPropName.Start, S.FCurPropName.Length, false, 0, 0, 0, 0, 0}};
    }
    FPending.push_back(Call);

    const TRole Role = role(Id);
    if (Role == rlNone)
        return false;
    if (Role != rlNestedObj) {
        S.FStartPos = S.FCurPos;
    } else if (++S.FNestedObject == 1) {
        // The nested object's text starts with its indentation.
        const QString &Input = InputStr();
        int Pos = S.FCurPos;
        while (Pos > 1 && Pos - 2 < Input.size() && Input[Pos - 2] == u' ')
            --Pos;
        S.FObjectPos = Pos;
    }
    return false;
}

// What the successful call of a watched nonterminal (other than a nested
// object) records: the range it read, at one-based Start.
void TFormParser::recordText(TRole Role, int Start, int Length)
{
    TFormParseState &S = FormState();
    switch (Role) {
    case rlFullPropName:
        S.FCurPropName.SetRange(Start, Length);
        break;
    case rlPropValue:
        if (!S.FCurPropName.IsEmpty()) {
            if (S.FNestedObject == 0)
                ConvertProperty(S.CurPropName(), InputStr().mid(Start - 1, Length));
            S.FCurPropName.SetRange(0, 0);
        }
        break;
    case rlKeyword:
        if (S.FNestedObject == 0)
            S.FObjKeyWord.SetRange(Start, Length);
        break;
    case rlObjName:
        if (S.FNestedObject == 0)
            S.FName.SetRange(Start, Length);
        break;
    case rlOrderIndex:
        if (S.FNestedObject == 0)
            S.FOrderIndex.SetRange(Start, Length);
        break;
    default:
        if (S.FNestedObject == 0)
            S.FTypeName.SetRange(Start, Length);
        break;
    }
}

void TFormParser::LeaveNonterminal(int Id, bool Result)
{
    TFormParseState &S = FormState();
    const TRole Role = role(Id);
    const QString &Input = InputStr();
    if (isLeaf(Id)) {
        TLeafCall &Last = FLeafCalls[size_t(Id)];
        Last = {ParseSerial(), Result ? S.FStartPos : S.FCurPos, S.FCurPos, Result};
    }
    if (Result && Role != rlNone && Role != rlNestedObj) {
        MIG_ASSERT(S.FStartPos != 0, QStringLiteral("No start position recorded for ") + NonterminalName(Id));
        recordText(Role, S.FStartPos, S.FCurPos - S.FStartPos);
        S.FStartPos = 0;
    }
    if (Role == rlNestedObj && --S.FNestedObject == 0 && Result) {
        // The text ends with the nested object's "end", without the
        // delimiters that the grammar took after it.
        int Last = S.FCurPos - 1;
        while (Last >= S.FObjectPos && isDelim(Input[Last - 1]))
            --Last;
        // Every nested object is kept, also one whose text equals an earlier
        // one: rollback already removes the texts of abandoned attempts.
        FNestedObjects.append(Input.mid(S.FObjectPos - 1, Last - S.FObjectPos + 1));
        S.FObjectPos = 0;
        ++S.FObjectCount;
    }

    if (FPending.empty())
        return;
    TPendingCall Call = FPending.back();
    FPending.pop_back();
    if (!Call.IsMemoized || IsDepthExceeded())
        return;
    Call.Entry.Result = Result;
    Call.Entry.ExitCurPos = S.FCurPos;
    Call.Entry.ExitStartPos = S.FStartPos;
    Call.Entry.ExitNestedObject = S.FNestedObject;
    Call.Entry.ExitPropStart = S.FCurPropName.Start;
    Call.Entry.ExitPropLength = S.FCurPropName.Length;
    FMemo.insert(Call.Key, Call.Entry);
}

void TFormParser::ConvertProperty(const QString &PropName, const QString &PropValue)
{
    ConvertPropertyByDefault(*this, PropName, PropValue);
}

TMemberFate TFormParser::MemberFate(const QString &OldClass, const QString &NewClass, const QString &Member) const
{
    return MemberFateByDefault(OldClass, NewClass, Member);
}

void TFormParser::NoteDropped(const QString &Name, const QString &Value, TDropReason Reason)
{
    const int Pos = FormState().StartPos();
    for (TDroppedProperty &Dropped : FDropped)
        if (Dropped.Pos == Pos) {
            Dropped = {Pos, Name, Value, Reason};
            return;
        }
    FDropped.append({Pos, Name, Value, Reason});
}

void TFormParser::AddProperty(const QString &Name, const QString &Value)
{
    TFormProperty Property{Name, {}};
    qsizetype Start = 0;
    for (qsizetype I = 0; I < Value.size(); ++I) {
        const QChar Ch = Value[I];
        if (Ch != u'\r' && Ch != u'\n')
            continue;
        Property.Lines.append(Value.mid(Start, I - Start));
        if (Ch == u'\r' && I + 1 < Value.size() && Value[I + 1] == u'\n')
            ++I;
        Start = I + 1;
    }
    if (Start < Value.size())
        Property.Lines.append(Value.mid(Start));
    FProps.append(std::move(Property));
    ++FormState().FPropCount;
}

QString TFormParser::MakeObject(int Level)
{
    const TFormParseState &S = FormState();
    if (S.FObjKeyWord.IsEmpty() || S.FName.IsEmpty())
        return QString();
    const QString PropIndent = indent(Level + 1);
    QString Result = indent(Level) + S.ObjKeyWord() + u' ' + S.Name() + QStringLiteral(": ") +
                     (FNewClassName.isEmpty() ? S.TypeName() : FNewClassName) +
                     (S.FOrderIndex.IsEmpty() ? QString() : u' ' + OrderIndex()) + LineBreak;
    // The pieces are copied one by one into the string made long enough for
    // all of them, then cut to what was written: an object of many
    // properties or long SQL would otherwise pay for a temporary string, or
    // at least a checked append, for every piece of every line.
    const QString End = indent(Level) + QLatin1String("end");
    qsizetype Size = Result.size() + End.size() + LineBreak.size();
    for (const TFormProperty &Property : FProps) {
        Size += PropIndent.size() + Property.Name.size() + 3 + LineBreak.size();
        for (const QString &Line : Property.Lines)
            Size += PropIndent.size() + 2 + Line.size() + LineBreak.size();
    }
    for (const QString &Nested : FNestedObjects)
        Size += Nested.size() + LineBreak.size();
    const qsizetype HeaderSize = Result.size();
    Result.resize(Size);
    char16_t *const Start = reinterpret_cast<char16_t *>(Result.data());
    char16_t *Out = Start + HeaderSize;
    const auto put = [&Out](QStringView Piece) { Out = std::copy_n(Piece.utf16(), Piece.size(), Out); };
    for (const TFormProperty &Property : FProps) {
        put(PropIndent);
        put(Property.Name);
        put(u" = ");
        if (!Property.Lines.isEmpty())
            put(Property.Lines.first());
        put(LineBreak);
        for (qsizetype I = 1; I < Property.Lines.size(); ++I) {
            put(PropIndent);
            put(u"  ");
            put(Property.Lines[I]);
            put(LineBreak);
        }
    }
    for (const QString &Nested : FNestedObjects) {
        put(Nested);
        put(LineBreak);
    }
    put(End);
    put(LineBreak);
    Result.truncate(Out - Start);
    return Result;
}
