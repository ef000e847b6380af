// The owners are header-only; this unit keeps the library non-empty and
// checks that the header stands on its own.
#include "support/scoped_handle.h"
