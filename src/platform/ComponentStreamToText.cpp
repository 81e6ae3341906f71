// Binary component stream -> text form (ObjectBinaryToText).
#include "ComponentStream.h"
#include "ComponentStreamFormat.h"
#include "Errors.h"
#include "TextCodec.h"

#include <QStringDecoder>

#include <cmath>
#include <cstring>

class TBinaryStreamReader
{
public:
    TBinaryStreamReader(QByteArrayView Stream, TStreamOriginals *Originals)
        : FData(reinterpret_cast<const unsigned char *>(Stream.data())), FSize(Stream.size()), FOriginals(Originals)
    {
    }

    QString Run();

private:
    const unsigned char *FData;
    qsizetype FSize;
    qsizetype FPos = 0;
    TStreamOriginals *FOriginals;
    QString FOut;
    QString FScratch; // the current string value, decoded
    TObjectPaths FPaths;
    int FDepth = 0;

    [[noreturn]] void fail(qsizetype Offset, const QString &What) const;
    void need(qsizetype Count, const char *Expected) const;
    uint8_t readByte(const char *Expected);
    uint32_t readUInt32(const char *Expected);
    qint64 readInteger(uint8_t Type, const char *Expected);
    void enterNesting();

    void readObject(int Indent);
    // Reads property records up to the 00 that ends them; with Record, notes
    // each in the originals.
    void readProperties(int Indent, bool Record);
    void readValue(uint8_t Type, int Indent);
    void readList(int Indent);
    void readCollection(int Indent);
    void readSet();
    void readBinary(int Indent);
    void readFloat(TFloatKind Kind, char Suffix);

    // Appends a short string at the current position as a name; with
    // MayBeEmpty, an empty name is fine. Raises an error if the text form
    // could not read the name back.
    void appendName(const char *What, bool AllowDots, bool MayBeEmpty);
    void decodeName(const unsigned char *Bytes, qsizetype Length);
    void decode8Bit(const unsigned char *Bytes, qsizetype Length);
    void appendString(QStringView Text, int Indent);
    void appendStringPiece(QStringView Piece);
    void appendIndent(int Count);
    void appendNumber(qint64 Value);
    void newLine() { FOut.append(QLatin1StringView("\r\n")); }
};

void TBinaryStreamReader::fail(qsizetype Offset, const QString &What) const
{
    throw EStreamError(QStringLiteral("Component stream: %1 at offset %2").arg(What).arg(Offset));
}

void TBinaryStreamReader::need(qsizetype Count, const char *Expected) const
{
    if (Count > FSize - FPos)
        throw EStreamError(QStringLiteral("Component stream: unexpected end of data at offset %1 (expected %2)")
                               .arg(FSize)
                               .arg(QLatin1StringView(Expected)));
}

uint8_t TBinaryStreamReader::readByte(const char *Expected)
{
    need(1, Expected);
    return FData[FPos++];
}

uint32_t TBinaryStreamReader::readUInt32(const char *Expected)
{
    need(4, Expected);
    const unsigned char *P = FData + FPos;
    FPos += 4;
    return uint32_t(P[0]) | uint32_t(P[1]) << 8 | uint32_t(P[2]) << 16 | uint32_t(P[3]) << 24;
}

qint64 TBinaryStreamReader::readInteger(uint8_t Type, const char *Expected)
{
    const int Size = Type == vaInt8 ? 1 : Type == vaInt16 ? 2 : Type == vaInt32 ? 4 : 8;
    need(Size, Expected);
    uint64_t Bits = 0;
    for (int I = Size - 1; I >= 0; --I)
        Bits = Bits << 8 | FData[FPos + I];
    FPos += Size;
    const int Unused = 64 - 8 * Size; // sign-extend the narrow types
    return Unused ? qint64(Bits << Unused) >> Unused : qint64(Bits);
}

void TBinaryStreamReader::enterNesting()
{
    if (++FDepth > MaxStreamNesting)
        fail(FPos, QStringLiteral("objects, lists or collections nested deeper than %1 levels").arg(MaxStreamNesting));
}

QString TBinaryStreamReader::Run()
{
    FOut.reserve(FSize * 3 + 64);
    need(4, "the signature \"TPF0\"");
    if (memcmp(FData, "TPF0", 4) != 0)
        fail(0, QStringLiteral("invalid signature (expected \"TPF0\")"));
    FPos = 4;
    readObject(0);
    if (FOriginals) {
        FOriginals->FText = FOut;
        FOriginals->FStream = QByteArray(reinterpret_cast<const char *>(FData), FSize);
    }
    return FOut;
}

void TBinaryStreamReader::readObject(int Indent)
{
    enterNesting();
    const qsizetype HeaderStart = FPos;
    need(1, "an object's class name");
    uint8_t Flags = 0;
    bool HasChildPos = false;
    qint64 ChildPos = 0;
    if ((FData[FPos] & 0xF0) == 0xF0) {
        Flags = FData[FPos++] & 0x0F;
        if (Flags & ffChildPos) {
            const qsizetype TypeOffset = FPos;
            const uint8_t Type = readByte("the object's child position");
            if (Type != vaInt8 && Type != vaInt16 && Type != vaInt32 && Type != vaInt64)
                fail(TypeOffset, QStringLiteral("value type %1 where the child position (an integer) was expected").arg(Type));
            ChildPos = readInteger(Type, "the object's child position");
            HasChildPos = true;
        }
    }

    appendIndent(Indent);
    const qsizetype HeaderTextStart = FOut.size();
    FOut.append((Flags & ffInherited) ? QLatin1StringView("inherited ")
                 : (Flags & ffInline) ? QLatin1StringView("inline ")
                                      : QLatin1StringView("object "));
    // The class comes first in the stream, the name first in the text.
    const qsizetype ClassOffset = FPos;
    const uint8_t ClassLength = readByte("an object's class name");
    need(ClassLength, "an object's class name");
    FPos += ClassLength;
    const qsizetype NameStart = FOut.size();
    appendName("object name", false, true);
    const qsizetype NameEnd = FOut.size();
    if (NameEnd > NameStart)
        FOut.append(QLatin1StringView(": "));
    const qsizetype AfterName = FPos;
    FPos = ClassOffset;
    appendName("class name", true, false);
    FPos = AfterName;
    if (HasChildPos) {
        FOut.append(QLatin1StringView(" ["));
        appendNumber(ChildPos);
        FOut.append(u']');
    }
    const qsizetype HeaderTextEnd = FOut.size();
    newLine();

    if (FOriginals) {
        const QString &Path = FPaths.Enter(QStringView(FOut).mid(NameStart, NameEnd - NameStart));
        TStreamOriginals::TObjectRecord Record;
        Record.HeaderText = {HeaderTextStart, HeaderTextEnd - HeaderTextStart};
        Record.HeaderBytes = {HeaderStart, FPos - HeaderStart};
        Record.FirstProperty = FOriginals->FProperties.size();
        FOriginals->FObjectByPath.insert(Path, FOriginals->FObjects.size());
        FOriginals->FObjects.append(Record);
    }
    const qsizetype Record = FOriginals ? FOriginals->FObjects.size() - 1 : -1;

    readProperties(Indent + 2, FOriginals != nullptr);
    if (FOriginals)
        FOriginals->FObjects[Record].PropertyCount = FOriginals->FProperties.size() - FOriginals->FObjects[Record].FirstProperty;

    for (;;) {
        need(1, "a child object or the end of the object");
        if (FData[FPos] == 0) {
            ++FPos;
            break;
        }
        readObject(Indent + 2);
    }
    appendIndent(Indent);
    FOut.append(QLatin1StringView("end"));
    newLine();
    if (FOriginals)
        FPaths.Leave();
    --FDepth;
}

void TBinaryStreamReader::readProperties(int Indent, bool Record)
{
    for (;;) {
        need(1, "a property name or the end of the property list");
        if (FData[FPos] == 0) {
            ++FPos;
            return;
        }
        const qsizetype PropertyStart = FPos;
        appendIndent(Indent);
        const qsizetype NameStart = FOut.size();
        appendName("property name", true, false);
        const qsizetype NameEnd = FOut.size();
        FOut.append(QLatin1StringView(" = "));
        const qsizetype ValueStart = FOut.size();
        const uint8_t Type = readByte("a property value");
        readValue(Type, Indent);
        if (Record) {
            TStreamOriginals::TPropertyRecord Property;
            Property.NameText = {NameStart, NameEnd - NameStart};
            Property.ValueText = {ValueStart, FOut.size() - ValueStart};
            Property.Bytes = {PropertyStart, FPos - PropertyStart};
            FOriginals->FProperties.append(Property);
        }
        newLine();
    }
}

void TBinaryStreamReader::readValue(uint8_t Type, int Indent)
{
    const qsizetype TypeOffset = FPos - 1;
    switch (Type) {
    case vaNull:
        FOut.append(QLatin1StringView("Null"));
        break;
    case vaList:
        readList(Indent);
        break;
    case vaInt8:
    case vaInt16:
    case vaInt32:
    case vaInt64:
        appendNumber(readInteger(Type, "an integer value"));
        break;
    case vaExtended:
        readFloat(TFloatKind::Extended, 0);
        break;
    case vaDouble:
        readFloat(TFloatKind::Double, 0);
        break;
    case vaSingle:
        readFloat(TFloatKind::Single, 's');
        break;
    case vaDate: {
        need(8, "a date value");
        double Value = 0;
        memcpy(&Value, FData + FPos, 8);
        // Whole days read as "<digits>d", the one form the form-text
        // grammar knows; other dates as a float with the suffix.
        if (Value >= 0 && Value < 1e15 && Value == double(qint64(Value)) && !(Value == 0 && std::signbit(Value))) {
            FPos += 8;
            appendNumber(qint64(Value));
            FOut.append(u'd');
        } else {
            readFloat(TFloatKind::Date, 'd');
        }
        break;
    }
    case vaCurrency:
        appendNumber(readInteger(vaInt64, "a currency value"));
        FOut.append(u'c');
        break;
    case vaString: {
        const uint8_t Length = readByte("the length of a string");
        need(Length, "the characters of a string");
        decode8Bit(FData + FPos, Length);
        FPos += Length;
        appendString(FScratch, Indent);
        break;
    }
    case vaLString: {
        const uint32_t Length = readUInt32("the length of a string");
        need(Length, "the characters of a string");
        decode8Bit(FData + FPos, Length);
        FPos += Length;
        appendString(FScratch, Indent);
        break;
    }
    case vaWString: {
        const uint32_t Count = readUInt32("the length of a wide string");
        need(qsizetype(Count) * 2, "the characters of a wide string");
        FScratch.resize(Count);
        QChar *Out = FScratch.data();
        for (uint32_t I = 0; I < Count; ++I)
            Out[I] = QChar(char16_t(FData[FPos + 2 * I] | FData[FPos + 2 * I + 1] << 8));
        FPos += qsizetype(Count) * 2;
        appendString(FScratch, Indent);
        break;
    }
    case vaUTF8String: {
        const uint32_t Length = readUInt32("the length of a UTF-8 string");
        need(Length, "the characters of a UTF-8 string");
        const auto *Bytes = reinterpret_cast<const char *>(FData + FPos);
        FScratch = QString::fromUtf8(Bytes, Length);
        FPos += Length;
        appendString(FScratch, Indent);
        break;
    }
    case vaIdent:
        appendName("identifier", true, false);
        break;
    case vaFalse:
        FOut.append(QLatin1StringView("False"));
        break;
    case vaTrue:
        FOut.append(QLatin1StringView("True"));
        break;
    case vaNil:
        FOut.append(QLatin1StringView("nil"));
        break;
    case vaBinary:
        readBinary(Indent);
        break;
    case vaSet:
        readSet();
        break;
    case vaCollection:
        readCollection(Indent);
        break;
    default:
        fail(TypeOffset, QStringLiteral("unknown value type %1").arg(Type));
    }
}

void TBinaryStreamReader::readFloat(TFloatKind Kind, char Suffix)
{
    const int Size = FloatPayloadSize(Kind);
    need(Size, "the bytes of a float value");
    const bool Decimal = AppendFloatText(FOut, Kind, FData + FPos);
    FPos += Size;
    if (Decimal && Suffix)
        FOut.append(QLatin1Char(Suffix));
}

void TBinaryStreamReader::readList(int Indent)
{
    enterNesting();
    FOut.append(u'(');
    for (;;) {
        const uint8_t Type = readByte("a list element or the end of the list");
        if (Type == vaNull)
            break;
        newLine();
        appendIndent(Indent + 2);
        readValue(Type, Indent + 2);
    }
    FOut.append(u')');
    --FDepth;
}

void TBinaryStreamReader::readCollection(int Indent)
{
    enterNesting();
    FOut.append(u'<');
    for (;;) {
        const qsizetype ItemOffset = FPos;
        uint8_t Type = readByte("a collection item or the end of the collection");
        if (Type == vaNull)
            break;
        newLine();
        appendIndent(Indent + 2);
        FOut.append(QLatin1StringView("item"));
        if (Type == vaInt8 || Type == vaInt16 || Type == vaInt32) {
            // The item's order value.
            FOut.append(QLatin1StringView(" ["));
            appendNumber(readInteger(Type, "a collection item's order value"));
            FOut.append(u']');
            Type = readByte("the start of a collection item");
        }
        if (Type != vaList)
            fail(ItemOffset, QStringLiteral("value type %1 where a collection item was expected").arg(Type));
        newLine();
        // Item properties are part of the collection's value: not recorded.
        readProperties(Indent + 4, false);
        appendIndent(Indent + 2);
        FOut.append(QLatin1StringView("end"));
    }
    FOut.append(u'>');
    --FDepth;
}

void TBinaryStreamReader::readSet()
{
    FOut.append(u'[');
    bool First = true;
    for (;;) {
        need(1, "a set element or the end of the set");
        if (FData[FPos] == 0) {
            ++FPos;
            break;
        }
        if (!First)
            FOut.append(QLatin1StringView(", "));
        First = false;
        appendName("set element", false, false);
    }
    FOut.append(u']');
}

void TBinaryStreamReader::readBinary(int Indent)
{
    static const char Hex[] = "0123456789ABCDEF";
    const uint32_t Length = readUInt32("the length of binary data");
    need(Length, "the bytes of binary data");
    FOut.append(u'{');
    for (uint32_t Line = 0; Line < Length; Line += 32) {
        newLine();
        appendIndent(Indent + 2);
        const uint32_t Count = qMin<uint32_t>(32, Length - Line);
        const qsizetype At = FOut.size();
        FOut.resize(At + 2 * Count);
        QChar *Out = FOut.data() + At;
        const unsigned char *In = FData + FPos + Line;
        for (uint32_t I = 0; I < Count; ++I) {
            *Out++ = QLatin1Char(Hex[In[I] >> 4]);
            *Out++ = QLatin1Char(Hex[In[I] & 15]);
        }
    }
    FPos += Length;
    FOut.append(u'}');
}

void TBinaryStreamReader::appendName(const char *What, bool AllowDots, bool MayBeEmpty)
{
    const qsizetype Offset = FPos;
    const uint8_t Length = readByte(What);
    need(Length, What);
    const qsizetype Start = FOut.size();
    decodeName(FData + FPos, Length);
    FPos += Length;
    if (Length == 0 && MayBeEmpty)
        return;
    if (!IsValidName(QStringView(FOut).mid(Start), AllowDots))
        fail(Offset, QStringLiteral("invalid %1 \"%2\"").arg(QLatin1StringView(What), QStringView(FOut).mid(Start)));
}

void TBinaryStreamReader::decodeName(const unsigned char *Bytes, qsizetype Length)
{
    // Names are ASCII nearly always; others are taken as UTF-8, or in the
    // ANSI code page when they are not valid UTF-8.
    bool Ascii = true;
    for (qsizetype I = 0; I < Length && Ascii; ++I)
        Ascii = Bytes[I] < 0x80;
    const QByteArrayView View(Bytes, Length);
    if (Ascii) {
        FOut.append(QLatin1StringView(View));
        return;
    }
    QStringDecoder Utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString Text = Utf8.decode(View);
    FOut.append(Utf8.hasError() ? TextCodec::DecodeAnsi(View) : Text);
}

void TBinaryStreamReader::decode8Bit(const unsigned char *Bytes, qsizetype Length)
{
    bool Ascii = true;
    for (qsizetype I = 0; I < Length && Ascii; ++I)
        Ascii = Bytes[I] < 0x80;
    if (!Ascii) {
        FScratch = TextCodec::DecodeAnsi(QByteArrayView(Bytes, Length));
        return;
    }
    FScratch.resize(Length);
    QChar *Out = FScratch.data();
    for (qsizetype I = 0; I < Length; ++I)
        Out[I] = QLatin1Char(char(Bytes[I]));
}

void TBinaryStreamReader::appendString(QStringView Text, int Indent)
{
    // Delphi's layout: up to 64 characters (a #n counts as one) on the
    // property's line; longer strings on lines of 64 characters of their own,
    // joined by " +".
    constexpr qsizetype PieceLength = 64;
    if (Text.size() <= PieceLength) {
        appendStringPiece(Text);
        return;
    }
    for (qsizetype At = 0; At < Text.size(); At += PieceLength) {
        newLine();
        appendIndent(Indent + 2);
        appendStringPiece(Text.mid(At, PieceLength));
        if (At + PieceLength < Text.size())
            FOut.append(QLatin1StringView(" +"));
    }
}

void TBinaryStreamReader::appendStringPiece(QStringView Piece)
{
    if (Piece.isEmpty()) {
        FOut.append(QLatin1StringView("''"));
        return;
    }
    bool Quoted = false;
    for (const QChar C : Piece) {
        const char16_t Code = C.unicode();
        if (Code >= 32 && Code <= 126 && Code != u'\'') {
            if (!Quoted)
                FOut.append(u'\'');
            Quoted = true;
            FOut.append(C);
            continue;
        }
        if (Quoted)
            FOut.append(u'\'');
        Quoted = false;
        FOut.append(u'#');
        appendNumber(Code);
    }
    if (Quoted)
        FOut.append(u'\'');
}

void TBinaryStreamReader::appendIndent(int Count)
{
    static const QLatin1StringView Blanks("                                                                ");
    while (Count > 0) {
        const int Part = qMin<int>(Count, int(Blanks.size()));
        FOut.append(Blanks.first(Part));
        Count -= Part;
    }
}

void TBinaryStreamReader::appendNumber(qint64 Value)
{
    char Buffer[24];
    char *End = Buffer + sizeof(Buffer);
    char *P = End;
    uint64_t Magnitude = Value < 0 ? 0 - uint64_t(Value) : uint64_t(Value);
    do {
        *--P = char('0' + Magnitude % 10);
        Magnitude /= 10;
    } while (Magnitude);
    if (Value < 0)
        *--P = '-';
    FOut.append(QLatin1StringView(P, End - P));
}

QString ObjectBinaryToText(QByteArrayView Stream, TStreamOriginals *Originals)
{
    if (Originals)
        Originals->Clear();
    TBinaryStreamReader Reader(Stream, Originals);
    try {
        return Reader.Run();
    } catch (...) {
        if (Originals)
            Originals->Clear();
        throw;
    }
}
