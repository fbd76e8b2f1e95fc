// What both windows share in looks: the stand-ins for the Japanese system fonts,
// centring on the primary screen, and the line breaks of the program's texts.
#pragma once

#include <string_view>

#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

class QWidget;

namespace kurvane::gui {

// The fixed-pitch gothic the windows are laid out for, or the closest installed
// stand-in (IPAGothic from fonts-ipafont-gothic). pixelSize is the character height.
QFont GothicFont(int pixelSize);
// The proportional gothic, or IPAPGothic.
QFont PGothicFont(int pixelSize);

// Top-left corner that centres a window of outer size window on screen: the
// halves are whole numbers cut toward zero, also when the window is larger.
QPoint CentredOrigin(const QRect& screen, const QSize& window);
void CentreOnPrimaryScreen(QWidget& window);

// CR LF and lone CR become the line feed Qt's text widgets break lines at.
QString WithLineBreaks(const QString& text);

// One of the program's own texts (UTF-8, CR LF line ends) as the windows show it.
QString CoreText(std::string_view utf8);

}  // namespace kurvane::gui
