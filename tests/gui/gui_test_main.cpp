// Runs every registered Qt Test class in one QApplication. Arguments after the
// program name go to each class (for example -o file,format or a test function).
#include <QApplication>
#include <QTest>
#include <algorithm>
#include <vector>

#include "gui_test_registry.hpp"

namespace pemblor::gui::testing {

namespace {
std::vector<TestFactory>& factories() {
    static std::vector<TestFactory> list;
    return list;
}
}  // namespace

bool registerTest(TestFactory factory) {
    factories().push_back(factory);
    return true;
}

}  // namespace pemblor::gui::testing

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // Test function names among the arguments pick the classes that have them.
    QStringList functions;
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] != '-') functions << QString::fromLocal8Bit(argv[i]).section(QLatin1Char(':'), 0, 0);
    }
    int failures = 0;
    for (auto factory : pemblor::gui::testing::factories()) {
        std::unique_ptr<QObject> test = factory();
        const QMetaObject* meta = test->metaObject();
        const bool wanted = functions.isEmpty() || std::any_of(functions.begin(), functions.end(), [meta](const QString& f) {
            return meta->indexOfMethod(QMetaObject::normalizedSignature(qPrintable(f + QStringLiteral("()")))) >= 0;
        });
        if (wanted) failures += QTest::qExec(test.get(), argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
