#include "core/Words.h"


#include "tests/support/TempDir.h"
