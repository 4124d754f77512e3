#include "engine/sequencer.h"
#include "engine_test_support.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

namespace fs = std::filesystem;
using enginetest::makeSequencer;
using enginetest::words;

class sequencerClassDumpTest : public enginetest::EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        fs::create_directories(dir);
        engine::hooks().chooseSaveFile = [this](const std::string& type, const std::string& name) {
            asked = type + "|" + name;
            return answer;
        };
    }
    void TearDown() override {
        fs::remove_all(dir);
        EngineTest::TearDown();
    }
    std::string read() const {
        std::ifstream in(dir / "dump.txt", std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    const fs::path dir =
        fs::temp_directory_path() / (std::string("orizume_dump_") +
                                     testing::UnitTest::GetInstance()->current_test_info()->name());
    std::optional<std::string> answer = (dir / "dump.txt").string();
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
    EXPECT_TRUE(messages.empty());
    seq->writeToTextFile(); // every cursor was rewound: the same file again
    EXPECT_EQ(read(), expected);
    EXPECT_EQ(enginetest::replay(*seq).size(), 9U);
}

TEST_F(sequencerClassDumpTest, CancelOrAFileThatCannotBeCreatedMovesNoCursor) {
    auto seq = makeSequencer(words("副詞 a|副詞 b"));
    std::string s;
    ASSERT_TRUE(seq->getNextMorpheme(s));
    answer.reset();
    seq->writeToTextFile();
    EXPECT_TRUE(fs::is_empty(dir));
    EXPECT_TRUE(messages.empty());
    answer = (dir / "no such folder" / "dump.txt").string();
    seq->writeToTextFile();
    EXPECT_EQ(messages, std::vector<std::string>{"ファイルを作成できません: " + *answer});
    ASSERT_TRUE(seq->getNextMorpheme(s));
    EXPECT_EQ(s, "b");
}

} // namespace
