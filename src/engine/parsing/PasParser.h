// TPasParser: the lexer for Pascal units, project files and the text form of
// form files. It adds to the base tokenizer the Pascal symbol and keyword
// tables, the character tests of the language, "{ }" block comments and the
// settings that the rewriting needs: blanks and comments come back as lexemes
// and strings keep their quotes, so that the rewritten file can be built from
// the lexemes' texts alone.
#pragma once

#include "Tokenizer.h"

// Codes that the callers test (the symbols and keywords have the codes of
// their place in the tables).
enum TPasLexem : int {
    lexOpenParen = 7,
    lexCloseParen = 8,
    lexStar = 9,
    lexComma = 11,
    lexDot = 13,
    lexSlash = 14,
    lexColon = 15,
    lexSemicolon = 16,
    lexEquals = 18,
    lexKeywordEnd = 28,
    lexKeywordInherited = 29,
    lexKeywordInline = 30,
    lexKeywordItem = 31,
    lexKeywordObject = 32,
    lexKeywordUses = 33,
};

// The two shared lexeme tables: 27 one-character symbols with the codes 1 to
// 27 and the six keywords with the codes 28 to 33. Built on first use and
// never changed afterwards.
const TLexemList &SymbolLexemes();
const TLexemList &KeywordLexemes();

class TPasParser : public TParser
{
public:
    explicit TPasParser(const QString &Text);

protected:
    bool IsSymbolChar(QChar Ch) const override;
    bool IsNumberChar(QChar Ch) const override;
    bool IsStringQuoteChar(QChar Ch) const override;
};
