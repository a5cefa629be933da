#include "Messages.h"

#include "Exception.h"

#include <iterator>

namespace vrel {

namespace {

const char* const kProtocolMessages[kProtocolMessageCount] = {
    "(KvVREL) Ok!",
    "(KvVREL) Fail to read VREL variables from file([FILENAME])!",
    "(KvVREL) Bad format at line([LINENO])in VREL variables file([FILENAME])!",
    "(KvVREL) Bad syntax at line([LINENO])in VREL variables file([FILENAME])!",
    "(KvVREL) Bad access type at line([LINENO])in VREL variables file([FILENAME])!",
    "(KvVREL) Bad variable ID!",
    "(KvVREL) Bad command type!",
    "(KvVREL) Bad value type!",
    "(KvVREL) Socket not ready!Please check if the network is ready.",
    "(KvVREL) Socket read/write error!",
    "(KvVREL) Bad MAC address!",
    "(KvVREL) Password Error!",
    "(KvVREL) Not Done!",
    "(KvVREL) Bad packet!",
    "(KvVREL) Timeout!",
    "(KvVREL) Unknown error!",
    "(KvVREL) Bad VREL response variable index in the expression!",
    "(KvVREL) Bad VREL syntax in the expression!",
    "(KvVREL) Bad value of VREL variable's (partial) data!",
    "(KvVREL) Out of range about the starting byte index of the VREL variable's (partial) data "
    "related to a edit!",
    "(KvVREL) No reference option list for ComboBox or RadioGroup control!",
    "(KvVREL) Out of range about the bit index of the VREL variable's (partial) data related to "
    "a edit!",
    "(KvVREL) Bad syntax of the VREL variable's (partial) data which is no reference option list "
    "and related a checkbox!",
    "(KvVREL) Count of the edits is not enough to put the VREL variable's partial value on them!",
    "(KvVREL) Bad type of the VCL controls to be the edits related with a VREL variable's "
    "(partial) data!",
};

const char* const kCommonMessages[kCommonMessageCount] = {
    "(KvCommon) Ok!",
    "(KvCommon) Bad logic operand!",
    "(KvCommon) Bad format specifier of edit's constraint!",
    "(KvCommon) Empty value is not allowed!",
    "(KvCommon) Please enter a string whose length is less than [MAXLEN]!",
    "(KvCommon) Please enter a string whose length is [LEN]!",
    "(KvCommon) Please enter a hex string whose length is less than [MAXLEN]!",
    "(KvCommon) Please enter a hex string whose length is [LEN]!",
    "(KvCommon) Please enter a number between [MIN] and [MAX]!",
    "(KvCommon) Please enter a delimited number string with delimiter '[DELIMITER]'.\n"
    "Here,the count of the number is less than [MAXCOUNT]!",
    "(KvCommon) Please enter a delimited number string with delimiter '[DELIMITER]'.\n"
    "Here,the count of the number is equal to [COUNT]!",
    "(KvCommon) Please enter a delimited number string with delimiter '[DELIMITER]'.\n"
    "Here,each number is between [MIN] and [MAX]!",
    "(KvCommon) Out of range at index of array or list!",
    "(KvCommon) Destination buffer is undersize!",
    "(KvCommon) The source to dncrypt is not encrypted!",
    "(KvCommon) Fail to read data from file([FILENAME])!",
    "(KvCommon) Fail to write data to file([FILENAME])!",
    "(KvCommon) Fail to write value in ini file([FILENAME])!",
    "(KvCommon) Fail to read option data from file([FILENAME])!",
};

const char* const kLogFormats[] = {
    "Discover:[ERROR]Request:[VARLIST].Receive at [TIME].",
    "Get:[ERROR]Request:[VARLIST].Receive at [TIME].",
    "Set:[ERROR]Request:[VARLIST].Receive at [TIME].",
};

constexpr int kUnknownErrorIndex = 15;

} // namespace

std::string MessageForCode(int code) {
    // Range first: negating an arbitrary int could overflow.
    if (code <= -1001 && code >= -1000 - (kProtocolMessageCount - 1))
        return kProtocolMessages[-code - 1000];
    return kProtocolMessages[code == 0 ? 0 : kUnknownErrorIndex];
}

std::string CommonMessageForCode(int code) {
    if (code <= 0 && code > -kCommonMessageCount)
        return kCommonMessages[-code];
    return MessageForCode(code);
}

std::string LogFormat(int index) {
    if (index < 0 || index >= static_cast<int>(std::size(kLogFormats)))
        index = kLogGet;
    return kLogFormats[index];
}

std::string ReplaceAll(const std::string& source, const std::string& pattern,
                       const std::string& replacement) {
    if (pattern.empty())
        return source;
    std::string result;
    std::size_t from = 0;
    for (auto at = source.find(pattern); at != std::string::npos; at = source.find(pattern, from)) {
        result.append(source, from, at - from).append(replacement);
        from = at + pattern.size();
    }
    result.append(source, from, std::string::npos);
    return result;
}

void RaiseVrel(int code) { throw Exception(MessageForCode(code), code); }

void RaiseCommon(int code) { throw Exception(CommonMessageForCode(code), code); }

void RaiseConvert(const char* format, const std::string& text) {
    throw ConvertError(ReplaceAll(format, "%s", text));
}

} // namespace vrel
