#include "engine/sequencer.h"
#include "engine_test_support.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using enginetest::makeSequencer;
using enginetest::replay;

class sequencerClassDumpTest : public enginetest::EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        dir = fs::temp_directory_path() /
              (std::string("orizume_dump_") +
               testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        answer = (dir / "dump.txt").string();
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
        std::stringstream all;
        all << std::ifstream(dir / "dump.txt", std::ios::binary).rdbuf();
        return all.str();
    }

    fs::path dir;
    std::optional<std::string> answer;
    std::string asked;
};

TEST_F(sequencerClassDumpTest, WritesSevenBlocksInReplayOrder) {
    // Ends in a noun run: the last unit belongs in the dump too.
    auto seq = makeSequencer(enginetest::words(
        "特殊 |名詞 東京|助詞 は|名詞 勉強|動詞 する|特殊 、|特殊 |副詞 とても|名詞 京都"));
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
    EXPECT_EQ(replay(*seq).size(), 9U);
}

TEST_F(sequencerClassDumpTest, CancelWritesNothingAndMovesNothing) {
    auto seq = makeSequencer(enginetest::words("副詞 a|副詞 b"));
    std::string s;
    ASSERT_TRUE(seq->getNextMorpheme(s));
    answer.reset();
    seq->writeToTextFile();
    EXPECT_TRUE(fs::is_empty(dir));
    ASSERT_TRUE(seq->getNextMorpheme(s));
    EXPECT_EQ(s, "b");
}

TEST_F(sequencerClassDumpTest, FileThatCannotBeCreatedIsReported) {
    answer = (dir / "no such folder" / "dump.txt").string();
    auto seq = makeSequencer(enginetest::words("副詞 a"));
    seq->writeToTextFile();
    EXPECT_EQ(messages, std::vector<std::string>{"ファイルを作成できません: " + *answer});
    EXPECT_EQ(replay(*seq), std::vector<std::string>{"a"});
}

} // namespace
