#include "ui/Page.h"

#include <QLabel>
#include <QtWidgets/QWidget>

#include "core/Database.h"
#include "learn/TileBoard.h"
#include "ui_TabSheet1.h"
