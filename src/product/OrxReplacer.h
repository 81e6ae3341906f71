// The Orvex product's replacement data: the replacer class whose rename of
// "TDatabase" also declares a transaction, and TOrxProduct, which creates the
// shared options and the three replacers (BDE, IBX, FIBPlus at positions 0, 1
// and 2) with their uses units and replace pairs, and registers the Orvex
// classes with the class registry.
#pragma once

#include "Replacer.h"

#include <QString>
#include <QStringList>

#include <memory>

class TOrxComponentReplacer : public TComponentReplacer
{
public:
    using TComponentReplacer::TComponentReplacer;

    // "TDatabase" (exactly so written) renamed to "TOrxConnection" also
    // declares the transaction that the connection needs: the new name, ";",
    // a line break and "    Transaction: TOrxTransaction". The line break is
    // that of the unit being rewritten (LF in a unit with LF line ends, CR LF
    // otherwise). Every other name gives the new name.
    //
    // In a unit being rewritten the transaction goes only behind a
    // declaration ("Database1: TDatabase;" alone on its line): behind a call
    // (TDatabase.Create), a cast or an "is" test it would not compile. A
    // unit's second and further transactions are named Transaction2,
    // Transaction3, ..., since two fields of one name do not compile either.
    QString GetReplacementText(const QString &OldName, const QString &NewName) const override;

    // True when the identifier at Start..End of Text is the type of a
    // declaration that stands alone on its line: names (separated by commas),
    // ":", the identifier and ";".
    static bool IsDeclaredType(const QString &Text, qsizetype Start, qsizetype End);
};

// Owns the shared options and the three replacers from construction to
// destruction (the library's start-up and shut-down). Constructing it also
// registers the nineteen Orvex classes with the process-wide class registry;
// registering them again (a second TOrxProduct) changes nothing.
class TOrxProduct
{
public:
    // The positions of the replacers, the wizard mode that chooses them.
    enum TPosition : int { BdePosition = 0, IbxPosition = 1, FibPlusPosition = 2 };
    static constexpr int ReplacerCount = 3;

    TOrxProduct();
    ~TOrxProduct();
    TOrxProduct(const TOrxProduct &) = delete;
    TOrxProduct &operator=(const TOrxProduct &) = delete;

    // The options that the three replacers share ("BDE/IBX/FibPlus").
    TReplaceOptions &ReplaceOptions() const { return *FReplaceOptions; }
    // The replacer at Position 0 (BDE, the default), 1 (IBX) or 2 (FIBPlus);
    // nullptr for any other position.
    TOrxComponentReplacer *Replacer(int Position) const;
    // The position of the source set named "bde", "ibx" or "fibplus" (letter
    // case ignored), or -1.
    static int ReplacerIndexOf(const QString &SourceSet);
    // "bde", "ibx" and "fibplus", by position.
    static QStringList SourceSetNames();

private:
    std::unique_ptr<TReplaceOptions> FReplaceOptions;
    std::unique_ptr<TOrxComponentReplacer> FBdeReplacer;
    std::unique_ptr<TOrxComponentReplacer> FIbxReplacer;
    std::unique_ptr<TOrxComponentReplacer> FFibPlusReplacer;
};
