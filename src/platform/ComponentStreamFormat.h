// Pieces shared by the two directions of the component stream converter: the
// value type codes, the float texts, name checks, the object paths and the
// token-wise text comparison used with TStreamOriginals. Private to the
// converter.
#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringView>

#include <cstdint>

enum TValueType : uint8_t {
    vaNull = 0,
    vaList = 1,
    vaInt8 = 2,
    vaInt16 = 3,
    vaInt32 = 4,
    vaExtended = 5,
    vaString = 6,
    vaIdent = 7,
    vaFalse = 8,
    vaTrue = 9,
    vaBinary = 10,
    vaSet = 11,
    vaLString = 12,
    vaNil = 13,
    vaCollection = 14,
    vaSingle = 15,
    vaCurrency = 16,
    vaDate = 17,
    vaWString = 18,
    vaInt64 = 19,
    vaUTF8String = 20,
    vaDouble = 21,
};

// Object prefix flags (the low nibble of a 0xF? byte before the class name).
enum : uint8_t { ffInherited = 1, ffChildPos = 2, ffInline = 4 };

// Deepest nesting of objects, lists and collection items that either reader
// accepts; hostile input fails cleanly instead of exhausting the stack.
constexpr int MaxStreamNesting = 200;

// The float kinds that have a text form, with the size of their payload.
enum class TFloatKind { Extended, Double, Single, Date };
int FloatPayloadSize(TFloatKind Kind);
// The letter that follows a raw bit pattern ("$...x") of that kind.
char RawFloatSuffix(TFloatKind Kind);

// Appends the text of a float payload (little-endian bytes as in the stream):
// decimal where some decimal text reads back to the same bits, else the raw
// form. Returns true for a decimal text, whose suffix (s, d) is the caller's
// business; the raw form carries its own.
bool AppendFloatText(QString &Out, TFloatKind Kind, const unsigned char *Payload);

// Reads a decimal number (ASCII, '.' as separator, optional exponent) as an
// 80-bit value, independent of the process locale. Returns false when the text
// is not a number or its magnitude is beyond the extended range.
bool ParseDecimal(const char *Text, long double &Value);

// An identifier as the text form writes it: a letter or "_" first, then
// letters, digits and "_". With AllowDots, several such parts joined by ".".
bool IsValidName(QStringView Name, bool AllowDots);
inline bool IsNameStart(QChar C) { return C == u'_' || C.isLetter(); }
inline bool IsNamePart(QChar C) { return C == u'_' || C.isLetterOrNumber(); }

// True when A and B hold the same tokens, whatever the white space between
// them (outside quotes). Brackets, braces, "<", ">", ",", "+", "=" and ":"
// count as tokens of their own.
bool IsSameTokenText(QStringView A, QStringView B);

// Names objects by their path from the root: the names down the tree, each
// with its position among the earlier siblings of the same name, so unnamed
// and equally named siblings stay apart.
class TObjectPaths
{
public:
    TObjectPaths();
    // Enters a child of the current object (or the root) and returns its path.
    const QString &Enter(QStringView Name);
    void Leave();

private:
    struct TLevel
    {
        QString Path;
        QHash<QString, int> Seen; // names of the children entered so far
    };
    QList<TLevel> FLevels;
    qsizetype FDepth = 0;
};
