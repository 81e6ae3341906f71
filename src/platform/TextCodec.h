// Text codec: decoding and encoding of the three encodings in which Delphi
// sources and text forms come (UTF-16 LE with FF FE, UTF-8 with EF BB BF, and
// the ANSI code page), and the process-wide ANSI code page setting.
//
// Invariant: for any byte string B, Encode(Decode(B)) == B (for the ANSI code
// page when it is a single-byte one, as the Windows code pages of Western and
// Cyrillic projects are; multi-byte code pages go through ICU, which replaces
// invalid sequences). Bytes that are not valid in the chosen encoding are
// carried through the text instead of being replaced, so a file that we leave
// otherwise unchanged keeps them:
//  - ANSI: a byte that the code page does not define becomes U+F700 + byte
//    (private use) and is written back as that byte;
//  - UTF-8: a byte that starts no valid sequence becomes the lone surrogate
//    U+DC80..U+DCFF and is written back as that byte;
//  - UTF-16: an odd final byte is kept in TTextEncoding::TrailingBytes.
// Characters that the ANSI code page cannot represent are written as "?".
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

enum class TTextEncodingKind { Ansi, Utf8, Utf16LE };

struct TTextEncoding
{
    TTextEncodingKind Kind = TTextEncodingKind::Ansi;
    // Bytes after the last whole character of a UTF-16 file (an odd byte).
    QByteArray TrailingBytes;

    static TTextEncoding Ansi() { return {}; }
    static TTextEncoding Utf8() { return {TTextEncodingKind::Utf8, {}}; }
    static TTextEncoding Utf16LE() { return {TTextEncodingKind::Utf16LE, {}}; }
};

namespace TextCodec {

// The process-wide ANSI code page, by name ("windows-1252", "windows-1251",
// ...). The default is windows-1252. Returns false (and keeps the current
// code page) when the name is unknown or, on Windows, where Qt cannot name
// it and the system's page is a multi-byte one; *Error then says which.
// Where Qt (without ICU) cannot name a code page, Windows' own tables serve.
bool SetAnsiCodePage(const QString &Name, QString *Error = nullptr);
QString AnsiCodePage();

QString DecodeAnsi(QByteArrayView Bytes);
// Characters the code page cannot represent become "?".
QByteArray EncodeAnsi(QStringView Text);
// True when every character of Text has a byte sequence in the ANSI code page.
bool IsAnsiEncodable(QStringView Text);

QString DecodeUtf8(QByteArrayView Bytes);
QByteArray EncodeUtf8(QStringView Text);

QString DecodeUtf16LE(QByteArrayView Bytes, QByteArray *TrailingBytes = nullptr);
QByteArray EncodeUtf16LE(QStringView Text);

// Decodes a whole file: FF FE (at least 2 bytes) selects UTF-16 LE, EF BB BF
// (at least 3 bytes) UTF-8, anything else the ANSI code page. The byte-order
// mark is not part of the text; Encoding receives what was found.
QString DecodeFile(QByteArrayView Bytes, TTextEncoding &Encoding);

// Encodes text in the given encoding, without a byte-order mark.
QByteArray Encode(QStringView Text, const TTextEncoding &Encoding);
// FF FE, EF BB BF or nothing.
QByteArray ByteOrderMark(const TTextEncoding &Encoding);
// Byte-order mark, text and the encoding's trailing bytes: a whole file.
QByteArray EncodeFile(QStringView Text, const TTextEncoding &Encoding);

} // namespace TextCodec
