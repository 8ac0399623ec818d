#include <clocale>
#include <cstring>

#include <QApplication>
#include <gtest/gtest.h>

#include "platform/gdi/window_dc.h"
#include "platform/kernel/cpu_features.h"
#include "platform/numbers/numbers.h"
#include "tests/support/modal_responder.h"
#include "tests/support/ui_helpers.h"

namespace tarvenix::test {
void PrepareProcessEnvironment();
void CleanProcessEnvironment();

namespace {

// Every test starts with an empty responder; answers it queued but never needed fail it,
// since the code under test did not ask what the test expected.
class ResponderCheck : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { Responder().Reset(); }
    void OnTestEnd(const ::testing::TestInfo&) override
    {
        PumpEvents();  // deferred deletions of windows the test destroyed
        if (Responder().Unused() != 0)
            ADD_FAILURE() << Responder().Unused() << " queued modal answer(s) were never asked for";
        Responder().Reset();
    }
};

}  // namespace
}  // namespace tarvenix::test

// Every test process runs headless, with its own settings folder and the "C" numeric locale.
// Modal questions go to the test responder, so no test waits for a person. With --avx2=off
// the kernels run their scalar code for the whole process, with --avx512=off their AVX2 code.
int main(int argc, char** argv)
{
    tarvenix::test::PrepareProcessEnvironment();
    ::testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--avx2=off") == 0)
            platform::SetAvx2Paths(false);
        else if (std::strcmp(argv[i], "--avx512=off") == 0)
            platform::SetAvx512Paths(false);
    int result;
    {
        QApplication app(argc, argv);
        std::setlocale(LC_ALL, "C");
        platform::UseCNumericLocale();
        platform::InitDrawing();
        platform::SetModalResponder(&tarvenix::test::Responder());
        ::testing::UnitTest::GetInstance()->listeners().Append(new tarvenix::test::ResponderCheck);
        result = RUN_ALL_TESTS();
        platform::SetModalResponder(nullptr);
        tarvenix::test::PumpEvents();
    }
    tarvenix::test::CleanProcessEnvironment();
    return result;
}
