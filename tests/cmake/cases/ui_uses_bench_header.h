#pragma once
#include <bench/OffscreenApp.h>
