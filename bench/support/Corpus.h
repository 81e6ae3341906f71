// Generator of realistic Delphi sources for the benchmarks: units with form
// classes, data-access components, comments, strings and non-ASCII text, and
// text forms with datasets and persistent fields, in the shapes that legacy
// projects have.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class QRandomGenerator;

namespace Corpus {

// One unit named UnitName, about 8 to 20 KB, with a form class when
// WithForm is set ({$R *.dfm} and fields of BDE classes).
QString MakeUnit(const QString &UnitName, bool WithForm, QRandomGenerator &Rng);

// The text form of a unit's form: a form or data module with datasets,
// persistent fields, string lists and visual controls.
QString MakeForm(const QString &FormName, QRandomGenerator &Rng);

// Units encoded in windows-1252 until at least TargetBytes are reached.
QList<QByteArray> MakeUnitFiles(qsizetype TargetBytes, unsigned Seed);

} // namespace Corpus
