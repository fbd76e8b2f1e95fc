// The user's character set at the windows' edge. What the user types and what
// header.cfg holds are bytes in the locale's code set (UTF-8 on a usual desktop,
// Shift-JIS under a Shift-JIS locale); Qt's widgets hold Unicode.
#pragma once

#include <string>
#include <string_view>

#include <QString>

#include "measure/charset.h"

namespace kurvane::gui {

class LocaleText {
public:
    // The code set of the locale in force (nl_langinfo(CODESET) after setlocale(LC_ALL, "")).
    static LocaleText FromEnvironment();

    // codeset as nl_langinfo names it: "UTF-8", "SHIFT_JIS", "EUC-JP", ...
    explicit LocaleText(const std::string& codeset);

    // The iconv name the conversions use; "UTF-8" needs none.
    const std::string& Codeset() const { return codeset_; }

    // Bytes that do not decode become U+FFFD; characters the code set lacks become "?".
    QString ToUnicode(std::string_view bytes) const;
    std::string FromUnicode(const QString& text) const;

private:
    std::string codeset_;
};

}  // namespace kurvane::gui
