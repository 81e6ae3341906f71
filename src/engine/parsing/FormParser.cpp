#include "FormParser.h"

#include "DefaultConversion.h"
#include "Errors.h"
#include "FormRules.h"

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

// Saving and restoring states copies these texts all the time, and they are
// mostly the same text already: skip the reference counting then.
inline void copyText(QString &Target, const QString &Source)
{
    if (Target.constData() != Source.constData() || Target.size() != Source.size())
        Target = Source;
}

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
    copyText(FTypeName, S->FTypeName);
    copyText(FCurPropName, S->FCurPropName);
    copyText(FObjKeyWord, S->FObjKeyWord);
    copyText(FName, S->FName);
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
    FObjKeyWord.clear();
    FName.clear();
    FTypeName.clear();
    FCurPropName.clear();
    FStartPos = 0;
    FPropCount = 0;
}

// --- TFormParser ----------------------------------------------------------------

TFormParser::TFormParser(TParseStateClass ParseStateClass) : TLL1Parser(ParseStateClass)
{
    auto *OwnState = dynamic_cast<TFormParseState *>(State());
    MIG_ASSERT(OwnState != nullptr, QStringLiteral("The form parser needs a TFormParseState"));
    OwnState->FFormParser = this;
    for (const QString &Rule : FormRules())
        AddRule(Rule);
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
    FKeywordId = NonterminalId(QStringLiteral("<keyword>"));
    FObjNameId = NonterminalId(QStringLiteral("<obj_name>"));
    FObjTypeId = NonterminalId(QStringLiteral("<obj_type>"));
    FFullPropNameId = NonterminalId(QStringLiteral("<full_prop_name>"));
    FPropValueId = NonterminalId(QStringLiteral("<prop_value>"));
    FNestedObjId = NonterminalId(QStringLiteral("<nested_obj>"));
    FOrderIndexId = NonterminalId(QStringLiteral("<order_index>"));
    // Remembered are the nonterminals whose alternatives share prefixes that
    // hold objects, properties or collection items: re-parsing those is what
    // multiplies with nesting. The small ones are cheaper to parse again.
    FIsMemoized.clear();
    for (const char16_t *Memoized : {u"<object>", u"<nested_obj>", u"<properties>", u"<prop>", u"<value>",
                                     u"<col_item>", u"<item_prop>"}) {
        const int Id = NonterminalId(QString::fromUtf16(Memoized));
        if (Id < 0)
            continue;
        if (Id >= int(FIsMemoized.size()))
            FIsMemoized.resize(Id + 1, false);
        FIsMemoized[Id] = true;
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
    FOrderIndex.clear();
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
// Only the nonterminals listed in BeforeParse are remembered.
// Calls at depth 0 are never answered from memory: a descendant's
// ParseNonterminal override sees each of them, and every ConvertProperty call,
// exactly as without the memo. At depth >= 1 it sees each call that is made,
// but a call answered from memory makes none of the calls inside it again.
bool TFormParser::ParseNonterminal(const QString &Name)
{
    TFormParseState &S = FormState();
    if (S.FNestedObject < 1 || !FIsMemoEnabled)
        return parseWatched(Name, NonterminalId(Name));

    const int Id = NonterminalId(Name);
    if (Id < 0 || Id >= int(FIsMemoized.size()) || !FIsMemoized[Id])
        return parseWatched(Name, Id);   // an unknown name raises "Unknown nonterminal"
    const quint64 Key = (quint64(quint32(Id)) << 32) | quint32(S.FCurPos);
    const auto It = FMemo.constFind(Key);
    if (It != FMemo.constEnd() && It->EntryStartPos == S.FStartPos && It->EntryNestedObject == S.FNestedObject &&
        It->EntryCurPropName == S.FCurPropName) {
        S.FCurPos = It->ExitCurPos;
        S.FStartPos = It->ExitStartPos;
        S.FNestedObject = It->ExitNestedObject;
        S.FCurPropName = It->ExitCurPropName;
        return It->Result;
    }
    TMemoEntry Entry{S.FStartPos, S.FNestedObject, S.FCurPropName, false, 0, 0, 0, QString()};
    Entry.Result = parseWatched(Name, Id);
    if (IsDepthExceeded())
        return Entry.Result;
    Entry.ExitCurPos = S.FCurPos;
    Entry.ExitStartPos = S.FStartPos;
    Entry.ExitNestedObject = S.FNestedObject;
    Entry.ExitCurPropName = S.FCurPropName;
    const bool Result = Entry.Result;
    FMemo.insert(Key, std::move(Entry));
    return Result;
}

bool TFormParser::parseWatched(const QString &Name, int Id)
{
    TFormParseState &S = FormState();
    const bool IsWatched = Id >= 0 && (Id == FKeywordId || Id == FObjNameId || Id == FObjTypeId ||
                                       Id == FFullPropNameId || Id == FPropValueId || Id == FOrderIndexId);
    const bool IsNestedObj = Id >= 0 && Id == FNestedObjId;
    const QString &Input = InputStr();

    if (IsWatched)
        S.FStartPos = S.FCurPos;
    if (IsNestedObj && ++S.FNestedObject == 1) {
        // The nested object's text starts with its indentation.
        int Pos = S.FCurPos;
        while (Pos > 1 && Pos - 2 < Input.size() && Input[Pos - 2] == u' ')
            --Pos;
        S.FObjectPos = Pos;
    }

    const bool Result = TLL1Parser::ParseNonterminal(Name);

    if (Result && IsWatched) {
        MIG_ASSERT(S.FStartPos != 0, QStringLiteral("No start position recorded for ") + Name);
        const auto recognised = [&] { return Input.mid(S.FStartPos - 1, S.FCurPos - S.FStartPos); };
        if (Id == FFullPropNameId) {
            S.FCurPropName = recognised();
        } else if (Id == FPropValueId) {
            if (!S.FCurPropName.isEmpty()) {
                if (S.FNestedObject == 0)
                    ConvertProperty(S.FCurPropName, recognised());
                S.FCurPropName.clear();
            }
        } else if (S.FNestedObject == 0) {
            if (Id == FKeywordId)
                S.FObjKeyWord = recognised();
            else if (Id == FObjNameId)
                S.FName = recognised();
            else if (Id == FOrderIndexId)
                FOrderIndex = recognised();
            else
                S.FTypeName = recognised();
        }
        S.FStartPos = 0;
    }
    if (IsNestedObj && --S.FNestedObject == 0 && Result) {
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
    return Result;
}

void TFormParser::ConvertProperty(const QString &PropName, const QString &PropValue)
{
    ConvertPropertyByDefault(*this, PropName, PropValue);
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
    if (S.FObjKeyWord.isEmpty() || S.FName.isEmpty())
        return QString();
    const QString PropIndent = indent(Level + 1);
    QString Result = indent(Level) + S.FObjKeyWord + u' ' + S.FName + QStringLiteral(": ") +
                     (FNewClassName.isEmpty() ? S.FTypeName : FNewClassName) +
                     (FOrderIndex.isEmpty() ? QString() : u' ' + FOrderIndex) + LineBreak;
    for (const TFormProperty &Property : FProps) {
        Result += PropIndent + Property.Name + QStringLiteral(" = ") +
                  (Property.Lines.isEmpty() ? QString() : Property.Lines.first()) + LineBreak;
        for (qsizetype I = 1; I < Property.Lines.size(); ++I)
            Result += PropIndent + QStringLiteral("  ") + Property.Lines[I] + LineBreak;
    }
    for (const QString &Nested : FNestedObjects)
        Result += Nested + LineBreak;
    Result += indent(Level) + QStringLiteral("end") + LineBreak;
    return Result;
}
