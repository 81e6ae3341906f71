#include "DefaultConversion.h"

#include "ClassRegistry.h"
#include "FormParser.h"

namespace {

// Blanks and control characters, as a trim of the runtime removes them.
bool isBlank(QChar Ch)
{
    return Ch.unicode() <= u' ';
}

QStringView trimmed(QStringView Text)
{
    qsizetype Start = 0, End = Text.size();
    while (Start < End && isBlank(Text[Start]))
        ++Start;
    while (End > Start && isBlank(Text[End - 1]))
        --End;
    return Text.mid(Start, End - Start);
}

void skipBlanks(QStringView Text, qsizetype &Pos)
{
    while (Pos < Text.size() && isBlank(Text[Pos]))
        ++Pos;
}

// Reads "#n" or "#$h" at Pos (which holds the "#"). False when no code of a
// UTF-16 unit follows.
bool readCharCode(QStringView Text, qsizetype &Pos, QString &Value)
{
    qsizetype P = Pos + 1;
    const bool IsHex = P < Text.size() && Text[P] == u'$';
    if (IsHex)
        ++P;
    const qsizetype DigitsStart = P;
    uint Code = 0;
    while (P < Text.size()) {
        const char16_t C = Text[P].unicode();
        int Digit;
        if (C >= u'0' && C <= u'9')
            Digit = C - u'0';
        else if (IsHex && C >= u'a' && C <= u'f')
            Digit = C - u'a' + 10;
        else if (IsHex && C >= u'A' && C <= u'F')
            Digit = C - u'A' + 10;
        else
            break;
        Code = Code * (IsHex ? 16 : 10) + uint(Digit);
        if (Code > 0xFFFF)
            return false;
        ++P;
    }
    if (P == DigitsStart)
        return false;
    Value += QChar(char16_t(Code));
    Pos = P;
    return true;
}

// Reads one string at Pos: quoted parts and character codes written next to
// each other, such groups joined by "+" (with blanks and line breaks around
// it). Pos moves past the string; on false it stays.
bool readString(QStringView Text, qsizetype &Pos, QString &Value)
{
    qsizetype P = Pos;
    QString Result;
    for (;;) {
        bool HasPart = false;
        while (P < Text.size()) {
            if (Text[P] == u'\'') {
                for (++P;; ++P) {
                    if (P >= Text.size() || Text[P] == u'\r' || Text[P] == u'\n')
                        return false; // a quoted part ends on its own line
                    if (Text[P] != u'\'') {
                        Result += Text[P];
                    } else if (P + 1 < Text.size() && Text[P + 1] == u'\'') {
                        Result += u'\'';
                        ++P;
                    } else {
                        ++P;
                        break;
                    }
                }
            } else if (Text[P] == u'#') {
                if (!readCharCode(Text, P, Result))
                    return false;
            } else {
                break;
            }
            HasPart = true;
        }
        if (!HasPart)
            return false;
        qsizetype Next = P;
        skipBlanks(Text, Next);
        if (Next >= Text.size() || Text[Next] != u'+')
            break;
        ++Next;
        skipBlanks(Text, Next);
        P = Next;
    }
    Pos = P;
    Value = Result;
    return true;
}

// A value text without its first and last character; empty when too short.
QStringView withoutEnds(QStringView Text)
{
    return Text.size() >= 2 ? Text.mid(1, Text.size() - 2) : QStringView();
}

bool isOneOf(const QString &Name, std::initializer_list<const char16_t *> Names)
{
    for (const char16_t *Candidate : Names)
        if (Name == QStringView(Candidate))
            return true;
    return false;
}

// The keys of a TDatabase parameter list that carry over, with the
// connection properties that receive them, in the order they are written.
struct TParamTarget
{
    const char16_t *Key;
    const char16_t *Property;
};
constexpr TParamTarget BdeParamTargets[] = {
    {u"USER NAME", u"Username"},
    {u"PASSWORD", u"Password"},
    {u"SERVER NAME", u"Server"},
};

} // namespace

QString unquotedString(QStringView Text)
{
    const QStringView Trimmed = trimmed(Text);
    qsizetype Pos = 0;
    QString Value;
    if (readString(Trimmed, Pos, Value) && Pos == Trimmed.size())
        return Value;
    return withoutEnds(Trimmed).toString();
}

QString quotedString(QStringView Value)
{
    QString Result;
    bool IsQuoted = false;
    for (const QChar Ch : Value) {
        const char16_t C = Ch.unicode();
        if (C >= 0x20 && C < 0x7F) {
            if (!IsQuoted) {
                Result += u'\'';
                IsQuoted = true;
            }
            Result += Ch;
            if (C == u'\'')
                Result += Ch;
        } else {
            if (IsQuoted) {
                Result += u'\'';
                IsQuoted = false;
            }
            Result += u'#' + QString::number(C);
        }
    }
    if (IsQuoted)
        Result += u'\'';
    return Result.isEmpty() ? QStringLiteral("''") : Result;
}

QStringList stringListItems(QStringView ValueText)
{
    const QStringView Trimmed = trimmed(ValueText);
    if (Trimmed.size() >= 2 && Trimmed.front() == u'(' && Trimmed.back() == u')') {
        const QStringView Inner = Trimmed.mid(1, Trimmed.size() - 2);
        QStringList Items;
        qsizetype Pos = 0;
        bool IsList = true;
        for (skipBlanks(Inner, Pos); Pos < Inner.size(); skipBlanks(Inner, Pos)) {
            QString Item;
            if (!readString(Inner, Pos, Item)) {
                IsList = false;
                break;
            }
            Items << Item;
        }
        if (IsList)
            return Items;
    }
    // Not a list that a form writer makes: read it line by line.
    QStringList Items;
    const QStringView Inner = withoutEnds(ValueText);
    qsizetype Start = 0;
    for (qsizetype I = 0; I <= Inner.size(); ++I) {
        if (I < Inner.size() && Inner[I] != u'\r' && Inner[I] != u'\n')
            continue;
        Items << withoutEnds(trimmed(Inner.mid(Start, I - Start))).toString();
        if (I + 1 < Inner.size() && Inner[I] == u'\r' && Inner[I + 1] == u'\n')
            ++I;
        Start = I + 1;
    }
    return Items;
}

QString valueOfKey(const QStringList &Items, QStringView Key)
{
    for (const QString &Item : Items) {
        const qsizetype Equals = Item.indexOf(u'=');
        if (Equals >= 0 && QStringView(Item).left(Equals).compare(Key, Qt::CaseInsensitive) == 0)
            return Item.mid(Equals + 1);
    }
    return QString();
}

QStringList itemsWithoutKeys(const QStringList &Items, const QStringList &Keys)
{
    QStringList Left;
    for (const QString &Item : Items) {
        const QString Name = Item.section(u'=', 0, 0);
        if (!Item.trimmed().isEmpty() && !Keys.contains(Name, Qt::CaseInsensitive))
            Left << Item;
    }
    return Left;
}

void ConvertPropertyByDefault(TFormParser &Parser, const QString &PropName, const QString &PropValue)
{
    const QString &TypeName = Parser.FormState().TypeName();

    // The database name of a dataset names the TDatabase that it works with;
    // the converted dataset refers to that connection component instead. The
    // TDatabase's own name has no counterpart.
    if (PropName == u"DatabaseName") {
        if (TypeName == u"TDatabase")
            return;
        const QString Name = unquotedString(PropValue);
        const TGetPropertyValue &GetValue = Parser.OnGetPropertyValue();
        const QString Connection = GetValue ? GetValue(PropName, Name) : QString();
        if (!Connection.isEmpty())
            Parser.AddProperty(QStringLiteral("Connection"), Connection);
        else
            Parser.NoteDropped(PropName, PropValue, TDropReason::UnknownDatabase);
        return;
    }
    if (PropName == u"Params.Strings" && TypeName == u"TDatabase") {
        const QStringList Items = stringListItems(PropValue);
        QStringList Keys;
        for (const TParamTarget &Target : BdeParamTargets) {
            Keys << QString::fromUtf16(Target.Key);
            const QString Value = valueOfKey(Items, QStringView(Target.Key));
            if (!Value.isEmpty())
                Parser.AddProperty(QString::fromUtf16(Target.Property), quotedString(Value));
        }
        if (const QStringList Left = itemsWithoutKeys(Items, Keys); !Left.isEmpty())
            Parser.NoteDropped(PropName, Left.join(QStringLiteral(", ")), TDropReason::NotCarried);
        return;
    }
    if (PropName == u"DataSource" && TypeName == u"TQuery") {
        if (!PropValue.isEmpty())
            Parser.AddProperty(QStringLiteral("MasterSource"), PropValue);
        return;
    }
    if (PropName == u"ParamData" && isOneOf(TypeName, {u"TQuery", u"TStoredProc", u"TwwQuery", u"TwwStoredProc"})) {
        if (!PropValue.isEmpty())
            Parser.AddProperty(PropName, PropValue);
        return;
    }
    if (PropName == u"IndexDefs") {
        Parser.NoteDropped(PropName, PropValue, TDropReason::NotCarried);
        return;
    }

    // Everything else carries over when the new class publishes it (or its
    // first part: "Font.Name" needs "Font"), when the class is unknown, and
    // for the design-time position. A plain value for a property that is an
    // object of the new class ("Options = [...]" where Options has
    // sub-properties) would keep the form from loading: it is dropped.
    const TPublishedProperties *Published = TClassRegistry::Global().FindClass(Parser.NewClassName());
    if (!Published || Published->CarriesProperty(PropName) || PropName == u"Left" || PropName == u"Top")
        Parser.AddProperty(PropName, PropValue);
    else
        Parser.NoteDropped(PropName, PropValue, TDropReason::NotPublished);
}

TMemberFate MemberFateByDefault(const QString &OldClass, const QString &NewClass, const QString &Member)
{
    using TKind = TMemberFate::TKind;
    const QStringView First = QStringView(Member).left(Member.indexOf(u'.'));
    const auto Is = [](QStringView A, QStringView B) { return A.compare(B, Qt::CaseInsensitive) == 0; };
    const TPublishedProperties *New = TClassRegistry::Global().FindClass(NewClass);
    if (Is(First, u"DatabaseName") && !Is(OldClass, u"TDatabase"))
        return {TKind::Replaced, QStringLiteral("Connection")};
    if (Is(First, u"DataSource") && Is(OldClass, u"TQuery"))
        return {TKind::Renamed, QStringLiteral("MasterSource")};
    const TPublishedProperties *Old = TClassRegistry::Sources().FindClass(OldClass);
    if (New && Old && Old->Contains(First) && !New->Contains(First))
        return {TKind::Missing, QString()};
    return {};
}
