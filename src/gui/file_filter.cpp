#include "gui/file_filter.hpp"

#include "gui/qt_text.hpp"

namespace pemblor::gui {

namespace {

// The console's file patterns are meant without regard to case, so "*.cmd"
// must list "DATA.CMD" too: each letter becomes a set of both cases.
QString caseless(const QString& pattern) {
    QString out;
    for (const QChar c : pattern) {
        if (c.isLetter() && c.toLower() != c.toUpper()) {
            out += QLatin1Char('[') + c.toLower() + c.toUpper() + QLatin1Char(']');
        } else {
            out += c;
        }
    }
    return out;
}

// "*.cmd;*.txt" -> "*.[cC][mM][dD] *.[tT][xX][tT]"; "*.*" matches names without a dot as well.
QString qtPatterns(const QString& patterns) {
    QStringList out;
    for (const QString& p : patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString t = p.trimmed();
        if (t.isEmpty()) continue;
        out << (t == QLatin1String("*.*") ? QStringLiteral("*") : caseless(t));
    }
    return out.join(QLatin1Char(' '));
}

}  // namespace

QStringList qtNameFilters(std::string_view filter) {
    const QStringList parts = toQt(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString name = parts[i];
        const QString patterns = parts[i + 1];
        if (name.isEmpty() || patterns.trimmed().isEmpty()) break;  // "||" ends the list
        const QString qt = qtPatterns(patterns);
        const QString shown = QLatin1Char('(') + patterns + QLatin1Char(')');
        if (name.endsWith(shown)) {
            filters << name.left(name.size() - shown.size()) + QLatin1Char('(') + qt + QLatin1Char(')');
        } else {
            filters << name + QStringLiteral(" (") + qt + QLatin1Char(')');
        }
    }
    return filters;
}

}  // namespace pemblor::gui
