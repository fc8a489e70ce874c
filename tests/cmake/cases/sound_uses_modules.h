#pragma once
#include <string>

#include "modules/ModuleFiles.h"
