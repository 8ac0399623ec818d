#include <clocale>

#include <QApplication>
#include <gtest/gtest.h>

#include "platform/numbers/numbers.h"

namespace tarvenix::test {
void PrepareProcessEnvironment();
void CleanProcessEnvironment();
}  // namespace tarvenix::test

// Every test process runs headless, with its own settings folder and the "C" numeric locale.
int main(int argc, char** argv)
{
    tarvenix::test::PrepareProcessEnvironment();
    ::testing::InitGoogleTest(&argc, argv);
    int result;
    {
        QApplication app(argc, argv);
        std::setlocale(LC_ALL, "C");
        platform::UseCNumericLocale();
        result = RUN_ALL_TESTS();
    }
    tarvenix::test::CleanProcessEnvironment();
    return result;
}
