// TOrxFormParser: the form parser of the Orvex product, used by all three
// replacers. Its ConvertProperty first tries the rules that say how IBX and
// FIBPlus components (and a few BDE properties) are expressed with Orvex
// components, and hands every property that none of them takes to the
// default conversion (DefaultConversion.h). Its MakeObject adds
// "AutoCommit = True" to the converted BDE, InfoPower and IBX datasets,
// scripts and SQL objects, as their last property. A FIBPlus transaction
// with "TPBMode = tpbDefault" whose TRParams name read_committed gets
// "IsolationLevel = iblReadCommitted", since that is the isolation it ran
// with. MemberFate answers from the same rules for code that uses a
// converted component.
#pragma once

#include "FormParser.h"

class TOrxFormParser : public TFormParser
{
public:
    using TFormParser::TFormParser;

    void ConvertProperty(const QString &PropName, const QString &PropValue) override;
    QString MakeObject(int Level) override;
    TMemberFate MemberFate(const QString &OldClass, const QString &NewClass, const QString &Member) const override;

    // True when a converted object of this old class (letter case ignored)
    // receives "AutoCommit = True".
    static bool IsAutoCommitClass(QStringView OldClass);

protected:
    void BeforeParse() override;

private:
    // A FIBPlus transaction whose TPBMode is tpbDefault takes its isolation
    // from its TRParams: what the object being parsed says of both.
    bool FIsDefaultTpb = false;
    QStringList FTrParams;

    // Applies the first product rule that takes the property; false when
    // none does.
    bool convertByProductRules(const QString &PropName, const QString &PropValue);
};
