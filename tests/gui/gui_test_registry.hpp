#pragma once
// Every Qt Test class of the gui tests registers itself here; one main runs them all.
#include <QObject>
#include <memory>

namespace pemblor::gui::testing {

using TestFactory = std::unique_ptr<QObject> (*)();
bool registerTest(TestFactory factory);

}  // namespace pemblor::gui::testing

#define PEMBLOR_GUI_TEST(Class)                                                      \
    [[maybe_unused]] static const bool Class##Registered =                           \
        ::pemblor::gui::testing::registerTest([]() -> std::unique_ptr<QObject> {     \
            return std::make_unique<Class>();                                        \
        })
