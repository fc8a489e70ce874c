#include "main/ui/Page.h"
