// The compiled driver query rules: a rule the library cannot read is a
// malformed image that the image's validation refuses. The runtime trusts a
// validated image and does not judge the rule again on every query, but
// whatever rule it is given it stays inside the caller's buffer and leaves
// nothing allocated.
#include <string>
#include <vector>

#include "drv_fixture.h"
#include "drv_rules.h"
#include "image_validate.h"

namespace {

class DrvRulesTest : public DrvTest {
protected:
    // Rebuilds the image with the rule of `key` changed by `edit`.
    template <typename Edit> void editRule(uint32_t key, Edit edit)
    {
        image = DrvImage();
        image.build();
        for (ZMD_QueryRule &rule : image.b.queryRules) {
            if (rule.key == key) {
                edit(rule);
            }
        }
        view = image.b.view();
        env = fake.env(&view);
    }
    int32_t ask(uint32_t key)
    {
        uint32_t size = 0;
        std::vector<uint8_t> buf(1000);
        return query(key, static_cast<uint32_t>(buf.size()), buf.data(), &size);
    }
};

void Collect(void *ctx, const char *message)
{
    static_cast<std::string *>(ctx)->append(message).append("\n");
}

TEST_F(DrvRulesTest, UnreadableRulesAreMalformedImages)
{
    using Edit = void (*)(ZMD_QueryRule &);
    struct Case {
        Edit edit;
        const char *fault;
    };
    const Case cases[] = {
        {[](ZMD_QueryRule &r) { r.form = 0; }, "unknown form 0"},
        {[](ZMD_QueryRule &r) { r.form = ZMD_QUERY_PARAMETER_SET + 1; }, "unknown form 5"},
        {[](ZMD_QueryRule &r) { r.flags = 0x02; }, "unknown flags 2"},
        {[](ZMD_QueryRule &r) {
             r.choiceKeys[1] = r.choiceKeys[0];
             r.choiceKeys[0] = 0;
         },
         "second per-choice key without a first"},
        {[](ZMD_QueryRule &r) { r.choiceFields[0] = 0; }, "fills item word 0"},
        {[](ZMD_QueryRule &r) { r.choiceFields[0] = 4; }, "fills item word 4"},
        {[](ZMD_QueryRule &r) { r.choiceFields[0] = 9; }, "fills item word 9"},
        {[](ZMD_QueryRule &r) { r.choiceFields[0] = 0xFFFF; }, "fills item word 65535"},
    };
    image = DrvImage();
    image.build();
    view = image.b.view();
    ASSERT_EQ(ZMD_ValidateQueryRules(&view, nullptr, nullptr), ZMD_OK) << "the rules as built";
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        editRule(0x1010, cases[i].edit);
        std::string faults;
        EXPECT_EQ(ZMD_ValidateQueryRules(&view, Collect, &faults), ZMD_ERROR) << "edit " << i;
        EXPECT_NE(faults.find(cases[i].fault), std::string::npos) << "edit " << i << ": " << faults;
        // Given to the runtime all the same: an answer, never a write past the
        // buffer (the guard words after it keep their fill) or a leak.
        std::vector<uint8_t> buf(1000 + 64, 0xA5);
        uint32_t size = 0;
        const int32_t r = query(0x1010, 1000, buf.data(), &size);
        EXPECT_TRUE(r == ZMD_OK || r == ZMD_ERROR || r == ZMD_NOT_FOUND || r == ZMD_MORE_DATA) << "edit " << i;
        for (size_t at = 1000; at < buf.size(); ++at) {
            ASSERT_EQ(buf[at], 0xA5) << "edit " << i << ": byte " << at << " past the buffer";
        }
        EXPECT_EQ(fake.outstanding(), 0u) << "edit " << i;
    }
}

// A per-choice key that fills a word outside the 20-byte item is refused
// where the word would be written, not trusted.
TEST_F(DrvRulesTest, AFieldOutsideTheItemIsNeverWritten)
{
    editRule(0x1010, [](ZMD_QueryRule &r) { r.choiceFields[0] = 9; });
    EXPECT_EQ(ask(0x1010), ZMD_ERROR);
    EXPECT_EQ(fake.outstanding(), 0u);
}

TEST_F(DrvRulesTest, SoundRulesAnswerAndTheFirstRuleOfAKeyWins)
{
    const ZMD_QueryRule *rule = nullptr;
    ASSERT_EQ(ZMD_FindQueryRule(&view, 0x1010, &rule), ZMD_OK);
    EXPECT_EQ(rule->form, ZMD_QUERY_LIST);
    EXPECT_EQ(ask(0x1010), ZMD_OK);
    EXPECT_EQ(ZMD_FindQueryRule(&view, 0x7010, &rule), ZMD_NOT_FOUND) << "no rule for the key";

    // A later rule for the same key is never read, sound or not (and the
    // validation refuses the second rule of a key).
    image = DrvImage();
    image.build();
    ZMD_QueryRule broken = image.b.queryRules.front();
    broken.form = 0;
    image.b.queryRules.push_back(broken);
    view = image.b.view();
    env = fake.env(&view);
    ASSERT_EQ(ZMD_FindQueryRule(&view, broken.key, &rule), ZMD_OK);
    EXPECT_EQ(rule->form, ZMD_QUERY_LIST);
    std::string faults;
    EXPECT_EQ(ZMD_ValidateQueryRules(&view, Collect, &faults), ZMD_ERROR);
    EXPECT_NE(faults.find("has a rule before"), std::string::npos) << faults;
}

// As when the catalogue lacks the list the rule names: not found, not a
// list without names.
TEST_F(DrvRulesTest, AListRuleNamingAMissingCatalogueListIsNotFound)
{
    editRule(0x1010, [](ZMD_QueryRule &r) { r.listNumber = 99; });
    EXPECT_EQ(ask(0x1010), ZMD_NOT_FOUND);
    editRule(0x100F, [](ZMD_QueryRule &r) { r.listNumber = 99; });
    EXPECT_EQ(ask(0x100F), ZMD_NOT_FOUND);
}

TEST_F(DrvRulesTest, WithoutARuleTableEveryKeyAnswersFromItsTree)
{
    image = DrvImage();
    image.build();
    image.b.queryRules.clear();
    view = image.b.view();
    env = fake.env(&view);
    const ZMD_QueryRule *rule = nullptr;
    EXPECT_EQ(ZMD_FindQueryRule(&view, 0x1010, &rule), ZMD_NOT_FOUND);
    EXPECT_FALSE(ZMD_IsListKey(&view, 0x1010));
}

} // namespace
