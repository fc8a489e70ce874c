#include "core/Words.h"
#include <QWidget>
