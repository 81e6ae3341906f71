// Form parser: reads one object of a form file in text form with the grammar
// of FormRules and writes it anew. It records the object's keyword, name and
// class, hands every property that stands directly in the object to
// ConvertProperty, and keeps the text of every nested object unchanged.
//
// Invariant: the output properties (FProps) and nested object texts
// (FNestedObjects) never hold more entries than the parse state counts
// (PropCount, ObjectCount); restoring a saved state truncates them, which is
// how a failed alternative takes back what it produced.
#pragma once

#include "LL1Parser.h"
#include "MemberFate.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class TFormParser;

// One output property: its name and its value text split into lines.
struct TFormProperty
{
    QString Name;
    QStringList Lines;
};

// Why a conversion rule dropped a property of the object being parsed.
enum class TDropReason {
    NotPublished,    // the new class does not publish it
    NoCounterpart,   // its value has none in the new class
    NotCarried,      // the rules do not carry it over (index definitions)
    UnknownDatabase, // a DatabaseName that no TDatabase of the run defines
    ElementsRemoved, // kept, but without the set elements noted as its value
};

struct TDroppedProperty
{
    int Pos = 0; // one-based start of the value in the parsed text
    QString Name;
    QString Value;
    TDropReason Reason = TDropReason::NotPublished;
};

// Answers the conversion rules' question for the value that replaces an old
// property value (the replacer looks up database connections with it).
using TGetPropertyValue = std::function<QString(const QString &PropName, const QString &OldPropValue)>;

// A text of a parse state: a range of the parser's input (one-based start and
// length), so that saving and restoring a state copies no string; or a text
// given through a setter.
struct TStateText
{
    int Start = 0;
    int Length = 0;
    bool IsGiven = false;
    QString Given;

    bool IsEmpty() const { return IsGiven ? Given.isEmpty() : Length == 0; }
    void SetRange(int AStart, int ALength)
    {
        Start = AStart;
        Length = ALength;
        if (IsGiven) {
            IsGiven = false;
            Given.clear();
        }
    }
    void SetGiven(const QString &Value)
    {
        Start = 0;
        Length = 0;
        IsGiven = true;
        Given = Value;
    }
    void Assign(const TStateText &Source)
    {
        Start = Source.Start;
        Length = Source.Length;
        if (IsGiven || Source.IsGiven) {
            IsGiven = Source.IsGiven;
            Given = Source.Given;
        }
    }
};

class TFormParseState : public TParseState
{
public:
    explicit TFormParseState(TLL1Parser *AParser);

    // Copies CurPos and every field below, then truncates the parser's
    // FProps to PropCount and FNestedObjects to ObjectCount.
    void Assign(const TParseState &Source) override;
    // Empties ObjKeyWord, Name, TypeName, CurPropName and the order index;
    // StartPos and PropCount become 0.
    void Reset();

    // One-based start of the watched nonterminal being recognised; 0 if none.
    int StartPos() const { return FStartPos; }
    void SetStartPos(int Value) { FStartPos = Value; }
    // The texts below are ranges of the input of the parser's current (or
    // last) parse, built into strings when asked for.
    // "object", "inherited" or "inline" as the object spells it.
    QString ObjKeyWord() const { return text(FObjKeyWord); }
    void SetObjKeyWord(const QString &Value)
    {
        FObjKeyWord.SetGiven(Value);
        FMayHaveGiven = true;
    }
    QString Name() const { return text(FName); }
    void SetName(const QString &Value)
    {
        FName.SetGiven(Value);
        FMayHaveGiven = true;
    }
    // The object's class as written.
    QString TypeName() const { return text(FTypeName); }
    void SetTypeName(const QString &Value)
    {
        FTypeName.SetGiven(Value);
        FMayHaveGiven = true;
    }
    // Full name of the property whose value is being read; empty otherwise.
    QString CurPropName() const { return text(FCurPropName); }
    void SetCurPropName(const QString &Value)
    {
        FCurPropName.SetGiven(Value);
        FMayHaveGiven = true;
    }
    int PropCount() const { return FPropCount; }
    int ObjectCount() const { return FObjectCount; }
    // 0 while the parse is in the object itself, 1 or more in a nested one.
    int NestedObject() const { return FNestedObject; }
    void SetNestedObject(int Value) { FNestedObject = Value; }
    // One-based start of the nested object being read at depth 1; 0 otherwise.
    int ObjectPos() const { return FObjectPos; }
    void SetObjectPos(int Value) { FObjectPos = Value; }

protected:
    QString text(const TStateText &Text) const;

    int FPropCount = 0;
    int FStartPos = 0;
    TStateText FTypeName;
    TStateText FCurPropName;
    TStateText FObjKeyWord;
    TStateText FName;
    TStateText FOrderIndex;
    int FNestedObject = 0;
    int FObjectCount = 0;
    int FObjectPos = 0;
    // Whether a text may have been given as a string (a setter was called on
    // this state or on one it was assigned from): until then Assign copies
    // the texts' ranges alone. A descendant that calls SetGiven on a text
    // itself sets this too.
    bool FMayHaveGiven = false;

private:
    // The parser whose lists Assign truncates; null for a state of another parser.
    TFormParser *FFormParser = nullptr;

    friend class TFormParser;
    friend class TFormParserUtils;
};

// Reaches fields of a TFormParseState from code outside this unit.
class TFormParserUtils
{
public:
    static QString GetTypeName(const TFormParseState &Obj) { return Obj.TypeName(); }
    static QString GetName(const TFormParseState &Obj) { return Obj.Name(); }
    static void SetName(TFormParseState &Obj, const QString &Value) { Obj.SetName(Value); }
    // For rules that append to FProps directly: the count must follow.
    static void SetPropCount(TFormParseState &Obj, int Value) { Obj.FPropCount = Value; }
};

class TFormParser : public TLL1Parser
{
public:
    // ParseStateClass must create TFormParseState or a descendant of it. The
    // parser runs the fast engine; SetEngine(TEngine::Plain) gives the plain
    // one, with the same results and the same ConvertProperty calls.
    explicit TFormParser(TParseStateClass ParseStateClass = &MakeParseState<TFormParseState>);
    ~TFormParser() override;

    // The class written into the header line; empty keeps the class as written.
    const QString &NewClassName() const { return FNewClassName; }
    void SetNewClassName(const QString &Value) { FNewClassName = Value; }
    const TGetPropertyValue &OnGetPropertyValue() const { return FGetPropertyValue; }
    void SetOnGetPropertyValue(TGetPropertyValue Value) { FGetPropertyValue = std::move(Value); }
    // Copied from the replace options at the start of every run; no
    // conversion reads them yet.
    const QString &ConnectionDefFileName() const { return FConnectionDefFileName; }
    void SetConnectionDefFileName(const QString &Value) { FConnectionDefFileName = Value; }
    const QString &DriverConfFileName() const { return FDriverConfFileName; }
    void SetDriverConfFileName(const QString &Value) { FDriverConfFileName = Value; }

    TFormParseState &FormState() const { return static_cast<TFormParseState &>(*State()); }
    const QList<TFormProperty> &Props() const { return FProps; }
    // The order index of the object's header as written ("[5]"), or empty.
    QString OrderIndex() const { return FormState().text(FormState().FOrderIndex); }
    const QStringList &NestedObjects() const { return FNestedObjects; }

    // Called once each time a property value of the object itself is
    // recognised, with the full property name and the value text exactly as
    // written (trailing delimiters excluded). Backtracking may call it again
    // for the same property; what an abandoned attempt appended is taken back.
    // Its only output is what it appends with AddProperty. This one applies
    // the default rules (DefaultConversion.h); product rules override it.
    virtual void ConvertProperty(const QString &PropName, const QString &PropValue);
    // Appends Name with Value split into lines (at CR, LF or CR LF; a final
    // line break adds no empty line) and counts it in PropCount.
    void AddProperty(const QString &Name, const QString &Value);
    // Notes that the property whose value is being converted is dropped.
    // Backtracking may convert a property again: a second note for the same
    // value replaces the first. The notes of a parse are kept until the next
    // parse starts, and emptied when it fails.
    void NoteDropped(const QString &Name, const QString &Value, TDropReason Reason);
    const QList<TDroppedProperty> &DroppedProperties() const { return FDropped; }
    // What the conversion rules make of the property Member ("IndexName",
    // "SelectSQL", "AutoUpdateOptions.KeyFields") of an object converted
    // from OldClass to NewClass, for the code that uses it. Class and member
    // names are compared without regard to letter case, as code names them.
    // This one answers from the default rules; product rules override it
    // together with ConvertProperty. Safe on any thread.
    virtual TMemberFate MemberFate(const QString &OldClass, const QString &NewClass, const QString &Member) const;
    // Resets the state and empties FProps and FNestedObjects.
    void ClearObject();
    // The object written anew, indented by Level steps of two spaces: header
    // with the new class, the output properties, the nested objects as they
    // were, "end"; every line ends with CR LF. Empty when no object was parsed.
    virtual QString MakeObject(int Level);

protected:
    void GetTerminalSet(const QString &Name, TTerminalSet &Set, bool &IsSingle) override;
    bool ParseNonterminal(const QString &Name) override;
    bool EnterNonterminal(int Id, bool &Result) override;
    void LeaveNonterminal(int Id, bool Result) override;
    // The watched nonterminals that read only text (the keyword, the names,
    // the class, the order index) change nothing but ranges of the state.
    // A descendant that gives their calls another effect answers false.
    bool ChangesOnlyState(int Id) const override { return isLeaf(Id); }
    void BeforeParse() override;
    void AfterParse(bool &Result) override;

    // The memo of calls inside nested objects is on by default; off, every
    // call is evaluated (for comparison in tests).
    void SetMemoEnabled(bool Value) { FIsMemoEnabled = Value; }

    QList<TFormProperty> FProps;
    QStringList FNestedObjects;

private:
    // What a call at nesting depth >= 1 did, for the memo (see ParseNonterminal).
    struct TMemoEntry
    {
        int EntryStartPos;
        int EntryNestedObject;
        int EntryPropStart;
        int EntryPropLength;
        bool Result;
        int ExitCurPos;
        int ExitStartPos;
        int ExitNestedObject;
        int ExitPropStart;
        int ExitPropLength;
    };
    // A call between EnterNonterminal and LeaveNonterminal.
    struct TPendingCall
    {
        bool IsMemoized;
        quint64 Key;
        TMemoEntry Entry;
    };
    // What the parser does around a nonterminal.
    enum TRole : std::uint8_t {
        rlNone,
        rlKeyword,
        rlObjName,
        rlObjType,
        rlFullPropName,
        rlPropValue,
        rlNestedObj,
        rlOrderIndex,
    };

    // The last call of a watched nonterminal that reads only a name or a
    // keyword (see EnterNonterminal).
    struct TLeafCall
    {
        qint64 Parse = -1;
        int Pos = 0;
        int End = 0;
        bool Result = false;
    };

    void resolveNames();
    void recordText(TRole Role, int Start, int Length);
    TRole role(int Id) const { return Id >= 0 && Id < int(FRoles.size()) ? FRoles[size_t(Id)] : rlNone; }
    bool isLeaf(int Id) const { return Id >= 0 && Id < int(FIsLeaf.size()) && FIsLeaf[size_t(Id)]; }
    bool isMemoized(int Id) const { return Id >= 0 && Id < int(FIsMemoized.size()) && FIsMemoized[size_t(Id)]; }

    QString FNewClassName;
    QList<TDroppedProperty> FDropped;
    TGetPropertyValue FGetPropertyValue;
    QString FConnectionDefFileName;
    QString FDriverConfFileName;

    // Per nonterminal id of the prepared grammar: its role and whether its
    // calls are remembered; looked up once.
    std::vector<TRole> FRoles;
    std::vector<std::uint8_t> FIsMemoized; // bytes, not bits: read on every watched call
    std::vector<std::uint8_t> FIsLeaf;
    std::vector<TLeafCall> FLeafCalls;
    bool FIsNamesResolved = false;
    // (nonterminal id, position) -> outcome; valid for one parse.
    QHash<quint64, TMemoEntry> FMemo;
    std::vector<TPendingCall> FPending;
    bool FIsMemoEnabled = true;

    friend class TFormParseState;
};

// The "class" of the form parser a replacer creates.
using TFormParserClass = std::unique_ptr<TFormParser> (*)(TParseStateClass ParseStateClass);

// MakeFormParser<TMyParser> is the TFormParserClass of TMyParser.
template <class TParser>
std::unique_ptr<TFormParser> MakeFormParser(TParseStateClass ParseStateClass)
{
    return std::make_unique<TParser>(ParseStateClass);
}
