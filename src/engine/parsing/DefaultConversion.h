// The default property conversion of the form parser: the rules for the BDE
// classes (database name to connection, the parameter list of a TDatabase,
// master source, parameters, index definitions) and the filter that keeps a
// property only when the new class publishes it (TClassRegistry). The product
// parser tries its own rules first and hands everything else to these.
//
// Also the reading and writing of the string values of a form (Delphi string
// literals and string lists) that these rules and the product rules share.
#pragma once

#include "MemberFate.h"

#include <QString>
#include <QStringList>
#include <QStringView>

class TFormParser;

// The default ConvertProperty: appends what the rules make of one property of
// the object being parsed (its old class is the parse state's TypeName, its
// new class the parser's NewClassName) through Parser.AddProperty.
void ConvertPropertyByDefault(TFormParser &Parser, const QString &PropName, const QString &PropValue);

// What the default rules make of the member Member of an object converted
// from OldClass to NewClass (TFormParser::MemberFate): a dataset's
// DatabaseName becomes a Connection object, a TQuery's DataSource is renamed
// MasterSource, and a property that the old class publishes (the registry of
// source classes) and the new class does not is missing. Names are compared
// without regard to letter case.
TMemberFate MemberFateByDefault(const QString &OldClass, const QString &NewClass, const QString &Member);

// The value of a string as a form writes it: quoted parts ('it''s'),
// character codes (#1055, #$41) and parts joined by "+" across lines. A text
// that is no such string gives itself without its first and last character,
// blanks and control characters around it removed first.
QString unquotedString(QStringView Text);
// Value as a string of a form: runs of printable ASCII between quotes (a
// quote doubled), every other character as #n, "''" for an empty value.
QString quotedString(QStringView Value);
// The items of a string-list value "('a' 'b')", decoded. A value that is not
// such a list is read line by line: without its parentheses, split at line
// breaks, each line trimmed and without its first and last character.
QStringList stringListItems(QStringView ValueText);
// The value of the first item "name=value" whose name equals Key without
// regard to letter case; empty when there is none.
QString valueOfKey(const QStringList &Items, QStringView Key);
// The non-empty items of a parameter list whose names are none of Keys
// (letter case ignored): what a connection's conversion leaves behind.
QStringList itemsWithoutKeys(const QStringList &Items, const QStringList &Keys);
