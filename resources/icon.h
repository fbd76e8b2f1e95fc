// The program's icon, built into the executable.
#pragma once

#include <QIcon>

namespace kurvane::gui {

QIcon ProgramIcon();

}  // namespace kurvane::gui
