#pragma once

#include "service/analyzer.h"
#include "service/word_list.h"

#include <atomic>
#include <string>
#include <string_view>

namespace orizume::service {

// The sentence of an analysis request, or why the request is refused.
struct ParseRequest {
    std::string sentence; // normalised (LF line ends, XML-safe); valid only when ok()
    std::string error;    // empty when the request is good

    bool ok() const { return error.empty(); }
};

// Reads the form body of an analysis request: "appid" must be present and non-empty,
// "sentence" present and valid UTF-8 (it may be empty), "results" must be "ma".
ParseRequest readParseRequest(std::string_view body);

// A status with either the words (200) or an XML error body.
struct ServiceReply {
    int status = 200;
    std::string body; // the error document when status is not 200
    WordList words;
};

// Answers an analysis request: 200 and the word list, or 400 and an error naming the problem.
// cancel is handed to Analyzer::analyze.
ServiceReply answerParseRequest(const Analyzer& analyzer, std::string_view body,
                                const std::atomic<bool>* cancel = nullptr);

} // namespace orizume::service
