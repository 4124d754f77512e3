#pragma once

#include <map>
#include <string>
#include <string_view>

namespace orizume::service {

// The fields of an application/x-www-form-urlencoded body, or why it could not be read.
struct DecodedForm {
    std::map<std::string, std::string> fields; // name -> value; the first of repeated names wins
    std::string error;                         // empty when the body was read

    bool ok() const { return error.empty(); }
};

// Decodes a form body: pairs joined by "&", name and value split at the first "=", "+" for a
// space and "%" with two hexadecimal digits for any byte. A "%" without two digits is an error;
// bytes are not checked for UTF-8 here.
DecodedForm decodeForm(std::string_view body);

} // namespace orizume::service
