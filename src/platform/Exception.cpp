#include "Exception.h"

// Anchors the vtable of the root error class in one object file.
