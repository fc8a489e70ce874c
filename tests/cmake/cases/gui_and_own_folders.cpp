#include "core/Database.h"

#include <QAction>
#include <QImage>
#include <QString>
#include <sqlite3.h>

#include "Version.h"
#include "platform/Cp1251.h"
