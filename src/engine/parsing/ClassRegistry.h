// The class registry: classes registered by name, each with the names of the
// properties it publishes. It stands where the runtime's class registry and
// its published-property information stand in Delphi. The default property
// conversion asks it whether a converted object's new class publishes a
// property; the product fills it with the Orvex classes at start-up.
//
// Names are looked up without regard to letter case, as the runtime's class
// lookup and its form reader do.
#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QStringView>

// The published property names of one class. A name that ends with "."
// ("Options.") is a property whose value is an object with sub-properties:
// only its sub-properties ("Options.FetchAll") can be written in a form.
class TPublishedProperties
{
public:
    TPublishedProperties() = default;
    explicit TPublishedProperties(const QStringList &Names);

    bool Contains(QStringView Name) const;
    // True when a form property of this full name ("Font.Name", "Tag") can
    // be written for the class: its first part is published, as a plain
    // property or, for a dotted name, as an object.
    bool CarriesProperty(QStringView FullName) const;
    int Count() const { return int(FNames.size()); }

private:
    QSet<QString> FNames; // in lower case
};

class TClassRegistry
{
public:
    // The process-wide registry (created on first use).
    static TClassRegistry &Global();
    // The process-wide registry of the old component sets' classes, apart
    // from the new ones: what the code scan asks to tell a property of the
    // old class from a method that both classes have.
    static TClassRegistry &Sources();

    // Registers ClassName with its published properties; registering a name
    // again replaces what was registered under it.
    void RegisterClass(const QString &ClassName, const QStringList &PublishedProperties);
    void UnregisterClass(const QString &ClassName);
    // The published properties of a registered class, or nullptr when the
    // class is not registered. The pointer stays valid until the class is
    // registered again or unregistered.
    const TPublishedProperties *FindClass(QStringView ClassName) const;
    // True when ClassName is registered and publishes PropertyName.
    bool HasPublishedProperty(QStringView ClassName, QStringView PropertyName) const;
    bool IsEmpty() const { return FClasses.isEmpty(); }

private:
    QHash<QString, TPublishedProperties> FClasses; // lower-case class name -> properties
};
