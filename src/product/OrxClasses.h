// The Orvex classes that the product registers with the class registry, and
// the names of the properties each of them publishes. The default property
// conversion keeps a form property of a converted object only when the new
// class publishes it, so this table decides which properties survive.
#pragma once

#include <QString>
#include <QStringList>

// The names of the nineteen Orvex classes of the table, in table order.
QStringList orxClassNames();
// The published properties of an Orvex class of the table (exact class
// name); empty for any other name.
QStringList orxPublishedProperties(const QString &ClassName);
// Registers an Orvex class of the table with the process-wide class registry.
// Raises EAssertionFailed for a name that the table does not hold.
void registerOrxClass(const QString &ClassName);
