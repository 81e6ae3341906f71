#include "ClassRegistry.h"

TPublishedProperties::TPublishedProperties(const QStringList &Names)
{
    FNames.reserve(Names.size());
    for (const QString &Name : Names)
        FNames.insert(Name.toLower());
}

bool TPublishedProperties::Contains(QStringView Name) const
{
    return FNames.contains(Name.toString().toLower());
}

bool TPublishedProperties::CarriesProperty(QStringView FullName) const
{
    const qsizetype Dot = FullName.indexOf(u'.');
    if (Dot < 0)
        return Contains(FullName);
    const QStringView First = FullName.left(Dot + 1); // with its dot
    return Contains(First.chopped(1)) || Contains(First);
}

TClassRegistry &TClassRegistry::Global()
{
    static TClassRegistry Registry;
    return Registry;
}

TClassRegistry &TClassRegistry::Sources()
{
    static TClassRegistry Registry;
    return Registry;
}

void TClassRegistry::RegisterClass(const QString &ClassName, const QStringList &PublishedProperties)
{
    FClasses.insert(ClassName.toLower(), TPublishedProperties(PublishedProperties));
}

void TClassRegistry::UnregisterClass(const QString &ClassName)
{
    FClasses.remove(ClassName.toLower());
}

const TPublishedProperties *TClassRegistry::FindClass(QStringView ClassName) const
{
    const auto It = FClasses.constFind(ClassName.toString().toLower());
    return It == FClasses.constEnd() ? nullptr : &*It;
}

bool TClassRegistry::HasPublishedProperty(QStringView ClassName, QStringView PropertyName) const
{
    const TPublishedProperties *Properties = FindClass(ClassName);
    return Properties && Properties->Contains(PropertyName);
}
