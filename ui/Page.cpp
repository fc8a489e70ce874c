#include "ui/Page.h"
