#include "engine/hooks.h"
#include "engine/line_end.h"
#include "engine/sequencer.h"

#include <fstream>
#include <optional>

void sequencerClass::writeToTextFile() {
    const std::optional<std::string> path = engine::chooseSaveFile("", "sample.txt");
    if (!path)
        return; // cancelled: nothing written, no cursor moves
    std::ofstream file(*path, std::ios::binary | std::ios::trunc);
    if (!file) {
        engine::messageBox("ファイルを作成できません: " + *path);
        return;
    }
    if (myStatus != mergeIdle)
        closePendingUnit();
    for (std::size_t i = 1; i < myMorpheme.size(); ++i) {
        const std::string name = i < myNameOfMorpheme.size() ? myNameOfMorpheme[i] : std::string();
        file << name << engine::kLineEnd;
        std::string line;
        std::string text;
        // A pool is read from where its cursor stands: whole between replays.
        while (myMorpheme[i] && myMorpheme[i]->getNextMorpheme(text)) {
            if (line.empty())
                line = text;
            else
                line += "," + text;
            engine::yieldPoint();
        }
        file << line << engine::kLineEnd << engine::kLineEnd;
        engine::yieldPoint();
    }
    file.close();
    myPointer = -1;
    rewindPools();
    if (!file)
        engine::messageBox("ファイルを書き込めません: " + *path);
}
