// Runs every registered Qt Test class in one QApplication. Arguments after the
// program name go to each class (for example -o file,format or a test function).
#include <QApplication>
#include <QTest>
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
    int failures = 0;
    for (auto factory : pemblor::gui::testing::factories()) {
        std::unique_ptr<QObject> test = factory();
        failures += QTest::qExec(test.get(), argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
