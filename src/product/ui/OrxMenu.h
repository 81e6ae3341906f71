// The Orvex product's top-level menu in the IDE, under which the wizard's
// menu item goes.
#pragma once

#include "IDEUtils.h"

// Component name "OrvexMenu", caption "&Orvex"; when another top-level menu
// already shows "Orvex", the product menu reads "Or&vex Components".
const TZuProductMenu &OrxMenu();
