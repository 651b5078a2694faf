#pragma once

#include <stdexcept>
#include <string>

namespace tav::dbf {

// What went wrong, for callers that react differently (the sequence draw retries on Busy for a while).
enum class ErrorCode {
    Io,          // the operating system refused a read, write, sync or rename
    NotFound,    // the table file does not exist
    Busy,        // another process holds the table exclusively, or has it open while we want it exclusively
    Locked,      // a record or append lock could not be taken in the time allowed
    BadHeader,   // the .DBF header or field descriptors are damaged or inconsistent
    BadMemo,     // the memo file is missing, damaged, or a memo pointer lies outside it
    BadIndex,    // the production index is missing or damaged
    BadValue,    // a value does not fit the field (too wide, wrong kind)
    BadArgument, // unknown field or tag, record number out of range, bad definition
    ReadOnly,    // a write on a table opened read-only
    NotExclusive // pack, reindex or a schema change on a table not opened exclusively
};

// Every engine failure. what() names the file and the problem, e.g. "PED.DBF: record length 120 disagrees
// with the field descriptors (118)".
class DbfError : public std::runtime_error
{
public:
    DbfError(ErrorCode code, const std::string &message) : std::runtime_error(message), m_code(code) {}
    ErrorCode code() const { return m_code; }

private:
    ErrorCode m_code;
};

} // namespace tav::dbf
