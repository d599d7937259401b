#pragma once
// Text conversions between the dialog model (UTF-8, CR LF line ends, the
// window system's '&' mnemonics) and Qt.
#include <QString>
#include <string>
#include <string_view>

namespace pemblor::gui {

inline QString toQt(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

inline std::string fromQt(const QString& s) {
    const QByteArray bytes = s.toUtf8();
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

// A multi-line edit's model text has CR LF line ends; the Qt widget uses LF.
QString editTextToQt(std::string_view modelText);
std::string editTextFromQt(const QString& widgetText);

// A label caption as shown: "&&" is a literal '&', a single '&' only marks
// the mnemonic letter and is not shown.
QString plainCaption(std::string_view caption);

}  // namespace pemblor::gui
