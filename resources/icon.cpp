#include "resources/icon.h"

namespace kurvane::gui {

QIcon ProgramIcon() { return QIcon(QStringLiteral(":/kurvane/kurvane.svg")); }

}  // namespace kurvane::gui
