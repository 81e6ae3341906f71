// The component stream converter: turns the binary component stream of a form
// (the data that starts with "TPF0", after the resource header of a binary
// .dfm) into its text form ("object Form1: TForm1 ... end") and back. It stands
// where the runtime's ObjectBinaryToText and ObjectTextToBinary stand in
// Delphi.
//
// Text form written (Delphi's layout): two blanks of indentation per level,
// CR LF line ends, " [n]" after the class of an object with a child position;
// strings with printable ASCII in quotes and every other character (the
// apostrophe included) as #n, n being the UTF-16 code unit; strings of more
// than 64 characters on lines of their own, 64 characters each, joined by
// " +"; ")" and "}" on the line of the last element; binary data as 64 hex
// digits a line. Floats: 18 decimals where that keeps every bit of the value,
// otherwise the shortest exact decimal text (more decimals, or an exponent).
// vaSingle, vaCurrency and vaDate carry the suffixes s, c and d (currency as
// its scaled integer: 15000c is 1.5). Values that no decimal text gives back
// (infinities, NaNs, invalid extended encodings) are written as their raw bits:
// "$" and the hex digits of the value, most significant byte first, then x
// (extended, 20 digits), w (double, 16), s (single, 8) or t (date, 16).
//
// Binary form written from text: the smallest integer type; an ASCII string
// as vaString (up to 255 characters) or vaLString; any other string as
// vaUTF8String (vaWString when it holds a lone surrogate); a float as
// vaExtended, or vaSingle, vaCurrency, vaDate with its suffix; True, False,
// nil and Null as their own codes, other identifiers as vaIdent. Names are
// written as UTF-8.
//
// Exactness: binary -> text -> binary gives back the same bytes for every
// stream that this writer produces, and the same values for other streams.
// Where another writer chose different types (an Int32 holding 5, a vaString
// in the ANSI code page, a vaDouble, ...), the text alone cannot say so;
// TStreamOriginals carries that side information (see there).
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringView>

// What a binary stream looked like: for every object, its header's text and
// bytes, and for each of its properties the text and the bytes of the whole
// property record. ObjectBinaryToText fills it; ObjectTextToBinary uses it to
// give every value whose text is still as recorded its original bytes, so an
// edit of one object's text changes nothing in the bytes of the others.
//
// Objects are matched by their path (the names from the root down, with the
// position among equally named siblings), properties by name within their
// object, and texts without regard to the amount of white space between
// tokens. A value whose text no longer matches is typed by the default rules.
class TStreamOriginals
{
public:
    void Clear();
    bool IsEmpty() const { return FObjects.isEmpty(); }
    qsizetype ObjectCount() const { return FObjects.size(); }

private:
    friend class TBinaryStreamReader;
    friend class TTextStreamReader;

    struct TRange
    {
        qsizetype Start = 0;
        qsizetype Length = 0;
    };
    struct TObjectRecord
    {
        TRange HeaderText;  // from the keyword to the class or "]"
        TRange HeaderBytes; // from the flags byte to the end of the object name
        qsizetype FirstProperty = 0;
        qsizetype PropertyCount = 0;
    };
    struct TPropertyRecord
    {
        TRange NameText;
        TRange ValueText;
        TRange Bytes; // the property name and its value
    };

    QString FText;      // the text that ObjectBinaryToText returned
    QByteArray FStream; // the stream it read
    QList<TObjectRecord> FObjects;
    QList<TPropertyRecord> FProperties;
    QHash<QString, qsizetype> FObjectByPath;
};

// Converts the binary component stream Stream (starting with "TPF0") to its
// text form. Bytes after the root object's end are ignored. Raises EStreamError
// naming the offset and what was expected when the stream is truncated or
// corrupt. Fills Originals (cleared first) when given.
QString ObjectBinaryToText(QByteArrayView Stream, TStreamOriginals *Originals = nullptr);

// Converts the text form of one object (with its children) to a binary
// component stream starting with "TPF0". A byte-order mark and text after the
// root object's "end" are ignored. Raises EStreamError naming the line, the
// column and what was expected. With Originals (from the conversion that made
// the text), unchanged objects and values get their original bytes.
QByteArray ObjectTextToBinary(QStringView Text, const TStreamOriginals *Originals = nullptr);
