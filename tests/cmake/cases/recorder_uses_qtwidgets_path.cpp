#include "recorder/KnobDrag.h"
#include <QImage>
#include <QtWidgets/QLabel>
