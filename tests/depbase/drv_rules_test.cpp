// The compiled driver query rules: a rule the library cannot read is a
// malformed image (ZMD_ERROR, nothing allocated left), never a guess.
#include <vector>

#include "drv_fixture.h"
#include "drv_rules.h"

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

TEST_F(DrvRulesTest, UnreadableRulesAreMalformedImages)
{
    using Edit = void (*)(ZMD_QueryRule &);
    const Edit edits[] = {
        [](ZMD_QueryRule &r) { r.form = 0; },
        [](ZMD_QueryRule &r) { r.form = ZMD_QUERY_PARAMETER_SET + 1; },
        [](ZMD_QueryRule &r) { r.flags = 0x02; },
        [](ZMD_QueryRule &r) {
            r.choiceKeys[1] = r.choiceKeys[0];
            r.choiceKeys[0] = 0;
        },
        [](ZMD_QueryRule &r) { r.choiceFields[0] = 0; },
        [](ZMD_QueryRule &r) { r.choiceFields[0] = 4; },
    };
    for (size_t i = 0; i < sizeof edits / sizeof edits[0]; ++i) {
        editRule(0x1010, edits[i]);
        const ZMD_QueryRule *rule = nullptr;
        EXPECT_EQ(ZMD_FindQueryRule(&view, 0x1010, &rule), ZMD_ERROR) << "edit " << i;
        EXPECT_EQ(ask(0x1010), ZMD_ERROR) << "edit " << i;
        EXPECT_FALSE(ZMD_IsListKey(&view, 0x1010)) << "edit " << i;
        EXPECT_EQ(fake.outstanding(), 0u) << "edit " << i;
    }
}

TEST_F(DrvRulesTest, SoundRulesAnswerAndTheFirstRuleOfAKeyWins)
{
    const ZMD_QueryRule *rule = nullptr;
    ASSERT_EQ(ZMD_FindQueryRule(&view, 0x1010, &rule), ZMD_OK);
    EXPECT_EQ(rule->form, ZMD_QUERY_LIST);
    EXPECT_EQ(ask(0x1010), ZMD_OK);
    EXPECT_EQ(ZMD_FindQueryRule(&view, 0x7010, &rule), ZMD_NOT_FOUND) << "no rule for the key";

    // A later rule for the same key is never read, sound or not.
    image = DrvImage();
    image.build();
    ZMD_QueryRule broken = image.b.queryRules.front();
    broken.form = 0;
    image.b.queryRules.push_back(broken);
    view = image.b.view();
    env = fake.env(&view);
    EXPECT_EQ(ZMD_FindQueryRule(&view, broken.key, &rule), ZMD_OK);
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
