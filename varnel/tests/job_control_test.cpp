// Which job holds the transfer buttons. The window asks at the end of each job whether that
// job may give the buttons back; an end that comes late or twice must not free the buttons of
// the job that holds them now, or a detection would turn them on while that job runs.
#include "job_control.h"

#include <gtest/gtest.h>

namespace {

TEST(JobControl, OnlyTheJobThatHoldsTheButtonsGivesThemBack) {
    JobControl jobs;
    EXPECT_FALSE(jobs.JobRunning());
    EXPECT_FALSE(jobs.JobEnded(0)) << "a record no job was started on holds nothing";

    const int first = jobs.JobStarted();
    EXPECT_TRUE(jobs.JobRunning());
    EXPECT_FALSE(jobs.JobEnded(0));
    EXPECT_TRUE(jobs.JobRunning());

    // The first job's end comes only after a second job took the buttons.
    const int second = jobs.JobStarted();
    EXPECT_NE(first, second);
    EXPECT_FALSE(jobs.JobEnded(first));
    EXPECT_TRUE(jobs.JobRunning()) << "a late end freed the buttons of the job that holds them";

    EXPECT_TRUE(jobs.JobEnded(second));
    EXPECT_FALSE(jobs.JobRunning());
    EXPECT_FALSE(jobs.JobEnded(second)) << "the same end, once more";

    // A job started once the buttons are free holds them again.
    const int third = jobs.JobStarted();
    EXPECT_NE(third, 0);
    EXPECT_FALSE(jobs.JobEnded(second));
    EXPECT_TRUE(jobs.JobRunning());
    EXPECT_TRUE(jobs.JobEnded(third));
}

}  // namespace
