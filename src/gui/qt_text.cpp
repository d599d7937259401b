#include "gui/qt_text.hpp"

namespace pemblor::gui {

QString editTextToQt(std::string_view modelText) {
    QString s = toQt(modelText);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return s;
}

std::string editTextFromQt(const QString& widgetText) {
    QString s = widgetText;
    s.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return fromQt(s);
}

QString plainCaption(std::string_view caption) {
    QString out;
    const QString in = toQt(caption);
    out.reserve(in.size());
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] == QLatin1Char('&')) {
            if (i + 1 < in.size() && in[i + 1] == QLatin1Char('&')) {
                out += QLatin1Char('&');
                ++i;
            }
            continue;
        }
        out += in[i];
    }
    return out;
}

}  // namespace pemblor::gui
