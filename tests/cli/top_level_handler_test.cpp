#include "cli/top_level_handler.h"

#include "cli/ex.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

struct Outcome {
    int status;
    std::string err;
};

Outcome run(const std::function<void()>& work)
{
    testing::internal::CaptureStderr();
    const int status = runReportingErrors(work);
    return {status, testing::internal::GetCapturedStderr()};
}

}  // namespace

TEST(TopLevelHandler, MapsEveryOutcomeToItsStatusAndMessage)
{
    const Outcome fine = run([] {});
    EXPECT_EQ(fine.status, 0);
    EXPECT_EQ(fine.err, "");

    const Outcome input = run([] { throw Ex() << "File '" << "a.vgm" << "' is empty\n"; });
    EXPECT_EQ(input.status, 1);
    EXPECT_EQ(input.err, "error: File 'a.vgm' is empty\n\n");

    const Outcome standard = run([] { throw std::runtime_error("disk on fire"); });
    EXPECT_EQ(standard.status, 1);
    EXPECT_EQ(standard.err, "error: disk on fire\n");

    const Outcome foreign = run([] { throw 42; });
    EXPECT_EQ(foreign.status, 1);
    EXPECT_EQ(foreign.err, "Exception of unknown type!\n");
}
