#include "app/window_look.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStringList>
#include <QWidget>

#include "resources/texts.h"

namespace kurvane::gui {

namespace {

QFont FontOf(const QStringList& families, QFont::StyleHint hint, int pixelSize)
{
    QFont font;
    font.setFamilies(families);
    font.setStyleHint(hint);
    font.setPixelSize(pixelSize);
    return font;
}

}  // namespace

QFont GothicFont(int pixelSize)
{
    return FontOf({QString::fromUtf8(texts::kGothicFont), "MS Gothic", "IPAGothic", "Noto Sans Mono CJK JP"},
                  QFont::TypeWriter, pixelSize);
}

QFont PGothicFont(int pixelSize)
{
    return FontOf({QString::fromUtf8(texts::kPGothicFont), "MS PGothic", "IPAPGothic", "Noto Sans CJK JP"},
                  QFont::SansSerif, pixelSize);
}

QPoint CentredOrigin(const QRect& screen, const QSize& window)
{
    // C++ division truncates toward zero, as the placement has always done.
    return {screen.left() + (screen.width() - window.width()) / 2,
            screen.top() + (screen.height() - window.height()) / 2};
}

void CentreOnPrimaryScreen(QWidget& window)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    window.move(CentredOrigin(screen->geometry(), window.frameGeometry().size()));
}

QString WithLineBreaks(const QString& text)
{
    QString result = text;
    result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    result.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return result;
}

QString CoreText(std::string_view utf8)
{
    return WithLineBreaks(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
}

}  // namespace kurvane::gui
