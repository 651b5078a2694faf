// dbftool: look into, check and repair the office's dBASE tables from the command line.
//
//   dbftool info FILE [--format=json]
//   dbftool dump FILE [--format=csv|json] [--all]
//   dbftool check FILE
//   dbftool pack FILE
//   dbftool recover FILE      (a damaged table: keeps every whole record, see docs/dbase-engine.md)
//   dbftool reindex FILE
//   dbftool create FILE --fields "NAME:C:10,N_X:N:8:0,..." [--tag FIELD ...] [--version=0x8B]
//
// Errors go to standard error with exit code 1 (2 for a wrong command line).

#include "platform/dbf/DbfTable.h"
#include "platform/text/Cp1252.h"

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

using namespace tav::dbf;

namespace {

struct Usage : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

std::string utf8(const std::string &cp1252)
{
    return tav::text::cp1252ToUtf8(cp1252);
}

std::string jsonString(const std::string &s)
{
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out.push_back(static_cast<char>(c));
            }
        }
    }
    return out + "\"";
}

std::string base64(const Bytes &data)
{
    static const char *alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((data.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 2 < data.size(); i += 3) {
        const uint32_t v = (data[i] << 16) | (data[i + 1] << 8) | data[i + 2];
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += alphabet[(v >> 6) & 63];
        out += alphabet[v & 63];
    }
    if (i + 1 == data.size()) {
        const uint32_t v = data[i] << 16;
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += "==";
    } else if (i + 2 == data.size()) {
        const uint32_t v = (data[i] << 16) | (data[i + 1] << 8);
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += alphabet[(v >> 6) & 63];
        out += '=';
    }
    return out;
}

// A JSON number token for stored numeric text ("12.50", "-.5" -> "-0.5"); empty when it is not one.
std::string jsonNumber(std::string t)
{
    if (t.empty())
        return t;
    if (t[0] == '+')
        t.erase(0, 1);
    const size_t signEnd = (!t.empty() && t[0] == '-') ? 1 : 0;
    if (t.size() > signEnd && t[signEnd] == '.')
        t.insert(signEnd, "0");
    if (!t.empty() && t.back() == '.')
        t.pop_back();
    // Strict JSON grammar: -?(0|[1-9]\d*)(\.\d+)?([eE][+-]?\d+)?
    size_t p = signEnd;
    auto digits = [&] {
        const size_t s = p;
        while (p < t.size() && t[p] >= '0' && t[p] <= '9')
            ++p;
        return p - s;
    };
    const size_t intStart = p;
    const size_t nInt = digits();
    if (nInt == 0)
        return {};
    if (nInt > 1 && t[intStart] == '0') {
        // Leading zeros ("007") are not JSON: drop them.
        size_t z = intStart;
        while (z + 1 < intStart + nInt && t[z] == '0')
            ++z;
        t.erase(intStart, z - intStart);
        p -= z - intStart;
    }
    if (p < t.size() && t[p] == '.') {
        ++p;
        if (digits() == 0)
            return {};
    }
    if (p < t.size() && (t[p] == 'e' || t[p] == 'E')) {
        ++p;
        if (p < t.size() && (t[p] == '+' || t[p] == '-'))
            ++p;
        if (digits() == 0)
            return {};
    }
    return p == t.size() ? t : std::string();
}

const char *typeName(FieldType t)
{
    static char buf[2];
    buf[0] = static_cast<char>(t);
    buf[1] = 0;
    return buf;
}

// The text of a value for dump: null -> nullopt.
struct Cell
{
    bool null = false;
    bool number = false; // emit as a JSON number
    bool boolean = false;
    std::string text;
};

Cell cellOf(const FieldDef &f, const Record &rec, size_t i)
{
    const Value &v = rec.value(i);
    Cell c;
    if (v.isNull()) {
        c.null = true;
        return c;
    }
    char buf[64];
    switch (f.type) {
    case FieldType::Character:
    case FieldType::Memo:
        c.text = utf8(v.isString() ? v.asString() : std::string(v.asBytes().begin(), v.asBytes().end()));
        return c;
    case FieldType::Numeric:
    case FieldType::Float: {
        c.text = rec.rawText(i);
        const std::string j = jsonNumber(c.text);
        if (!j.empty()) {
            c.number = true;
            c.text = j;
        }
        return c;
    }
    case FieldType::Integer:
    case FieldType::AutoInc:
        c.number = true;
        c.text = std::to_string(v.asInt());
        return c;
    case FieldType::Double:
        std::snprintf(buf, sizeof buf, "%.17g", v.asDouble());
        c.number = true;
        c.text = buf;
        return c;
    case FieldType::Date:
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", v.asDate().year, v.asDate().month, v.asDate().day);
        c.text = buf;
        return c;
    case FieldType::Timestamp: {
        const DateTime dt = v.asDateTime();
        const long long ms = dt.msecOfDay;
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02lld:%02lld:%02lld.%03lld", dt.date.year, dt.date.month,
                      dt.date.day, ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
        c.text = buf;
        return c;
    }
    case FieldType::Logical:
        c.boolean = true;
        c.text = v.asBool() ? "true" : "false";
        return c;
    case FieldType::Binary:
    case FieldType::General:
        c.text = base64(v.isBytes() ? v.asBytes() : Bytes(v.asString().begin(), v.asString().end()));
        return c;
    }
    return c;
}

std::string csvField(const std::string &s)
{
    if (s.find_first_of(",\"\r\n") == std::string::npos)
        return s;
    std::string out = "\"";
    for (char c : s) {
        if (c == '"')
            out += "\"\"";
        else
            out.push_back(c);
    }
    return out + "\"";
}

std::string formatOption(const std::vector<std::string> &opts, const std::string &fallback)
{
    std::string format = fallback;
    for (const auto &o : opts) {
        if (o.rfind("--format=", 0) == 0)
            format = o.substr(9);
    }
    return format;
}

bool hasOption(const std::vector<std::string> &opts, const std::string &name)
{
    for (const auto &o : opts) {
        if (o == name)
            return true;
    }
    return false;
}

OpenOptions inspectOptions()
{
    OpenOptions o;
    o.readOnly = true;
    o.validateIndex = false;
    o.loadIndexes = false;
    o.reindexOnClose = false;
    return o;
}

int cmdInfo(const std::string &file, const std::vector<std::string> &opts)
{
    const std::string format = formatOption(opts, "text");
    if (format != "text" && format != "json")
        throw Usage("unknown format " + format);
    Table t = Table::open(file, OpenMode::Shared, inspectOptions());
    const IndexCheck ix = Table::validateProductionIndex(file, true);
    char ver[8];
    std::snprintf(ver, sizeof ver, "0x%02X", t.version());
    char ld[8];
    std::snprintf(ld, sizeof ld, "0x%02X", t.ldid());
    const bool hasMdx = t.hasProductionIndexFlag() || ix.present;
    if (format == "json") {
        std::string o = "{";
        o += "\"version\":" + jsonString(ver) + ",";
        o += "\"level\":" + std::to_string(t.level()) + ",";
        o += "\"ldid\":" + jsonString(ld) + ",";
        o += "\"records\":" + std::to_string(t.recordCount()) + ",";
        o += "\"header_length\":" + std::to_string(t.headerLength()) + ",";
        o += "\"record_length\":" + std::to_string(t.recordLength()) + ",";
        o += "\"fields\":[";
        for (size_t i = 0; i < t.fields().size(); ++i) {
            const auto &f = t.fields()[i];
            o += std::string(i ? "," : "") + "{\"name\":" + jsonString(utf8(f.name)) +
                 ",\"type\":" + jsonString(typeName(f.type)) + ",\"length\":" + std::to_string(f.length) +
                 ",\"decimals\":" + std::to_string(f.decimals) + "}";
        }
        o += "],\"memo\":";
        if (t.memoPath())
            o += "{\"file\":" + jsonString(utf8(t.memoPath()->filename().string())) +
                 ",\"block_size\":" + std::to_string(t.memoBlockSize()) + "}";
        else
            o += "null";
        o += ",\"mdx\":";
        if (hasMdx) {
            o += "{\"file\":" + jsonString(utf8(ix.file.filename().string())) + ",\"tags\":[";
            for (size_t i = 0; i < ix.tags.size(); ++i) {
                const auto &tag = ix.tags[i];
                o += std::string(i ? "," : "") + "{\"name\":" + jsonString(utf8(tag.name)) +
                     ",\"key\":" + jsonString(utf8(tag.field)) + ",\"type\":";
                const int fi = t.fieldIndex(tag.field);
                o += fi >= 0 ? jsonString(typeName(t.fields()[static_cast<size_t>(fi)].type)) : "null";
                o += std::string(",\"unique\":") + (tag.unique ? "true" : "false") +
                     ",\"descending\":" + (tag.descending ? "true" : "false") + "}";
            }
            o += std::string("],\"valid\":") + (ix.valid ? "true" : "false") +
                 ",\"error\":" + (ix.error.empty() ? std::string("null") : jsonString(utf8(ix.error))) + "}";
        } else {
            o += "null";
        }
        o += "}";
        std::cout << o << "\n";
        return 0;
    }
    std::cout << "file:           " << utf8(t.path().filename().string()) << "\n"
              << "version:        " << ver << " (level " << t.level() << ")\n"
              << "language:       " << ld << (t.languageDriverName().empty() ? "" : " " + t.languageDriverName())
              << "\n"
              << "records:        " << t.recordCount() << "\n"
              << "header length:  " << t.headerLength() << "\n"
              << "record length:  " << t.recordLength() << "\n"
              << "fields:\n";
    for (const auto &f : t.fields())
        std::cout << "  " << utf8(f.name) << " " << typeName(f.type) << "(" << int(f.length)
                  << (f.decimals ? "," + std::to_string(f.decimals) : std::string()) << ")\n";
    if (t.memoPath())
        std::cout << "memo:           " << utf8(t.memoPath()->filename().string()) << ", blocks of "
                  << t.memoBlockSize() << " bytes\n";
    if (hasMdx) {
        std::cout << "index:          " << utf8(ix.file.filename().string()) << ": "
                  << (ix.valid ? "valid" : "NOT VALID: " + utf8(ix.error)) << "\n";
        for (const auto &tag : ix.tags)
            std::cout << "  tag " << utf8(tag.name) << " on " << utf8(tag.field)
                      << (tag.descending ? " descending" : "") << (tag.unique ? " unique" : "") << "\n";
    } else {
        std::cout << "index:          none\n";
    }
    return 0;
}

int cmdDump(const std::string &file, const std::vector<std::string> &opts)
{
    const std::string format = formatOption(opts, "csv");
    if (format != "csv" && format != "json")
        throw Usage("unknown format " + format);
    const bool all = hasOption(opts, "--all");
    Table t = Table::open(file, OpenMode::Shared, inspectOptions());
    const auto &fields = t.fields();
    std::string out;
    if (format == "csv") {
        for (size_t i = 0; i < fields.size(); ++i)
            out += (i ? "," : "") + csvField(utf8(fields[i].name));
        if (all)
            out += ",_deleted";
        out += "\r\n";
    } else {
        out += "[";
    }
    bool first = true;
    for (uint32_t r = 1; r <= t.recordCount(); ++r) {
        const Record rec = t.readRecord(r);
        if (rec.deleted() && !all)
            continue;
        if (format == "csv") {
            for (size_t i = 0; i < fields.size(); ++i) {
                const Cell c = cellOf(fields[i], rec, i);
                out += (i ? "," : "") + (c.null ? std::string() : csvField(c.text));
            }
            if (all)
                out += rec.deleted() ? ",true" : ",false";
            out += "\r\n";
        } else {
            out += first ? "\n{" : ",\n{";
            first = false;
            for (size_t i = 0; i < fields.size(); ++i) {
                const Cell c = cellOf(fields[i], rec, i);
                out += (i ? "," : "") + jsonString(utf8(fields[i].name)) + ":";
                out += c.null ? "null" : (c.number || c.boolean) ? c.text : jsonString(c.text);
            }
            if (all)
                out += std::string(",\"_deleted\":") + (rec.deleted() ? "true" : "false");
            out += "}";
        }
        if (out.size() > (1u << 16)) {
            std::cout << out;
            out.clear();
        }
    }
    if (format == "json")
        out += "\n]\n";
    std::cout << out;
    return 0;
}

int cmdCheck(const std::string &file)
{
    // Header, record count against the file, every record's flag and values, memo file, and the index.
    const auto damage = Table::verify(file);
    if (!damage.empty()) {
        for (const auto &d : damage)
            std::cerr << "dbftool: " << utf8(d.detail) << "\n";
        return 1;
    }
    Table t = Table::open(file, OpenMode::Shared, inspectOptions());
    std::cout << utf8(t.path().filename().string()) << ": ok, " << t.recordCount() << " records\n";
    return 0;
}

int cmdRecover(const std::string &file)
{
    const auto steps = Table::recover(file);
    for (const auto &s : steps)
        std::cout << utf8(s) << "\n";
    const auto left = Table::verify(file);
    for (const auto &d : left)
        std::cout << "still to correct by hand: " << utf8(d.detail) << "\n";
    std::cout << (steps.empty() ? "nothing to recover\n" : "recovered\n");
    return left.empty() ? 0 : 1;
}

int cmdPack(const std::string &file)
{
    Table t = Table::open(file, OpenMode::Exclusive);
    const uint32_t before = t.recordCount();
    t.pack();
    std::cout << utf8(t.path().filename().string()) << ": " << t.recordCount() << " records kept, "
              << (before - t.recordCount()) << " removed\n";
    return 0;
}

int cmdReindex(const std::string &file)
{
    OpenOptions o;
    o.validateIndex = false;
    o.loadIndexes = false;
    Table t = Table::open(file, OpenMode::Exclusive, o);
    t.reindex();
    std::cout << utf8(t.path().filename().string()) << ": index rebuilt, " << t.tags().size() << " tags\n";
    return 0;
}

int cmdCreate(const std::string &file, const std::vector<std::string> &opts)
{
    std::string fieldSpec;
    CreateOptions co;
    co.mode = OpenMode::Shared;
    bool inTags = false;
    for (size_t i = 0; i < opts.size(); ++i) {
        const std::string &o = opts[i];
        if (o == "--fields" && i + 1 < opts.size()) {
            fieldSpec = opts[++i];
            inTags = false;
        } else if (o.rfind("--fields=", 0) == 0) {
            fieldSpec = o.substr(9);
            inTags = false;
        } else if (o == "--tag") {
            inTags = true;
        } else if (o.rfind("--tag=", 0) == 0) {
            co.tags.push_back({o.substr(6), o.substr(6), false, false});
        } else if (o.rfind("--version=", 0) == 0) {
            co.version = static_cast<uint8_t>(std::stoul(o.substr(10), nullptr, 0));
        } else if (o.rfind("--ldid=", 0) == 0) {
            co.ldid = static_cast<uint8_t>(std::stoul(o.substr(7), nullptr, 0));
        } else if (inTags && o.rfind("--", 0) != 0) {
            co.tags.push_back({o, o, false, false});
        } else {
            throw Usage("unknown option " + o);
        }
    }
    if (fieldSpec.empty())
        throw Usage("create needs --fields");
    Table t = Table::create(file, parseFieldList(fieldSpec), co);
    std::cout << utf8(t.path().filename().string()) << ": created, " << t.fields().size() << " fields\n";
    return 0;
}

const char *kUsage = "usage: dbftool info FILE [--format=json]\n"
                     "       dbftool dump FILE [--format=csv|json] [--all]\n"
                     "       dbftool check FILE\n"
                     "       dbftool pack FILE\n"
                     "       dbftool recover FILE\n"
                     "       dbftool reindex FILE\n"
                     "       dbftool create FILE --fields \"NAME:C:10,N_X:N:8:0,...\" [--tag FIELD ...]\n";

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::cerr << kUsage;
        return 2;
    }
    const std::string cmd = argv[1];
    const std::string file = argv[2];
    const std::vector<std::string> opts(argv + 3, argv + argc);
    try {
        if (cmd == "info")
            return cmdInfo(file, opts);
        if (cmd == "dump")
            return cmdDump(file, opts);
        if (!opts.empty() && cmd != "create")
            throw Usage("unexpected argument " + opts.front());
        if (cmd == "check")
            return cmdCheck(file);
        if (cmd == "pack")
            return cmdPack(file);
        if (cmd == "recover")
            return cmdRecover(file);
        if (cmd == "reindex")
            return cmdReindex(file);
        if (cmd == "create")
            return cmdCreate(file, opts);
        throw Usage("unknown command " + cmd);
    } catch (const Usage &e) {
        std::cerr << "dbftool: " << e.what() << "\n" << kUsage;
        return 2;
    } catch (const std::exception &e) {
        std::cerr << "dbftool: " << utf8(e.what()) << "\n";
        return 1;
    }
}
