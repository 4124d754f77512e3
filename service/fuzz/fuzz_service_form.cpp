// libFuzzer target: an arbitrary request body through the form decoder and request check, and,
// when accepted, through the reply writer and the program's own escaping and positional walk.
// The walk must succeed and give the accepted sentence back, whatever the bytes were.
//
//   CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DORIZUME_BUILD_FUZZERS=ON
//   ninja -C build-fuzz fuzz-service-form
//   build-fuzz/service/fuzz/fuzz-service-form -max_total_time=30 service/fuzz/seeds
//
// bench/fuzz-long runs it (and every other fuzzer) for minutes.

#include "engine/morpheme_resource.h"
#include "service/analyzer.h"
#include "service/parse_request.h"
#include "service/reply_writer.h"
#include "service/utf8.h"

#include <pugixml.hpp>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using orizume::service::Word;

pugi::xml_node elementChild(pugi::xml_node node, int index) {
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element && index-- == 0) {
            return child;
        }
    }
    return {};
}

// Stands in for MeCab: whitespace as the gaps it skips, every other character a word of its own
// (with a part of speech that varies, so both kinds of surface handling run).
std::vector<Word> splitLikeTheAnalyzer(const std::string& sentence) {
    std::vector<Word> words;
    std::size_t pos = 0;
    while (pos < sentence.size()) {
        const char c = sentence[pos];
        if (c == ' ' || c == '\t' || c == '\n') {
            orizume::service::appendGapWords(words, sentence.substr(pos, 1));
            ++pos;
            continue;
        }
        const std::size_t length =
            orizume::service::utf8SequenceLength(static_cast<unsigned char>(c));
        const std::string surface = sentence.substr(pos, length);
        words.push_back(Word{surface, surface, (words.size() % 2 == 0) ? "名詞" : "特殊"});
        pos += length;
    }
    return words;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    const orizume::service::ParseRequest request = orizume::service::readParseRequest(body);
    if (!request.ok()) {
        const std::string error = orizume::service::writeError(400, request.error);
        pugi::xml_document doc;
        if (!doc.load_buffer(error.data(), error.size())) {
            std::abort();
        }
        return 0;
    }
    if (!orizume::service::isValidUtf8(request.sentence)) {
        std::abort();
    }
    const std::string reply = orizume::service::writeReply(splitLikeTheAnalyzer(request.sentence));
    const std::string escaped = morphemeResource::replaceAllTheSpecialCharactersToSymbol(reply);
    pugi::xml_document doc;
    if (!doc.load_buffer(escaped.data(), escaped.size(),
                         pugi::parse_default | pugi::parse_ws_pcdata_single, pugi::encoding_utf8)) {
        std::abort();
    }
    const pugi::xml_node list = elementChild(elementChild(doc.document_element(), 0), 2);
    if (!list) {
        std::abort();
    }
    std::string text;
    for (pugi::xml_node word = list.first_child(); word; word = word.next_sibling()) {
        std::string surface = word.first_child().first_child().value();
        if (std::string_view(word.last_child().first_child().value()) == "特殊") {
            if (surface == "EndOfLine") {
                surface = "\n";
            } else if (surface == "tab") {
                surface = "\t";
            } else if (surface == "space") {
                surface = " ";
            }
        }
        text += surface;
    }
    if (text != request.sentence) {
        std::abort();
    }
    return 0;
}
