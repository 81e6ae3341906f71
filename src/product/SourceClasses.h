// The classes of the old component sets (BDE with InfoPower, IBX, FIBPlus)
// that have a pair, with the properties they publish, registered with the
// registry of source classes (TClassRegistry::Sources). The code scan
// reports a member of a converted component as missing only when the old
// class publishes it and the new class does not.
#pragma once

// Registers every class of the table; registering again replaces them.
void registerSourceClasses();
