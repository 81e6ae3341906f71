// Text form -> binary component stream (ObjectTextToBinary).
#include "ComponentStream.h"
#include "ComponentStreamFormat.h"
#include "Errors.h"

#include <QVarLengthArray>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

int decimalValue(QChar C)
{
    const char16_t U = C.unicode();
    return U >= u'0' && U <= u'9' ? U - u'0' : -1;
}

int hexValue(QChar C)
{
    const char16_t U = C.unicode();
    if (U >= u'0' && U <= u'9')
        return U - u'0';
    if (U >= u'A' && U <= u'F')
        return U - u'A' + 10;
    if (U >= u'a' && U <= u'f')
        return U - u'a' + 10;
    return -1;
}

} // namespace

class TTextStreamReader
{
public:
    TTextStreamReader(QStringView Text, const TStreamOriginals *Originals)
        : FText(Text), FOriginals(Originals && !Originals->IsEmpty() ? Originals : nullptr)
    {
    }

    QByteArray Run();

private:
    // Where an object of the text stands in the originals, and the property
    // record at which the search for the next property starts.
    struct TObjectMatch
    {
        qsizetype Record = -1;
        qsizetype NextProperty = 0;
    };

    QStringView FText;
    qsizetype FPos = 0;
    const TStreamOriginals *FOriginals;
    QByteArray FOut;
    QString FString; // the current string value
    TObjectPaths FPaths;
    int FDepth = 0;

    [[noreturn]] void fail(qsizetype Pos, const QString &What) const;
    [[noreturn]] void failExpected(const char *Expected) const;
    void enterNesting();
    bool atEnd() const { return FPos >= FText.size(); }
    QChar current() const { return FPos < FText.size() ? FText[FPos] : QChar(); }
    QChar next() const { return FPos + 1 < FText.size() ? FText[FPos + 1] : QChar(); }
    void skipBlanks();
    bool atWord(QLatin1StringView Word) const;
    bool atObjectKeyword() const;
    void expect(char16_t C, const char *Expected);
    QStringView readName(bool AllowDots, const char *Expected);

    void readObject();
    void readProperty(TObjectMatch *Match);
    void readValue();
    void readString();
    void readNumber();
    void readRawFloat(qsizetype Start);
    void readSet();
    void readList();
    void readCollection();
    void readBinary();
    qint64 readIntegerLiteral(const char *Expected);

    void writeByte(uint8_t Byte) { FOut.append(char(Byte)); }
    void writeLittleEndian(uint64_t Value, int Size);
    void writeInteger(qint64 Value);
    void writeShortString(QStringView Text, qsizetype Pos, const char *What);
    void writeStringValue();
    void useOriginalBytes(qsizetype OutStart, TStreamOriginals::TRange Bytes);
    QStringView originalText(TStreamOriginals::TRange Range) const
    {
        return QStringView(FOriginals->FText).mid(Range.Start, Range.Length);
    }
};

void TTextStreamReader::fail(qsizetype Pos, const QString &What) const
{
    Pos = qMin(Pos, FText.size());
    qsizetype Line = 1;
    qsizetype LineStart = 0;
    for (qsizetype I = 0; I < Pos; ++I)
        if (FText[I] == u'\n') {
            ++Line;
            LineStart = I + 1;
        }
    throw EStreamError(
        QStringLiteral("Component text: %1 at line %2, column %3").arg(What).arg(Line).arg(Pos - LineStart + 1));
}

void TTextStreamReader::failExpected(const char *Expected) const
{
    fail(FPos, QStringLiteral("expected %1").arg(QLatin1StringView(Expected)));
}

void TTextStreamReader::enterNesting()
{
    if (++FDepth > MaxStreamNesting)
        fail(FPos, QStringLiteral("objects, lists or collections nested deeper than %1 levels").arg(MaxStreamNesting));
}

void TTextStreamReader::skipBlanks()
{
    while (FPos < FText.size()) {
        const char16_t C = FText[FPos].unicode();
        if (C != u' ' && C != u'\t' && C != u'\r' && C != u'\n')
            return;
        ++FPos;
    }
}

bool TTextStreamReader::atWord(QLatin1StringView Word) const
{
    if (FText.size() - FPos < Word.size() || Word.isEmpty())
        return false;
    // Most calls meet another first letter: an ASCII character that is not
    // the word's first letter in either case ends the test at once (only a
    // character above ASCII can fold to a letter it is not, as the Kelvin
    // sign does to "k").
    const char16_t First = FText[FPos].unicode();
    if (First < 0x80 && char16_t(First | 0x20) != char16_t(Word.front().toLatin1() | 0x20))
        return false;
    if (FText.mid(FPos, Word.size()).compare(Word, Qt::CaseInsensitive) != 0)
        return false;
    const qsizetype After = FPos + Word.size();
    return After == FText.size() || !IsNamePart(FText[After]);
}

bool TTextStreamReader::atObjectKeyword() const
{
    return atWord(QLatin1StringView("object")) || atWord(QLatin1StringView("inherited"))
           || atWord(QLatin1StringView("inline"));
}

void TTextStreamReader::expect(char16_t C, const char *Expected)
{
    if (current() != C)
        failExpected(Expected);
    ++FPos;
}

QStringView TTextStreamReader::readName(bool AllowDots, const char *Expected)
{
    const qsizetype Start = FPos;
    if (atEnd() || !IsNameStart(current()))
        failExpected(Expected);
    for (;;) {
        ++FPos;
        while (!atEnd() && IsNamePart(current()))
            ++FPos;
        if (!(AllowDots && current() == u'.' && IsNameStart(next())))
            break;
        ++FPos;
    }
    return FText.mid(Start, FPos - Start);
}

QByteArray TTextStreamReader::Run()
{
    FOut.reserve(FText.size() / 2 + 64);
    FOut.append("TPF0", 4);
    if (!atEnd() && current() == QChar(0xFEFF))
        ++FPos;
    skipBlanks();
    readObject();
    return FOut;
}

void TTextStreamReader::readObject()
{
    enterNesting();
    const qsizetype HeaderStart = FPos;
    uint8_t Flags = 0;
    qsizetype KeywordLength = 6;
    if (atWord(QLatin1StringView("inherited"))) {
        Flags = ffInherited;
        KeywordLength = 9;
    } else if (atWord(QLatin1StringView("inline"))) {
        Flags = ffInline;
    } else if (!atWord(QLatin1StringView("object"))) {
        failExpected("\"object\", \"inherited\" or \"inline\"");
    }
    FPos += KeywordLength;
    skipBlanks();
    const qsizetype FirstPos = FPos;
    QStringView Name = readName(true, "an object name or class name");
    QStringView ClassName = Name;
    skipBlanks();
    if (current() == u':') {
        if (Name.contains(u'.'))
            fail(FirstPos, QStringLiteral("invalid object name \"%1\"").arg(Name));
        ++FPos;
        skipBlanks();
        ClassName = readName(true, "a class name");
        skipBlanks();
    } else {
        Name = {};
    }
    qint64 ChildPos = 0;
    if (current() == u'[') {
        ++FPos;
        skipBlanks();
        ChildPos = readIntegerLiteral("the child position (an integer)");
        skipBlanks();
        expect(u']', "\"]\"");
        Flags |= ffChildPos;
    }
    const qsizetype HeaderEnd = FPos;

    const qsizetype OutStart = FOut.size();
    if (Flags) {
        writeByte(0xF0 | Flags);
        if (Flags & ffChildPos)
            writeInteger(ChildPos);
    }
    writeShortString(ClassName, FirstPos, "class name");
    writeShortString(Name, FirstPos, "object name");

    TObjectMatch Match;
    if (FOriginals) {
        Match.Record = FOriginals->FObjectByPath.value(FPaths.Enter(Name), -1);
        if (Match.Record >= 0) {
            const TStreamOriginals::TObjectRecord &Record = FOriginals->FObjects[Match.Record];
            Match.NextProperty = Record.FirstProperty;
            if (IsSameTokenText(FText.mid(HeaderStart, HeaderEnd - HeaderStart), originalText(Record.HeaderText)))
                useOriginalBytes(OutStart, Record.HeaderBytes);
        }
    }

    for (;;) {
        skipBlanks();
        if (atEnd())
            failExpected("a property, a child object or \"end\"");
        if (atObjectKeyword() || atWord(QLatin1StringView("end")))
            break;
        readProperty(Match.Record >= 0 ? &Match : nullptr);
    }
    writeByte(0);
    for (;;) {
        skipBlanks();
        if (atWord(QLatin1StringView("end"))) {
            FPos += 3;
            break;
        }
        if (!atObjectKeyword())
            failExpected("a child object or \"end\"");
        readObject();
    }
    writeByte(0);
    if (FOriginals)
        FPaths.Leave();
    --FDepth;
}

void TTextStreamReader::readProperty(TObjectMatch *Match)
{
    const qsizetype OutStart = FOut.size();
    const qsizetype NamePos = FPos;
    const QStringView Name = readName(true, "a property name");
    skipBlanks();
    expect(u'=', "\"=\"");
    skipBlanks();
    writeShortString(Name, NamePos, "property name");
    const qsizetype ValueStart = FPos;
    readValue();
    if (!Match)
        return;

    // The property's original record: the next one in order, or an earlier
    // or later one of the same name.
    const TStreamOriginals::TObjectRecord &Object = FOriginals->FObjects[Match->Record];
    const qsizetype First = Object.FirstProperty;
    const qsizetype End = First + Object.PropertyCount;
    qsizetype Found = -1;
    for (qsizetype I = Match->NextProperty; I < End && Found < 0; ++I)
        if (originalText(FOriginals->FProperties[I].NameText) == Name)
            Found = I;
    for (qsizetype I = First; I < Match->NextProperty && Found < 0; ++I)
        if (originalText(FOriginals->FProperties[I].NameText) == Name)
            Found = I;
    if (Found < 0)
        return;
    Match->NextProperty = Found + 1;
    const TStreamOriginals::TPropertyRecord &Property = FOriginals->FProperties[Found];
    if (IsSameTokenText(FText.mid(ValueStart, FPos - ValueStart), originalText(Property.ValueText)))
        useOriginalBytes(OutStart, Property.Bytes);
}

void TTextStreamReader::useOriginalBytes(qsizetype OutStart, TStreamOriginals::TRange Bytes)
{
    FOut.truncate(OutStart);
    FOut.append(FOriginals->FStream.constData() + Bytes.Start, Bytes.Length);
}

void TTextStreamReader::readValue()
{
    if (atEnd())
        failExpected("a property value");
    const QChar C = current();
    switch (C.unicode()) {
    case u'(':
        readList();
        return;
    case u'[':
        readSet();
        return;
    case u'<':
        readCollection();
        return;
    case u'{':
        readBinary();
        return;
    case u'\'':
    case u'#':
        readString();
        return;
    case u'-':
    case u'+':
    case u'$':
        readNumber();
        return;
    default:
        break;
    }
    if (C >= u'0' && C <= u'9') {
        readNumber();
        return;
    }
    if (!IsNameStart(C))
        failExpected("a property value");
    const qsizetype Pos = FPos;
    const QStringView Ident = readName(true, "a property value");
    static const struct {
        QLatin1StringView Word;
        TValueType Type;
    } Words[] = {{QLatin1StringView("True"), vaTrue},
                 {QLatin1StringView("False"), vaFalse},
                 {QLatin1StringView("nil"), vaNil},
                 {QLatin1StringView("Null"), vaNull}};
    for (const auto &Word : Words)
        if (Ident.compare(Word.Word, Qt::CaseInsensitive) == 0) {
            writeByte(Word.Type);
            return;
        }
    writeByte(vaIdent);
    writeShortString(Ident, Pos, "identifier");
}

void TTextStreamReader::readString()
{
    FString.clear();
    for (;;) {
        // One run of quoted parts and #codes without blanks between them.
        for (;;) {
            if (current() == u'\'') {
                ++FPos;
                for (;;) {
                    if (atEnd() || current() == u'\r' || current() == u'\n')
                        failExpected("the closing quote of the string");
                    if (current() == u'\'') {
                        if (next() != u'\'')
                            break;
                        ++FPos; // a doubled quote stands for one
                    }
                    FString.append(current());
                    ++FPos;
                }
                ++FPos;
            } else if (current() == u'#') {
                ++FPos;
                const bool IsHex = current() == u'$';
                if (IsHex)
                    ++FPos;
                const qsizetype DigitsStart = FPos;
                uint32_t Code = 0;
                for (; !atEnd(); ++FPos) {
                    const int Digit = IsHex ? hexValue(current()) : decimalValue(current());
                    if (Digit < 0)
                        break;
                    Code = Code * (IsHex ? 16 : 10) + uint32_t(Digit);
                    if (Code > 0x10FFFF)
                        fail(DigitsStart, QStringLiteral("character code beyond U+10FFFF"));
                }
                if (FPos == DigitsStart)
                    failExpected("the digits of a character code");
                if (Code > 0xFFFF) {
                    FString.append(QChar::highSurrogate(Code));
                    FString.append(QChar::lowSurrogate(Code));
                } else {
                    FString.append(QChar(char16_t(Code)));
                }
            } else {
                break;
            }
        }
        const qsizetype AfterRun = FPos;
        skipBlanks();
        if (current() != u'+') {
            FPos = AfterRun;
            break;
        }
        ++FPos;
        skipBlanks();
        if (current() != u'\'' && current() != u'#')
            failExpected("a string after \"+\"");
    }
    writeStringValue();
}

void TTextStreamReader::writeStringValue()
{
    const qsizetype Length = FString.size();
    const QChar *Chars = FString.constData();
    bool Ascii = true;
    for (qsizetype I = 0; I < Length && Ascii; ++I)
        Ascii = Chars[I].unicode() < 0x80;
    if (Ascii) {
        if (Length <= 255) {
            writeByte(vaString);
            writeByte(uint8_t(Length));
        } else {
            writeByte(vaLString);
            writeLittleEndian(uint64_t(Length), 4);
        }
        const qsizetype At = FOut.size();
        FOut.resize(At + Length);
        char *Out = FOut.data() + At;
        for (qsizetype I = 0; I < Length; ++I)
            Out[I] = char(Chars[I].unicode());
        return;
    }
    // UTF-8 cannot carry a lone surrogate: such a string stays UTF-16.
    bool LoneSurrogate = false;
    for (qsizetype I = 0; I < Length && !LoneSurrogate; ++I) {
        if (Chars[I].isHighSurrogate() && I + 1 < Length && Chars[I + 1].isLowSurrogate())
            ++I;
        else
            LoneSurrogate = Chars[I].isSurrogate();
    }
    if (LoneSurrogate) {
        writeByte(vaWString);
        writeLittleEndian(uint64_t(Length), 4);
        for (qsizetype I = 0; I < Length; ++I)
            writeLittleEndian(Chars[I].unicode(), 2);
        return;
    }
    const QByteArray Utf8 = FString.toUtf8();
    writeByte(vaUTF8String);
    writeLittleEndian(uint64_t(Utf8.size()), 4);
    FOut.append(Utf8);
}

qint64 TTextStreamReader::readIntegerLiteral(const char *Expected)
{
    const qsizetype Start = FPos;
    const bool Negative = current() == u'-';
    if (Negative || current() == u'+')
        ++FPos;
    if (!(current() >= u'0' && current() <= u'9'))
        failExpected(Expected);
    uint64_t Magnitude = 0;
    const uint64_t Limit = Negative ? uint64_t(std::numeric_limits<qint64>::max()) + 1
                                    : uint64_t(std::numeric_limits<qint64>::max());
    for (; current() >= u'0' && current() <= u'9'; ++FPos) {
        const uint64_t Digit = current().unicode() - u'0';
        if (Magnitude > (Limit - Digit) / 10)
            fail(Start, QStringLiteral("integer out of range"));
        Magnitude = Magnitude * 10 + Digit;
    }
    return Negative ? qint64(0 - Magnitude) : qint64(Magnitude);
}

void TTextStreamReader::readNumber()
{
    const qsizetype Start = FPos;
    if (current() == u'$') {
        readRawFloat(Start);
        return;
    }
    if (current() == u'-' || current() == u'+')
        ++FPos;
    if (decimalValue(current()) < 0)
        failExpected("digits");
    while (current() >= u'0' && current() <= u'9')
        ++FPos;
    bool IsFloat = false;
    if (current() == u'.' && next() >= u'0' && next() <= u'9') {
        IsFloat = true;
        ++FPos;
        while (current() >= u'0' && current() <= u'9')
            ++FPos;
    }
    if ((current() == u'e' || current() == u'E')
        && ((next() >= u'0' && next() <= u'9')
            || ((next() == u'-' || next() == u'+') && FPos + 2 < FText.size() && FText[FPos + 2] >= u'0'
                && FText[FPos + 2] <= u'9'))) {
        IsFloat = true;
        FPos += 2;
        while (current() >= u'0' && current() <= u'9')
            ++FPos;
    }
    const qsizetype NumberEnd = FPos;
    char16_t Suffix = 0;
    const char16_t Letter = current().toLower().unicode();
    if (Letter == u's' || Letter == u'c' || Letter == u'd') {
        Suffix = Letter;
        ++FPos;
    }
    if (!atEnd() && IsNamePart(current()))
        fail(FPos, QStringLiteral("unexpected character '%1' after a number").arg(current()));

    if (!IsFloat && Suffix != u's' && Suffix != u'd') {
        FPos = Start;
        const qint64 Value = readIntegerLiteral("digits");
        FPos = NumberEnd + (Suffix ? 1 : 0);
        if (Suffix == u'c') {
            writeByte(vaCurrency);
            writeLittleEndian(uint64_t(Value), 8);
        } else {
            writeInteger(Value);
        }
        return;
    }

    QVarLengthArray<char, 64> Ascii;
    for (qsizetype I = Start; I < NumberEnd; ++I)
        Ascii.append(char(FText[I].unicode()));
    Ascii.append('\0');
    long double Value = 0;
    if (!ParseDecimal(Ascii.constData(), Value))
        fail(Start, QStringLiteral("number out of range"));
    switch (Suffix) {
    case u's': {
        const float Narrow = float(Value);
        if (!std::isfinite(Narrow))
            fail(Start, QStringLiteral("number out of the range of a single"));
        writeByte(vaSingle);
        FOut.append(reinterpret_cast<const char *>(&Narrow), 4);
        break;
    }
    case u'd': {
        const double Narrow = double(Value);
        if (!std::isfinite(Narrow))
            fail(Start, QStringLiteral("number out of the range of a date"));
        writeByte(vaDate);
        FOut.append(reinterpret_cast<const char *>(&Narrow), 8);
        break;
    }
    case u'c': {
        // The text holds the scaled integer (15000c is 1.5); a fraction is
        // rounded to the nearest unit.
        const long double Rounded = std::nearbyintl(Value);
        if (!(Rounded >= -9223372036854775808.0L && Rounded < 9223372036854775808.0L))
            fail(Start, QStringLiteral("number out of the range of a currency"));
        writeByte(vaCurrency);
        writeLittleEndian(uint64_t(qint64(Rounded)), 8);
        break;
    }
    default:
        writeByte(vaExtended);
        FOut.append(reinterpret_cast<const char *>(&Value), 10);
        break;
    }
}

void TTextStreamReader::readRawFloat(qsizetype Start)
{
    // "$" hex digits: an integer, or with x, w, s or t the raw bits of a float.
    ++FPos;
    const qsizetype DigitsStart = FPos;
    while (hexValue(current()) >= 0)
        ++FPos;
    const qsizetype Digits = FPos - DigitsStart;
    if (Digits == 0)
        failExpected("hexadecimal digits");
    const auto digitAt = [this](qsizetype I) { return hexValue(FText[I]); };
    const char16_t Letter = current().toLower().unicode();
    static const struct {
        char16_t Suffix;
        TValueType Type;
        TFloatKind Kind;
    } RawKinds[] = {{u'x', vaExtended, TFloatKind::Extended},
                    {u'w', vaDouble, TFloatKind::Double},
                    {u's', vaSingle, TFloatKind::Single},
                    {u't', vaDate, TFloatKind::Date}};
    for (const auto &Raw : RawKinds) {
        if (Letter != Raw.Suffix)
            continue;
        const int Size = FloatPayloadSize(Raw.Kind);
        if (Digits != 2 * Size)
            fail(Start, QStringLiteral("raw float value needs %1 hexadecimal digits").arg(2 * Size));
        ++FPos;
        if (!atEnd() && IsNamePart(current()))
            fail(FPos, QStringLiteral("unexpected character '%1' after a number").arg(current()));
        writeByte(Raw.Type);
        for (int I = Size - 1; I >= 0; --I) // most significant byte first in the text
            writeByte(uint8_t(digitAt(DigitsStart + 2 * I) << 4 | digitAt(DigitsStart + 2 * I + 1)));
        return;
    }
    if (!atEnd() && IsNamePart(current()))
        fail(FPos, QStringLiteral("unexpected character '%1' after a number").arg(current()));
    if (Digits > 16)
        fail(Start, QStringLiteral("integer out of range"));
    uint64_t Bits = 0;
    for (qsizetype I = DigitsStart; I < FPos; ++I)
        Bits = Bits << 4 | uint64_t(digitAt(I));
    writeInteger(qint64(Bits));
}

void TTextStreamReader::readSet()
{
    ++FPos;
    writeByte(vaSet);
    skipBlanks();
    if (current() != u']') {
        for (;;) {
            const qsizetype Pos = FPos;
            writeShortString(readName(false, "a set element"), Pos, "set element");
            skipBlanks();
            if (current() != u',')
                break;
            ++FPos;
            skipBlanks();
        }
    }
    expect(u']', "\",\" or \"]\"");
    writeByte(0);
}

void TTextStreamReader::readList()
{
    enterNesting();
    ++FPos;
    writeByte(vaList);
    for (;;) {
        skipBlanks();
        if (current() == u')') {
            ++FPos;
            break;
        }
        if (atEnd())
            failExpected("a list element or \")\"");
        readValue();
    }
    writeByte(0);
    --FDepth;
}

void TTextStreamReader::readCollection()
{
    enterNesting();
    ++FPos;
    writeByte(vaCollection);
    for (;;) {
        skipBlanks();
        if (current() == u'>') {
            ++FPos;
            break;
        }
        if (!atWord(QLatin1StringView("item")))
            failExpected("\"item\" or \">\"");
        FPos += 4;
        skipBlanks();
        if (current() == u'[') {
            ++FPos;
            skipBlanks();
            const qint64 Order = readIntegerLiteral("the item's order value (an integer)");
            if (Order < std::numeric_limits<qint32>::min() || Order > std::numeric_limits<qint32>::max())
                fail(FPos, QStringLiteral("order value out of range"));
            skipBlanks();
            expect(u']', "\"]\"");
            writeInteger(Order);
        }
        writeByte(vaList);
        for (;;) {
            skipBlanks();
            if (atWord(QLatin1StringView("end"))) {
                FPos += 3;
                break;
            }
            if (atEnd())
                failExpected("an item property or \"end\"");
            readProperty(nullptr);
        }
        writeByte(0);
    }
    writeByte(0);
    --FDepth;
}

void TTextStreamReader::readBinary()
{
    ++FPos;
    writeByte(vaBinary);
    const qsizetype LengthAt = FOut.size();
    writeLittleEndian(0, 4);
    for (;;) {
        skipBlanks();
        if (current() == u'}') {
            ++FPos;
            break;
        }
        const int High = atEnd() ? -1 : hexValue(current());
        if (High < 0)
            failExpected("hexadecimal digits or \"}\"");
        ++FPos;
        const int Low = atEnd() ? -1 : hexValue(current());
        if (Low < 0)
            failExpected("the second hexadecimal digit of a byte");
        ++FPos;
        writeByte(uint8_t(High << 4 | Low));
    }
    const uint64_t Length = uint64_t(FOut.size() - LengthAt - 4);
    if (Length > 0xFFFFFFFFu)
        fail(FPos, QStringLiteral("binary data larger than 4 GB"));
    for (int I = 0; I < 4; ++I)
        FOut[LengthAt + I] = char(Length >> (8 * I));
}

void TTextStreamReader::writeLittleEndian(uint64_t Value, int Size)
{
    for (int I = 0; I < Size; ++I)
        FOut.append(char(Value >> (8 * I)));
}

void TTextStreamReader::writeInteger(qint64 Value)
{
    if (Value >= -128 && Value <= 127) {
        writeByte(vaInt8);
        writeLittleEndian(uint64_t(Value), 1);
    } else if (Value >= -32768 && Value <= 32767) {
        writeByte(vaInt16);
        writeLittleEndian(uint64_t(Value), 2);
    } else if (Value >= std::numeric_limits<qint32>::min() && Value <= std::numeric_limits<qint32>::max()) {
        writeByte(vaInt32);
        writeLittleEndian(uint64_t(Value), 4);
    } else {
        writeByte(vaInt64);
        writeLittleEndian(uint64_t(Value), 8);
    }
}

void TTextStreamReader::writeShortString(QStringView Text, qsizetype Pos, const char *What)
{
    bool Ascii = true;
    for (const QChar C : Text)
        Ascii = Ascii && C.unicode() < 0x80;
    if (Ascii) {
        if (Text.size() > 255)
            fail(Pos, QStringLiteral("%1 longer than 255 bytes").arg(QLatin1StringView(What)));
        writeByte(uint8_t(Text.size()));
        const qsizetype At = FOut.size();
        FOut.resize(At + Text.size());
        std::transform(Text.begin(), Text.end(), FOut.data() + At, [](QChar C) { return char(C.unicode()); });
        return;
    }
    const QByteArray Utf8 = Text.toUtf8();
    if (Utf8.size() > 255)
        fail(Pos, QStringLiteral("%1 longer than 255 bytes").arg(QLatin1StringView(What)));
    writeByte(uint8_t(Utf8.size()));
    FOut.append(Utf8);
}

QByteArray ObjectTextToBinary(QStringView Text, const TStreamOriginals *Originals)
{
    TTextStreamReader Reader(Text, Originals);
    return Reader.Run();
}
