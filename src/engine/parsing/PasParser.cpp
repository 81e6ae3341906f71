#include "PasParser.h"

namespace {

TLexemList BuildSymbols()
{
    // Code = place in this text, from 1.
    const QString Symbols = QStringLiteral("!\"#%&'()*+,-./:;<=>?@[\\]^_`");
    TLexemList List;
    for (int I = 0; I < Symbols.size(); ++I)
        List.Add(Symbols.mid(I, 1), I + 1);
    List.Sort();
    return List;
}

TLexemList BuildKeywords()
{
    TLexemList List;
    int Code = 28;
    for (const char *Word : {"END", "INHERITED", "INLINE", "ITEM", "OBJECT", "USES"})
        List.Add(QString::fromLatin1(Word), Code++);
    List.Sort();
    return List;
}

} // namespace

const TLexemList &SymbolLexemes()
{
    static const TLexemList List = BuildSymbols();
    return List;
}

const TLexemList &KeywordLexemes()
{
    static const TLexemList List = BuildKeywords();
    return List;
}

TPasParser::TPasParser(const QString &Text) : TParser(Text)
{
    SetSymbols(&SymbolLexemes());
    SetKeywords(&KeywordLexemes());
    SetBlockComment(u'{', u'}');
    SkipBlanks = false;
    SkipComments = false;
    KeepStringQuotes = true;
}

bool TPasParser::IsSymbolChar(QChar Ch) const
{
    const char16_t C = Ch.unicode();
    if (C == u'$')
        return false;
    return (C >= 0x21 && C <= 0x2F) || (C >= 0x3A && C <= 0x40) || (C >= 0x5B && C <= 0x5E) || C == 0x60
        || (C >= 0x7B && C <= 0x7E);
}

bool TPasParser::IsNumberChar(QChar Ch) const
{
    const char16_t C = Ch.unicode();
    return C == u'$' || (C >= u'0' && C <= u'9') || (C >= u'A' && C <= u'F') || (C >= u'a' && C <= u'f');
}

bool TPasParser::IsStringQuoteChar(QChar Ch) const
{
    return Ch == u'\'';
}
