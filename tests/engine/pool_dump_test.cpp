#include "engine/sequencer.h"
#include "engine_test_support.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

using namespace enginetest;

class sequencerClassDumpTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        engine::hooks().chooseSaveFile = [this](const std::string& type, const std::string& name) {
            asked = type + "|" + name;
            return answer;
        };
    }
    void TearDown() override {
        std::filesystem::remove(path);
        EngineTest::TearDown();
    }
    std::string read() const {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    const std::string path = testing::TempDir() + "orizume_dump_" +
                             testing::UnitTest::GetInstance()->current_test_info()->name();
    std::optional<std::string> answer = path;
    std::string asked;
};

TEST_F(sequencerClassDumpTest, WritesSevenBlocksInReplayOrder) {
    // Ends in a noun run: the last unit belongs in the dump too.
    auto seq = makeSequencer(
        words("特殊 |名詞 東京|助詞 は|名詞 勉強|動詞 する|特殊 、|特殊 |副詞 とても|名詞 京都"));
    seq->writeToTextFile();
    EXPECT_EQ(asked, "|sample.txt");
    // A leading empty text adds nothing; a later one adds a comma.
    const std::string expected =
        "名詞\n東京,勉強,京都\n\n動詞+助詞\n\n\n動詞+助動詞\n\n\n動詞\nする\n\n"
        "形容詞\n\n\n副詞\nとても\n\nその他\nは,、,\n\n";
    EXPECT_EQ(read(), expected);
    seq->writeToTextFile(); // every cursor was rewound: the same file again
    EXPECT_EQ(read(), expected);
    // Four units into a replay, the noun pool's cursor is set back by hand: the dump finds its
    // sub-pool 1 used up while sub-pool 2 stands after 東京, and must still rewind everything.
    const Texts units = replay(*seq);
    std::string s;
    for (int unit = 0; unit < 4; ++unit)
        seq->getNextMorpheme(s);
    seq->myMorpheme[1]->setMyPointerAt(0);
    seq->writeToTextFile();
    EXPECT_EQ(replay(*seq), units);
}

TEST_F(sequencerClassDumpTest, CancelOrAFileThatCannotBeCreatedChangesNothing) {
    auto seq = makeSequencer(words("副詞 a|助詞 b|名詞 東京"));
    answer.reset();
    seq->writeToTextFile(); // the noun run stays open for the next noun
    seq->appendSequence("名詞", "大学");
    std::string s;
    ASSERT_TRUE(seq->getNextMorpheme(s));
    seq->writeToTextFile();
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(messages.empty());
    answer = path + "/dump.txt"; // in a folder that does not exist
    seq->writeToTextFile();
    EXPECT_EQ(messages, Texts{"ファイルを作成できません: " + *answer});
    EXPECT_EQ(replay(*seq), (Texts{"b", "東京大学"}));
}

} // namespace
