#include "service/parse_request.h"

#include "service/form_decoder.h"
#include "service/reply_writer.h"
#include "service/utf8.h"

namespace orizume::service {

namespace {

ParseRequest refuse(std::string message) {
    return ParseRequest{{}, std::move(message)};
}

} // namespace

ParseRequest readParseRequest(std::string_view body) {
    DecodedForm form = decodeForm(body);
    if (!form.ok()) {
        return refuse(form.error);
    }
    const auto appid = form.fields.find("appid");
    if (appid == form.fields.end() || appid->second.empty()) {
        return refuse("the field \"appid\" is missing or empty");
    }
    const auto sentence = form.fields.find("sentence");
    if (sentence == form.fields.end()) {
        return refuse("the field \"sentence\" is missing");
    }
    if (!isValidUtf8(sentence->second)) {
        return refuse("the field \"sentence\" is not valid UTF-8");
    }
    const auto results = form.fields.find("results");
    if (results == form.fields.end()) {
        return refuse("the field \"results\" is missing");
    }
    if (results->second != "ma") {
        return refuse("the field \"results\" must be \"ma\"");
    }
    return ParseRequest{normaliseInput(sentence->second), {}};
}

ServiceReply answerParseRequest(const Analyzer& analyzer, std::string_view body,
                                const std::atomic<bool>* cancel) {
    const ParseRequest request = readParseRequest(body);
    if (!request.ok()) {
        return ServiceReply{400, writeError(400, request.error), {}};
    }
    return ServiceReply{200, {}, analyzer.analyze(request.sentence, cancel)};
}

} // namespace orizume::service
