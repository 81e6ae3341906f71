// TOrxFormParser: the form parser of the Orvex product, used by all three
// replacers. Its ConvertProperty first tries the rules that say how IBX and
// FIBPlus components (and a few BDE properties) are expressed with Orvex
// components, and hands every property that none of them takes to the
// default conversion (DefaultConversion.h). Its MakeObject adds
// "AutoCommit = True" to the converted BDE, InfoPower and IBX datasets,
// scripts and SQL objects, as their last property.
#pragma once

#include "FormParser.h"

class TOrxFormParser : public TFormParser
{
public:
    using TFormParser::TFormParser;

    void ConvertProperty(const QString &PropName, const QString &PropValue) override;
    QString MakeObject(int Level) override;

    // True when a converted object of this old class (letter case ignored)
    // receives "AutoCommit = True".
    static bool IsAutoCommitClass(QStringView OldClass);

private:
    // Applies the first product rule that takes the property; false when
    // none does.
    bool convertByProductRules(const QString &PropName, const QString &PropValue);
};
