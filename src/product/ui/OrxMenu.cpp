#include "OrxMenu.h"

const TZuProductMenu &OrxMenu()
{
    static const TZuProductMenu Menu{QStringLiteral("OrvexMenu"), QStringLiteral("&Orvex"),
                                     QStringLiteral("Or&vex Components")};
    return Menu;
}
