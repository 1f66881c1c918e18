// Names shaped like a list file's ("abcde008.ini") never become copies: a
// copy renamed there would take the place of another list.
#include <gtest/gtest.h>

#include "cal_types.h"
#include "calib_flow.h"
#include "list_file.h"
#include "flow_fixture.h"

namespace {

TEST(ListShapedNames, AListedNameOfAListIsNeverOverwritten)
{
    FlowScene s;
    s.writeSource(flowSource("KZ-CAL"));
    const std::string other = "8,1,1,1,table1.dat\r\n";
    s.calib.write("abcde008.ini", other);
    s.calib.write("abcde007.ini", "7,1,2,3,abcde008.ini\r\n");
    EXPECT_EQ(CAL_ERR_FILE, s.call());
    EXPECT_EQ(s.sourceNameBytes(), s.resultBytes());
    EXPECT_EQ(other, s.calib.read("abcde008.ini"));
    EXPECT_FALSE(s.calib.exists(CAL_TEMP_COPY_NAME));
}

TEST(ListShapedNames, CandidatesShapedLikeListsArePassedOver)
{
    // The digits at the varied place would make "abcde001.ini" .. "abcde009.ini".
    FlowScene s("abcde00x.ini");
    s.writeSource(flowSource("KZ-CAL"));
    ASSERT_EQ(CAL_OK, s.call());
    EXPECT_EQ("abcde00a.ini", s.result());
    EXPECT_EQ(s.expected(), s.calibFile("abcde00a.ini"));
    EXPECT_EQ("7,1,2,3,abcde00a.ini\r\n", s.list());
}

} // namespace
