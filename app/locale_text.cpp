#include "app/locale_text.h"

#include <clocale>

#include <QByteArray>

#include "measure/charset.h"

namespace kurvane::gui {

LocaleText LocaleText::FromEnvironment()
{
    std::setlocale(LC_ALL, "");
    return LocaleText(LocaleConverter());
}

LocaleText::LocaleText(const std::string& codeset) : codeset_(ConverterFor(codeset)) {}

QString LocaleText::ToUnicode(std::string_view bytes) const
{
    const std::string utf8 = ToUtf8(bytes, codeset_);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string LocaleText::FromUnicode(const QString& text) const
{
    const QByteArray utf8 = text.toUtf8();
    return FromUtf8(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())), codeset_);
}

}  // namespace kurvane::gui
