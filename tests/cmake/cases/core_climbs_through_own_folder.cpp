#include "core/Words.h"
#  include "core/../sound/WaveImage.h"
