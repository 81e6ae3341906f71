// Shared pieces of the component stream converter: float texts, names, object
// paths and token-wise comparison (see ComponentStreamFormat.h).
#include "ComponentStream.h"
#include "ComponentStreamFormat.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#ifndef _WIN32
#include <locale.h>
#endif

static_assert(LDBL_MANT_DIG == 64, "the converter needs long double to be the 80-bit x87 format");

void TStreamOriginals::Clear()
{
    FText.clear();
    FStream.clear();
    FObjects.clear();
    FProperties.clear();
    FObjectByPath.clear();
}

namespace {

// Float texts never depend on the process locale (QCoreApplication installs
// the user's one on POSIX systems): "." is always the separator. Formatting
// goes through std::to_chars, which knows no locale; reading through
// strtold in the "C" locale.
#ifndef _WIN32
locale_t classicLocale()
{
    static const locale_t Locale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    return Locale;
}
#endif

// A decimal value: Digits (no trailing zeros, "0" for zero), the first digit
// standing at 10^Exponent.
struct TDecimal
{
    bool Negative = false;
    char Digits[32] = {};
    int Count = 0;
    int Exponent = 0;
};

bool formatScientific(long double Value, int Precision, char *Buffer, size_t Size)
{
    // The digits of printf's "%.*Le", which std::to_chars gives for the
    // 80-bit format on every platform.
    const auto [End, Fault] = std::to_chars(Buffer, Buffer + Size - 1, Value, std::chars_format::scientific,
                                            Precision - 1);
    if (Fault != std::errc())
        return false;
    *End = '\0';
    const char *P = Buffer[0] == '-' ? Buffer + 1 : Buffer;
    return *P >= '0' && *P <= '9'; // not "inf" or "nan"
}

// Splits "-d.ddde+XX" into a TDecimal.
void splitScientific(const char *Text, TDecimal &D)
{
    const char *P = Text;
    D.Negative = *P == '-';
    if (D.Negative)
        ++P;
    D.Count = 0;
    for (; *P && *P != 'e'; ++P)
        if (*P >= '0' && *P <= '9' && D.Count < int(sizeof(D.Digits)))
            D.Digits[D.Count++] = *P;
    D.Exponent = *P == 'e' ? atoi(P + 1) : 0;
    while (D.Count > 1 && D.Digits[D.Count - 1] == '0')
        --D.Count;
    if (D.Count == 1 && D.Digits[0] == '0')
        D.Exponent = 0;
}

// Finds the decimal with the fewest digits, from FirstPrecision on, that
// IsExact accepts after reading it back as an 80-bit value.
template <typename TIsExact>
bool findDecimal(long double Value, int FirstPrecision, TIsExact IsExact, TDecimal &D)
{
    char Buffer[64];
    for (int Precision = FirstPrecision; Precision <= 21; ++Precision) {
        if (!formatScientific(Value, Precision, Buffer, sizeof(Buffer)))
            return false;
        long double Back = 0;
        if (!ParseDecimal(Buffer, Back))
            return false;
        if (IsExact(Back)) {
            splitScientific(Buffer, D);
            return true;
        }
    }
    return false;
}

void appendDecimal(QString &Out, const TDecimal &D)
{
    if (D.Negative)
        Out.append(u'-');
    const int Last = D.Exponent - (D.Count - 1); // power of ten of the last digit
    const auto digitAt = [&D](int Power) -> QChar {
        const int Index = D.Exponent - Power;
        return Index >= 0 && Index < D.Count ? QChar(QLatin1Char(D.Digits[Index])) : QChar(u'0');
    };
    if (D.Exponent < 16 && D.Exponent >= -5) {
        // Fixed point: Delphi's 18 decimals, more where the value needs them.
        const int Decimals = Last < -18 ? -Last : 18;
        if (D.Exponent < 0)
            Out.append(u'0');
        for (int Power = D.Exponent; Power >= 0; --Power)
            Out.append(digitAt(Power));
        Out.append(u'.');
        for (int Power = -1; Power >= -Decimals; --Power)
            Out.append(digitAt(Power));
        return;
    }
    Out.append(QLatin1Char(D.Digits[0]));
    Out.append(u'.');
    if (D.Count == 1)
        Out.append(u'0');
    else
        Out.append(QLatin1StringView(D.Digits + 1, D.Count - 1));
    Out.append(D.Exponent < 0 ? QLatin1StringView("E-") : QLatin1StringView("E+"));
    Out.append(QString::number(D.Exponent < 0 ? -D.Exponent : D.Exponent));
}

void appendRaw(QString &Out, TFloatKind Kind, const unsigned char *Payload)
{
    static const char Hex[] = "0123456789ABCDEF";
    Out.append(u'$');
    for (int I = FloatPayloadSize(Kind) - 1; I >= 0; --I) {
        Out.append(QLatin1Char(Hex[Payload[I] >> 4]));
        Out.append(QLatin1Char(Hex[Payload[I] & 15]));
    }
    Out.append(QLatin1Char(RawFloatSuffix(Kind)));
}

bool sameExtendedBits(long double A, const unsigned char *Bits)
{
    unsigned char Buffer[sizeof(long double)] = {};
    memcpy(Buffer, &A, sizeof(A));
    return memcmp(Buffer, Bits, 10) == 0;
}

bool isSeparator(QChar C)
{
    return C == u' ' || C == u'\t' || C == u'\r' || C == u'\n';
}

bool isPunctuation(QChar C)
{
    switch (C.unicode()) {
    case '(': case ')': case '[': case ']': case '{': case '}':
    case '<': case '>': case ',': case '+': case '=': case ':':
        return true;
    default:
        return false;
    }
}

// The next token of Text at or after Pos, or an empty view at the end.
QStringView nextToken(QStringView Text, qsizetype &Pos)
{
    const qsizetype Size = Text.size();
    while (Pos < Size && isSeparator(Text[Pos]))
        ++Pos;
    const qsizetype Start = Pos;
    if (Pos == Size)
        return {};
    if (Text[Pos] == u'\'') {
        ++Pos;
        while (Pos < Size && Text[Pos] != u'\'')
            ++Pos;
        if (Pos < Size)
            ++Pos;
    } else if (isPunctuation(Text[Pos])) {
        ++Pos;
    } else {
        while (Pos < Size && !isSeparator(Text[Pos]) && !isPunctuation(Text[Pos]) && Text[Pos] != u'\'')
            ++Pos;
    }
    return Text.mid(Start, Pos - Start);
}

} // namespace

int FloatPayloadSize(TFloatKind Kind)
{
    switch (Kind) {
    case TFloatKind::Extended: return 10;
    case TFloatKind::Single: return 4;
    case TFloatKind::Double:
    case TFloatKind::Date: return 8;
    }
    return 0;
}

char RawFloatSuffix(TFloatKind Kind)
{
    switch (Kind) {
    case TFloatKind::Extended: return 'x';
    case TFloatKind::Double: return 'w';
    case TFloatKind::Single: return 's';
    case TFloatKind::Date: return 't';
    }
    return 'x';
}

bool AppendFloatText(QString &Out, TFloatKind Kind, const unsigned char *Payload)
{
    TDecimal D;
    bool Found = false;
    switch (Kind) {
    case TFloatKind::Extended: {
        long double Value = 0;
        memcpy(&Value, Payload, 10);
        Found = findDecimal(Value, 16, [Payload](long double Back) { return sameExtendedBits(Back, Payload); }, D);
        break;
    }
    case TFloatKind::Double: {
        // Read back as vaExtended by default, so the text must give the
        // double's value exactly at 80 bits.
        double Value = 0;
        memcpy(&Value, Payload, 8);
        const long double Wide = Value;
        Found = std::isfinite(Value)
                && findDecimal(Wide, 16, [Wide](long double Back) { return Back == Wide && std::signbit(Back) == std::signbit(Wide); }, D);
        break;
    }
    case TFloatKind::Date: {
        double Value = 0;
        memcpy(&Value, Payload, 8);
        Found = std::isfinite(Value) && findDecimal(Value, 1, [Payload](long double Back) {
                    const double Narrow = double(Back);
                    return memcmp(&Narrow, Payload, 8) == 0;
                }, D);
        break;
    }
    case TFloatKind::Single: {
        float Value = 0;
        memcpy(&Value, Payload, 4);
        Found = std::isfinite(Value) && findDecimal(Value, 1, [Payload](long double Back) {
                    const float Narrow = float(Back);
                    return memcmp(&Narrow, Payload, 4) == 0;
                }, D);
        break;
    }
    }
    if (Found)
        appendDecimal(Out, D);
    else
        appendRaw(Out, Kind, Payload);
    return Found;
}

bool ParseDecimal(const char *Text, long double &Value)
{
    // Only the plain decimal syntax: strtold alone would also take "inf",
    // "nan" and hexadecimal floats.
    const char *P = Text;
    if (*P == '-' || *P == '+')
        ++P;
    if (*P < '0' || *P > '9')
        return false;
    while (*P >= '0' && *P <= '9')
        ++P;
    if (*P == '.') {
        ++P;
        while (*P >= '0' && *P <= '9')
            ++P;
    }
    if (*P == 'e' || *P == 'E') {
        ++P;
        if (*P == '-' || *P == '+')
            ++P;
        if (*P < '0' || *P > '9')
            return false;
        while (*P >= '0' && *P <= '9')
            ++P;
    }
    if (*P != '\0')
        return false;
    char *End = nullptr;
#ifdef _WIN32
    // MinGW's strtold reads the 80-bit format exactly (std::from_chars there
    // goes through double). It follows the C runtime's locale, which stays
    // "C" in this program: neither Qt nor migwiz call setlocale on Windows.
    Value = strtold(Text, &End);
#else
    Value = strtold_l(Text, &End, classicLocale());
#endif
    return End == P && std::isfinite(Value);
}

bool IsValidName(QStringView Name, bool AllowDots)
{
    bool AtStart = true;
    for (const QChar C : Name) {
        if (AtStart) {
            if (!IsNameStart(C))
                return false;
            AtStart = false;
        } else if (C == u'.' && AllowDots) {
            AtStart = true;
        } else if (!IsNamePart(C)) {
            return false;
        }
    }
    return !AtStart;
}

bool IsSameTokenText(QStringView A, QStringView B)
{
    qsizetype PosA = 0;
    qsizetype PosB = 0;
    for (;;) {
        const QStringView TokenA = nextToken(A, PosA);
        const QStringView TokenB = nextToken(B, PosB);
        if (TokenA != TokenB)
            return false;
        if (TokenA.isEmpty())
            return true;
    }
}

TObjectPaths::TObjectPaths()
{
    FLevels.append(TLevel{});
    FDepth = 1;
}

const QString &TObjectPaths::Enter(QStringView Name)
{
    if (FDepth == FLevels.size())
        FLevels.append(TLevel{});
    TLevel &Parent = FLevels[FDepth - 1];
    int Index = Parent.Seen[Name.toString()]++;
    // "<parent's path>/<name>#<index>", built in one string.
    QString Path;
    Path.reserve(Parent.Path.size() + Name.size() + 12);
    Path.append(Parent.Path).append(u'/').append(Name).append(u'#');
    char16_t Digits[12];
    int Count = 0;
    do {
        Digits[Count++] = char16_t(u'0' + Index % 10);
        Index /= 10;
    } while (Index > 0);
    while (Count > 0)
        Path.append(QChar(Digits[--Count]));
    TLevel &Level = FLevels[FDepth++];
    Level.Path = std::move(Path);
    Level.Seen.clear();
    return Level.Path;
}

void TObjectPaths::Leave()
{
    if (FDepth > 1)
        --FDepth;
}
