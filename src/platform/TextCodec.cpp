#include "TextCodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#ifdef _WIN32
#include "WindowsApi.h"
#endif

// The code page tables are built by hand from ICU's answers for each byte,
// because ICU (through QStringEncoder) writes an unmappable character as 0x1A
// instead of "?", replaces undefined bytes by U+FFFD (losing them), and goes
// through a virtual call per buffer; a 256-entry table decodes and a
// 65536-entry table encodes a single-byte code page at memory speed.

namespace {

constexpr char16_t UndefinedByteBase = 0xF700; // private use: U+F700 + byte
constexpr char16_t EscapedByteBase = 0xDC00;   // lone surrogate: U+DC80..U+DCFF
constexpr uint16_t NoByte = 0xFFFF;

struct TCodePage
{
    QString Name;
    bool SingleByte = true;
    bool AsciiAsIs = true; // bytes below 0x80 stand for the same characters
    std::array<char16_t, 256> Decode{};
    std::array<uint16_t, 65536> Encode{}; // byte, or NoByte when unmappable
};

// Fills the tables of a single-byte page from DecodeByte(B), which gives the
// character of byte B or U+FFFD where the page defines none.
template <typename TDecodeByte>
void fillTables(TCodePage &Page, TDecodeByte DecodeByte)
{
    Page.Encode.fill(NoByte);
    for (int B = 0; B < 256; ++B) {
        const char16_t Defined = DecodeByte(B);
        char16_t Ch = UndefinedByteBase + B;
        if (Defined != 0xFFFD && (Defined != 0x1A || B == 0x1A) && Page.Encode[Defined] == NoByte)
            Ch = Defined;
        Page.Decode[B] = Ch;
        Page.Encode[Ch] = uint16_t(B);
        if (B < 0x80 && Ch != B)
            Page.AsciiAsIs = false;
    }
}

// A code page that Qt (through ICU) can name.
std::shared_ptr<const TCodePage> buildQtCodePage(const QString &Name)
{
    QStringDecoder Probe(Name.toLatin1().constData());
    if (!Probe.isValid())
        return nullptr;
    auto Page = std::make_shared<TCodePage>();
    Page->Name = Name;

    // A code page is multi-byte when some byte followed by "A" decodes to
    // fewer than two characters: it was taken as the lead byte of a pair.
    for (int B = 0x81; B <= 0xFE && Page->SingleByte; ++B) {
        QStringDecoder D(Name.toLatin1().constData());
        const char Pair[2] = {char(B), 'A'};
        const QString S = D(QByteArrayView(Pair, 2));
        if (S.size() < 2)
            Page->SingleByte = false;
    }
    fillTables(*Page, [&Name](int B) -> char16_t {
        QStringDecoder D(Name.toLatin1().constData());
        const char Byte = char(B);
        const QString S = D(QByteArrayView(&Byte, 1));
        return S.size() == 1 && !D.hasError() ? S[0].unicode() : char16_t(0xFFFD);
    });
    return Page;
}

#ifdef _WIN32
// The Windows code page that a name stands for ("windows-1251", "cp1251",
// "ibm866", "koi8-r", ...); 0 when none.
unsigned windowsCodePageNumber(const QString &Name)
{
    const QString N = Name.trimmed().toLower();
    static const struct
    {
        const char *Name;
        unsigned Number;
    } Aliases[] = {
        {"ibm866", 866},      {"cp866", 866},       {"koi8-r", 20866},     {"koi8-u", 21866},
        {"shift_jis", 932},   {"windows-31j", 932}, {"gbk", 936},          {"gb2312", 936},
        {"euc-kr", 949},      {"big5", 950},        {"us-ascii", 20127},   {"macintosh", 10000},
    };
    for (const auto &A : Aliases)
        if (N == QLatin1String(A.Name))
            return A.Number;
    for (const char *Prefix : {"windows-", "cp", "ibm", "x-cp", ""}) {
        if (!N.startsWith(QLatin1String(Prefix)))
            continue;
        bool Ok = false;
        const unsigned Number = N.mid(QLatin1StringView(Prefix).size()).toUInt(&Ok);
        if (Ok)
            return Number;
    }
    if (N.startsWith(QLatin1String("iso-8859-"))) {
        bool Ok = false;
        const unsigned Part = N.mid(9).toUInt(&Ok);
        if (Ok && Part >= 1 && Part <= 16)
            return 28590 + Part;
    }
    return 0;
}

// A single-byte code page from Windows' own tables, which Qt without ICU
// cannot name; they are the tables the user's files were written with.
std::shared_ptr<const TCodePage> buildWindowsCodePage(const QString &Name, QString *Error)
{
    const unsigned Number = windowsCodePageNumber(Name);
    CPINFOEXW Info;
    if (Number == 0 || !IsValidCodePage(Number) || !GetCPInfoExW(Number, 0, &Info))
        return nullptr;
    if (Info.MaxCharSize != 1) {
        if (Error)
            *Error = QStringLiteral("the code page \"%1\" (%2) uses more than one byte per character; "
                                    "only single-byte code pages are supported on Windows")
                         .arg(Name)
                         .arg(Number);
        return nullptr;
    }
    auto Page = std::make_shared<TCodePage>();
    Page->Name = Name;
    fillTables(*Page, [Number](int B) -> char16_t {
        const char Byte = char(B);
        wchar_t Ch = 0;
        // Without MB_ERR_INVALID_CHARS a byte that the page lacks would come
        // back as a default character instead of failing.
        if (MultiByteToWideChar(Number, MB_ERR_INVALID_CHARS, &Byte, 1, &Ch, 1) != 1)
            return 0xFFFD;
        // A byte that maps to a character which does not map back (a "best
        // fit") is not the page's own.
        char Back = 0;
        BOOL UsedDefault = FALSE;
        if (WideCharToMultiByte(Number, WC_NO_BEST_FIT_CHARS, &Ch, 1, &Back, 1, nullptr, &UsedDefault) != 1
            || UsedDefault || Back != Byte)
            return 0xFFFD;
        return char16_t(Ch);
    });
    return Page;
}
#endif

std::shared_ptr<const TCodePage> BuildCodePage(const QString &Name, QString *Error = nullptr)
{
    if (auto Page = buildQtCodePage(Name))
        return Page;
#ifdef _WIN32
    if (auto Page = buildWindowsCodePage(Name, Error))
        return Page;
    if (Error && !Error->isEmpty())
        return nullptr;
#endif
    if (Error)
        *Error = QStringLiteral("unknown code page \"%1\"").arg(Name);
    return nullptr;
}

// The code page in force, read without a lock on every call (threads that
// decode and encode at once only load a pointer). A page that has been in
// force is never freed, so a reader that loaded it before a change can go on
// using it; the pages set during a process are few (one per --codepage).
std::atomic<const TCodePage *> CurrentPage{nullptr};
std::mutex SetPageLock;
std::vector<std::shared_ptr<const TCodePage>> PagesInForce;

const TCodePage *Current()
{
    if (const TCodePage *Page = CurrentPage.load(std::memory_order_acquire))
        return Page;
    static const std::shared_ptr<const TCodePage> Default = [] {
        if (auto Page = BuildCodePage(QStringLiteral("windows-1252")))
            return Page;
        // Where neither Qt nor the system knows it: Latin-1, byte for
        // character, so that no call ever goes without a page.
        auto Latin1 = std::make_shared<TCodePage>();
        Latin1->Name = QStringLiteral("ISO-8859-1");
        fillTables(*Latin1, [](int B) { return char16_t(B); });
        return std::shared_ptr<const TCodePage>(Latin1);
    }();
    return Default.get();
}

bool IsHigh(char16_t C) { return C >= 0xD800 && C <= 0xDBFF; }

// Copies the leading ASCII characters of Src (at most N) to Dst as bytes, 8
// at a time while all 8 are ASCII; returns how many it copied. Form and unit
// texts are ASCII nearly throughout.
qsizetype CopyAscii(const char16_t *Src, qsizetype N, char *Dst)
{
    qsizetype I = 0;
#if defined(__SSE2__)
    for (; I + 8 <= N; I += 8) {
        const __m128i Units = _mm_loadu_si128(reinterpret_cast<const __m128i *>(Src + I));
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(Units, _mm_set1_epi16(short(0xFF80))),
                                              _mm_setzero_si128())) != 0xFFFF)
            break;
        _mm_storel_epi64(reinterpret_cast<__m128i *>(Dst + I), _mm_packus_epi16(Units, Units));
    }
#endif
    for (; I < N && Src[I] < 0x80; ++I)
        Dst[I] = char(Src[I]);
    return I;
}
bool IsLow(char16_t C) { return C >= 0xDC00 && C <= 0xDFFF; }

} // namespace

namespace TextCodec {

bool SetAnsiCodePage(const QString &Name, QString *Error)
{
    auto Page = BuildCodePage(Name, Error);
    if (!Page)
        return false;
    std::lock_guard<std::mutex> Guard(SetPageLock);
    PagesInForce.push_back(Page);
    CurrentPage.store(Page.get(), std::memory_order_release);
    return true;
}

QString AnsiCodePage()
{
    return Current()->Name;
}

QString DecodeAnsi(QByteArrayView Bytes)
{
    const auto Page = Current();
    if (!Page->SingleByte) {
        QStringDecoder D(Page->Name.toLatin1().constData());
        return D(Bytes);
    }
    QString Out(Bytes.size(), Qt::Uninitialized);
    char16_t *Dst = reinterpret_cast<char16_t *>(Out.data());
    const auto *Src = reinterpret_cast<const unsigned char *>(Bytes.data());
    const auto &Table = Page->Decode;
    for (qsizetype I = 0, N = Bytes.size(); I < N;) {
#if defined(__SSE2__)
        // 16 bytes of ASCII at once, widened as they are; any other block
        // goes through the table.
        if (Page->AsciiAsIs && I + 16 <= N) {
            const __m128i Block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(Src + I));
            if (_mm_movemask_epi8(Block) == 0) {
                _mm_storeu_si128(reinterpret_cast<__m128i *>(Dst + I), _mm_unpacklo_epi8(Block, _mm_setzero_si128()));
                _mm_storeu_si128(reinterpret_cast<__m128i *>(Dst + I + 8),
                                 _mm_unpackhi_epi8(Block, _mm_setzero_si128()));
                I += 16;
                continue;
            }
        }
#endif
        for (const qsizetype End = std::min(I + 16, N); I < End; ++I)
            Dst[I] = Table[Src[I]];
    }
    return Out;
}

QByteArray EncodeAnsi(QStringView Text)
{
    const auto Page = Current();
    if (!Page->SingleByte) {
        // Multi-byte code pages go through ICU, one character at a time where
        // the whole text does not encode, so that only the unmappable
        // characters become "?".
        QStringEncoder E(Page->Name.toLatin1().constData());
        QByteArray Whole = E(Text);
        if (!E.hasError())
            return Whole;
        QByteArray Out;
        for (qsizetype I = 0; I < Text.size();) {
            const qsizetype Len = (IsHigh(Text[I].unicode()) && I + 1 < Text.size() && IsLow(Text[I + 1].unicode())) ? 2 : 1;
            QStringEncoder One(Page->Name.toLatin1().constData());
            const QByteArray Piece = One(Text.mid(I, Len));
            Out += One.hasError() ? QByteArray("?") : Piece;
            I += Len;
        }
        return Out;
    }
    QByteArray Out(Text.size(), Qt::Uninitialized);
    char *Dst = Out.data();
    const auto &Table = Page->Encode;
    const char16_t *const Src = Text.utf16();
    qsizetype J = 0;
    for (qsizetype I = 0, N = Text.size(); I < N; ++I) {
        if (Page->AsciiAsIs && Src[I] < 0x80) {
            // A run of ASCII: as is, at once; I then stands on its last.
            const qsizetype Run = CopyAscii(Src + I, N - I, Dst + J);
            I += Run - 1;
            J += Run;
            continue;
        }
        const char16_t C = Src[I];
        const uint16_t B = Table[C];
        if (B != NoByte) {
            Dst[J++] = char(B);
        } else {
            Dst[J++] = '?';
            // A surrogate pair is one character: one "?".
            if (IsHigh(C) && I + 1 < N && IsLow(Src[I + 1]))
                ++I;
        }
    }
    Out.truncate(J);
    return Out;
}

bool IsAnsiEncodable(QStringView Text)
{
    const auto Page = Current();
    if (!Page->SingleByte) {
        QStringEncoder E(Page->Name.toLatin1().constData());
        (void)E(Text);
        return !E.hasError();
    }
    for (QChar C : Text)
        if (Page->Encode[C.unicode()] == NoByte)
            return false;
    return true;
}

// UTF-8 by hand: Qt's decoder replaces invalid sequences by U+FFFD, which
// would lose the bytes; here each byte that starts no valid sequence becomes
// the lone surrogate U+DC00 + byte and is written back as that byte.
QString DecodeUtf8(QByteArrayView Bytes)
{
    QString Out(Bytes.size(), Qt::Uninitialized);
    char16_t *Dst = reinterpret_cast<char16_t *>(Out.data());
    const auto *S = reinterpret_cast<const unsigned char *>(Bytes.data());
    const qsizetype N = Bytes.size();
    qsizetype I = 0, J = 0;
    while (I < N) {
        const unsigned char B0 = S[I];
        if (B0 < 0x80) {
            Dst[J++] = B0;
            ++I;
            continue;
        }
        char32_t Cp = 0;
        int Len = 0;
        char32_t Min = 0;
        if (B0 >= 0xC2 && B0 <= 0xDF) {
            Len = 2; Cp = B0 & 0x1F; Min = 0x80;
        } else if (B0 >= 0xE0 && B0 <= 0xEF) {
            Len = 3; Cp = B0 & 0x0F; Min = 0x800;
        } else if (B0 >= 0xF0 && B0 <= 0xF4) {
            Len = 4; Cp = B0 & 0x07; Min = 0x10000;
        }
        bool Ok = Len > 0 && I + Len <= N;
        for (int K = 1; Ok && K < Len; ++K) {
            const unsigned char B = S[I + K];
            if ((B & 0xC0) != 0x80)
                Ok = false;
            else
                Cp = (Cp << 6) | (B & 0x3F);
        }
        // Overlong forms, encoded surrogates and values above U+10FFFF are
        // invalid, so every decoded text re-encodes to the same bytes.
        if (Ok && (Cp < Min || Cp > 0x10FFFF || (Cp >= 0xD800 && Cp <= 0xDFFF)))
            Ok = false;
        if (!Ok) {
            Dst[J++] = EscapedByteBase + B0;
            ++I;
            continue;
        }
        if (Cp >= 0x10000) {
            Cp -= 0x10000;
            Dst[J++] = char16_t(0xD800 + (Cp >> 10));
            Dst[J++] = char16_t(0xDC00 + (Cp & 0x3FF));
        } else {
            Dst[J++] = char16_t(Cp);
        }
        I += Len;
    }
    Out.truncate(J);
    return Out;
}

QByteArray EncodeUtf8(QStringView Text)
{
    QByteArray Out(Text.size() * 3, Qt::Uninitialized);
    auto *D = reinterpret_cast<unsigned char *>(Out.data());
    qsizetype J = 0;
    const qsizetype N = Text.size();
    for (qsizetype I = 0; I < N; ++I) {
        char32_t C = Text[I].unicode();
        if (C < 0x80) {
            D[J++] = static_cast<unsigned char>(C);
        } else if (C < 0x800) {
            D[J++] = static_cast<unsigned char>(0xC0 | (C >> 6));
            D[J++] = static_cast<unsigned char>(0x80 | (C & 0x3F));
        } else if (IsHigh(C) && I + 1 < N && IsLow(Text[I + 1].unicode())) {
            const char32_t Cp = 0x10000 + ((C - 0xD800) << 10) + (Text[I + 1].unicode() - 0xDC00);
            ++I;
            D[J++] = static_cast<unsigned char>(0xF0 | (Cp >> 18));
            D[J++] = static_cast<unsigned char>(0x80 | ((Cp >> 12) & 0x3F));
            D[J++] = static_cast<unsigned char>(0x80 | ((Cp >> 6) & 0x3F));
            D[J++] = static_cast<unsigned char>(0x80 | (Cp & 0x3F));
        } else if (C >= EscapedByteBase + 0x80 && C <= EscapedByteBase + 0xFF) {
            D[J++] = static_cast<unsigned char>(C - EscapedByteBase); // a byte carried through
        } else if (C >= 0xD800 && C <= 0xDFFF) {
            D[J++] = '?'; // any other lone surrogate has no UTF-8 form
        } else {
            D[J++] = static_cast<unsigned char>(0xE0 | (C >> 12));
            D[J++] = static_cast<unsigned char>(0x80 | ((C >> 6) & 0x3F));
            D[J++] = static_cast<unsigned char>(0x80 | (C & 0x3F));
        }
    }
    Out.truncate(J);
    return Out;
}

QString DecodeUtf16LE(QByteArrayView Bytes, QByteArray *TrailingBytes)
{
    const qsizetype Units = Bytes.size() / 2;
    QString Out(Units, Qt::Uninitialized);
    const auto *S = reinterpret_cast<const unsigned char *>(Bytes.data());
    char16_t *Dst = reinterpret_cast<char16_t *>(Out.data());
    for (qsizetype I = 0; I < Units; ++I)
        Dst[I] = char16_t(S[2 * I] | (S[2 * I + 1] << 8));
    if (TrailingBytes)
        *TrailingBytes = Bytes.size() % 2 ? Bytes.last(1).toByteArray() : QByteArray();
    return Out;
}

QByteArray EncodeUtf16LE(QStringView Text)
{
    QByteArray Out(Text.size() * 2, Qt::Uninitialized);
    auto *D = reinterpret_cast<unsigned char *>(Out.data());
    for (qsizetype I = 0, N = Text.size(); I < N; ++I) {
        const char16_t C = Text[I].unicode();
        D[2 * I] = static_cast<unsigned char>(C & 0xFF);
        D[2 * I + 1] = static_cast<unsigned char>(C >> 8);
    }
    return Out;
}

QString DecodeFile(QByteArrayView Bytes, TTextEncoding &Encoding)
{
    Encoding = TTextEncoding();
    const auto *S = reinterpret_cast<const unsigned char *>(Bytes.data());
    if (Bytes.size() >= 2 && S[0] == 0xFF && S[1] == 0xFE) {
        Encoding.Kind = TTextEncodingKind::Utf16LE;
        return DecodeUtf16LE(Bytes.sliced(2), &Encoding.TrailingBytes);
    }
    if (Bytes.size() >= 3 && S[0] == 0xEF && S[1] == 0xBB && S[2] == 0xBF) {
        Encoding.Kind = TTextEncodingKind::Utf8;
        return DecodeUtf8(Bytes.sliced(3));
    }
    return DecodeAnsi(Bytes);
}

QByteArray Encode(QStringView Text, const TTextEncoding &Encoding)
{
    switch (Encoding.Kind) {
    case TTextEncodingKind::Utf16LE:
        return EncodeUtf16LE(Text);
    case TTextEncodingKind::Utf8:
        return EncodeUtf8(Text);
    case TTextEncodingKind::Ansi:
        break;
    }
    return EncodeAnsi(Text);
}

QByteArray ByteOrderMark(const TTextEncoding &Encoding)
{
    switch (Encoding.Kind) {
    case TTextEncodingKind::Utf16LE:
        return QByteArray("\xFF\xFE", 2);
    case TTextEncodingKind::Utf8:
        return QByteArray("\xEF\xBB\xBF", 3);
    case TTextEncodingKind::Ansi:
        break;
    }
    return {};
}

QByteArray EncodeFile(QStringView Text, const TTextEncoding &Encoding)
{
    return ByteOrderMark(Encoding) + Encode(Text, Encoding) + Encoding.TrailingBytes;
}

} // namespace TextCodec
