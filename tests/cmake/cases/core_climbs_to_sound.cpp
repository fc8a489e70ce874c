#include "core/Words.h"
#include "../sound/WaveImage.h"
